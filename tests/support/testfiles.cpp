#include "testfiles.h"

#include <QDir>
#include <QProcess>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

void writeTextFile(const std::string& path, const std::string& text) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code ignored;
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, ignored);
    }
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "(unreadable)";
    }
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::map<std::string, std::string> readFolderFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file()) {
            files[entry.path().filename().string()] = readTextFile(entry.path().string());
        }
    }
    return files;
}

ProgramRun runProgram(const QString& program, const QStringList& arguments, int timeoutMs) {
    QProcess process;
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved);
    previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        names.push_back(entry->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

RemovedFolder::~RemovedFolder() {
    QDir(path).removeRecursively();
}

std::string probeVideo(const QString& path) {
    const ProgramRun probe =
        runProgram("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                               "stream=codec_name,width,height,nb_read_frames", "-of", "csv=p=0", path});
    if (probe.exitCode != 0) {
        return "ffprobe failed: " + probe.err;
    }
    return QString::fromStdString(probe.out).trimmed().toStdString();
}
