#include "resultfolder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "resultfiles.h"

bool prepareResultFolder(const std::string& folder, bool overwrite, std::string& problem) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder)) {
        problem =
            "cannot create the output folder \"" + folder + "\"" +
            (error ? " (" + error.message() + ")" : std::string(" (a file of that name is in the way)"));
        return false;
    }
    std::vector<std::string> results = listResultFiles(folder);
    if (results.empty()) {
        return true;
    }
    if (!overwrite) {
        std::sort(results.begin(), results.end());
        problem = "the output folder \"" + folder + "\" holds " + std::to_string(results.size()) +
                  " result files of an earlier run (" + results.front() +
                  (results.size() > 1 ? ", ..." : "") +
                  "); new results would mix with them. Give --overwrite to remove them first, or choose "
                  "another folder";
        return false;
    }
    return removeResultFiles(folder, problem);
}
