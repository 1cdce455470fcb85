// The breach of the flood engine: released volume, peak outflow, hydrograph duration, the outflow over
// time and the residual storage, for every break mode of the flood form.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>

#include "cafloodnew.h"
#include "floodrun.h"
#include "floodtestdata.h"

namespace {

class FloodHydrographTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        // 100 m cells give a 1 s time step, so the default hydrograph ends within a few thousand steps.
        inputs = writeValley(folder.path().toStdString(), ValleyShape{6, 6, 100.0f}, {{2, 3}});
    }

    // Loads the valley into `engine` with this breach (section shape exponent `m`) and prepares the
    // hydrograph; returns what the preparation returned.
    bool prepare(CAFlood& engine, float capacity, float width, float height, float partialWidth,
                 float partialHeight, float m, bool total) {
        engine.setTimeStepDivisor(100.0f);
        EXPECT_TRUE(engine.loadInputs(inputs));
        engine.setBreachParameters(capacity, width, height, partialWidth, partialHeight, m, total);
        return engine.prepareHydrograph();
    }

    QTemporaryDir folder;
    std::vector<std::string> inputs;
};

TEST_F(FloodHydrographTest, FormDefaultsGiveVolumeAndPeakOfEveryBreakMode) {
    // Capacity 1e8 m^3, width 133 m, height 47.5 m; a partial breach is width / k by height / k.
    const struct {
        const char* mode;
        double volume;  // W, m^3
        float peak;     // Qmax, m^3/s
    } cases[] = {
        {"Total Break", 1e8, 40386.04f},   {"二分之一溃", 1e8 / 2, 16125.52f},
        {"三分之一溃", 1e8 / 3, 7407.28f}, {"五分之一溃", 1e8 / 5, 2658.69f},
        {"十分之一溃", 1e8 / 10, 640.08f}, {"total break", 1e8 / 10, 640.08f},
        {"", 1e8 / 10, 640.08f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        CAFlood engine;
        FloodRunSettings settings;
        settings.mode = c.mode;
        ASSERT_EQ(startFloodRun(engine, inputs, settings), FloodRunStart::Ready);
        EXPECT_NEAR(engine.releaseVolume(), c.volume, c.volume * 1e-6);
        EXPECT_FLOAT_EQ(engine.peakOutflowRate(), c.peak);
        // The area under the hydrograph reaches W at about W / (0.2185 Qmax).
        const double expectedDuration = c.volume / (0.2185 * c.peak);
        EXPECT_NEAR(engine.hydrographDuration(), expectedDuration, expectedDuration * 0.002);
    }
}

TEST_F(FloodHydrographTest, SectionShapeExponentOtherThanOne) {
    // m = 2: total peak 2 (2 sqrt2 / 5)^5 B sqrt(g) H^1.5; partial volume V - 70.243 d^3 + 784 d^2 - 8304.5 d
    // with d = H - h, partial peak independent of m.
    const struct {
        const char* name;
        bool total;
        float partialWidth, partialHeight;
        double volume;
        float peak;
    } cases[] = {
        {"total", true, 0.0f, 0.0f, 1e8, 15791.01f},
        {"partial, one third", false, 133.0f / 3.0f, 47.5f / 3.0f, 98292661.44, 7407.28f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CAFlood engine;
        ASSERT_TRUE(prepare(engine, 1e8f, 133.0f, 47.5f, c.partialWidth, c.partialHeight, 2.0f, c.total));
        EXPECT_NEAR(engine.releaseVolume(), c.volume, c.volume * 1e-6);
        EXPECT_FLOAT_EQ(engine.peakOutflowRate(), c.peak);
    }
}

// The outflow over the hydrograph lets out exactly the released volume, as the residual storage counts
// it, and nothing after the end. Summing the outflow at the start of each step over the step overstates
// the falling curve by at most the peak over one step; an outflow stretched to run from the peak to 0
// lets out over 5 % too much, and one that keeps its last value runs on for ever.
TEST_F(FloodHydrographTest, OutflowLetsOutTheReleasedVolumeAndStopsAtTheEnd) {
    CAFlood engine;
    ASSERT_EQ(startFloodRun(engine, inputs, FloodRunSettings()), FloodRunStart::Ready);
    const double volume = engine.releaseVolume();
    const float end = engine.hydrographDuration();
    EXPECT_EQ(engine.residualVolume(), volume);

    double letOut = 0.0;
    float previousOutflow = engine.peakOutflowRate();
    double previousResidual = volume;
    double tolerance = 0.0;
    while (engine.simulatedTime() <= end) {
        const float start = engine.simulatedTime();
        engine.step();
        const double seconds = engine.simulatedTime() - start;
        tolerance = engine.peakOutflowRate() * seconds;
        SCOPED_TRACE("at " + std::to_string(start) + " s");
        ASSERT_GE(engine.outflowRate(), 0.0f);
        ASSERT_LE(engine.outflowRate(), previousOutflow);
        ASSERT_LE(engine.residualVolume(), previousResidual);
        previousOutflow = engine.outflowRate();
        previousResidual = engine.residualVolume();
        letOut += engine.outflowRate() * seconds;
        ASSERT_NEAR(volume - engine.residualVolume(), letOut, tolerance);
        if (start == 0.0f) {
            // The curve is scaled to the volume, so its start stays near the peak of the breach.
            EXPECT_GT(engine.outflowRate(), 0.9f * engine.peakOutflowRate());
        }
    }
    EXPECT_NEAR(letOut, volume, tolerance);
    EXPECT_EQ(engine.residualVolume(), 0.0);

    for (int i = 0; i < 200; ++i) {
        engine.step();
        ASSERT_EQ(engine.outflowRate(), 0.0f);
        ASSERT_EQ(engine.residualVolume(), 0.0);
    }
}

TEST_F(FloodHydrographTest, BreachWithoutOutflowNeitherDividesByZeroNorLoops) {
    const struct {
        const char* name;
        float capacity, width, height, partialWidth, partialHeight;
        bool total;
        double residual;  // what stays in the reservoir
    } cases[] = {
        {"no width", 1e8f, 0.0f, 47.5f, 0.0f, 0.0f, true, 1e8},
        {"no height", 1e8f, 133.0f, 0.0f, 0.0f, 0.0f, true, 1e8},
        {"no capacity", 0.0f, 133.0f, 47.5f, 0.0f, 0.0f, true, 0.0},
        {"negative capacity", -5e6f, 133.0f, 47.5f, 0.0f, 0.0f, true, 0.0},
        {"partial breach of no height", 1e8f, 133.0f, 47.5f, 13.3f, 0.0f, false, 0.0},
        {"partial breach of no width", 1e8f, 133.0f, 47.5f, 0.0f, 4.75f, false, 1e7},
        {"trickle from a vast lake", 1e15f, 0.5f, 0.5f, 0.0f, 0.0f, true, 1e15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CAFlood engine;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(
            prepare(engine, c.capacity, c.width, c.height, c.partialWidth, c.partialHeight, 1.0f, c.total));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("lets no water out"), std::string::npos) << said;

        for (int i = 0; i < 20; ++i) {
            engine.step();
        }
        EXPECT_EQ(engine.outflowRate(), 0.0f);
        EXPECT_NEAR(engine.residualVolume(), c.residual, c.residual * 1e-6);
        EXPECT_FLOAT_EQ(engine.simulatedTime(), 20 * 2 * engine.stepSeconds());
        for (int r = 0; r < engine.rowCount(); ++r) {
            for (int col = 0; col < engine.columnCount(); ++col) {
                const FloodCell& cell = engine.cellRows()[r][col];
                ASSERT_EQ(cell.surfaceOld, cell.ground) << "row " << r << ", column " << col;
            }
        }
    }
}

}  // namespace
