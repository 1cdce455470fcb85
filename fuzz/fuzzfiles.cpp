#include "fuzzfiles.h"

#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <unistd.h>

#include <algorithm>
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

void restrictGdal(const std::vector<std::string>& drivers) {
    for (const char* variable : {"http_proxy", "https_proxy", "ftp_proxy", "all_proxy", "HTTP_PROXY",
                                 "HTTPS_PROXY", "ALL_PROXY"}) {
        ::setenv(variable, "http://127.0.0.1:9", 1);
    }
    CPLSetConfigOption("GDAL_HTTP_PROXY", "127.0.0.1:9");
    CPLSetConfigOption("GDAL_HTTP_TIMEOUT", "1");
    CPLSetConfigOption("GDAL_HTTP_MAX_RETRY", "0");
    CPLSetConfigOption("CPL_VSIL_CURL_ALLOWED_EXTENSIONS", ".no-network");
    GDALAllRegister();
    GDALDriverManager* manager = GetGDALDriverManager();
    for (int i = manager->GetDriverCount() - 1; i >= 0; --i) {
        GDALDriver* driver = manager->GetDriver(i);
        if (std::find(drivers.begin(), drivers.end(), driver->GetDescription()) == drivers.end()) {
            manager->DeregisterDriver(driver);
            delete driver;
        }
    }
}

void writeGdalFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    VSILFILE* file = VSIFOpenL(path.c_str(), "wb");
    if (file == nullptr || VSIFWriteL(data, 1, size, file) != size) {
        std::abort();
    }
    VSIFCloseL(file);
}
