#include "summaryfiles.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

// Puts the finished temporary file in the place of `path`.
bool replaceWith(const std::string& temporary, const std::string& path, std::string& problem) {
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        problem = "\"" + path + "\" cannot be written (" + error.message() + ")";
        return false;
    }
    return true;
}

}  // namespace

bool makeSummaryFolder(const std::string& folder, std::string& problem) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) {
        problem = "cannot create the summary folder \"" + folder + "\"";
        return false;
    }
    return true;
}

std::string summaryFolderOf(const std::string& resultFolder) {
    std::string folder = resultFolder;
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder + "_summary";
}

bool writeSummaryRaster(const std::string& folder, const std::string& name, const RasterFrame& frame,
                        const std::vector<float>& values, std::string& problem) {
    if (!makeSummaryFolder(folder, problem)) {
        return false;
    }
    const std::string path = folder + "/" + name;
    const std::string temporary = path + ".partial";
    if (!writeGeoTiff(temporary, frame, values, summaryNoData, problem)) {
        std::error_code error;
        std::filesystem::remove(temporary, error);
        return false;
    }
    return replaceWith(temporary, path, problem);
}

bool writeSummaryText(const std::string& folder, const std::string& name, const std::string& text,
                      std::string& problem) {
    if (!makeSummaryFolder(folder, problem)) {
        return false;
    }
    const std::string path = folder + "/" + name;
    const std::string temporary = path + ".partial";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << text;
        file.close();
        if (!file) {
            problem = "\"" + path + "\" cannot be written";
            std::error_code error;
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    return replaceWith(temporary, path, problem);
}
