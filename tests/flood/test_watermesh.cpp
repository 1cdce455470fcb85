// The water surface of a flood step: which quads and triangles are drawn, where and in which colours.
#include <gtest/gtest.h>

#include <osg/Geometry>
#include <vector>

#include "testmodels.h"
#include "watermesh.h"

namespace {

// A hand-made grid: every cell dry on ground 100 unless set otherwise.
class HandGrid {
public:
    HandGrid(int rows, int cols) : rows(rows), cols(cols), storage(static_cast<std::size_t>(rows) * cols) {
        for (FloodCell& cell : storage) {
            cell.ground = 100.0f;
            cell.surfaceOld = 100.0f;
        }
        for (int r = 0; r < rows; ++r) {
            rowPointers.push_back(&storage[static_cast<std::size_t>(r) * cols]);
        }
    }
    FloodCell& at(int r, int c) { return storage[static_cast<std::size_t>(r) * cols + c]; }
    void flood(int r, int c, float depth) {
        at(r, c).wet = true;
        at(r, c).surfaceOld = at(r, c).ground + depth;
    }
    FloodGridView view() const { return {rowPointers.data(), rows, cols, 10.0f, 1000.0f, 2000.0f}; }

    const int rows;
    const int cols;

private:
    std::vector<FloodCell> storage;
    std::vector<FloodCell*> rowPointers;
};

// The map position of the north-west corner of cell (r, c) in a HandGrid.
osg::Vec3 corner(const HandGrid& grid, int r, int c, float z) {
    return osg::Vec3(c * 10.0f + 1000.0f, (grid.rows - r) * 10.0f + 2000.0f, z);
}

TEST(WaterMesh, OneStripPerRowFromTheLastDownToRowTwo) {
    HandGrid grid(6, 5);
    const osg::ref_ptr<osg::Geode> geode =
        buildWaterGeode(grid.view(), 20, floodShallowColour, floodDeepColour);
    // Rows 5, 4, 3 and 2 are lower rows of a strip; rows 0 and 1 never are.
    EXPECT_EQ(collectTriangles(*geode).geometries, 4u);
    EXPECT_TRUE(collectTriangles(*geode).vertices.empty());
}

TEST(WaterMesh, AWetCellDrawsTheTrianglesOfItsQuadsInOrder) {
    HandGrid grid(6, 5);
    grid.flood(3, 2, 2.0f);
    const TriangleMesh mesh =
        collectTriangles(*buildWaterGeode(grid.view(), 20, floodShallowColour, floodDeepColour));
    // Every quad with the wet cell as a corner draws those of its two triangles that use it.
    const auto v = [&grid](int r, int c, float z) { return corner(grid, r, c, z); };
    const std::vector<osg::Vec3> expected = {
        // strip rows 3-4, quad column 1: A B C and B D C both have C = (3, 2)
        v(3, 1, 100), v(4, 1, 100), v(3, 2, 102), v(4, 1, 100), v(4, 2, 100), v(3, 2, 102),
        // strip rows 3-4, quad column 2: triangle A B C has A = (3, 2); B D C has none wet
        v(3, 2, 102), v(4, 2, 100), v(3, 3, 100),
        // strip rows 2-3, quad column 1: B D C has D = (3, 2)
        v(3, 1, 100), v(3, 2, 102), v(2, 2, 100),
        // strip rows 2-3, quad column 2: A B C has B = (3, 2), and B D C has B too
        v(2, 2, 100), v(3, 2, 102), v(2, 3, 100), v(3, 2, 102), v(3, 3, 100), v(2, 3, 100)};
    EXPECT_EQ(mesh.vertices, expected);
}

TEST(WaterMesh, DepthColoursAndDryCornersAsDepthZero) {
    HandGrid grid(5, 4);
    grid.flood(3, 1, 19.9f);
    const TriangleMesh mesh =
        collectTriangles(*buildWaterGeode(grid.view(), 20, floodShallowColour, floodDeepColour));
    ASSERT_FALSE(mesh.vertices.empty());
    const osg::Vec4 shallowClass = floodDepthColour(0.0f, 20, floodShallowColour, floodDeepColour);
    for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
        const osg::Vec4 expected = mesh.vertices[i].z() > 110.0f ? floodDeepColour : shallowClass;
        for (int channel = 0; channel < 4; ++channel) {
            EXPECT_NEAR(mesh.colours[i][channel], expected[channel], 1e-6) << "vertex " << i;
        }
    }
}

TEST(WaterMesh, NoDataGroundClosesEveryTriangleThatUsesIt) {
    HandGrid grid(5, 4);
    grid.flood(3, 1, 1.0f);
    grid.flood(3, 2, 1.0f);
    grid.at(2, 1).ground = 9999.0f;
    grid.at(4, 2).ground = -9999.0f;
    const TriangleMesh mesh =
        collectTriangles(*buildWaterGeode(grid.view(), 20, floodShallowColour, floodDeepColour));
    ASSERT_FALSE(mesh.vertices.empty());
    for (const osg::Vec3& vertex : mesh.vertices) {
        EXPECT_NE(vertex, corner(grid, 2, 1, 100));
        EXPECT_NE(vertex, corner(grid, 4, 2, 100));
    }
}

TEST(WaterMesh, MonitorsAreVisitedWithTheLowerLeftCellAfterTheFirstTriangle) {
    HandGrid grid(5, 4);
    grid.flood(3, 2, 1.5f);
    grid.at(3, 2).speed = 2.5f;
    std::vector<std::pair<osg::Vec2d, float>> visits;
    buildWaterGeode(grid.view(), 20, floodShallowColour, floodDeepColour,
                    [&visits](double x, double y, const FloodCell& cell) {
                        visits.push_back({osg::Vec2d(x, y), cell.speed});
                    });
    // Quads whose first triangle (A B C) uses the wet cell (3, 2): as C and as A in strip 3-4, as B in
    // strip 2-3. In strip 2-3, column 1 it is D, which only the second triangle uses.
    ASSERT_EQ(visits.size(), 3u);
    EXPECT_EQ(visits[0].first, osg::Vec2d(1010, 2010));  // strip 3-4, column 1: B = (4, 1)
    EXPECT_EQ(visits[1].first, osg::Vec2d(1020, 2010));  // strip 3-4, column 2: B = (4, 2)
    EXPECT_EQ(visits[2].first, osg::Vec2d(1020, 2020));  // strip 2-3, column 2: B = (3, 2)
    EXPECT_FLOAT_EQ(visits[2].second, 2.5f);
}

}  // namespace
