// The barrier-lake surface: where it is placed, how it rises and returns, and the quad it draws.
#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <QTemporaryDir>
#include <filesystem>
#include <osg/Geometry>
#include <osg/Group>
#include <osgDB/WriteFile>
#include <string>

#include "lakesurface.h"
#include "testfiles.h"
#include "testmodels.h"
#include "testshapefiles.h"

namespace {

class LakeSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    std::string path(const std::string& name) const { return folder.path().toStdString() + "/" + name; }

    static void expectAt(const osg::Vec3& actual, const osg::Vec3& expected) {
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(actual[axis], expected[axis], 1e-3) << "axis " << axis;
        }
    }

    QTemporaryDir folder;
};

TEST_F(LakeSurfaceTest, PlaceOnPutsTheCornerOnTopOfTheModel) {
    // Two patches at different heights: the corner takes the lowest x and y and the highest z.
    osg::ref_ptr<osg::Group> valley = new osg::Group;
    valley->addChild(makeTerrainPatch(1200, 3400, 500, 80));
    valley->addChild(makeTerrainPatch(1000, 3600, 200, 125));
    ASSERT_TRUE(osgDB::writeNodeFile(*valley, path("valley.ive")));
    ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(-50, 20, 10, -3), path("pond.osgt")));
    // A lake outline as a polygon shapefile, in the map coordinates of the terrain.
    writeWktShapefile(path("lake.shp"), wkbPolygon,
                      {"POLYGON ((500 700, 900 650, 950 1000, 520 990, 500 700))"});

    const struct {
        std::string file;
        float heightOffset;
        osg::Vec3 corner;
    } cases[] = {
        {path("valley.ive"), 15, osg::Vec3(1000, 3400, 140)},
        {path("valley.ive"), 0, osg::Vec3(1000, 3400, 125)},
        {path("pond.osgt"), 2.5f, osg::Vec3(-50, 20, -0.5f)},
        {path("lake.shp"), 30, osg::Vec3(500, 650, 30)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        LakeSurface lake(300, 200, c.heightOffset);
        EXPECT_TRUE(lake.placeOn(c.file));
        expectAt(lake.position, c.corner);
        expectAt(lake.savedPosition, c.corner);
    }
}

TEST_F(LakeSurfaceTest, PlaceOnWhatDoesNotLoadChangesNothing) {
    writeTextFile(path("broken.ive"), "not a model at all, just some bytes\n");
    ASSERT_TRUE(osgDB::writeNodeFile(*osg::ref_ptr<osg::Group>(new osg::Group), path("empty.osgt")));
    ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(10, 20, 30, 40), path("placed.ive")));
    // An outline whose shapes were cut off after the file's header: its index still lists one.
    writeWktShapefile(path("cut.shp"), wkbPolygon, {"POLYGON ((500 700, 900 650, 950 1000, 500 700))"});
    std::filesystem::resize_file(path("cut.shp"), 100);

    for (const std::string& file : {path("missing.ive"), path("broken.ive"), path("empty.osgt"),
                                    path("cut.shp"), path("missing.shp"), std::string()}) {
        SCOPED_TRACE(file);
        LakeSurface fresh(100, 50, 5);
        EXPECT_FALSE(fresh.placeOn(file));
        expectAt(fresh.position, osg::Vec3(0, 0, 0));
        expectAt(fresh.savedPosition, osg::Vec3(0, 0, 0));

        LakeSurface placed(100, 50, 5);
        ASSERT_TRUE(placed.placeOn(path("placed.ive")));
        EXPECT_FALSE(placed.placeOn(file));
        expectAt(placed.position, osg::Vec3(10, 20, 45));
        expectAt(placed.savedPosition, osg::Vec3(10, 20, 45));
    }
}

TEST_F(LakeSurfaceTest, RiseMovesFromThePlacedCornerAndResetReturns) {
    ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(100, 200, 50, 30), path("lake.ive")));
    LakeSurface lake(80, 60, 10);
    ASSERT_TRUE(lake.placeOn(path("lake.ive")));
    const osg::Vec3 placed(100, 200, 40);

    lake.reset();
    expectAt(lake.position, placed);

    // Rising is always from the placed corner, never cumulative.
    for (float rise : {2.0f, 6.0f, 4.0f}) {
        lake.riseOffset = osg::Vec3(0, 0, rise);
        lake.rise();
        SCOPED_TRACE(rise);
        expectAt(lake.position, placed + osg::Vec3(0, 0, rise));
        expectAt(lake.savedPosition, placed);
    }
    lake.reset();
    expectAt(lake.position, placed);
}

TEST_F(LakeSurfaceTest, NodeIsATranslucentUnlitQuadAtTheCurrentPosition) {
    LakeSurface lake(80, 60, 10);
    lake.position = osg::Vec3(100, 200, 40);
    osg::ref_ptr<osg::Geode> node = lake.makeNode();
    // The node is a snapshot: moving the lake later does not move it.
    lake.position = osg::Vec3(0, 0, 0);

    ASSERT_EQ(node->getNumDrawables(), 1u);
    const osg::Geometry* quad = node->getDrawable(0)->asGeometry();
    ASSERT_NE(quad, nullptr);
    ASSERT_EQ(quad->getNumPrimitiveSets(), 1u);
    const auto* draw = dynamic_cast<const osg::DrawArrays*>(quad->getPrimitiveSet(0));
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->getMode(), static_cast<GLenum>(GL_QUADS));
    EXPECT_EQ(draw->getFirst(), 0);
    EXPECT_EQ(draw->getCount(), 4);

    const auto* corners = dynamic_cast<const osg::Vec3Array*>(quad->getVertexArray());
    const auto* colours = dynamic_cast<const osg::Vec4Array*>(quad->getColorArray());
    ASSERT_TRUE(corners && colours);
    ASSERT_EQ(corners->size(), 4u);
    ASSERT_EQ(colours->size(), 4u);
    EXPECT_EQ(quad->getColorArray()->getBinding(), osg::Array::BIND_PER_VERTEX);
    const struct {
        osg::Vec3 corner;
        int red, green, blue;
        float alpha;
    } expected[] = {
        {{100, 200, 40}, 99, 119, 115, 0.98f},
        {{180, 200, 40}, 122, 138, 128, 0.98f},
        {{180, 260, 40}, 157, 161, 159, 0.85f},
        {{100, 260, 40}, 158, 151, 154, 0.9f},
    };
    for (int index = 0; index < 4; ++index) {
        SCOPED_TRACE("corner " + std::to_string(index));
        expectAt((*corners)[index], expected[index].corner);
        EXPECT_FLOAT_EQ((*colours)[index].r(), expected[index].red / 255.0f);
        EXPECT_FLOAT_EQ((*colours)[index].g(), expected[index].green / 255.0f);
        EXPECT_FLOAT_EQ((*colours)[index].b(), expected[index].blue / 255.0f);
        EXPECT_FLOAT_EQ((*colours)[index].a(), expected[index].alpha);
    }

    const osg::StateSet* state = node->getStateSet();
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->getMode(GL_BLEND) & osg::StateAttribute::ON);
    EXPECT_EQ(state->getMode(GL_LIGHTING) & osg::StateAttribute::ON, 0u);
    EXPECT_EQ(state->getRenderingHint(), osg::StateSet::TRANSPARENT_BIN);
}

}  // namespace
