// The barrier-lake surface: where it is placed, how it rises and returns, and the quad it draws.
#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <QFile>
#include <QTemporaryDir>
#include <osg/Geometry>
#include <osg/Group>
#include <osgDB/WriteFile>
#include <string>

#include "lakesurface.h"
#include "testmodels.h"
#include "testshapefiles.h"

namespace {

class LakeSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    std::string path(const std::string& name) const { return folder.path().toStdString() + "/" + name; }

    // A lake outline as a polygon shapefile, in the map coordinates of the terrain.
    std::string writeOutline(const std::string& name, const char* wkt) {
        writeWktShapefile(path(name), wkbPolygon, {wkt});
        return path(name);
    }

    static void expectAt(const osg::Vec3& actual, const osg::Vec3& expected, const std::string& where) {
        EXPECT_NEAR(actual.x(), expected.x(), 1e-3) << where;
        EXPECT_NEAR(actual.y(), expected.y(), 1e-3) << where;
        EXPECT_NEAR(actual.z(), expected.z(), 1e-3) << where;
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
    const std::string outline =
        writeOutline("lake.shp", "POLYGON ((500 700, 900 650, 950 1000, 520 990, 500 700))");

    struct Case {
        std::string file;
        float heightOffset;
        osg::Vec3 corner;
    };
    const Case cases[] = {
        {path("valley.ive"), 15, osg::Vec3(1000, 3400, 140)},
        {path("valley.ive"), 0, osg::Vec3(1000, 3400, 125)},
        {path("pond.osgt"), 2.5f, osg::Vec3(-50, 20, -0.5f)},
        {outline, 30, osg::Vec3(500, 650, 30)},
    };
    for (const Case& c : cases) {
        LakeSurface lake(300, 200, c.heightOffset);
        EXPECT_TRUE(lake.placeOn(c.file)) << c.file;
        expectAt(lake.position, c.corner, c.file);
        expectAt(lake.savedPosition, c.corner, c.file);
    }
}

TEST_F(LakeSurfaceTest, PlaceOnWhatDoesNotLoadChangesNothing) {
    QFile garbage(QString::fromStdString(path("broken.ive")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a model at all, just some bytes\n");
    garbage.close();
    ASSERT_TRUE(osgDB::writeNodeFile(*osg::ref_ptr<osg::Group>(new osg::Group), path("empty.osgt")));
    ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(10, 20, 30, 40), path("placed.ive")));

    for (const std::string& file :
         {path("missing.ive"), path("broken.ive"), path("empty.osgt"), std::string()}) {
        LakeSurface fresh(100, 50, 5);
        EXPECT_FALSE(fresh.placeOn(file)) << file;
        expectAt(fresh.position, osg::Vec3(0, 0, 0), file);
        expectAt(fresh.savedPosition, osg::Vec3(0, 0, 0), file);

        LakeSurface placed(100, 50, 5);
        ASSERT_TRUE(placed.placeOn(path("placed.ive")));
        EXPECT_FALSE(placed.placeOn(file)) << file;
        expectAt(placed.position, osg::Vec3(10, 20, 45), file);
        expectAt(placed.savedPosition, osg::Vec3(10, 20, 45), file);
    }
}

TEST_F(LakeSurfaceTest, RiseMovesFromThePlacedCornerAndResetReturns) {
    ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(100, 200, 50, 30), path("lake.ive")));
    LakeSurface lake(80, 60, 10);
    ASSERT_TRUE(lake.placeOn(path("lake.ive")));
    const osg::Vec3 placed(100, 200, 40);

    lake.reset();
    expectAt(lake.position, placed, "reset without rise");

    // Rising is always from the placed corner, never cumulative.
    for (float rise : {2.0f, 6.0f, 4.0f}) {
        lake.riseOffset = osg::Vec3(0, 0, rise);
        lake.rise();
        expectAt(lake.position, placed + osg::Vec3(0, 0, rise), "rise " + std::to_string(rise));
        expectAt(lake.savedPosition, placed, "saved after rise");
    }
    lake.reset();
    expectAt(lake.position, placed, "reset after rise");
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
        const std::string where = "corner " + std::to_string(index);
        expectAt((*corners)[index], expected[index].corner, where);
        EXPECT_FLOAT_EQ((*colours)[index].r(), expected[index].red / 255.0f) << where;
        EXPECT_FLOAT_EQ((*colours)[index].g(), expected[index].green / 255.0f) << where;
        EXPECT_FLOAT_EQ((*colours)[index].b(), expected[index].blue / 255.0f) << where;
        EXPECT_FLOAT_EQ((*colours)[index].a(), expected[index].alpha) << where;
    }

    const osg::StateSet* state = node->getStateSet();
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->getMode(GL_BLEND) & osg::StateAttribute::ON);
    EXPECT_EQ(state->getMode(GL_LIGHTING) & osg::StateAttribute::ON, 0u);
    EXPECT_EQ(state->getRenderingHint(), osg::StateSet::TRANSPARENT_BIN);
}

}  // namespace
