// The terrain scene with levels of detail: the coarse model pages in finer tiles down to every cell, and
// the finest tiles put each vertex at its cell's north-west corner with the cell's height.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>
#include <osg/ComputeBoundsVisitor>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <osg/PagedLOD>
#include <osgDB/ReadFile>

#include "demgrid.h"
#include "terraincolours.h"
#include "terrainscene.h"

namespace {

DemGrid ramp(int columns, int rows) {
    DemGrid dem;
    dem.frame.width = columns;
    dem.frame.height = rows;
    dem.frame.geoTransform = {600000, 20, 0, 3300000, 0, -20};
    dem.heights.resize(static_cast<std::size_t>(columns) * rows);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            dem.heights[static_cast<std::size_t>(row) * columns + column] =
                static_cast<float>(1000 + 2 * column - row);
        }
    }
    // A hole without data.
    dem.heights[static_cast<std::size_t>(rows / 2) * columns + columns / 2] = DemGrid::noData;
    return dem;
}

// Walks the scene as a pager would, loading every PagedLOD's finer file from its database path; calls
// `leaf` with every tile that has no finer level, and its transform.
void visitFinest(osg::Node& node, const osg::Matrixd& placed, int& pagedFiles,
                 const std::function<void(const osg::Geometry&, const osg::Matrixd&)>& leaf) {
    if (auto* paged = dynamic_cast<osg::PagedLOD*>(&node)) {
        ASSERT_EQ(paged->getNumFileNames(), 2u);
        const std::string file = paged->getDatabasePath() + paged->getFileName(1);
        osg::ref_ptr<osg::Node> finer = osgDB::readNodeFile(file);
        ASSERT_TRUE(finer) << file;
        ++pagedFiles;
        visitFinest(*finer, placed, pagedFiles, leaf);
        return;
    }
    if (auto* transform = dynamic_cast<osg::MatrixTransform*>(&node)) {
        const osg::Matrixd inner = transform->getMatrix() * placed;
        for (unsigned i = 0; i < transform->getNumChildren(); ++i) {
            auto* geode = transform->getChild(i)->asGeode();
            ASSERT_NE(geode, nullptr);
            for (unsigned d = 0; d < geode->getNumDrawables(); ++d) {
                leaf(*geode->getDrawable(d)->asGeometry(), inner);
            }
        }
        return;
    }
    if (osg::Group* group = node.asGroup()) {
        for (unsigned i = 0; i < group->getNumChildren(); ++i) {
            visitFinest(*group->getChild(i), placed, pagedFiles, leaf);
        }
    }
}

TEST(TerrainScene, LevelsPageDownToEveryCell) {
    const struct {
        int columns, rows, levels, pagedFiles;
    } sizes[] = {
        {200, 120, 1, 0},      // one tile, no paging
        {600, 300, 3, 1 + 2},  // 3 x 2 finest tiles under two levels
    };
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size.columns) + " x " + std::to_string(size.rows));
        QTemporaryDir folder;
        const DemGrid dem = ramp(size.columns, size.rows);
        const std::string model = folder.filePath("terrain.ive").toStdString();
        TerrainSceneSummary summary;
        std::string problem;
        ASSERT_TRUE(writeTerrainScene(dem, reliefColours(dem), model, summary, problem)) << problem;
        EXPECT_EQ(summary.levels, size.levels);

        osg::ref_ptr<osg::Node> root = osgDB::readNodeFile(model);
        ASSERT_TRUE(root);
        EXPECT_EQ(root->getStateSet()->getMode(GL_LIGHTING) & osg::StateAttribute::ON, 0u);
        int pagedFiles = 0;
        long long cellsCovered = 0;
        int vertices = 0;
        visitFinest(
            *root, osg::Matrixd(), pagedFiles,
            [&](const osg::Geometry& geometry, const osg::Matrixd& placed) {
                const auto* corners = static_cast<const osg::Vec3Array*>(geometry.getVertexArray());
                cellsCovered += static_cast<long long>(geometry.getPrimitiveSet(0)->getNumIndices()) / 6;
                EXPECT_NE(geometry.getStateSet()->getTextureAttribute(0, osg::StateAttribute::TEXTURE),
                          nullptr);
                for (const osg::Vec3& corner : *corners) {
                    const osg::Vec3d at = osg::Vec3d(corner) * placed;
                    const double column = (at.x() - dem.west()) / dem.cellSize();
                    const double row = (dem.north() - at.y()) / dem.cellSize();
                    ASSERT_NEAR(column, std::round(column), 1e-3);
                    ASSERT_NEAR(row, std::round(row), 1e-3);
                    const int c = static_cast<int>(std::round(column));
                    const int r = static_cast<int>(std::round(row));
                    if (dem.hasData(r, c)) {
                        ASSERT_FLOAT_EQ(static_cast<float>(at.z()), dem.at(r, c)) << r << ", " << c;
                    }
                    ++vertices;
                }
            });
        EXPECT_EQ(pagedFiles, size.pagedFiles);
        // Every quad of the grid once, but for the four around the hole.
        EXPECT_EQ(cellsCovered, static_cast<long long>(size.columns - 1) * (size.rows - 1) - 4);
        EXPECT_GE(vertices, size.columns * size.rows);
    }
}

}  // namespace
