// The debris surface of a frame, its depth colours, the terrain heights it is lifted by, and the tick that
// the window's run and the headless run share.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <osg/Geometry>
#include <osgDB/ReadFile>
#include <string>
#include <utility>
#include <vector>

#include "debrishud.h"
#include "debrisrun.h"
#include "debrissurface.h"
#include "debristestdata.h"
#include "debristick.h"
#include "terrainheights.h"
#include "testfiles.h"

namespace {

using Cell = std::pair<int, int>;  // row, column

osg::Vec4 colourOfClass(float colourClass) {
    osg::Vec4 colour = debrisShallowColour + (debrisDeepColour - debrisShallowColour) * (colourClass / 10);
    colour.a() = 1;
    return colour;
}

void expectColourNear(const osg::Vec4& actual, const osg::Vec4& expected) {
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-6) << "component " << i;
    }
}

TEST(DebrisDepthColour, TenClassesFromShallowToDeepAndBeyond) {
    // The two ends of the scale are exactly these floats.
    EXPECT_EQ(debrisShallowColour, osg::Vec4(0.72156864f, 0.6156863f, 0.42352942f, 1));
    EXPECT_EQ(debrisDeepColour, osg::Vec4(0.4509804f, 0.37254903f, 0.2627451f, 1));
    const struct {
        float depth, span, colourClass;
    } cases[] = {
        {0, 10, 1},                                    // no debris still gets the first class
        {4.5f, 10, 5}, {9.99f, 10, 10}, {12, 10, 13},  // beyond the span: past the deep colour
        {0.5f, 5, 2},  {3, -10, 4},                    // a span the wrong way round counts by its width
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.depth << " span " << c.span);
        expectColourNear(debrisDepthColour(c.depth, c.span, debrisShallowColour, debrisDeepColour),
                         colourOfClass(c.colourClass));
    }
    expectColourNear(colourOfClass(10), debrisDeepColour);
    // Far beyond the range the class number does not overflow: the colour keeps going past the deep one.
    EXPECT_LT(debrisDepthColour(1e30f, 10, debrisShallowColour, debrisDeepColour).r(), -1e20f);
    // A colour range of no width has no classes: the deep colour, whatever the depth.
    for (const float depth : {0.0f, 3.0f}) {
        EXPECT_EQ(debrisDepthColour(depth, 0, debrisShallowColour, debrisDeepColour), debrisDeepColour);
    }
}

class TerrainHeightsTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const {
        return folder.filePath(QString::fromStdString(name)).toStdString();
    }
    QTemporaryDir folder;
};

TEST_F(TerrainHeightsTest, ReadsTheGridAsTheRunDoes) {
    const std::string header =
        "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n";
    const TerrainHeights plain = {{1, 2, 3}, {4, 5, 6}};
    const struct {
        const char* what;
        std::string text;
        TerrainHeights heights;
    } cases[] = {
        {"single blanks", header + "1 2 3\n4 5 6\n", plain},
        {"runs of blanks, leading and trailing blanks", header + "  1   2 3\n4  5    6   \n", plain},
        {"tabs", header + "1\t2\t3\n4 \t5\t 6", plain},
        {"Windows line ends", header + "1 2 3\r\n4 5 6\r\n", plain},
        {"empty lines", header + "1 2 3\n\n   \n4 5 6\n\n", plain},
        {"rows wrapped at other places", header + "1 2\n3 4\n5 6\n", plain},
        {"no NODATA line: the first row is not taken for a header line",
         "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\n1 2 3\n4 5 6\n", plain},
        {"header in another order, old Mac line ends",
         "nrows 2\rncols 3\rcellsize 10\rxllcenter 5\ryllcenter 5\r1 2 3\r4 5 6\r", plain},
        {"no-data cells keep their value", header + "1 -9999 3\n4 5 6\n", {{1, -9999, 3}, {4, 5, 6}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeTextFile(path("grid.asc"), c.text);
        EXPECT_EQ(readTerrainHeights(path("grid.asc")), c.heights);
    }
}

TEST_F(TerrainHeightsTest, GridTheRunRefusesGivesNoRowsAndSaysWhy) {
    const std::string header =
        "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n";
    const struct {
        const char* what;
        std::string text;
        const char* said;
    } cases[] = {
        {"a height with trailing text", header + "1.5m 2 3\n4 5 6\n", "1.5m"},
        {"a height that is no number", header + "1 nan 3\n4 5 6\n", "nan"},
        {"too few heights", header + "1 2 3\n4 5\n", "terrain heights of "},
        {"too many heights", header + "1 2 3\n4 5 6\n7\n", "terrain heights of "},
        {"header only", header, "terrain heights of "},
        {"a grid larger than a run may hold",
         "ncols 10000\nnrows 10000\nxllcorner 0\nyllcorner 0\ncellsize 10\n1\n", "terrain heights of "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeTextFile(path("grid.asc"), c.text);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(readTerrainHeights(path("grid.asc")).empty());
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
    // A device is not read at all, however long it would give bytes.
    testing::internal::CaptureStdout();
    EXPECT_TRUE(readTerrainHeights("/dev/zero").empty());
    EXPECT_NE(testing::internal::GetCapturedStdout().find("/dev/zero"), std::string::npos);
}

TEST_F(TerrainHeightsTest, MissingFileSaysSoAndGivesNoRows) {
    testing::internal::CaptureStdout();
    EXPECT_TRUE(readTerrainHeights(path("missing.asc")).empty());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "文件不存在!\n");
}

// A grid of 6 rows and 5 columns of 10 m cells at (1000, 2000), terrain 100 + 10 r + c, with debris in
// the cells given.
struct SampleGrid {
    static constexpr int rows = 6;
    static constexpr int cols = 5;

    SampleGrid() : cells(rows, cols), heights(rows, std::vector<double>(cols)) {
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                heights[r][c] = 100 + 10 * r + c;
            }
        }
    }

    osg::ref_ptr<osg::Geode> build(const std::vector<std::pair<Cell, double>>& debris, float span = 10) {
        for (const auto& [cell, depth] : debris) {
            cells.depths(cell.first)[cell.second] = depth;
        }
        return buildDebrisGeode({&cells, &heights, 1000, 2000, 10}, span, debrisShallowColour,
                                debrisDeepColour);
    }

    // The vertex the surface puts at a cell's north-west corner, and its colour.
    osg::Vec3 vertexOf(const Cell& cell) const {
        const double depth = cells.depths(cell.first)[cell.second];
        return osg::Vec3(cell.second * 10 + 1000, (rows - cell.first) * 10 + 2000,
                         static_cast<float>(depth + heights[cell.first][cell.second] + 20));
    }

    static std::vector<osg::Vec3> verticesOf(const osg::Geode& geode, unsigned strip) {
        const osg::Geometry* geometry = geode.getDrawable(strip)->asGeometry();
        const auto* vertices = static_cast<const osg::Vec3Array*>(geometry->getVertexArray());
        return std::vector<osg::Vec3>(vertices->begin(), vertices->end());
    }

    static unsigned triangleCount(const osg::Geode& geode) {
        unsigned vertices = 0;
        for (unsigned i = 0; i < geode.getNumDrawables(); ++i) {
            vertices += geode.getDrawable(i)->asGeometry()->getVertexArray()->getNumElements();
        }
        return vertices / 3;
    }

    DebrisGrid cells;
    TerrainHeights heights;
};

TEST(DebrisSurface, CoversTheQuadsAroundACoveredCellWithLiftedColouredCorners) {
    SampleGrid grid;
    const osg::ref_ptr<osg::Geode> geode = grid.build({{{3, 2}, 2.0}});
    const auto verticesOf = SampleGrid::verticesOf;
    // One geometry per strip, from the strip of rows 4 and 5 up to that of rows 1 and 2.
    ASSERT_EQ(geode->getNumDrawables(), 4u);
    EXPECT_TRUE(verticesOf(*geode, 0).empty());
    EXPECT_TRUE(verticesOf(*geode, 3).empty());
    auto corners = [&grid](std::initializer_list<Cell> list) {
        std::vector<osg::Vec3> vertices;
        for (const Cell& cell : list) {
            vertices.push_back(grid.vertexOf(cell));
        }
        return vertices;
    };
    // Rows 3 and 4: the north-west and south-east triangles of the quad west of the cell, the north-west
    // one of the quad under it.
    EXPECT_EQ(verticesOf(*geode, 1),
              corners({{3, 1}, {4, 1}, {3, 2}, {4, 1}, {4, 2}, {3, 2}, {3, 2}, {4, 2}, {3, 3}}));
    // Rows 2 and 3: the south-east triangle west of the cell, both triangles of the quad it anchors.
    EXPECT_EQ(verticesOf(*geode, 2),
              corners({{3, 1}, {3, 2}, {2, 2}, {2, 2}, {3, 2}, {2, 3}, {3, 2}, {3, 3}, {2, 3}}));
    EXPECT_EQ(grid.vertexOf({3, 2}), osg::Vec3(1020, 2030, 154));

    const osg::Geometry* strip = geode->getDrawable(1)->asGeometry();
    const auto* colours = static_cast<const osg::Vec4Array*>(strip->getColorArray());
    ASSERT_EQ(colours->size(), 9u);
    EXPECT_EQ(strip->getColorArray()->getBinding(), osg::Array::BIND_PER_VERTEX);
    expectColourNear((*colours)[0], colourOfClass(1));  // an uncovered corner: class 1, terrain + 20 m
    expectColourNear((*colours)[2], colourOfClass(3));  // 2 m of 10
    const auto* draw = dynamic_cast<const osg::DrawArrays*>(strip->getPrimitiveSet(0));
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->getMode(), static_cast<GLenum>(GL_TRIANGLES));
    EXPECT_EQ(draw->getCount(), 9);
}

TEST(DebrisSurface, RowZeroIsNeverDrawnAndNoDataOrMissingHeightsCloseTriangles) {
    const struct {
        const char* what;
        Cell covered;
        std::vector<std::pair<Cell, double>> heightChanges;
        int shortRow;  // a heights row cut to two values, or -1
        unsigned triangles;
    } cases[] = {
        {"debris in the middle", {3, 2}, {}, -1, 6},
        {"debris in row 0", {0, 2}, {}, -1, 0},
        {"debris in row 1: only the strip below it", {1, 2}, {}, -1, 3},
        {"debris in the last row: only the strip above it", {5, 2}, {}, -1, 3},
        {"debris in the last column", {3, 4}, {}, -1, 3},
        {"the covered cell's terrain is 9999", {3, 2}, {{{3, 2}, 9999}}, -1, 0},
        {"a neighbour's terrain is -9999", {3, 2}, {{{2, 3}, -9999}}, -1, 4},
        {"a neighbour's height is missing", {3, 2}, {}, 4, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SampleGrid grid;
        for (const auto& [cell, height] : c.heightChanges) {
            grid.heights[cell.first][cell.second] = height;
        }
        if (c.shortRow >= 0) {
            grid.heights[c.shortRow].resize(2);
        }
        EXPECT_EQ(SampleGrid::triangleCount(*grid.build({{c.covered, 1.0}})), c.triangles);
    }
}

TEST(DebrisSurface, GridsWithoutDebrisOrRowsGiveEmptySurfaces) {
    SampleGrid grid;
    EXPECT_EQ(SampleGrid::triangleCount(*grid.build({})), 0u);
    EXPECT_EQ(grid.build({})->getNumDrawables(), 4u);
    DebrisGrid twoRows(2, 5);
    twoRows.depths(1)[1] = 3;
    EXPECT_EQ(buildDebrisGeode({&twoRows, &grid.heights, 0, 0, 10}, 10, debrisShallowColour, debrisDeepColour)
                  ->getNumDrawables(),
              0u);
    EXPECT_EQ(buildDebrisGeode({}, 10, debrisShallowColour, debrisDeepColour)->getNumDrawables(), 0u);
}

class DebrisTickTest : public ::testing::Test {
protected:
    void SetUp() override {
        debristest::writeGrid(
            path("valley.asc"), 30, 60, 10,
            [](int r, int c) { return 800 - 0.5 * c + 0.2 * std::abs(r - 15); }, 500000, 3300000);
        debristest::writeBreach(path("breach.txt"), {{15, 3}, {14, 3}});
        values = debristest::formDefaults();
        values[0] = 8000;
    }
    std::string path(const std::string& name) const {
        return folder.filePath(QString::fromStdString(name)).toStdString();
    }

    QTemporaryDir folder;
    std::vector<double> values;
    DebrisRun run;
    TerrainHeights heights;
    std::string problem;
};

TEST_F(DebrisTickTest, RendersEveryFiftiethStepWithTheFiguresBeforeTheClockMovesOn) {
    ASSERT_TRUE(startDebrisRun(run, heights, values, path("valley.asc"), path("breach.txt"), problem))
        << problem;
    ASSERT_EQ(heights.size(), 30u);
    std::vector<float> frameTimes;
    for (int tick = 1; tick <= 100; ++tick) {
        DebrisHud hud;
        const osg::ref_ptr<osg::Geode> surface = advanceDebrisTick(run, heights, hud, DebrisTickSettings());
        EXPECT_EQ(surface != nullptr, tick % 50 == 0) << "tick " << tick;
        if (!surface) {
            continue;
        }
        frameTimes.push_back(hud.elapsedTime);
        EXPECT_EQ(hud.rangeUpper, 10);
        EXPECT_GT(hud.maxSpeed, 1.0f);
        // The surface of the grid as it stands after the step.
        const osg::ref_ptr<osg::Geode> again =
            buildDebrisGeode(debrisSurfaceGrid(run, heights), 10, debrisShallowColour, debrisDeepColour);
        ASSERT_EQ(surface->getNumDrawables(), again->getNumDrawables());
        unsigned vertices = 0;
        for (unsigned i = 0; i < surface->getNumDrawables(); ++i) {
            const auto* built =
                static_cast<const osg::Vec3Array*>(surface->getDrawable(i)->asGeometry()->getVertexArray());
            const auto* expected =
                static_cast<const osg::Vec3Array*>(again->getDrawable(i)->asGeometry()->getVertexArray());
            EXPECT_TRUE(std::equal(built->begin(), built->end(), expected->begin(), expected->end()));
            vertices += built->size();
        }
        EXPECT_GT(vertices, 0u);
    }
    EXPECT_EQ(frameTimes, (std::vector<float>{29.4f, 59.4f}));
    EXPECT_NEAR(run.debrisElapsed, 60.0, 1e-9);
}

TEST_F(DebrisTickTest, LiftsTheSurfaceByTheGridTheRunReads) {
    // Every height on one line and no NODATA line: the run and its surface read the same grid of 4 rows.
    std::string oneLine = "ncols 4\nnrows 4\nxllcorner 0\nyllcorner 0\ncellsize 10\n";
    for (int i = 0; i < 16; ++i) {
        oneLine += std::to_string(100 + i) + " ";
    }
    writeTextFile(path("oneline.asc"), oneLine + "\n");
    debristest::writeBreach(path("inner.txt"), {{1, 1}});
    ASSERT_TRUE(startDebrisRun(run, heights, values, path("oneline.asc"), path("inner.txt"), problem))
        << problem;
    EXPECT_EQ(run.gridRows, 4);
    ASSERT_EQ(heights.size(), 4u);
    EXPECT_EQ(heights[1], (std::vector<double>{104, 105, 106, 107}));

    problem.clear();
    EXPECT_FALSE(startDebrisRun(run, heights, values, path("missing.asc"), path("breach.txt"), problem));
    EXPECT_NE(problem.find("cannot open the terrain grid"), std::string::npos) << problem;
}

TEST_F(DebrisTickTest, WritesTheSurfaceAndFiguresOfAFrame) {
    ASSERT_TRUE(startDebrisRun(run, heights, values, path("valley.asc"), path("breach.txt"), problem))
        << problem;
    osg::ref_ptr<osg::Geode> surface;
    DebrisHud hud;
    while (!surface) {
        surface = advanceDebrisTick(run, heights, hud, DebrisTickSettings());
    }
    std::string failedFile;
    ASSERT_TRUE(writeDebrisFrame(folder.path().toStdString(), 7, ".ive", *surface, hud, failedFile));
    const osg::ref_ptr<osg::Node> stored = osgDB::readNodeFile(path("7.ive"));
    ASSERT_NE(stored, nullptr);
    ASSERT_NE(stored->asGeode(), nullptr);
    EXPECT_EQ(stored->asGeode()->getNumDrawables(), surface->getNumDrawables());
    EXPECT_EQ(QString::fromStdString(readTextFile(path("7.txt"))).split('\n').value(1), "29.4");

    // Without a model format only the figures are written.
    ASSERT_TRUE(writeDebrisFrame(folder.path().toStdString(), 8, "", *surface, hud, failedFile));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path("8.txt"))));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("8.ive"))));

    // /proc takes no new files, not even from root.
    EXPECT_FALSE(writeDebrisFrame("/proc", 1, ".ive", *surface, hud, failedFile));
    EXPECT_EQ(failedFile, "/proc/1.ive");

    // A full disk: the frame that does not fit is named, and none of its files is left, whole or cut.
    const std::vector<std::string> before = folderEntries(folder.path().toStdString());
    {
        FileSizeLimit limit(64);
        EXPECT_FALSE(writeDebrisFrame(folder.path().toStdString(), 9, ".ive", *surface, hud, failedFile));
    }
    EXPECT_EQ(failedFile, path("9.ive"));
    EXPECT_EQ(folderEntries(folder.path().toStdString()), before);
}

}  // namespace
