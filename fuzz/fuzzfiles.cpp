#include "fuzzfiles.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

// Removed when the fuzzing process ends.
class FuzzFolder {
public:
    FuzzFolder() {
        const std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/vantorel-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a folder for the fuzzing inputs in " + base);
        }
        path = pattern;
    }
    ~FuzzFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

const std::string& folder() {
    static FuzzFolder fuzzFolder;
    return fuzzFolder.path;
}

}  // namespace

std::string fuzzPath(const std::string& name) {
    return folder() + "/" + name;
}

std::string writeFuzzFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzzPath(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size) {
        std::abort();
    }
    std::fclose(file);
    return path;
}

std::string writeFuzzFile(const std::string& name, const std::string& text) {
    return writeFuzzFile(name, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}
