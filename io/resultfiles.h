#pragma once

#include <string>
#include <string_view>
#include <vector>

// The numbered files of a result folder: "N.ive", "N.3ds", "N.tif", "N.txt" and "N.json", N a decimal
// number from 1 without leading zeros, shared by the files of one step. Folders are named by the bytes
// of their paths, as in fileio.h.

// N of a result file name; 0 for any other name ("012.ive", "1.png", "a.txt", "1.ive.bak").
int resultNumber(std::string_view name);

// The names of the result files in `folder`, and of temporary files an interrupted write left there.
// Empty for a folder that does not exist or holds none.
std::vector<std::string> listResultFiles(const std::string& folder);

// The highest result number in `folder`, that is the number of frames a replay walks through (a
// missing frame among them is skipped); 0 when the folder holds none.
int lastResultNumber(const std::string& folder);

// Removes every file listResultFiles names, and nothing else. Refuses, removing nothing, when one of
// those names is a folder (a user's own, which no run could write its result over). False, naming the
// entry, when one cannot be removed.
bool removeResultFiles(const std::string& folder, std::string& problem);

// An exclusive lock on a result folder, held while a run writes into it, so that a second run into the
// same folder, from this process or another, is refused instead of mixing its results with the first's
// or replacing them. It goes with the object, or with the process however that ends.
//
//     ResultFolderLock lock;
//     if (!lock.lock(folder, problem)) { ... refuse the run: problem names the folder ... }
class ResultFolderLock {
public:
    ResultFolderLock() = default;
    ~ResultFolderLock() { unlock(); }
    ResultFolderLock(const ResultFolderLock&) = delete;
    ResultFolderLock& operator=(const ResultFolderLock&) = delete;

    // Locks `folder`, which must exist, letting go of any folder locked before. False, naming the
    // folder, when another run holds it or it cannot be opened. A file system without locks counts as
    // locked.
    bool lock(const std::string& folder, std::string& problem);
    void unlock();
    bool locked() const { return descriptor >= 0; }

private:
    int descriptor = -1;
};

// Bytes a run leaves free on the disk of its result folder, however small its results: room for the
// summary and for the message that tells where the run stopped.
constexpr long long resultDiskReserve = 8LL * 1024 * 1024;

// Total size of the result files numbered `number` in `folder` (n.ive, n.txt, n.json, ...), bytes.
long long resultSetBytes(const std::string& folder, int number);

// Whether the disk holding `folder` has room for more results: more than the reserve, `alsoKeepFree`
// (what the run still writes at its end, such as its summary) and four result sets of `lastResultBytes`
// free. A disk that cannot be asked, or reports no size, counts as roomy.
bool diskHasRoomForResults(const std::string& folder, long long lastResultBytes, long long alsoKeepFree = 0);

// The files of one numbered result, each written through a temporary name (writeFileAtomically). A
// result whose files cannot all be written is taken away whole, so that a folder holds only complete
// results.
//
//     ResultFrameWriter frame(folder, number);
//     if (!frame.write(".ive", modelBytes) || !frame.write(".txt", stateBytes)) {
//         ... frame.failedFile() and frame.problem() say what failed; the result's files are gone ...
//     }
class ResultFrameWriter {
public:
    ResultFrameWriter(std::string folder, int number);

    // folder + "/" + number + extension.
    std::string path(const std::string& extension) const;
    // Writes one file of the result. On failure removes the files of the result written so far.
    bool write(const std::string& extension, std::string_view bytes);
    // Removes the files of the result written so far (a later file could not even be made).
    void discard();
    // Records a failure to produce the file of `extension`, and discards the result.
    void fail(const std::string& extension, const std::string& reason);

    // The file that failed, and "cannot write "FILE": REASON".
    const std::string& failedFile() const { return failed; }
    const std::string& problem() const { return reason; }

private:
    std::string folder;
    int number;
    std::vector<std::string> written;
    std::string failed;
    std::string reason;
};
