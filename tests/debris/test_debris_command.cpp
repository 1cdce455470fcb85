// `vantorel-batch debris`, the real program, on a small valley written by the test.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <csignal>
#include <map>
#include <string>

#include "debrishud.h"
#include "debrisrun.h"
#include "debristestdata.h"
#include "debristick.h"

namespace {

ProgramRun runBatch(const QStringList& arguments) {
    return runProgram(QStringLiteral(VANTOREL_BATCH), QStringList{"debris"} + arguments);
}

std::string contents(const QString& path) {
    return readTextFile(path.toStdString());
}

class DebrisCommand : public ::testing::Test {
protected:
    void SetUp() override {
        debristest::writeGrid(
            grid().toStdString(), 30, 60, 10,
            [](int r, int c) { return 800 - 0.5 * c + 0.2 * std::abs(r - 15); }, 500000, 3300000);
        debristest::writeBreach(breach().toStdString(), {{15, 3}, {14, 3}});
    }
    QString path(const QString& name) const { return folder.filePath(name); }
    QString grid() const { return path("valley.asc"); }
    QString breach() const { return path("breach.txt"); }

    QTemporaryDir folder;
};

TEST_F(DebrisCommand, WritesTheFiguresAndSurfacesOfEveryRenderedFrame) {
    const QString out = path("results/run1");
    const ProgramRun result =
        runBatch({"--dem", grid(), "--breach", breach(), "--volume", "8000", "--colour-range", "1", "7",
                  "--format", ".ive", "--until", "60", "--out", out});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("2 frames written"), std::string::npos) << result.out;

    // The same run in this process, its frames written alongside for comparison.
    std::vector<double> values = debristest::formDefaults();
    values[0] = 8000;
    values[13] = 1;
    values[14] = 7;
    DebrisRun run;
    TerrainHeights heights;
    std::string problem;
    ASSERT_TRUE(startDebrisRun(run, heights, values, grid().toStdString(), breach().toStdString(), problem))
        << problem;
    QDir().mkpath(path("expected"));
    int frame = 0;
    while (run.debrisStepCount < 100) {
        DebrisHud hud;
        const osg::ref_ptr<osg::Geode> surface = advanceDebrisTick(run, heights, hud, DebrisTickSettings());
        if (surface) {
            ++frame;
            std::string failedFile;
            ASSERT_TRUE(
                writeDebrisFrame(path("expected").toStdString(), frame, ".ive", *surface, hud, failedFile));
        }
    }
    ASSERT_EQ(frame, 2);

    const char* times[] = {"29.4", "59.4"};
    for (int k = 1; k <= 2; ++k) {
        SCOPED_TRACE(k);
        const std::string written = contents(out + QString("/%1.txt").arg(k));
        EXPECT_EQ(written, contents(path("expected/%1.txt").arg(k)));
        // The surface in the colours of the range asked for, as the tick builds it.
        const std::string surface = contents(out + QString("/%1.ive").arg(k));
        EXPECT_GT(surface.size(), 1000u);
        EXPECT_EQ(surface, contents(path("expected/%1.ive").arg(k)));
        // Largest speed, time before the clock moved on, colour range.
        const QStringList lines = QString::fromStdString(written).split('\n');
        ASSERT_EQ(lines.size(), 4);
        EXPECT_GT(lines[0].toDouble(), 1.0);
        EXPECT_EQ(lines[1].toStdString(), times[k - 1]);
        EXPECT_EQ(lines[2], "1");
        EXPECT_EQ(lines[3], "7");
    }
    EXPECT_FALSE(QFile::exists(out + "/3.txt"));
    EXPECT_FALSE(QFile::exists(out + "/0.txt"));

    // The summary lies beside the frames, with a volume row per frame.
    EXPECT_EQ(QDir(out + "_summary").entryList(QDir::Files, QDir::Name),
              QStringList({"energyAtPeak.tif", "finalTrace.tif", "momentumAtPeak.tif", "peakDepth.tif",
                           "peakSpeed.tif", "report.html", "volume.csv"}));
    const QStringList volumeRows =
        QString::fromStdString(contents(out + "_summary/volume.csv")).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(volumeRows.size(), 3);

    // Without a format only the figures; with .3ds the surfaces as 3DS models.
    const struct {
        QStringList format;
        QStringList files;
    } formats[] = {{{}, {"1.txt", "2.txt"}}, {{"--format", ".3ds"}, {"1.3ds", "1.txt", "2.3ds", "2.txt"}}};
    for (const auto& f : formats) {
        // Inside the test's folder, so that the summary beside it goes away with it.
        const QString other = path("format" + f.format.join(""));
        const ProgramRun run = runBatch(QStringList{"--dem", grid(), "--breach", breach(), "--volume", "8000",
                                                    "--until", "60", "--out", other} +
                                        f.format);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(QDir(other).entryList(QDir::Files), f.files);
    }
}

// The frame files and the debris balance are the same for one thread and for two (the packets and cells
// themselves are compared step by step in the run's own test).
TEST_F(DebrisCommand, WritesTheSameFramesForAnyThreadCount) {
    std::map<std::string, std::string> frames[2];
    std::string balances[2];
    for (const int threads : {1, 2}) {
        const QString out = path(QString("threads %1").arg(threads));
        const ProgramRun result =
            runBatch({"--dem", grid(), "--breach", breach(), "--volume", "40000", "--until", "300",
                      "--threads", QString::number(threads), "--out", out});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        frames[threads - 1] = readFolderFiles(out.toStdString());
        const std::size_t balance = result.out.find("m3 of debris on the grid");
        ASSERT_NE(balance, std::string::npos) << result.out;
        // The balance line only: the summary's folder is named after the run's.
        const std::size_t lineStart = result.out.rfind('\n', balance) + 1;
        balances[threads - 1] = result.out.substr(lineStart, result.out.find('\n', balance) - lineStart);
    }
    EXPECT_EQ(frames[0].size(), 10u);
    EXPECT_EQ(frames[0], frames[1]);
    EXPECT_EQ(balances[0], balances[1]);
}

TEST_F(DebrisCommand, RefusesBadInputWithAReason) {
    debristest::writeBreach(path("ring.txt").toStdString(), {{0, 3}});
    writeTextFile(path("nan.asc").toStdString(),
                  "ncols 3\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n1 nan 1\n1 1 1\n1 1 1\n");
    writeTextFile(path("file").toStdString(), "not a folder");
    const QStringList inputs = {"--dem", grid(), "--breach", breach()};
    const QStringList output = {"--out", path("out")};
    const struct {
        const char* what;
        QStringList arguments;
        const char* reason;
    } cases[] = {
        {"nothing given", {}, "--dem is required"},
        {"no output folder", inputs, "--out is required"},
        {"unknown option", inputs + output + QStringList{"--speed", "3"}, "unknown option --speed"},
        {"no surface format", inputs + output + QStringList{"--format", ".tif"},
         "--format .tif is not a surface format (.ive or .3ds)"},
        {"time step not offered", inputs + output + QStringList{"--dt", "0.5"},
         "--dt must be 0.2, 0.4, 0.6 or 0.8"},
        {"volume not a number", inputs + output + QStringList{"--volume", "lots"},
         "--volume: \"lots\" is not a number"},
        {"negative outlet depth", inputs + output + QStringList{"--outlet-depth", "-5"},
         "--outlet-depth must be greater than 0"},
        {"one colour", inputs + output + QStringList{"--colour-range", "3"},
         "--colour-range takes two values"},
        {"empty colour range", inputs + output + QStringList{"--colour-range", "5", "5"},
         "the lower end must be below the upper end"},
        {"beyond the end of a run", inputs + output + QStringList{"--until", "7000"}, "a run ends at 6402 s"},
        {"no threads", inputs + output + QStringList{"--threads", "0"}, "--threads: 0 is outside"},
        {"missing grid", QStringList{"--dem", path("none.asc"), "--breach", breach()} + output,
         "cannot open the terrain grid"},
        {"breach cell on the ring", QStringList{"--dem", grid(), "--breach", path("ring.txt")} + output,
         "lies on the outer ring of the grid"},
        {"output folder is a file", inputs + QStringList{"--out", path("file")},
         "cannot create the output folder"},
        {"grid that is a device", QStringList{"--dem", "/dev/zero", "--breach", breach()} + output,
         "\"/dev/zero\" is not a regular file"},
        {"a value for overwrite", inputs + output + QStringList{"--overwrite", "yes"},
         "--overwrite takes no value"},
        {"heights that are no numbers", QStringList{"--dem", path("nan.asc"), "--breach", breach()} + output,
         "value 2 (row 0, column 1) is \"nan\", not a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramRun result = runBatch(c.arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    }
    EXPECT_FALSE(QFile::exists(path("out/1.txt")));
}

TEST_F(DebrisCommand, FolderHoldingFramesIsRefusedUnlessOverwriteRemovesThem) {
    const QString out = path("frames");
    const QStringList arguments = {"--dem", grid(),    "--breach", breach(), "--volume",
                                   "8000",  "--until", "60",       "--out",  out};
    ASSERT_EQ(runBatch(arguments).exitCode, 0);
    writeTextFile((out + "/7.ive").toStdString(), "an older frame");
    ProgramRun result = runBatch(arguments);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("holds 3 result files of an earlier run"), std::string::npos) << result.err;
    result = runBatch(arguments + QStringList{"--overwrite"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(QDir(out).entryList(QDir::Files), (QStringList{"1.txt", "2.txt"}));
}

TEST_F(DebrisCommand, InterruptedRunSaysWhereItStopped) {
    const QString out = path("interrupted");
    QProcess batch;
    batch.start(VANTOREL_BATCH, {"debris", "--dem", grid(), "--breach", breach(), "--out", out});
    ASSERT_TRUE(batch.waitForStarted());
    for (int waited = 0; waited < 60000 && !QFile::exists(out + "/2.txt"); waited += 20) {
        QThread::msleep(20);
    }
    ::kill(static_cast<pid_t>(batch.processId()), SIGINT);
    ASSERT_TRUE(batch.waitForFinished(30000));
    EXPECT_EQ(batch.exitCode(), 128 + SIGINT);
    const int frames = static_cast<int>(QDir(out).entryList(QDir::Files | QDir::Hidden).size());
    EXPECT_GE(frames, 2);
    EXPECT_NE(batch.readAllStandardError().toStdString().find("stopped by SIGINT at "), std::string::npos);
    for (int k = 1; k <= frames; ++k) {
        EXPECT_EQ(QString::fromStdString(contents(out + QString("/%1.txt").arg(k))).split('\n').size(), 4)
            << k;
    }
    // The summary of the frames written: a header and a row per frame, and the peak rasters.
    EXPECT_EQ(QString::fromStdString(contents(out + "_summary/volume.csv")).count('\n'), frames + 1);
    EXPECT_TRUE(QFile::exists(out + "_summary/peakDepth.tif"));
}

TEST_F(DebrisCommand, ShowsItsOptions) {
    const ProgramRun result = runBatch({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("usage: vantorel-batch debris --dem FILE --breach FILE"), std::string::npos);
    EXPECT_NE(result.out.find("--until SECONDS"), std::string::npos);
}

}  // namespace
