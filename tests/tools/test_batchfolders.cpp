// The result and summary folders of the three vantorel-batch commands, run as the real program: paths
// no file system takes, a folder another run holds, folders named like results, links planted in the
// summary folder, an earlier run's summary, and a disk that fills.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <filesystem>

#include "debristestdata.h"
#include "floodtestdata.h"
#include "landslidetestdata.h"
#include "testfiles.h"

namespace {

class BatchFolders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        const std::string base = folder.path().toStdString();
        const std::vector<std::string> flood = writeValley(base, ValleyShape{20, 30}, {{9, 28}});
        debristest::writeGrid(
            base + "/debris.asc", 30, 60, 10, [](int r, int c) { return 800 - 0.5 * c + 0.2 * std::abs(r - 15); },
            500000, 3300000);
        debristest::writeBreach(base + "/breach.txt", {{15, 3}, {14, 3}});
        ASSERT_TRUE(QDir(folder.path()).mkpath("slide"));
        const LandslideInputs slide = writeSlideScene(base + "/slide").inputs;
        const auto q = [](const std::string& path) { return QString::fromStdString(path); };
        commands = {
            {"flood",
             {"flood", "--roughness", q(flood[0]), "--dem", q(flood[1]), "--outbreak", q(flood[2]), "--capacity",
              "300000", "--width", "10", "--height", "5", "--results", "3"}},
            {"debris",
             {"debris", "--dem", q(base + "/debris.asc"), "--breach", q(base + "/breach.txt"), "--volume", "8000",
              "--until", "60"}},
            {"landslide",
             {"landslide", "--deposit", q(slide.deposit), "--path", q(slide.path), "--body", q(slide.body),
              "--image", q(slide.image), "--centreline", q(slide.centreline), "--mosaic", q(slide.mosaic),
              "--post-dem", q(slide.postDem), "--format", ".tif"}},
        };
    }
    static ProgramRun run(const QStringList& command, const QString& out, const QStringList& more = {}) {
        return runProgram(VANTOREL_BATCH, command + QStringList{"--out", out} + more);
    }
    QString path(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;
    struct Command {
        const char* name;
        QStringList arguments;
    };
    std::vector<Command> commands;
};

TEST_F(BatchFolders, FoldersNoFileSystemTakesAreRefusedBeforeAnythingIsComputed) {
    std::filesystem::create_symlink("loop-b", path("loop-a").toStdString());
    std::filesystem::create_symlink("loop-a", path("loop-b").toStdString());
    writeTextFile(path("plain file").toStdString(), "x");
    writeTextFile(path("taken_summary").toStdString(), "a file where the summary folder goes");
    std::filesystem::create_symlink(folder.path().toStdString(), path("linked_summary").toStdString());
    const struct {
        const char* what;
        QString out;
        const char* message;
        bool ofTheSummary;  // the landslide run writes none
    } cases[] = {
        {"a name too long", path(QString(300, 'n') + "/results"), "File name too long", false},
        {"a loop of links", path("loop-a/results"), "Too many levels of symbolic links", false},
        {"a summary name too long", path(QString(250, 's')), "_summary\" cannot be made: File name too long",
         true},
        {"a file where the summary goes", path("taken"), "cannot be made: a file of that name is in the way",
         true},
        {"a summary folder that is a link", path("linked"), "_summary\" is a link", true},
        {"a folder inside a file", path("plain file/results"), "cannot create the output folder", false},
    };
    for (const Command& command : commands) {
        for (const auto& c : cases) {
            if (c.ofTheSummary && command.name == std::string("landslide")) {
                continue;
            }
            SCOPED_TRACE(std::string(command.name) + ": " + c.what);
            const ProgramRun batch = run(command.arguments, c.out);
            EXPECT_EQ(batch.exitCode, 2) << batch.err;
            EXPECT_NE(batch.err.find(c.message), std::string::npos) << batch.err;
            EXPECT_NE(batch.err.find(c.out.left(40).toStdString()), std::string::npos) << batch.err;
            EXPECT_FALSE(QFileInfo::exists(c.out + "/1.txt") || QFileInfo::exists(c.out + "/1.tif"));
        }
    }
    EXPECT_FALSE(QFileInfo(path("linked")).exists()) << "refused before the folder is made";
}

TEST_F(BatchFolders, SecondRunIntoAFolderInUseIsRefusedAndRemovesNothing) {
    const QString out = path("shared");
    QProcess first;
    first.start(VANTOREL_BATCH, commands[0].arguments.mid(0, commands[0].arguments.size() - 1) +
                                    QStringList{"1000000", "--out", out});
    ASSERT_TRUE(first.waitForStarted());
    for (int waited = 0; waited < 60000 && !QFile::exists(out + "/2.txt"); waited += 20) {
        QThread::msleep(20);
    }
    ASSERT_TRUE(QFile::exists(out + "/2.txt"));
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        const ProgramRun second = run(command.arguments, out, {"--overwrite"});
        EXPECT_EQ(second.exitCode, 2) << second.err;
        EXPECT_NE(second.err.find("the result folder \"" + out.toStdString() + "\" is in use by another run"),
                  std::string::npos)
            << second.err;
        EXPECT_TRUE(QFile::exists(out + "/1.txt")) << "the first run's results stay";
    }
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(first.exitCode(), 128 + SIGTERM);
    // The folder is free again once its run has ended.
    const ProgramRun after = run(commands[0].arguments, out, {"--overwrite"});
    EXPECT_EQ(after.exitCode, 0) << after.err;
}

TEST_F(BatchFolders, OverwriteRefusesAFolderNamedLikeAResultAndClearsTheEarlierSummary) {
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        const QString out = path(QString("earlier ") + command.name);
        const QString summary = out + "_summary";
        ProgramRun batch = run(command.arguments, out);
        ASSERT_EQ(batch.exitCode, 0) << batch.err;
        const QStringList results = QDir(out).entryList(QDir::Files);
        ASSERT_TRUE(QDir(out).mkdir("9.ive"));
        batch = run(command.arguments, out, {"--overwrite"});
        EXPECT_EQ(batch.exitCode, 2);
        EXPECT_NE(batch.err.find("9.ive\" is a folder, not a result file; nothing was removed"), std::string::npos)
            << batch.err;
        EXPECT_EQ(QDir(out).entryList(QDir::Files), results);
        ASSERT_TRUE(QDir(out).rmdir("9.ive"));
        if (command.name == std::string("landslide")) {
            continue;
        }

        // What an earlier run with monitor points left, and a file of the user's.
        ASSERT_TRUE(QDir().mkpath(summary));
        for (const char* name : {"monitors.csv", "monitor_2.png", ".volume.csv.partial-a8Bc3d", "notes.txt"}) {
            writeTextFile((summary + "/" + name).toStdString(), "earlier");
        }
        batch = run(command.arguments, out, {"--overwrite"});
        ASSERT_EQ(batch.exitCode, 0) << batch.err;
        for (const char* stale : {"monitors.csv", "monitor_2.png", ".volume.csv.partial-a8Bc3d"}) {
            EXPECT_FALSE(QFile::exists(summary + "/" + stale)) << stale;
        }
        EXPECT_EQ(readTextFile((summary + "/notes.txt").toStdString()), "earlier");
    }
}

TEST_F(BatchFolders, LinksPlantedInTheSummaryFolderAreReplacedNotWrittenThrough) {
    // Each summary file in turn, under its final name and under the name the summary once wrote through.
    for (const Command& command : {commands[0], commands[1]}) {
        SCOPED_TRACE(command.name);
        const QString out = path(QString("planted ") + command.name);
        const QString summary = out + "_summary";
        ASSERT_TRUE(QDir().mkpath(summary));
        const QString outside = path(QString("outside ") + command.name);
        writeTextFile(outside.toStdString(), "not the run's");
        for (const char* name : {"volume.csv", "volume.csv.partial", "maxDepth.tif.partial", "peakDepth.tif"}) {
            std::filesystem::create_symlink(outside.toStdString(), (summary + "/" + name).toStdString());
        }
        const ProgramRun batch = run(command.arguments, out);
        ASSERT_EQ(batch.exitCode, 0) << batch.err;
        EXPECT_EQ(readTextFile(outside.toStdString()), "not the run's");
        EXPECT_FALSE(QFileInfo(summary + "/volume.csv").isSymLink());
        EXPECT_NE(readTextFile((summary + "/volume.csv").toStdString()).find(",time_s,"), std::string::npos);
    }
}

TEST_F(BatchFolders, NearlyFullDiskStopsTheRunWithRoomForItsSummaryAndMessage) {
    const QString mountPoint = path("small disk");
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    if (runProgram("mount", {"-t", "tmpfs", "-o", "size=10m", "tmpfs", mountPoint}).exitCode != 0) {
        GTEST_SKIP() << "no small file system can be mounted here";
    }
    struct Unmount {
        QString path;
        ~Unmount() { runProgram("umount", {path}); }
    } unmount{mountPoint};
    const struct {
        QStringList arguments;
        const char* summaryFile;
    } cases[] = {
        {commands[0].arguments.mid(0, commands[0].arguments.size() - 2) +
             QStringList{"--format", ".ive", "--results", "1000000"},
         "maxDepth.tif"},
        {commands[1].arguments.mid(0, commands[1].arguments.size() - 2) + QStringList{"--format", ".ive"},
         "peakDepth.tif"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[0].toStdString());
        const QString out = mountPoint + "/" + c.arguments[0];
        const ProgramRun batch = run(c.arguments, out);
        EXPECT_EQ(batch.exitCode, 1) << batch.out << batch.err;
        EXPECT_NE(batch.err.find("is nearly full; stopping"), std::string::npos) << batch.err;
        EXPECT_NE(batch.err.find("leaving room for the summary"), std::string::npos) << batch.err;
        EXPECT_TRUE(QFile::exists(out + "_summary/volume.csv"));
        EXPECT_TRUE(QFile::exists(out + "_summary/" + c.summaryFile));
        EXPECT_GT(QStorageInfo(mountPoint).bytesAvailable(), 1024 * 1024);
        QDir(out).removeRecursively();
        QDir(out + "_summary").removeRecursively();
    }
}

}  // namespace
