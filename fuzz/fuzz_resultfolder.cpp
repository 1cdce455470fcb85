// The result-folder scan and the preparation of a run's folders: a result folder and its summary folder
// filled with the entries the input describes (files, folders, pipes, links inside and out, names that
// look like results or summaries or not), then listed, numbered, cleared for a run and given a summary,
// which is read back. Nothing outside the two folders may change, and only results and summary files may
// go.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "fileio.h"
#include "fuzzfiles.h"
#include "monitorseries.h"
#include "resultfiles.h"
#include "resultfolder.h"
#include "summaryfiles.h"

namespace {

namespace fs = std::filesystem;

enum class Kind { file, linkOutside, linkInside, folder, pipe, danglingLink, kinds };

struct Entry {
    Kind kind;
    bool inSummary;
};

std::string readAll(const std::string& path) {
    std::string bytes;
    std::string problem;
    readRegularFile(path, 1 << 20, bytes, problem);
    return bytes;
}

bool exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

bool isResultOrItsTemporary(const std::string& name) {
    if (resultNumber(name) > 0) {
        return true;
    }
    return isTemporaryFileName(name) && resultNumber(name.substr(1, name.rfind(".partial-") - 1)) > 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string root = fuzzPath("case");
    std::error_code ignored;
    fs::remove_all(root, ignored);
    const std::string outside = root + "/outside";
    const std::string results = root + "/results";
    const std::string summary = summaryFolderOf(results);
    fs::create_directories(outside);
    writeFuzzFile("case/outside/sentinel", "outside the run's folders");
    fs::create_directories(results);

    // Records: a kind byte (low bits the kind, bit 7 the summary folder, bit 6 a summary folder that
    // is a link out), a length byte and the name.
    std::map<std::string, Entry> entries[2];
    bool overwrite = false;
    std::size_t at = 0;
    while (at + 2 <= size && entries[0].size() + entries[1].size() < 24) {
        const std::uint8_t kindByte = data[at];
        const std::size_t length = std::min<std::size_t>(data[at + 1] % 48, size - at - 2);
        std::string name(reinterpret_cast<const char*>(data + at + 2), length);
        at += 2 + length;
        overwrite = (kindByte & 0x20) != 0;
        if ((kindByte & 0x40) != 0 && !exists(summary)) {
            fs::create_directory_symlink(outside, summary);
            continue;
        }
        std::replace(name.begin(), name.end(), '/', '_');
        std::replace(name.begin(), name.end(), '\0', '_');
        if (name.empty() || name == "." || name == "..") {
            continue;
        }
        const bool inSummary = (kindByte & 0x80) != 0;
        const std::string folder = inSummary ? summary : results;
        if (inSummary && !exists(summary)) {
            fs::create_directory(summary);
        }
        if (fs::is_symlink(summary) && inSummary) {
            continue;
        }
        const std::string path = folder + "/" + name;
        if (exists(path)) {
            continue;
        }
        const Kind kind = static_cast<Kind>((kindByte & 0x1f) % static_cast<int>(Kind::kinds));
        switch (kind) {
            case Kind::file:
                writeFuzzFile(path.substr(fuzzPath("").size()), name);
                break;
            case Kind::linkOutside:
                fs::create_symlink(outside + "/sentinel", path);
                break;
            case Kind::linkInside:
                fs::create_symlink(results + "/1.ive", path);
                break;
            case Kind::folder:
                fs::create_directory(path);
                break;
            case Kind::pipe:
                ::mkfifo(path.c_str(), 0600);
                break;
            case Kind::danglingLink:
                fs::create_symlink(root + "/nothing", path);
                break;
            case Kind::kinds:
                break;
        }
        entries[inSummary ? 1 : 0][name] = {kind, inSummary};
    }

    // The scan names exactly the results and their temporaries, and the last frame is the highest.
    std::vector<std::string> listed = listResultFiles(results);
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> expected;
    int last = 0;
    for (const auto& [name, entry] : entries[0]) {
        if (isResultOrItsTemporary(name)) {
            expected.push_back(name);
            last = std::max(last, resultNumber(name));
        }
    }
    if (listed != expected || lastResultNumber(results) != last) {
        __builtin_trap();
    }

    std::string problem;
    ResultFolderLock lock;
    const bool prepared = prepareResultFolder(results, overwrite, RunSummary::beside, lock, problem);
    if (prepared != lock.locked() || (!prepared && problem.empty())) {
        __builtin_trap();
    }
    // Only results go, and summary files beside them; never anything else, and nothing without overwrite.
    for (int side = 0; side < 2; ++side) {
        for (const auto& [name, entry] : entries[side]) {
            const bool mayGo = prepared && entry.kind != Kind::folder &&
                               (side == 0 ? isResultOrItsTemporary(name) : isSummaryFileName(name));
            const bool gone = !exists((side == 0 ? results : summary) + "/" + name);
            if (gone && (!mayGo || (side == 0 && !overwrite))) {
                __builtin_trap();
            }
            if (prepared && mayGo && !gone) {
                __builtin_trap();
            }
        }
    }
    if (prepared) {
        // The summary is written into the run's own folder whatever lies there under its names, and reads
        // back as written.
        const std::string csv = "result,time_s,point,x,y,depth_m,speed_m_s,flow_m2_s\n"
                                "1,4.000,1,244880.000,3232970.000,0.5000,1.0000,2.0000\n";
        if (writeSummaryText(summary, "volume.csv", "result\n1\n", problem) &&
            writeSummaryText(summary, "monitors.csv", csv, problem)) {
            std::vector<MonitorSeries> series;
            if (!readMonitorsCsv(summary + "/monitors.csv", series, problem) || series.size() != 1 ||
                series[0].depth != std::vector<float>{0.5f} || readAll(summary + "/volume.csv") != "result\n1\n") {
                __builtin_trap();
            }
        }
    }
    if (readAll(outside + "/sentinel") != "outside the run's folders" ||
        fs::directory_iterator(outside) == fs::directory_iterator() ||
        std::distance(fs::directory_iterator(outside), fs::directory_iterator()) != 1) {
        __builtin_trap();
    }
    return 0;
}
