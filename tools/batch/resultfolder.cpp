#include "resultfolder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "resultfiles.h"
#include "summaryfiles.h"

bool prepareResultFolder(const std::string& folder, bool overwrite, RunSummary summary,
                         ResultFolderLock& lock, std::string& problem) {
    // A name too long for the file system, or a loop of links on the way, is no folder to make.
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0 && errno != ENOENT) {
        problem = "cannot create the output folder \"" + folder + "\": " + std::strerror(errno);
        return false;
    }
    // Before anything is made: a run must not compute for hours and then find no place for its summary.
    if (summary == RunSummary::beside && !checkSummaryFolder(folder, problem)) {
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::error_code kind;
    if (!std::filesystem::is_directory(folder, kind)) {
        const std::error_code& reason = error ? error : kind;
        problem = "cannot create the output folder \"" + folder + "\"" +
                  (reason ? " (" + reason.message() + ")" : std::string(" (a file of that name is in the way)"));
        return false;
    }
    if (!lock.lock(folder, problem)) {
        return false;
    }
    std::vector<std::string> results = listResultFiles(folder);
    if (!results.empty() && !overwrite) {
        std::sort(results.begin(), results.end());
        problem = "the output folder \"" + folder + "\" holds " + std::to_string(results.size()) +
                  " result files of an earlier run (" + results.front() +
                  (results.size() > 1 ? ", ..." : "") +
                  "); new results would mix with them. Give --overwrite to remove them first, or choose "
                  "another folder";
        lock.unlock();
        return false;
    }
    if (!removeResultFiles(folder, problem) ||
        (summary == RunSummary::beside && !removeSummaryFiles(folder, problem))) {
        lock.unlock();
        return false;
    }
    return true;
}
