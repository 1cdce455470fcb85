// vantorel-demo-data, the real program: it writes only into a folder that is empty or its own, and its
// test size builds the same cases as the full size, in fewer frames.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <sys/stat.h>

#include "realterrain.h"
#include "testfiles.h"

namespace {

ProgramRun demoData(const QString& out, const QStringList& options = {}) {
    return runProgram(VANTOREL_DEMO_DATA, QStringList{"--out", out, "--results", "2"} + options, 600000);
}

TEST(DemoData, RefusesAFolderHoldingOtherFiles) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // The user's own scene list and a folder named like a case study.
    writeTextFile(folder.filePath("TreeMeta.json").toStdString(), "{\"test\": []}");
    ASSERT_TRUE(QDir().mkpath(folder.filePath("金江洪水/Disaster_Play")));
    const ProgramRun refused = demoData(folder.path(), {"--test-size"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("holds files that vantorel-demo-data did not write"), std::string::npos)
        << refused.err;
    EXPECT_EQ(readTextFile(folder.filePath("TreeMeta.json").toStdString()), "{\"test\": []}");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"TreeMeta.json", "金江洪水"}));
}

// The archive of the case on real terrain goes to GDAL by its path: a pipe in its place or named like it
// beside it would hold the reader for good, and is refused by name instead.
TEST(DemoData, RealTerrainArchiveRefusesAPipeInItsPlaceOrBesideIt) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString archive = folder.filePath("dem.npz");
    ASSERT_TRUE(QFile::copy(jacksboroDemArchive, archive));
    NpyArray cellSize;
    std::string problem;
    ASSERT_TRUE(readNpzArray(archive.toStdString(), "dx", cellSize, problem)) << problem;
    for (const char* name : {"dem.npz.aux.xml", "dem.prj", "dem.npz"}) {
        const std::string pipe = folder.filePath(name).toStdString();
        QFile::remove(QString::fromStdString(pipe));
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0) << name;
        EXPECT_FALSE(readNpzArray(archive.toStdString(), "dx", cellSize, problem)) << name;
        EXPECT_NE(problem.find(pipe), std::string::npos) << problem;
        QFile::remove(QString::fromStdString(pipe));
    }
}

// The frame folders of the debris-flow and landslide cases, below the demo folder.
const char* const debrisFolders[] = {"七盘泥石流/debrisflow_qipan", "文家泥石流/Disaster_Play"};
const char* const slideFolders[] = {"金江滑坡/Landslide_Play", "茂滑坡/Landslide_Play"};

// The full size the user gets, then the test size into the same folder: the second build replaces the
// results of the first and leaves none of the frames it does not make. The test size is the same
// cases: its debris frames are the first frames of the full runs, its slide frames every tenth frame
// of the full slides and their last, byte for byte.
TEST(DemoData, BuildsTheFullSizeAndRebuildsItsOwnFolderAtTheTestSize) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString out = folder.filePath("demo");
    const auto files = [&out](const char* below) { return readFolderFiles((out + "/" + below).toStdString()); };

    const ProgramRun full = demoData(out);
    ASSERT_EQ(full.exitCode, 0) << full.out << full.err;
    std::map<std::string, std::map<std::string, std::string>> fullFrames;
    for (const char* below : debrisFolders) {
        fullFrames[below] = files(below);
    }
    for (const char* below : slideFolders) {
        fullFrames[below] = files(below);
        EXPECT_EQ(fullFrames[below].size(), 101u) << below << ": the slide's 100 steps and its final state";
    }

    const ProgramRun small = demoData(out, {"--test-size"});
    ASSERT_EQ(small.exitCode, 0) << small.out << small.err;
    EXPECT_EQ(QDir(out + "/金江洪水/Disaster_Play").entryList(QDir::Files),
              (QStringList{"1.ive", "1.json", "1.txt", "2.ive", "2.json", "2.txt"}));
    EXPECT_TRUE(QFile::exists(out + "/TreeMeta.json"));
    for (const char* below : debrisFolders) {
        SCOPED_TRACE(below);
        const std::map<std::string, std::string> frames = files(below);
        const std::map<std::string, std::string>& fullRun = fullFrames[below];
        // Frames of a debris flow on its way down: more than a few, fewer than the full run's.
        EXPECT_GT(frames.size(), 2 * 10u);
        EXPECT_LT(frames.size(), fullRun.size());
        for (const auto& [name, bytes] : frames) {
            const auto same = fullRun.find(name);
            ASSERT_NE(same, fullRun.end()) << name;
            EXPECT_EQ(bytes, same->second) << name;
        }
    }
    for (const char* below : slideFolders) {
        SCOPED_TRACE(below);
        const std::map<std::string, std::string> frames = files(below);
        ASSERT_EQ(frames.size(), 11u);
        for (int frame = 1; frame <= 11; ++frame) {
            const std::string name = std::to_string(frame) + ".ive";
            const std::string fullName = std::to_string(10 * frame - 9) + ".ive";
            ASSERT_EQ(frames.count(name), 1u) << name;
            EXPECT_EQ(frames.at(name), fullFrames[below].at(fullName)) << name << " against " << fullName;
        }
    }
    // The villages of a flood case are the places of its summary's exposure table.
    const std::string exposure = readTextFile((out + "/金江洪水/Disaster_Play_summary/exposure.csv").toStdString());
    for (const char* village : {"\n上游村,", "\n岗托镇,", "\n下游集镇,"}) {
        EXPECT_NE(exposure.find(village), std::string::npos) << exposure;
    }
}

}  // namespace
