#include "resultfiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "fileio.h"

namespace {

const std::string_view resultExtensions[] = {".ive", ".3ds", ".tif", ".txt", ".json"};

}  // namespace

int resultNumber(std::string_view name) {
    const std::size_t dot = name.find('.');
    if (dot == 0 || dot == std::string_view::npos || name.front() == '0' || dot > 9) {
        return 0;
    }
    const std::string_view extension = name.substr(dot);
    bool known = false;
    for (const std::string_view candidate : resultExtensions) {
        known = known || extension == candidate;
    }
    if (!known) {
        return 0;
    }
    int number = 0;
    for (const char c : name.substr(0, dot)) {
        if (c < '0' || c > '9') {
            return 0;
        }
        number = number * 10 + (c - '0');
    }
    return number;
}

std::vector<std::string> listResultFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (resultNumber(name) > 0) {
            names.push_back(name);
        } else if (isTemporaryFileName(name)) {
            // ".12.ive.partial-abc123": a result file whose writing never finished.
            const std::string target = name.substr(1, name.rfind(".partial-") - 1);
            if (resultNumber(target) > 0) {
                names.push_back(name);
            }
        }
    }
    return names;
}

int lastResultNumber(const std::string& folder) {
    int last = 0;
    for (const std::string& name : listResultFiles(folder)) {
        const int number = resultNumber(name);
        last = number > last ? number : last;
    }
    return last;
}

bool removeResultFiles(const std::string& folder, std::string& problem) {
    const std::vector<std::string> names = listResultFiles(folder);
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        struct stat status {};
        if (::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            problem = "\"" + path +
                      "\" is a folder, not a result file; nothing was removed. Move it out of the result "
                      "folder, or choose another folder";
            return false;
        }
    }
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        std::error_code error;
        if (!std::filesystem::remove(path, error) && error) {
            problem = "cannot remove \"" + path + "\": " + error.message();
            return false;
        }
    }
    return true;
}

bool ResultFolderLock::lock(const std::string& folder, std::string& problem) {
    unlock();
    const int opened = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (opened < 0) {
        problem = "cannot open the result folder \"" + folder + "\": " + std::strerror(errno);
        return false;
    }
    // flock, not fcntl: its lock belongs to this open folder, so a second run of the same process is
    // refused as well.
    int locked = 0;
    do {
        locked = ::flock(opened, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0 && errno == EWOULDBLOCK) {
        ::close(opened);
        problem = "the result folder \"" + folder +
                  "\" is in use by another run; wait for it to end, or choose another folder";
        return false;
    }
    descriptor = opened;
    return true;
}

void ResultFolderLock::unlock() {
    if (descriptor >= 0) {
        ::close(descriptor);
        descriptor = -1;
    }
}

long long resultSetBytes(const std::string& folder, int number) {
    // Asked before every result: a file per extension, not a listing of a folder of thousands.
    long long bytes = 0;
    for (const std::string_view extension : resultExtensions) {
        struct stat status {};
        const std::string path = folder + "/" + std::to_string(number) + std::string(extension);
        if (::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
            bytes += status.st_size;
        }
    }
    return bytes;
}

bool diskHasRoomForResults(const std::string& folder, long long lastResultBytes, long long alsoKeepFree) {
    struct statvfs disk {};
    // Pseudo file systems (such as /proc) report no size at all; their writes fail on their own.
    if (::statvfs(folder.c_str(), &disk) != 0 || disk.f_blocks == 0) {
        return true;
    }
    const long double available = static_cast<long double>(disk.f_bavail) * disk.f_frsize;
    return available > static_cast<long double>(resultDiskReserve) + alsoKeepFree + 4.0L * lastResultBytes;
}

ResultFrameWriter::ResultFrameWriter(std::string folder, int number)
    : folder(std::move(folder)), number(number) {}

std::string ResultFrameWriter::path(const std::string& extension) const {
    return folder + "/" + std::to_string(number) + extension;
}

bool ResultFrameWriter::write(const std::string& extension, std::string_view bytes) {
    const std::string file = path(extension);
    std::string problem;
    // The folder is the run's: a link planted under a result's name is replaced, never written through.
    if (!writeFileAtomically(file, bytes, problem, LinkAtPath::replace)) {
        failed = file;
        reason = problem;
        discard();
        return false;
    }
    written.push_back(file);
    return true;
}

void ResultFrameWriter::discard() {
    for (const std::string& file : written) {
        std::remove(file.c_str());
    }
    written.clear();
}

void ResultFrameWriter::fail(const std::string& extension, const std::string& why) {
    failed = path(extension);
    reason = "cannot write \"" + failed + "\": " + why;
    discard();
}
