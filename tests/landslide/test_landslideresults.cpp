// A whole landslide run on generated rasters, in every output format: result files 1 to 101, what they
// hold, and the same files from the real vantorel-batch program.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

#include "landslidetestdata.h"
#include "landslidetick.h"
#include "testfiles.h"

namespace {

class LandslideResultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QDir(folder.path()).mkpath("inputs"));
        scene = writeSlideScene(folder.filePath("inputs").toStdString());
    }

    // The run of the window's and the batch command's tick, in this process.
    void runHere(const std::string& out, const std::string& format) {
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(out)));
        LandslideRun run;
        std::string problem;
        ASSERT_TRUE(run.prepare(scene.inputs, problem)) << problem;
        LandslideTickSettings settings;
        settings.folder = out;
        settings.format = format;
        int ticks = 0;
        while (!run.finished()) {
            const LandslideTick tick = advanceLandslideTick(run, settings);
            ASSERT_TRUE(tick.problem.empty()) << tick.problem;
            ++ticks;
            ASSERT_EQ(tick.figures.step, ticks);
            ASSERT_TRUE(tick.stepMesh);
            ASSERT_EQ(static_cast<bool>(tick.finalMesh), ticks == 100);
        }
        EXPECT_EQ(ticks, 100);
        EXPECT_EQ(advanceLandslideTick(run, settings).figures.step, 0)
            << "a finished run computes nothing more";
    }

    ProgramRun runBatch(const QStringList& arguments) const {
        return runProgram(VANTOREL_BATCH, QStringList{"landslide"} + arguments);
    }
    QStringList inputOptions() const {
        const LandslideInputs& in = scene.inputs;
        const std::pair<const char*, std::string> options[] = {
            {"--deposit", in.deposit},
            {"--path", in.path},
            {"--body", in.body},
            {"--image", in.image},
            {"--centreline", in.centreline},
            {"--mosaic", in.mosaic},
            {"--post-dem", in.postDem},
        };
        QStringList list;
        for (const auto& [name, path] : options) {
            list << name << QString::fromStdString(path);
        }
        return list;
    }

    QTemporaryDir folder;
    SlideScene scene;
};

TEST_F(LandslideResultsTest, EveryFormatGivesResultsOneTo101AndTheBatchCommandTheSameFiles) {
    // A long folder name with spaces: paths of any length.
    const std::string longName =
        "results of a landslide run with a rather long folder name " + std::string(120, 'k');
    for (const std::string format : {".ive", ".3ds", ".tif"}) {
        SCOPED_TRACE(format);
        const std::string here =
            folder.filePath(QString::fromStdString(longName + "/here" + format)).toStdString();
        const std::string batch =
            folder.filePath(QString::fromStdString(longName + "/batch" + format)).toStdString();
        runHere(here, format);
        const ProgramRun program =
            runBatch(inputOptions() + QStringList{"--format", QString::fromStdString(format), "--out",
                                                  QString::fromStdString(batch)});
        ASSERT_EQ(program.exitCode, 0) << program.out << program.err;
        EXPECT_NE(program.out.find("results 1 to 101 written"), std::string::npos) << program.out;

        for (const std::string& out : {here, batch}) {
            QStringList expected;
            for (int n = 1; n <= 101; ++n) {
                expected << QString::number(n) + QString::fromStdString(format);
            }
            QStringList written = QDir(QString::fromStdString(out)).entryList(QDir::Files);
            std::sort(written.begin(), written.end());
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(written, expected) << out;
        }
        for (int n = 1; n <= 101; ++n) {
            const std::string name = "/" + std::to_string(n) + format;
            ASSERT_EQ(readTextFile(here + name), readTextFile(batch + name)) << "result " << n;
        }
        if (format == ".ive") {
            for (const char* name : {"/50.ive", "/101.ive"}) {
                const ProgramRun osgconv = runProgram(
                    "osgconv", {QString::fromStdString(here + name), folder.filePath("check.osgt")});
                EXPECT_EQ(osgconv.exitCode, 0) << name << osgconv.err;
            }
        }
        if (format == ".tif") {
            // The final state is the post-disaster DEM; every step stands on the mosaicked DEM.
            EXPECT_EQ(readTestRaster(here + "/101.tif"), scene.postDem);
            LandslideRun run;
            std::string problem;
            ASSERT_TRUE(run.prepare(scene.inputs, problem));
            for (int k = 1; k <= 100; ++k) {
                run.computeStep(k);
                if (k == 1 || k == 37 || k == 100) {
                    EXPECT_EQ(readTestRaster(here + "/" + std::to_string(k) + ".tif"), run.surface)
                        << "step " << k;
                    EXPECT_NE(run.surface, scene.mosaic);
                }
                run.restoreSurface();
            }
        }
    }
}

TEST_F(LandslideResultsTest, BatchCommandRefusesBadCommandLinesAndInputs) {
    const QString out = folder.filePath("out");
    const struct {
        const char* what;
        QStringList arguments;
        int exitCode;
        const char* message;
    } cases[] = {
        {"help", {"--help"}, 0, "--centreline FILE"},
        {"no output folder", inputOptions(), 2, "--out is required"},
        {"unknown format", inputOptions() + QStringList{"--format", ".png", "--out", out}, 2, ".png"},
        {"unknown option", inputOptions() + QStringList{"--speed", "2", "--out", out}, 2,
         "unknown option --speed"},
        {"missing input", QStringList{"--mosaic", "m.tif", "--out", out}, 2, "--deposit is required"},
        {"unreadable input",
         inputOptions() + QStringList{"--centreline", folder.filePath("none.tif"), "--out", out}, 2,
         "中心线"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramRun program = runBatch(c.arguments);
        EXPECT_EQ(program.exitCode, c.exitCode) << program.out << program.err;
        EXPECT_NE((program.out + program.err).find(c.message), std::string::npos)
            << program.out << program.err;
    }
    EXPECT_FALSE(QFile::exists(out + "/1.ive"));
}

TEST_F(LandslideResultsTest, BatchCommandKeepsEarlierResultsUnlessTold) {
    const QString out = folder.filePath("out");
    writeTextFile(out.toStdString() + "/7.tif", "an earlier run");
    writeTextFile(out.toStdString() + "/notes.txt", "the user's");
    const QStringList toOut = inputOptions() + QStringList{"--out", out};

    const ProgramRun refused = runBatch(toOut);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("--overwrite"), std::string::npos) << refused.err;
    EXPECT_EQ(folderEntries(out.toStdString()), (std::vector<std::string>{"7.tif", "notes.txt"}));
    EXPECT_EQ(runBatch(toOut + QStringList{"--overwrite", "yes"}).exitCode, 2);

    const ProgramRun replaced = runBatch(toOut + QStringList{"--overwrite"});
    ASSERT_EQ(replaced.exitCode, 0) << replaced.err;
    const std::vector<std::string> entries = folderEntries(out.toStdString());
    EXPECT_EQ(entries.size(), 102u);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "7.tif"), 0);
    EXPECT_EQ(readTextFile(out.toStdString() + "/notes.txt"), "the user's");
}

TEST_F(LandslideResultsTest, ResultThatCannotBeWrittenIsNamedAndLeavesNothingCutShort) {
    for (const std::string format : {".ive", ".tif"}) {
        SCOPED_TRACE(format);
        const std::string out = folder.filePath(QString::fromStdString("full" + format)).toStdString();
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(out)));
        LandslideRun run;
        std::string problem;
        ASSERT_TRUE(run.prepare(scene.inputs, problem)) << problem;
        LandslideTickSettings settings;
        settings.folder = out;
        settings.format = format;
        ASSERT_TRUE(advanceLandslideTick(run, settings).problem.empty());
        LandslideTick tick;
        {
            // As on a full disk: room for a few bytes only.
            FileSizeLimit limit(64);
            tick = advanceLandslideTick(run, settings);
        }
        EXPECT_NE(tick.problem.find(out + "/2" + format), std::string::npos) << tick.problem;
        EXPECT_EQ(folderEntries(out), std::vector<std::string>{"1" + format});
    }
}

}  // namespace
