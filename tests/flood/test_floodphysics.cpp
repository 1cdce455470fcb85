// The flood engine against what water does: a closed basin keeps exactly the water the breach let out,
// its lake comes to rest with a level surface, water runs down a valley into a level lake, and a
// terrain mirrored about the grid's diagonal floods as the mirror image of the original.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "cafloodnew.h"
#include "floodrun.h"
#include "floodtestdata.h"

namespace {

// Water on the grid, m^3 (outbreak cells hold none: their surface is their ground).
double waterOnGrid(const CAFlood& engine) {
    double depthSum = 0.0;
    for (int r = 0; r < engine.rowCount(); ++r) {
        for (int c = 0; c < engine.columnCount(); ++c) {
            depthSum += cellDepth(engine, r, c);
        }
    }
    return depthSum * engine.cellSize() * engine.cellSize();
}

// A closed paraboloid bowl of 100 x 100 cells of 20 m, roughness 0.03, its rim 50 m above its bottom at
// the middle of each side, and a breach of 2e5 m^3 (width 20 m, height 10 m, total break) through the
// given outbreak cells.
struct Bowl {
    QTemporaryDir folder;
    CAFlood engine;

    explicit Bowl(const std::vector<std::pair<int, int>>& outbreak) {
        const int size = 100;
        const float cellsize = 20.0f;
        std::vector<float> ground(static_cast<std::size_t>(size) * size);
        for (int r = 0; r < size; ++r) {
            for (int c = 0; c < size; ++c) {
                const double x = (c - 49.5) * cellsize;
                const double y = (r - 49.5) * cellsize;
                ground[static_cast<std::size_t>(r) * size + c] =
                    static_cast<float>(100.0 + 50.0 * (x * x + y * y) / 1e6);
            }
        }
        const std::string base = folder.path().toStdString();
        const std::vector<std::string> inputs = {base + "/n.asc", base + "/dem.asc", base + "/outbreak.txt"};
        writeAsciiGrid(inputs[0], size, size, std::vector<float>(ground.size(), 0.03f), cellsize);
        writeAsciiGrid(inputs[1], size, size, ground, cellsize);
        writeOutbreakFile(inputs[2], outbreak);
        FloodRunSettings settings;
        settings.capacity = 2e5f;
        settings.width = 20.0f;
        settings.height = 10.0f;
        ready = startFloodRun(engine, inputs, settings) == FloodRunStart::Ready;
    }
    bool ready = false;
};

TEST(FloodPhysicsTest, ClosedBasinHoldsExactlyTheReleasedWater) {
    const struct {
        const char* name;
        std::vector<std::pair<int, int>> outbreak;  // (column, row from the bottom)
    } cases[] = {
        // On the northern rim, in the border row: its east face leads into the border.
        {"one outbreak cell on the rim", {{50, 100}}},
        // Side by side near the rim: the first two push east into outbreak cells.
        {"three outbreak cells side by side", {{49, 95}, {50, 95}, {51, 95}}},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        Bowl bowl(item.outbreak);
        ASSERT_TRUE(bowl.ready);
        CAFlood& engine = bowl.engine;
        ASSERT_LT(engine.hydrographDuration(), 2000.0f);
        // The step moves water between cells and never makes or deletes any, so the grid holds what the
        // breach let out up to float rounding of the surfaces; 0.5 % leaves room for nothing else. Water
        // made by a wet-dry rule, a limiter that lets a cell give more than it holds, outflow lost
        // against a neighbouring outbreak cell or the border, or an outflow that runs on after the
        // hydrograph all fall far outside.
        for (const float checkpoint : {100.0f, 400.0f, 1000.0f, 3000.0f, 6000.0f}) {
            runUntil(engine, checkpoint);
            SCOPED_TRACE("at " + std::to_string(engine.simulatedTime()) + " s");
            const double released = engine.releaseVolume() - engine.residualVolume();
            ASSERT_GT(released, 0.0);
            EXPECT_NEAR(waterOnGrid(engine), released, 0.005 * released);
            EXPECT_NEAR(engine.waterOnGrid(), waterOnGrid(engine), 1e-6 * released);
            EXPECT_EQ(engine.trimmedVolume(), 0.0) << "the excess-volume trim never fires";
        }
        EXPECT_EQ(engine.residualVolume(), 0.0);
    }
}

// After the hydrograph the lake in the bowl comes to rest: the inflow's slosh dies away under friction
// alone. A lake stirred by water appearing on its rim, or dimpled 0.5 m at a time by the trim, keeps
// moving at several centimetres a second and its surface stays rough by decimetres.
TEST(FloodPhysicsTest, LakeComesToRestWithALevelSurface) {
    Bowl bowl({{50, 100}});
    ASSERT_TRUE(bowl.ready);
    CAFlood& engine = bowl.engine;
    runUntil(engine, 6 * 3600.0f);
    ASSERT_GT(engine.simulatedTime(), 3.0f * engine.hydrographDuration());

    // The lake: cells holding more than a centimetre (thinner films on the bowl's sides are what the
    // inflow left behind on its way down).
    int cells = 0;
    double speedSum = 0.0;
    float lowest = 1e9f;
    float highest = -1e9f;
    for (int r = 0; r < engine.rowCount(); ++r) {
        for (int c = 0; c < engine.columnCount(); ++c) {
            const FloodCell& cell = engine.cellRows()[r][c];
            if (!cell.source && cell.surfaceOld - cell.ground > 0.01f) {
                ++cells;
                speedSum += cell.speed;
                lowest = std::min(lowest, cell.surfaceOld);
                highest = std::max(highest, cell.surfaceOld);
            }
        }
    }
    ASSERT_GT(cells, 100);
    EXPECT_LT(speedSum / cells, 0.01);
    EXPECT_LT(highest - lowest, 0.05f);
}

// The southernmost row holding water.
int lowestWetRow(const CAFlood& engine) {
    for (int r = engine.rowCount() - 1; r >= 0; --r) {
        for (int c = 0; c < engine.columnCount(); ++c) {
            if (engine.cellRows()[r][c].wet && !engine.cellRows()[r][c].source) {
                return r;
            }
        }
    }
    return -1;
}

TEST(FloodPhysicsTest, WaterRunsDownTheValleyIntoALevelLake) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const ValleyShape shape{30, 60};
    // One breach near the head of the valley, both of its faces opening into the valley.
    const std::vector<std::string> inputs =
        writeValley(folder.path().toStdString(), shape, {{14, shape.nrows - 3}});
    CAFlood engine;
    ASSERT_EQ(startFloodRun(engine, inputs, FloodRunSettings{1e6f, 20.0f, 10.0f}), FloodRunStart::Ready);

    int previousFront = 0;
    for (const float checkpoint : {50.0f, 100.0f, 200.0f, 400.0f, 700.0f, 1000.0f}) {
        runUntil(engine, checkpoint);
        SCOPED_TRACE("at " + std::to_string(engine.simulatedTime()) + " s");
        const int front = lowestWetRow(engine);
        EXPECT_GE(front, previousFront) << "the water runs down the valley";
        previousFront = front;
    }
    EXPECT_EQ(previousFront, shape.nrows - 2) << "the water has reached the foot of the valley";

    // There it forms a lake across the valley with a level surface.
    const FloodCell* foot = engine.cellRows()[shape.nrows - 2];
    int wetCells = 0;
    float lowest = 1e9f;
    float highest = -1e9f;
    for (int c = 1; c < shape.ncols - 1; ++c) {
        if (foot[c].wet) {
            ++wetCells;
            lowest = std::min(lowest, foot[c].surfaceOld);
            highest = std::max(highest, foot[c].surfaceOld);
        }
    }
    EXPECT_GE(wetCells, (shape.ncols - 2) / 2);
    EXPECT_LT(highest - lowest, 1.5f);
}

// No cell's result depends on the order in which the step visits the cells, and east and south are
// treated alike: a flood on a terrain mirrored about the grid's diagonal (rows become columns) is, bit
// for bit, the mirror image of the flood on the original, east faces becoming south faces. The run is
// long enough for the water to reach the cells without data and the deep pit and run around them.
TEST(FloodPhysicsTest, TerrainMirroredAboutTheDiagonalFloodsAsTheMirrorImage) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const ValleyShape shape{24, 40, 10.0f, 0.04f, 0.01f};
    std::vector<float> ground = valleyGround(shape);
    for (int r = 22; r < 25; ++r) {
        for (int c = 3; c < 8; ++c) {
            ground[r * shape.ncols + c] = 9999.0f;
        }
    }
    ground[30 * shape.ncols + 14] = -9999.0f;
    // Roughness that differs from cell to cell, so that the mirror has to carry it along.
    std::vector<float> roughness(ground.size());
    for (std::size_t i = 0; i < roughness.size(); ++i) {
        roughness[i] = 0.03f + 0.01f * static_cast<float>(i % 7);
    }
    const std::vector<std::pair<int, int>> outbreak = {
        {9, shape.nrows - 3}, {10, shape.nrows - 3}, {16, shape.nrows - 8}};

    std::vector<float> mirroredGround(ground.size());
    std::vector<float> mirroredRoughness(ground.size());
    for (int r = 0; r < shape.nrows; ++r) {
        for (int c = 0; c < shape.ncols; ++c) {
            mirroredGround[c * shape.nrows + r] = ground[r * shape.ncols + c];
            mirroredRoughness[c * shape.nrows + r] = roughness[r * shape.ncols + c];
        }
    }
    // Outbreak pairs are (column, row from the bottom): grid cell (r, c) becomes (c, r).
    std::vector<std::pair<int, int>> mirroredOutbreak;
    for (const auto& [column, rowFromBottom] : outbreak) {
        const int r = shape.nrows - rowFromBottom;
        mirroredOutbreak.emplace_back(r, shape.ncols - column);
    }

    const std::string base = folder.path().toStdString();
    const auto start = [&](CAFlood& engine, const std::string& name, int ncols, int nrows,
                           const std::vector<float>& dem, const std::vector<float>& n,
                           const std::vector<std::pair<int, int>>& cells) {
        const std::vector<std::string> inputs = {base + "/" + name + "-n.asc", base + "/" + name + "-dem.asc",
                                                 base + "/" + name + "-outbreak.txt"};
        writeAsciiGrid(inputs[0], ncols, nrows, n, shape.cellsize);
        writeAsciiGrid(inputs[1], ncols, nrows, dem, shape.cellsize);
        writeOutbreakFile(inputs[2], cells);
        testing::internal::CaptureStderr();
        const FloodRunStart started = startFloodRun(engine, inputs, FloodRunSettings{5e5f, 20.0f, 10.0f});
        testing::internal::GetCapturedStderr();
        return started;
    };
    CAFlood original;
    CAFlood mirrored;
    ASSERT_EQ(start(original, "original", shape.ncols, shape.nrows, ground, roughness, outbreak),
              FloodRunStart::Ready);
    ASSERT_EQ(start(mirrored, "mirrored", shape.nrows, shape.ncols, mirroredGround, mirroredRoughness,
                    mirroredOutbreak),
              FloodRunStart::Ready);

    int wetBesideWalls = 0;
    for (int n = 1; n <= 2500; ++n) {
        original.step();
        mirrored.step();
        for (int r = 0; r < shape.nrows; ++r) {
            for (int c = 0; c < shape.ncols; ++c) {
                const FloodCell& a = original.cellRows()[r][c];
                const FloodCell& b = mirrored.cellRows()[c][r];
                const bool same = a.wet == b.wet && a.source == b.source &&
                                  sameBits(a.surfaceOld, b.surfaceOld) &&
                                  sameBits(a.surfaceNew, b.surfaceNew) && sameBits(a.fluxXNew, b.fluxYNew) &&
                                  sameBits(a.fluxYNew, b.fluxXNew) && sameBits(a.fluxXOld, b.fluxYOld) &&
                                  sameBits(a.fluxYOld, b.fluxXOld) && sameBits(a.speed, b.speed);
                ASSERT_TRUE(same) << "row " << r << ", column " << c << " at step " << n;
            }
        }
        wetBesideWalls += original.cellRows()[21][5].wet || original.cellRows()[25][5].wet ? 1 : 0;
    }
    EXPECT_GT(wetBesideWalls, 0) << "the water has reached the cells without data";
    EXPECT_GT(waterOnGrid(original), 1e5);
}

}  // namespace
