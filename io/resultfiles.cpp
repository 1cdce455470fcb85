#include "resultfiles.h"

#include <cstdio>
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
    for (const std::string& name : listResultFiles(folder)) {
        const std::string path = folder + "/" + name;
        std::error_code error;
        if (!std::filesystem::remove(path, error) && error) {
            problem = "cannot remove \"" + path + "\": " + error.message();
            return false;
        }
    }
    return true;
}

ResultFrameWriter::ResultFrameWriter(std::string folder, int number)
    : folder(std::move(folder)), number(number) {}

std::string ResultFrameWriter::path(const std::string& extension) const {
    return folder + "/" + std::to_string(number) + extension;
}

bool ResultFrameWriter::write(const std::string& extension, std::string_view bytes) {
    const std::string file = path(extension);
    std::string problem;
    if (!writeFileAtomically(file, bytes, problem)) {
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
