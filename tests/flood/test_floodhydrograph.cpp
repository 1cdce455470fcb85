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
        ValleyShape shape;
        shape.ncols = 6;
        shape.nrows = 6;
        shape.cellsize = 100.0f;
        inputs = writeValley(folder.path().toStdString(), shape, {{2, 3}});
    }

    QTemporaryDir folder;
    std::vector<std::string> inputs;
};

struct ModeCase {
    const char* mode;
    double volume;  // W, m^3
    float peak;     // Qmax, m^3/s
};

TEST_F(FloodHydrographTest, FormDefaultsGiveVolumeAndPeakOfEveryBreakMode) {
    // Capacity 1e8 m^3, width 133 m, height 47.5 m; a partial breach is width / k by height / k.
    const ModeCase cases[] = {
        {"Total Break", 1e8, 40386.04f},   {"二分之一溃", 1e8 / 2, 16125.52f},
        {"三分之一溃", 1e8 / 3, 7407.28f}, {"五分之一溃", 1e8 / 5, 2658.69f},
        {"十分之一溃", 1e8 / 10, 640.08f}, {"total break", 1e8 / 10, 640.08f},
        {"", 1e8 / 10, 640.08f},
    };
    for (const ModeCase& item : cases) {
        SCOPED_TRACE(item.mode);
        CAFlood engine;
        FloodRunSettings settings;
        settings.mode = item.mode;
        ASSERT_EQ(startFloodRun(engine, inputs, settings), FloodRunStart::Ready);
        EXPECT_NEAR(engine.releaseVolume(), item.volume, item.volume * 1e-6);
        EXPECT_FLOAT_EQ(engine.peakOutflowRate(), item.peak);
        // The area under the hydrograph reaches W at about W / (0.2185 Qmax).
        const double expectedDuration = item.volume / (0.2185 * item.peak);
        EXPECT_NEAR(engine.hydrographDuration(), expectedDuration, expectedDuration * 0.002);
    }
}

struct ShapeCase {
    const char* name;
    bool total;
    float partialWidth;
    float partialHeight;
    double volume;
    float peak;
};

TEST_F(FloodHydrographTest, SectionShapeExponentOtherThanOne) {
    // m = 2: total peak 2 (2 sqrt2 / 5)^5 B sqrt(g) H^1.5; partial volume V - 70.243 d^3 + 784 d^2 - 8304.5 d
    // with d = H - h, partial peak independent of m.
    const ShapeCase cases[] = {
        {"total", true, 0.0f, 0.0f, 1e8, 15791.01f},
        {"partial, one third", false, 133.0f / 3.0f, 47.5f / 3.0f, 98292661.44, 7407.28f},
    };
    for (const ShapeCase& item : cases) {
        SCOPED_TRACE(item.name);
        CAFlood engine;
        engine.setTimeStepDivisor(100.0f);
        ASSERT_TRUE(engine.loadInputs(inputs));
        engine.setBreachParameters(1e8f, 133.0f, 47.5f, item.partialWidth, item.partialHeight, 2.0f,
                                   item.total);
        ASSERT_TRUE(engine.prepareHydrograph());
        EXPECT_NEAR(engine.releaseVolume(), item.volume, item.volume * 1e-6);
        EXPECT_FLOAT_EQ(engine.peakOutflowRate(), item.peak);
    }
}

TEST_F(FloodHydrographTest, OutflowFallsFromPeakToRestAndResidualEmpties) {
    CAFlood engine;
    ASSERT_EQ(startFloodRun(engine, inputs, FloodRunSettings()), FloodRunStart::Ready);
    const float end = engine.hydrographDuration();

    engine.step();
    EXPECT_EQ(engine.outflowRate(), engine.peakOutflowRate()) << "outflow at time 0";
    double previousResidual = engine.residualVolume();
    EXPECT_GT(previousResidual, 0.99e8);
    while (engine.simulatedTime() <= end) {
        engine.step();
        ASSERT_GE(engine.outflowRate(), 0.0f) << "at " << engine.simulatedTime() << " s";
        ASSERT_LE(engine.outflowRate(), engine.peakOutflowRate());
        ASSERT_GE(engine.residualVolume(), 0.0);
        ASSERT_LE(engine.residualVolume(), previousResidual);
        previousResidual = engine.residualVolume();
    }
    // The hydrograph has let out (nearly) the whole volume and the last outflow is about zero.
    EXPECT_LT(engine.residualVolume(), 1e8 * 0.001);
    EXPECT_LT(engine.outflowRate(), 0.001f * engine.peakOutflowRate());

    const float last = engine.outflowRate();
    const double lastResidual = engine.residualVolume();
    for (int i = 0; i < 200; ++i) {
        engine.step();
        ASSERT_EQ(engine.outflowRate(), last);
        ASSERT_EQ(engine.residualVolume(), lastResidual);
    }
}

struct NoOutflowCase {
    const char* name;
    float capacity;
    float width;
    float height;
    float partialWidth;
    float partialHeight;
    bool total;
    double residual;  // what stays in the reservoir
};

TEST_F(FloodHydrographTest, BreachWithoutOutflowNeitherDividesByZeroNorLoops) {
    const NoOutflowCase cases[] = {
        {"no width", 1e8f, 0.0f, 47.5f, 0.0f, 0.0f, true, 1e8},
        {"no height", 1e8f, 133.0f, 0.0f, 0.0f, 0.0f, true, 1e8},
        {"no capacity", 0.0f, 133.0f, 47.5f, 0.0f, 0.0f, true, 0.0},
        {"negative capacity", -5e6f, 133.0f, 47.5f, 0.0f, 0.0f, true, 0.0},
        {"partial breach of no height", 1e8f, 133.0f, 47.5f, 13.3f, 0.0f, false, 0.0},
        {"partial breach of no width", 1e8f, 133.0f, 47.5f, 0.0f, 4.75f, false, 1e7},
        {"trickle from a vast lake", 1e15f, 0.5f, 0.5f, 0.0f, 0.0f, true, 1e15},
    };
    for (const NoOutflowCase& item : cases) {
        SCOPED_TRACE(item.name);
        CAFlood engine;
        engine.setTimeStepDivisor(100.0f);
        ASSERT_TRUE(engine.loadInputs(inputs));
        engine.setBreachParameters(item.capacity, item.width, item.height, item.partialWidth,
                                   item.partialHeight, 1.0f, item.total);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(engine.prepareHydrograph());
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("lets no water out"), std::string::npos) << said;

        for (int i = 0; i < 20; ++i) {
            engine.step();
        }
        EXPECT_EQ(engine.outflowRate(), 0.0f);
        EXPECT_NEAR(engine.residualVolume(), item.residual, item.residual * 1e-6);
        EXPECT_FLOAT_EQ(engine.simulatedTime(), 20 * 2 * engine.stepSeconds());
        for (int r = 0; r < engine.rowCount(); ++r) {
            for (int c = 0; c < engine.columnCount(); ++c) {
                const FloodCell& cell = engine.cellRows()[r][c];
                ASSERT_EQ(cell.surfaceOld, cell.ground) << "row " << r << ", column " << c;
            }
        }
    }
}

}  // namespace
