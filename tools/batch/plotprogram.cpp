#include "plotprogram.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

extern char** environ;

bool drawMonitorPlots(const std::string& summaryFolder, std::string& problem) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string program = (self.parent_path() / "vantorel-plot").string();
    if (error || access(program.c_str(), X_OK) != 0) {
        problem = "the plotting program \"" + program + "\" is missing";
        return false;
    }
    std::string programArgument = program;
    std::string folderArgument = summaryFolder;
    char* const arguments[] = {programArgument.data(), folderArgument.data(), nullptr};
    pid_t child = 0;
    if (const int failed = posix_spawn(&child, program.c_str(), nullptr, nullptr, arguments, environ)) {
        problem = "cannot start \"" + program + "\": " + std::generic_category().message(failed);
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            problem = "lost \"" + program + "\": " + std::generic_category().message(errno);
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        problem = "\"" + program + "\" failed on \"" + summaryFolder + "\" (see above)";
        return false;
    }
    return true;
}
