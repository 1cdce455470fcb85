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
    std::string path(const char* name) const { return folder.filePath(name).toStdString(); }

    QTemporaryDir folder;
};

TEST_F(FloodGridTest, FirstValueIsRowZeroColumnZeroAndRowsRunFromTheTop) {
    const int ncols = 5;
    const int nrows = 4;
    std::vector<float> elevation(ncols * nrows);
    std::vector<float> roughness(ncols * nrows);
    for (int i = 0; i < ncols * nrows; ++i) {
        elevation[i] = 100.0f + static_cast<float>(i);
        roughness[i] = 0.001f * static_cast<float>(i + 1);
    }
    writeAsciiGrid(path("n.asc"), ncols, nrows, roughness);
    writeAsciiGrid(path("dem.asc"), ncols, nrows, elevation);
    writeOutbreakFile(path("outbreak.txt"), {{2, 2}});
    CAFlood engine;
    ASSERT_TRUE(engine.loadInputs({path("n.asc"), path("dem.asc"), path("outbreak.txt")}));
    ASSERT_EQ(engine.columnCount(), ncols);
    ASSERT_EQ(engine.rowCount(), nrows);

    for (int r = 0; r < nrows; ++r) {
        for (int c = 0; c < ncols; ++c) {
            SCOPED_TRACE("row " + std::to_string(r) + ", column " + std::to_string(c));
            const FloodCell& cell = engine.cellRows()[r][c];
            const int i = r * ncols + c;
            EXPECT_EQ(cell.manning, roughness[i]);
            const bool border = r == 0 || c == 0 || r == nrows - 1 || c == ncols - 1;
            const bool outbreak = r == nrows - 2 && c == 2;
            const float ground = border || outbreak ? kWall : elevation[i];
            EXPECT_EQ(cell.ground, ground);
            EXPECT_EQ(cell.surfaceOld, ground);
            EXPECT_EQ(cell.wet, outbreak);
            EXPECT_EQ(cell.source, outbreak);
        }
    }
}

struct OutbreakRowCase {
    int column;
    int rowFromBottom;
    int gridRow;
    bool allOutflowReachesGrid;
};

TEST_F(FloodGridTest, OutbreakRowsCountFromTheBottomEdge) {
    const int nrows = 6;
    const OutbreakRowCase cases[] = {
        {3, 1, nrows - 1, false},  // bottom row: both faces lead off the interior
        {3, nrows, 0, false},      // top row: its east face leads into the border
        {3, 3, nrows - 3, true},
        {1, nrows - 1, 1, true},
    };
    ValleyShape shape;
    shape.ncols = 7;
    shape.nrows = nrows;
    for (const OutbreakRowCase& item : cases) {
        SCOPED_TRACE("pair (" + std::to_string(item.column) + ", " + std::to_string(item.rowFromBottom) +
                     ")");
        const std::vector<std::string> inputs =
            writeValley(folder.path().toStdString(), shape, {{item.column, item.rowFromBottom}});
        CAFlood engine;
        testing::internal::CaptureStderr();
        ASSERT_TRUE(engine.loadInputs(inputs));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("does not reach the grid") == std::string::npos, item.allOutflowReachesGrid)
            << said;
        for (int r = 0; r < nrows; ++r) {
            for (int c = 0; c < shape.ncols; ++c) {
                const bool expected = r == item.gridRow && c == item.column;
                ASSERT_EQ(engine.cellRows()[r][c].source, expected) << "row " << r << ", column " << c;
            }
        }
    }
}

TEST_F(FloodGridTest, CellsWithoutDataAreWallsThatNoWaterCrosses) {
    // A closed valley with a no-data wall across it: the breach above the wall fills the upper part.
    ValleyShape shape;
    shape.ncols = 12;
    shape.nrows = 20;
    std::vector<float> ground = valleyGround(shape);
    const int wallRow = 8;
    for (int c = 0; c < shape.ncols; ++c) {
        ground[wallRow * shape.ncols + c] = kWall;
    }
    writeAsciiGrid(path("dem.asc"), shape.ncols, shape.nrows, ground);
    writeAsciiGrid(path("n.asc"), shape.ncols, shape.nrows, std::vector<float>(ground.size(), 0.035f));
    writeOutbreakFile(path("outbreak.txt"), {{5, shape.nrows - 2}});
    CAFlood engine;
    const FloodRunSettings settings = smallBreach(2e5f);
    ASSERT_EQ(startFloodRun(engine, {path("n.asc"), path("dem.asc"), path("outbreak.txt")}, settings),
              FloodRunStart::Ready);
    runUntil(engine, 300.0f);

    float besideWall = 0.0f;
    for (int c = 1; c < shape.ncols - 1; ++c) {
        besideWall += cellDepth(engine, wallRow - 1, c);
        const FloodCell& wall = engine.cellRows()[wallRow][c];
        EXPECT_EQ(wall.ground, kWall);
        EXPECT_EQ(wall.surfaceOld, kWall);
        EXPECT_EQ(wall.fluxXNew, 0.0f);
        EXPECT_EQ(wall.fluxYNew, 0.0f);
        EXPECT_FALSE(wall.wet);
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
    ValleyShape shape;
    shape.ncols = 10;
    shape.nrows = 14;
    const std::vector<std::string> inputs =
        writeValley(folder.path().toStdString(), shape, {{4, shape.nrows - 2}});
    CAFlood engine;
    const FloodRunSettings settings = smallBreach(3e5f);
    ASSERT_EQ(startFloodRun(engine, inputs, settings), FloodRunStart::Ready);
    runUntil(engine, 400.0f);

    float besideBorder = 0.0f;
    for (int r = 0; r < shape.nrows; ++r) {
        for (int c = 0; c < shape.ncols; ++c) {
            const FloodCell& cell = engine.cellRows()[r][c];
            const bool border = r == 0 || c == 0 || r == shape.nrows - 1 || c == shape.ncols - 1;
            if (border) {
                ASSERT_EQ(cell.surfaceOld, kWall);
                ASSERT_EQ(cell.ground, kWall);
                ASSERT_EQ(cell.fluxXNew, 0.0f);
                ASSERT_EQ(cell.fluxYNew, 0.0f);
                continue;
            }
            if (c == shape.ncols - 2) {
                ASSERT_EQ(cell.fluxXNew, 0.0f) << "east face into the border, row " << r;
                besideBorder += cellDepth(engine, r, c);
            }
            if (r == shape.nrows - 2) {
                ASSERT_EQ(cell.fluxYNew, 0.0f) << "south face into the border, column " << c;
                besideBorder += cellDepth(engine, r, c);
            }
        }
    }
    EXPECT_GT(besideBorder, 10.0f) << "the water has reached the border";
}

TEST_F(FloodGridTest, ChannelWalledByNoDataCellsHoldsWhatABorderWalledOneHolds) {
    // A one-cell-wide channel has at most two wet neighbours per cell. Walled by cells without data it
    // must behave exactly as when walled by the grid border: a cell without data counts as dry ground,
    // not as a hole that makes the wet-dry settling dry the deep channel.
    const int nrows = 30;
    const auto writeChannel = [&](const std::string& name, int ncols, int channelColumn) {
        std::vector<float> ground(ncols * nrows, kWall);
        for (int r = 0; r < nrows; ++r) {
            ground[r * ncols + channelColumn] = 100.0f - 0.05f * static_cast<float>(r);
        }
        const std::string base = path(name.c_str());
        writeAsciiGrid(base + "-dem.asc", ncols, nrows, ground);
        writeAsciiGrid(base + "-n.asc", ncols, nrows, std::vector<float>(ground.size(), 0.035f));
        writeOutbreakFile(base + "-outbreak.txt", {{channelColumn, nrows - 1}});
        return std::vector<std::string>{base + "-n.asc", base + "-dem.asc", base + "-outbreak.txt"};
    };
    const FloodRunSettings settings = smallBreach(1e5f);
    CAFlood noData;
    CAFlood border;
    testing::internal::CaptureStderr();  // both breaches lose their east face
    ASSERT_EQ(startFloodRun(noData, writeChannel("nodata", 5, 2), settings), FloodRunStart::Ready);
    ASSERT_EQ(startFloodRun(border, writeChannel("border", 3, 1), settings), FloodRunStart::Ready);
    testing::internal::GetCapturedStderr();
    runUntil(noData, 120.0f);
    runUntil(border, 120.0f);

    float water = 0.0f;
    for (int r = 1; r < nrows - 1; ++r) {
        ASSERT_EQ(noData.cellRows()[r][2].surfaceOld, border.cellRows()[r][1].surfaceOld) << "row " << r;
        water += cellDepth(noData, r, 2);
    }
    EXPECT_GT(water, 20.0f) << "the channel holds water well after the settling starts at 10 s";
}

TEST_F(FloodGridTest, SecondRunOnTheSameEngineMatchesAFreshEngine) {
    ValleyShape shape;
    const std::vector<std::string> inputs =
        writeValley(folder.path().toStdString(), shape, {{20, shape.nrows - 3}});
    FloodRunSettings first;
    first.capacity = 5e6f;
    first.width = 30.0f;
    first.height = 20.0f;
    const FloodRunSettings second = smallBreach(4e5f);

    CAFlood reused;
    ASSERT_EQ(startFloodRun(reused, inputs, first), FloodRunStart::Ready);
    runUntil(reused, 100.0f);
    ASSERT_EQ(startFloodRun(reused, inputs, second), FloodRunStart::Ready);
    CAFlood fresh;
    ASSERT_EQ(startFloodRun(fresh, inputs, second), FloodRunStart::Ready);
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
