#include "fileio.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::string_view temporaryMarker = ".partial-";

std::string reason(int error) {
    return std::strerror(error);
}

void closeQuietly(int descriptor) {
    const int saved = errno;
    ::close(descriptor);
    errno = saved;
}

// The folder part of a path ("." for a bare name) and the name part.
void splitPath(const std::string& path, std::string& folder, std::string& name) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// A name no other writer in this or another process picks at the same moment.
std::string temporarySuffix(unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const auto now =
        static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    unsigned long long mixed = now ^ (static_cast<unsigned long long>(::getpid()) << 32) ^
                               (static_cast<unsigned long long>(counter++) << 16) ^ attempt;
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += alphabet[mixed % 62];
        mixed /= 62;
    }
    return suffix;
}

}  // namespace

FileReadStatus readRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes,
                               std::string& problem) {
    bytes.clear();
    // Without O_NONBLOCK, opening a pipe waits for a writer that may never come.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        const int error = errno;
        problem = "cannot open \"" + path + "\": " + reason(error);
        return error == ENOENT || error == ENOTDIR ? FileReadStatus::missing : FileReadStatus::unreadable;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        problem = "cannot read \"" + path + "\": " + reason(errno);
        closeQuietly(descriptor);
        return FileReadStatus::unreadable;
    }
    if (!S_ISREG(status.st_mode)) {
        problem = "\"" + path + "\" is not a regular file";
        closeQuietly(descriptor);
        return FileReadStatus::notRegular;
    }
    const auto size = static_cast<unsigned long long>(status.st_size);
    if (size > maxBytes) {
        problem = "\"" + path + "\" holds " + std::to_string(size) + " bytes, more than the " +
                  std::to_string(maxBytes) + " this file may have";
        closeQuietly(descriptor);
        return FileReadStatus::tooLarge;
    }
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::exception&) {
        problem = "\"" + path + "\" does not fit in memory";
        closeQuietly(descriptor);
        return FileReadStatus::tooLarge;
    }
    // Reads what the size promised; a file that shrinks meanwhile gives what it still holds.
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(descriptor, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            problem = "cannot read \"" + path + "\": " + reason(errno);
            closeQuietly(descriptor);
            bytes.clear();
            return FileReadStatus::unreadable;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    ::close(descriptor);
    return FileReadStatus::ok;
}

bool checkDataFile(const std::string& path, std::string& problem) {
    // GDAL's in-memory files are no files of the disk: nothing there can hold a library in open().
    if (path.rfind("/vsimem/", 0) == 0) {
        return true;
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        problem = "\"" + path + "\" does not open: " + reason(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        problem = "\"" + path + "\" is not a regular file";
        return false;
    }
    std::string folder;
    std::string name;
    splitPath(path, folder, name);
    const std::size_t dot = name.find('.', 1);
    // Companions share the name up to its first dot; libraries look for them in any letter case.
    const std::string stem = lowerCase(name.substr(0, dot == std::string::npos ? name.size() : dot)) + ".";
    DIR* entries = ::opendir(folder.c_str());
    if (entries == nullptr) {
        return true;
    }
    bool fine = true;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string candidate = entry->d_name;
        if (candidate == name || lowerCase(candidate.substr(0, stem.size())) != stem ||
            entry->d_type == DT_REG || entry->d_type == DT_DIR) {
            continue;
        }
        const std::string companion = folder + "/" + candidate;
        if (::stat(companion.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) {
            problem = "\"" + companion + "\", beside \"" + path + "\", is not a regular file";
            fine = false;
            break;
        }
    }
    ::closedir(entries);
    return fine;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& problem,
                         LinkAtPath link) {
    std::string target = path;
    struct stat linkStatus {};
    if (link == LinkAtPath::writeThrough && ::lstat(path.c_str(), &linkStatus) == 0 &&
        S_ISLNK(linkStatus.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    std::string folder;
    std::string name;
    splitPath(target, folder, name);
    if (name.empty()) {
        problem = "cannot write \"" + path + "\": it names no file";
        return false;
    }

    std::string temporary;
    int descriptor = -1;
    for (unsigned attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        temporary = folder + "/." + name + std::string(temporaryMarker) + temporarySuffix(attempt);
        descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (descriptor < 0 && errno != EEXIST) {
            break;
        }
    }
    if (descriptor < 0) {
        problem = "cannot write \"" + path + "\": " + reason(errno);
        return false;
    }
    const auto fail = [&](int error) {
        closeQuietly(descriptor);
        ::unlink(temporary.c_str());
        problem = "cannot write \"" + path + "\": " + reason(error);
        return false;
    };

    struct stat existing {};
    if (::lstat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(descriptor, existing.st_mode & 07777);
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        // Chunks below 1 GiB: larger writes are cut short on some systems anyway.
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, std::size_t(1) << 30);
        const ssize_t written = ::write(descriptor, bytes.data() + done, chunk);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return fail(written < 0 ? errno : ENOSPC);
        }
        done += static_cast<std::size_t>(written);
    }
    // A network or quota file system may report a failed write only when the file is closed.
    if (::close(descriptor) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        problem = "cannot write \"" + path + "\": " + reason(error);
        return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        problem = "cannot write \"" + path + "\": " + reason(error);
        return false;
    }
    return true;
}

bool isTemporaryFileName(std::string_view name) {
    const std::size_t marker = name.rfind(temporaryMarker);
    return name.size() > 1 && name.front() == '.' && marker != std::string_view::npos && marker > 1 &&
           name.size() - marker - temporaryMarker.size() == 6;
}
