// How the flood engine lays out its grid: file order, outbreak rows counted from the bottom, cells
// without data and the grid border as walls that no water crosses.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "cafloodnew.h"
#include "floodrun.h"
#include "floodtestdata.h"

namespace {

constexpr float kWall = 9999.0f;

class FloodGridTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    std::string path(const std::string& name) const { return folder.path().toStdString() + "/" + name; }

    // The three inputs of a grid of this ground, roughness 0.035 unless given, under the name `name`.
    std::vector<std::string> writeInputs(const std::string& name, int ncols, const std::vector<float>& ground,
                                         const std::vector<std::pair<int, int>>& outbreak,
                                         std::vector<float> roughness = {}) {
        const int nrows = static_cast<int>(ground.size()) / ncols;
        if (roughness.empty()) {
            roughness.assign(ground.size(), 0.035f);
        }
        const std::vector<std::string> paths = {path(name + "-n.asc"), path(name + "-dem.asc"),
                                                path(name + "-outbreak.txt")};
        writeAsciiGrid(paths[0], ncols, nrows, roughness);
        writeAsciiGrid(paths[1], ncols, nrows, ground);
        writeOutbreakFile(paths[2], outbreak);
        return paths;
    }

    QTemporaryDir folder;
};

bool onBorder(const CAFlood& engine, int r, int c) {
    return r == 0 || c == 0 || r == engine.rowCount() - 1 || c == engine.columnCount() - 1;
}

TEST_F(FloodGridTest, FirstValueIsRowZeroColumnZeroAndRowsRunFromTheTop) {
    const int ncols = 5;
    const int nrows = 4;
    std::vector<float> elevation(ncols * nrows);
    std::vector<float> roughness(ncols * nrows);
    for (int i = 0; i < ncols * nrows; ++i) {
        elevation[i] = 100.0f + static_cast<float>(i);
        roughness[i] = 0.001f * static_cast<float>(i + 1);
    }
    CAFlood engine;
    ASSERT_TRUE(engine.loadInputs(writeInputs("grid", ncols, elevation, {{2, 2}}, roughness)));
    ASSERT_EQ(engine.columnCount(), ncols);
    ASSERT_EQ(engine.rowCount(), nrows);
    for (int r = 0; r < nrows; ++r) {
        for (int c = 0; c < ncols; ++c) {
            SCOPED_TRACE("row " + std::to_string(r) + ", column " + std::to_string(c));
            const FloodCell& cell = engine.cellRows()[r][c];
            const int i = r * ncols + c;
            EXPECT_EQ(cell.manning, roughness[i]);
            const bool outbreak = r == nrows - 2 && c == 2;
            const float ground = onBorder(engine, r, c) || outbreak ? kWall : elevation[i];
            EXPECT_EQ(cell.ground, ground);
            EXPECT_EQ(cell.surfaceOld, ground);
            EXPECT_EQ(cell.wet, outbreak);
            EXPECT_EQ(cell.source, outbreak);
        }
    }
}

TEST_F(FloodGridTest, OutbreakRowsCountFromTheBottomEdge) {
    const ValleyShape shape{7, 6};
    const struct {
        int column, rowFromBottom, gridRow;
        bool outflowReachesGrid;
    } cases[] = {
        {3, 1, 5, false},  // bottom row: both faces lead off the interior
        {3, 6, 0, true},   // top row: the east face leads into the border, the south face takes it all
        {3, 3, 3, true},
        {1, 5, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("pair (" + std::to_string(c.column) + ", " + std::to_string(c.rowFromBottom) + ")");
        CAFlood engine;
        testing::internal::CaptureStderr();
        ASSERT_TRUE(engine.loadInputs(
            writeValley(folder.path().toStdString(), shape, {{c.column, c.rowFromBottom}})));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("none of the breach outflow reaches the grid") == std::string::npos,
                  c.outflowReachesGrid)
            << said;
        for (int r = 0; r < shape.nrows; ++r) {
            for (int col = 0; col < shape.ncols; ++col) {
                ASSERT_EQ(engine.cellRows()[r][col].source, r == c.gridRow && col == c.column)
                    << "row " << r << ", column " << col;
            }
        }
    }
}

// A wall cell holds no water and passes none through its faces.
void expectWall(const FloodCell& cell) {
    EXPECT_EQ(cell.ground, kWall);
    EXPECT_EQ(cell.surfaceOld, kWall);
    EXPECT_EQ(cell.fluxXNew, 0.0f);
    EXPECT_EQ(cell.fluxYNew, 0.0f);
}

TEST_F(FloodGridTest, CellsWithoutDataAreWallsThatNoWaterCrosses) {
    // A closed valley with a no-data wall across it: the breach above the wall fills the upper part.
    const ValleyShape shape{12, 20};
    std::vector<float> ground = valleyGround(shape);
    const int wallRow = 8;
    std::fill(ground.begin() + wallRow * shape.ncols, ground.begin() + (wallRow + 1) * shape.ncols, kWall);
    CAFlood engine;
    ASSERT_EQ(startFloodRun(engine, writeInputs("walled", shape.ncols, ground, {{5, shape.nrows - 2}}),
                            smallBreach(2e5f)),
              FloodRunStart::Ready);
    runUntil(engine, 300.0f);

    float besideWall = 0.0f;
    for (int c = 1; c < shape.ncols - 1; ++c) {
        besideWall += cellDepth(engine, wallRow - 1, c);
        expectWall(engine.cellRows()[wallRow][c]);
        EXPECT_FALSE(engine.cellRows()[wallRow][c].wet);
    }
    EXPECT_GT(besideWall, 10.0f) << "the water has reached the wall";
    for (int r = wallRow + 1; r < shape.nrows; ++r) {
        for (int c = 0; c < shape.ncols; ++c) {
            ASSERT_EQ(cellDepth(engine, r, c), 0.0f) << "row " << r << ", column " << c;
            ASSERT_FALSE(engine.cellRows()[r][c].wet);
        }
    }
}

TEST_F(FloodGridTest, WaterNeverLeavesTheGrid) {
    const ValleyShape shape{10, 14};
    CAFlood engine;
    ASSERT_EQ(startFloodRun(engine, writeValley(folder.path().toStdString(), shape, {{4, shape.nrows - 2}}),
                            smallBreach(3e5f)),
              FloodRunStart::Ready);
    runUntil(engine, 400.0f);

    float besideBorder = 0.0f;
    for (int r = 0; r < shape.nrows; ++r) {
        for (int c = 0; c < shape.ncols; ++c) {
            SCOPED_TRACE("row " + std::to_string(r) + ", column " + std::to_string(c));
            const FloodCell& cell = engine.cellRows()[r][c];
            if (onBorder(engine, r, c)) {
                expectWall(cell);
                continue;
            }
            if (c == shape.ncols - 2) {
                EXPECT_EQ(cell.fluxXNew, 0.0f) << "east face into the border";
                besideBorder += cellDepth(engine, r, c);
            }
            if (r == shape.nrows - 2) {
                EXPECT_EQ(cell.fluxYNew, 0.0f) << "south face into the border";
                besideBorder += cellDepth(engine, r, c);
            }
        }
    }
    EXPECT_GT(besideBorder, 10.0f) << "the water has reached the border";
}

TEST_F(FloodGridTest, ChannelWalledByNoDataCellsHoldsWhatABorderWalledOneHolds) {
    // A one-cell-wide channel walled by cells without data must behave exactly as when walled by the grid
    // border: a cell without data is a wall, not a hole 9999 m deep that draws the channel's water.
    const int nrows = 30;
    const auto channel = [&](const std::string& name, int ncols, int channelColumn) {
        std::vector<float> ground(ncols * nrows, kWall);
        for (int r = 0; r < nrows; ++r) {
            ground[r * ncols + channelColumn] = 100.0f - 0.05f * static_cast<float>(r);
        }
        return writeInputs(name, ncols, ground, {{channelColumn, nrows - 1}});
    };
    CAFlood noData;
    CAFlood border;
    testing::internal::CaptureStderr();  // both breaches lose their east face
    ASSERT_EQ(startFloodRun(noData, channel("nodata", 5, 2), smallBreach(1e5f)), FloodRunStart::Ready);
    ASSERT_EQ(startFloodRun(border, channel("border", 3, 1), smallBreach(1e5f)), FloodRunStart::Ready);
    testing::internal::GetCapturedStderr();
    runUntil(noData, 120.0f);
    runUntil(border, 120.0f);

    float water = 0.0f;
    for (int r = 1; r < nrows - 1; ++r) {
        ASSERT_EQ(noData.cellRows()[r][2].surfaceOld, border.cellRows()[r][1].surfaceOld) << "row " << r;
        water += cellDepth(noData, r, 2);
    }
    EXPECT_GT(water, 20.0f) << "the channel holds water two minutes on";
}

TEST_F(FloodGridTest, SecondRunOnTheSameEngineMatchesAFreshEngine) {
    const ValleyShape shape;
    const std::vector<std::string> inputs =
        writeValley(folder.path().toStdString(), shape, {{20, shape.nrows - 3}});
    CAFlood reused;
    ASSERT_EQ(startFloodRun(reused, inputs, FloodRunSettings{5e6f, 30.0f, 20.0f}), FloodRunStart::Ready);
    runUntil(reused, 100.0f);
    ASSERT_EQ(startFloodRun(reused, inputs, smallBreach(4e5f)), FloodRunStart::Ready);
    CAFlood fresh;
    ASSERT_EQ(startFloodRun(fresh, inputs, smallBreach(4e5f)), FloodRunStart::Ready);
    EXPECT_EQ(reused.simulatedTime(), 0.0f);
    runUntil(reused, 60.0f);
    runUntil(fresh, 60.0f);
    EXPECT_EQ(reused.residualVolume(), fresh.residualVolume());
    for (int r = 0; r < shape.nrows; ++r) {
        for (int c = 0; c < shape.ncols; ++c) {
            ASSERT_EQ(reused.cellRows()[r][c].surfaceOld, fresh.cellRows()[r][c].surfaceOld);
            ASSERT_EQ(reused.cellRows()[r][c].fluxXOld, fresh.cellRows()[r][c].fluxXOld);
        }
    }
}

}  // namespace
