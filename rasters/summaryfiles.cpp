#include "summaryfiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "fileio.h"

namespace {

// Every file a flood or debris-flow summary writes, besides the monitor plots.
const std::string_view summaryNames[] = {
    "maxDepth.tif",  "maxSpeed.tif",  "arrivalTime.tif",    "maxDepthVelocity.tif", "hazard.tif",
    "hazard.tif.aux.xml", "floodlines.gpkg", "volume.csv", "exposure.csv", "report.html", "monitors.csv",
    "peakDepth.tif", "peakSpeed.tif", "momentumAtPeak.tif", "energyAtPeak.tif", "finalTrace.tif",
};

// "monitor_N.png", N a number from 1 without leading zeros.
bool isMonitorPlotName(std::string_view name) {
    constexpr std::string_view prefix = "monitor_";
    constexpr std::string_view extension = ".png";
    if (name.size() <= prefix.size() + extension.size() || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - extension.size()) != extension) {
        return false;
    }
    const std::string_view number = name.substr(prefix.size(), name.size() - prefix.size() - extension.size());
    if (number.size() > 9 || number.front() == '0') {
        return false;
    }
    for (const char c : number) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

bool makeFolder(const std::string& folder, bool& created, std::string& problem) {
    std::error_code error;
    created = std::filesystem::create_directories(folder, error);
    std::error_code kind;
    if (!std::filesystem::is_directory(folder, kind)) {
        problem = "cannot create the summary folder \"" + folder + "\"" +
                  (error ? " (" + error.message() + ")" : std::string(" (a file of that name is in the way)"));
        return false;
    }
    return true;
}

// A summary folder that a failed first write made holds nothing: it goes again.
void removeIfEmpty(const std::string& folder, bool created) {
    std::error_code error;
    if (created && std::filesystem::is_empty(folder, error) && !error) {
        std::filesystem::remove(folder, error);
    }
}

bool writeSummaryBytes(const std::string& folder, const std::string& name, std::string_view bytes,
                       bool created, std::string& problem) {
    if (!writeFileAtomically(folder + "/" + name, bytes, problem, LinkAtPath::replace)) {
        removeIfEmpty(folder, created);
        return false;
    }
    return true;
}

}  // namespace

bool makeSummaryFolder(const std::string& folder, std::string& problem) {
    bool created = false;
    return makeFolder(folder, created, problem);
}

std::string summaryFolderOf(const std::string& resultFolder) {
    std::string folder = resultFolder;
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder + "_summary";
}

bool checkSummaryFolder(const std::string& resultFolder, std::string& problem) {
    const std::string folder = summaryFolderOf(resultFolder);
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0) {
        // Missing is fine: the summary makes it. A name too long or a loop of links is not.
        if (errno == ENOENT) {
            return true;
        }
        problem = "the summary folder \"" + folder + "\" cannot be made: " + std::strerror(errno);
        return false;
    }
    if (S_ISLNK(status.st_mode)) {
        problem = "the summary folder \"" + folder +
                  "\" is a link; a run writes its summary only into a folder of its own beside the results";
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        problem = "the summary folder \"" + folder + "\" cannot be made: a file of that name is in the way";
        return false;
    }
    return true;
}

bool isSummaryFileName(std::string_view name) {
    if (isTemporaryFileName(name)) {
        // ".volume.csv.partial-abc123": a summary file whose writing never finished.
        name = name.substr(1, name.rfind(".partial-") - 1);
    }
    for (const std::string_view summaryName : summaryNames) {
        if (name == summaryName) {
            return true;
        }
    }
    return isMonitorPlotName(name);
}

bool removeSummaryFiles(const std::string& resultFolder, std::string& problem) {
    const std::string folder = summaryFolderOf(resultFolder);
    struct stat status {};
    // Only a folder of its own: a link there is refused before a run, and never followed.
    if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return true;
    }
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        std::error_code kind;
        if (!isSummaryFileName(name) || entry->symlink_status(kind).type() == std::filesystem::file_type::directory) {
            continue;
        }
        std::error_code removal;
        if (!std::filesystem::remove(entry->path(), removal) && removal) {
            problem = "cannot remove \"" + entry->path().string() + "\": " + removal.message();
            return false;
        }
    }
    return true;
}

bool writeSummaryRaster(const std::string& folder, const std::string& name, const RasterFrame& frame,
                        const std::vector<float>& values, std::string& problem) {
    bool created = false;
    if (!makeFolder(folder, created, problem)) {
        return false;
    }
    std::string bytes;
    if (!geoTiffBytes(folder + "/" + name, frame, values, summaryNoData, bytes, problem)) {
        removeIfEmpty(folder, created);
        return false;
    }
    return writeSummaryBytes(folder, name, bytes, created, problem);
}

bool writeSummaryText(const std::string& folder, const std::string& name, const std::string& text,
                      std::string& problem) {
    bool created = false;
    return makeFolder(folder, created, problem) && writeSummaryBytes(folder, name, text, created, problem);
}
