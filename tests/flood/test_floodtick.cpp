// One tick of a computed flood as the live run and the batch run share it: the excess-volume trim, a
// guard that a volume-keeping step never needs, says how much water it took when it does act; the
// result files copied for the writer thread.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <map>
#include <osg/Geode>
#include <sstream>

#include "cafloodnew.h"
#include "floodhud.h"
#include "floodrun.h"
#include "floodtestdata.h"
#include "floodtick.h"
#include "monitorpoints.h"

namespace {

// Result N of a long run is stamped N times the result interval: the clock counts steps, it does not add
// up rounded step lengths (10 m cells take steps of 0.2 s, which no float holds exactly; added up in
// floats, 10 000 results of 1 s come to 10 000.3 s and more).
TEST(FloodTickTest, ResultClockIsTheResultCountTimesTheInterval) {
    for (const double cellsize : {10.0, 7.3}) {
        SCOPED_TRACE("cells of " + std::to_string(cellsize) + " m");
        QTemporaryDir folder;
        ValleyShape shape{8, 8, static_cast<float>(cellsize)};
        CAFlood engine;
        ASSERT_EQ(startFloodRun(engine, writeValley(folder.path().toStdString(), shape, {{3, 5}}),
                                smallBreach(1e4f)),
                  FloodRunStart::Ready);
        const double interval = floodStepsPerResult * 2.0 * cellsize / 100.0;
        for (int result = 1; result <= 10000; ++result) {
            for (int step = 0; step < floodStepsPerResult; ++step) {
                engine.step();
            }
        }
        EXPECT_NEAR(engine.simulatedTime(), 10000 * interval, 1e-6);
    }
}

// A tick advances a span of steps at once: it ends where as many single steps end, across the
// five-step spans a sub-step never crosses, and shallow slow water takes fewer sub-steps than steps. A
// time is reached on the first whole step no more than half a step short of it.
TEST(FloodTickTest, SpansOfStepsEndWhereSingleStepsEnd) {
    QTemporaryDir folder;
    const std::vector<std::string> inputs =
        writeValley(folder.path().toStdString(), ValleyShape{}, {{20, 38}});
    CAFlood spans;
    CAFlood single;
    ASSERT_EQ(startFloodRun(spans, inputs, smallBreach(1e4f)), FloodRunStart::Ready);
    ASSERT_EQ(startFloodRun(single, inputs, smallBreach(1e4f)), FloodRunStart::Ready);
    for (const int count : {1, 4, 2, 7, 13, 5, 0, -3}) {
        spans.advance(count);
        for (int i = 0; i < count; ++i) {
            single.step();
        }
        ASSERT_EQ(spans.simulatedTime(), single.simulatedTime()) << count << " steps";
    }
    // 32 steps; a small flood in a 10 m valley runs at a few m/s, a tenth of a cell per step.
    EXPECT_LT(spans.subStepCount(), single.subStepCount() / 2);
    EXPECT_GT(spans.waterOnGrid(), 0.0);

    const double step = 2.0 * spans.stepSeconds();
    const struct {
        double ahead;  // steps past the clock
        int steps;     // whole steps the clock gains
    } targets[] = {{10.0, 10}, {3.4, 3}, {3.6, 4}, {0.4, 0}, {-2.0, 0}, {std::nan(""), 0}};
    for (const auto& target : targets) {
        const double before = spans.simulatedTime();
        spans.advanceUntil(before + target.ahead * step);
        EXPECT_NEAR(spans.simulatedTime() - before, target.steps * step, 1e-6)
            << target.ahead << " steps ahead";
    }
}

TEST(FloodTickTest, ExcessVolumeTrimSaysHowMuchItRemoved) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const ValleyShape shape{30, 60};
    CAFlood engine;
    ASSERT_EQ(startFloodRun(engine, writeValley(folder.path().toStdString(), shape, {{14, shape.nrows - 3}}),
                            FloodRunSettings{1e6f, 20.0f, 10.0f}),
              FloodRunStart::Ready);
    FloodHud hud;
    MonitorPoints monitors;
    FloodTickSettings settings;
    testing::internal::CaptureStdout();
    for (int tick = 0; tick < 400; ++tick) {
        advanceFloodTick(engine, hud, monitors, settings);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the trim has not acted";
    ASSERT_EQ(engine.trimmedVolume(), 0.0);

    // The breach prepared anew with a tenth of its volume: the grid now holds far more water than the
    // new breach releases, and the trim lowers the deepest cells.
    engine.setBreachParameters(1e5f, 20.0f, 10.0f, 0.0f, 0.0f, 1.0f, true);
    ASSERT_TRUE(engine.prepareHydrograph());
    testing::internal::CaptureStdout();
    advanceFloodTick(engine, hud, monitors, settings);
    const std::string said = testing::internal::GetCapturedStdout();
    ASSERT_GT(engine.trimmedVolume(), 0.0);
    std::ostringstream expected;
    expected << "excess-volume trim: removed " << engine.trimmedVolume() << " m^3 by "
             << engine.simulatedTime() << " s (" << engine.trimmedVolume() << " m^3 in all)\n";
    EXPECT_EQ(said, expected.str());

    // A run that keeps its terminal for a progress line says nothing here.
    settings.printDiagnostics = false;
    testing::internal::CaptureStdout();
    const double before = engine.trimmedVolume();
    advanceFloodTick(engine, hud, monitors, settings);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_GT(engine.trimmedVolume(), before);
}

// The live run writes a tick's files from copies while the engine and the scene go on: written after the
// engine has stepped on and the scene's water has been emptied, they are still the tick's own files,
// byte for byte those written at once.
TEST(FloodTickTest, CopiedResultFilesAreThoseOfTheirTick) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string base = folder.path().toStdString();
    const ValleyShape shape{30, 40};
    CAFlood engine;
    ASSERT_EQ(startFloodRun(engine, writeValley(base, shape, {{14, shape.nrows - 3}}), smallBreach(1e6f)),
              FloodRunStart::Ready);
    MonitorPoints monitors;
    writeTextFile(base + "/points.json",
                  R"({"Monitors": [{"x": 145, "y": 35, "z": 0, "vec": 0, "flu": 0, "dep": 0, "time": 0}]})");
    ASSERT_TRUE(monitors.readJson(base + "/points.json"));
    FloodHud hud;
    FloodTickSettings settings;
    settings.printDiagnostics = false;
    for (int tick = 0; tick < 20; ++tick) {
        advanceFloodTick(engine, hud, monitors, settings);
    }
    const osg::ref_ptr<osg::Geode> water = advanceFloodTick(engine, hud, monitors, settings);
    ASSERT_GT(water->getNumDrawables(), 0u);
    for (const char* format : {".tif", ".ive"}) {
        SCOPED_TRACE(format);
        const std::string now = base + "/now " + format;
        const std::string later = base + "/later " + format;
        QDir().mkpath(QString::fromStdString(now));
        QDir().mkpath(QString::fromStdString(later));
        std::string failedFile;
        ASSERT_TRUE(writeFloodResult(now, 7, format, *water, engine, hud, monitors, failedFile, false));
        const FloodResultFiles files = copyFloodResult(later, 7, format, *water, engine, hud, monitors);
        advanceFloodTick(engine, hud, monitors, settings);
        if (std::string(format) == ".ive") {
            water->removeDrawables(0, water->getNumDrawables());
        }
        ASSERT_TRUE(writeFloodResult(files, failedFile, false)) << failedFile;
        const std::map<std::string, std::string> written = readFolderFiles(now);
        EXPECT_EQ(written.size(), 3u);
        EXPECT_TRUE(readFolderFiles(later) == written) << "the copied files differ from the tick's";
    }
}

}  // namespace
