#pragma once

#include <sys/resource.h>
#include <QString>
#include <QStringList>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Files and programs for tests and benchmarks, without the test framework.

// Writes `text` to `path` as it stands, creating its folder; throws std::runtime_error when it cannot.
void writeTextFile(const std::string& path, const std::string& text);

// The bytes of a file, or "(unreadable)" when it does not open.
std::string readTextFile(const std::string& path);

// The files directly in a folder, by name, with their bytes; empty when the folder does not exist.
std::map<std::string, std::string> readFolderFiles(const std::string& folder);

// What a program run by a test did: its exit code (-1 when it crashed or ran past the time limit) and
// what it wrote on its two streams.
struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};
ProgramRun runProgram(const QString& program, const QStringList& arguments, int timeoutMs = 120000);

// What ffprobe finds in the video file `path` when it decodes every frame of its first picture stream:
// "codec,width,height,frames" (for instance "h264,1280,720,12"), or what went wrong.
std::string probeVideo(const QString& path);

// Removes a folder, with what it holds, when it goes: the summary folder a run writes beside a temporary
// result folder. Declared before the window of a test, so that it goes after the window, which writes
// the summary once more as it closes.
class RemovedFolder {
public:
    explicit RemovedFolder(QString path) : path(std::move(path)) {}
    ~RemovedFolder();
    RemovedFolder(const RemovedFolder&) = delete;
    RemovedFolder& operator=(const RemovedFolder&) = delete;

private:
    QString path;
};

// Files may grow to `bytes` only while this lives, as on a full disk: writing past it fails (EFBIG)
// instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved{};
    void (*previousHandler)(int) = nullptr;
};

// The names in a folder (files, folders and hidden entries; not "." and ".."), sorted. The folder is named
// by its bytes.
std::vector<std::string> folderEntries(const std::string& folder);
