// The effects of a landslide scenario: the dust cloud and its texture, the solid tint of the geological
// lines, and the water plane and label of the barrier-lake filling.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <osg/Geometry>
#include <osg/LineWidth>
#include <osg/Texture2D>
#include <osgDB/ReadFile>
#include <osgParticle/ModularEmitter>
#include <osgParticle/ModularProgram>
#include <osgParticle/ParticleSystem>
#include <osgParticle/ParticleSystemUpdater>
#include <osgParticle/SectorPlacer>
#include <osgUtil/CullVisitor>
#include <osgUtil/RenderStage>

#include "../scenes/boundscene.h"
#include "lakefilling.h"
#include "scenegraph.h"
#include "smoke.h"
#include "solidtint.h"
#include "testshapefiles.h"

namespace {

const char* const slideScenario =
    R"(<S><landslide><path strPath="/play"/><location LocationFile="/slide.shp"/>
    <pos X="471500" Y="3438400" Z="1950"/></landslide></S>)";

// Particles alive after the cloud has been culled, frame by frame, up to `seconds` of simulated time: the
// emitter and the updater do their work in the cull traversal, as a viewer runs it each frame.
int aliveAfter(osg::Group& cloud, double seconds) {
    auto* system = dynamic_cast<osgParticle::ParticleSystem*>(cloud.getChild(0)->asGeode()->getDrawable(0));
    // Nothing draws the cloud here; a system that is not drawn would otherwise hold still.
    system->setFreezeOnCull(false);
    osg::ref_ptr<osg::FrameStamp> stamp = new osg::FrameStamp;
    for (int frame = 0; frame * 0.05 <= seconds; ++frame) {
        stamp->setFrameNumber(frame);
        stamp->setReferenceTime(frame * 0.05);
        stamp->setSimulationTime(frame * 0.05);
        osg::ref_ptr<osgUtil::CullVisitor> cull = new osgUtil::CullVisitor;
        osg::ref_ptr<osgUtil::StateGraph> states = new osgUtil::StateGraph;
        osg::ref_ptr<osgUtil::RenderStage> stage = new osgUtil::RenderStage;
        cull->setFrameStamp(stamp);
        cull->setStateGraph(states);
        cull->setRenderStage(stage);
        cull->setCullingMode(osg::CullSettings::NO_CULLING);
        cull->pushViewport(new osg::Viewport(0, 0, 800, 600));
        cull->pushProjectionMatrix(new osg::RefMatrix(osg::Matrix::perspective(30.0, 4.0 / 3.0, 1.0, 1e5)));
        cull->pushModelViewMatrix(new osg::RefMatrix(osg::Matrix::identity()), osg::Transform::ABSOLUTE_RF);
        cloud.accept(*cull);
    }
    return system->numParticles() - system->numDeadParticles();
}

TEST(Smoke, DustRisesFromTheSlidePointAndIsGoneWithinSixSeconds) {
    BoundScene scene;
    scene.write("LandslideXML.xml", slideScenario);
    osg::ref_ptr<osg::Group> cloud = new osg::Group;
    Smoke(scene.catalog()).addSmoke(cloud);
    ASSERT_EQ(cloud->getNumChildren(), 4u);
    osg::Geode* geode = cloud->getChild(0)->asGeode();
    ASSERT_NE(geode, nullptr);
    auto* emitter = dynamic_cast<osgParticle::ModularEmitter*>(cloud->getChild(1));
    ASSERT_NE(emitter, nullptr);
    EXPECT_NE(dynamic_cast<osgParticle::ParticleSystemUpdater*>(cloud->getChild(2)), nullptr);
    EXPECT_NE(dynamic_cast<osgParticle::ModularProgram*>(cloud->getChild(3)), nullptr);
    auto* placer = dynamic_cast<osgParticle::SectorPlacer*>(emitter->getPlacer());
    ASSERT_NE(placer, nullptr);
    EXPECT_EQ(placer->getCenter(), osg::Vec3(471500, 3438400, 1950));
    EXPECT_EQ(placer->getRadiusRange().maximum, 680.0f);

    // The texture beside the program: the particles are not drawn as plain squares.
    auto* system = dynamic_cast<osgParticle::ParticleSystem*>(geode->getDrawable(0));
    ASSERT_NE(system, nullptr);
    auto* texture = dynamic_cast<osg::Texture2D*>(
        system->getStateSet()->getTextureAttribute(0, osg::StateAttribute::TEXTURE));
    ASSERT_NE(texture, nullptr);
    ASSERT_NE(texture->getImage(), nullptr) << "dust2.rgb beside the program";

    EXPECT_EQ(aliveAfter(*cloud, 0.7), 0) << "nothing before 0.8 s";
    cloud = new osg::Group;
    Smoke(scene.catalog()).addSmoke(cloud);
    EXPECT_GT(aliveAfter(*cloud, 2.5), 20000) << "a thick cloud while the emitter runs";
    cloud = new osg::Group;
    Smoke(scene.catalog()).addSmoke(cloud);
    EXPECT_EQ(aliveAfter(*cloud, 6.5), 0) << "faded 2 s after the emitter stops at 4.3 s";
}

TEST(Smoke, ScenarioWithoutTheSlidePointAddsNothing) {
    BoundScene scene;
    for (const char* xml :
         {"<S/>", R"(<S><landslide><path strPath="/play"/><pos X="1" Y="2"/></landslide></S>)"}) {
        scene.write("LandslideXML.xml", xml);
        osg::ref_ptr<osg::Group> cloud = new osg::Group;
        Smoke(scene.catalog()).addSmoke(cloud);
        EXPECT_EQ(cloud->getNumChildren(), 0u) << xml;
    }
}

TEST(DustTexture, IsASoftPuffThatFadesToItsEdge) {
    osg::ref_ptr<osg::Image> image = osgDB::readRefImageFile("dust2.rgb");
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->getPixelFormat(), static_cast<GLenum>(GL_RGBA));
    ASSERT_EQ(image->s(), 64);
    ASSERT_EQ(image->t(), 64);
    EXPECT_GT(image->getColor(32, 32).a(), 0.4f);
    EXPECT_GT(image->getColor(32, 32).r(), 0.8f) << "near white, so that the particle colour shows";
    for (const auto& [s, t] : {std::pair{0, 0}, std::pair{63, 0}, std::pair{0, 63}, std::pair{63, 63}}) {
        EXPECT_EQ(image->getColor(s, t).a(), 0.0f) << s << "," << t;
    }
    EXPECT_LT(image->getColor(32, 56).a(), image->getColor(32, 40).a()) << "fades outwards";
}

TEST(SolidTint, LinesTakeTheColourOfASolidTextureAndLoseTheirOldState) {
    osg::ref_ptr<osg::Image> image = makeSolidImage(4, 3, 255.0f, 255.9f, 153.0f);
    ASSERT_EQ(image->getPixelFormat(), static_cast<GLenum>(GL_RGB));
    EXPECT_EQ(std::vector<unsigned char>(image->data(3, 2), image->data(3, 2) + 3),
              (std::vector<unsigned char>{255, 255, 153}));

    osg::ref_ptr<osg::Geode> lines = new osg::Geode;
    lines->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    tintNode(lines, osg::Vec4(1, 1, 0.6f, 1), 2.0f, false);
    const osg::StateSet* state = lines->getStateSet();
    EXPECT_EQ(state->getMode(GL_LIGHTING), osg::StateAttribute::INHERIT) << "the old state set is gone";
    auto* texture =
        dynamic_cast<const osg::Texture2D*>(state->getTextureAttribute(1, osg::StateAttribute::TEXTURE));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->getImage()->data(255, 255)[2], 153);
    auto* width = dynamic_cast<const osg::LineWidth*>(state->getAttribute(osg::StateAttribute::LINEWIDTH));
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(width->getWidth(), 2.0f);
}

TEST(LakeFilling, StartsBelowTheTopOfTheLakeModel) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string lake = folder.path().toStdString() + "/lake.shp";
    writeVectorFile(lake, wkbPolygon25D,
                    {{wkbPolygon25D,
                      {{1000, 5000, 1930}, {2600, 5000, 1936}, {2600, 6800, 1936}, {1000, 6800, 1930}},
                      "lake"}});
    const std::optional<LakeFillingStart> start = measureBarrierLake(lake);
    ASSERT_TRUE(start.has_value());
    EXPECT_EQ(start->origin, osg::Vec3(600, 4900, 1916));
    EXPECT_EQ(start->labelAnchor, osg::Vec3(1800, 5600, 2333));
    EXPECT_FALSE(measureBarrierLake(lake + ".missing").has_value());

    osg::ref_ptr<osg::Geode> plane =
        makeFillingPlane(start->origin, osg::Vec3(2000, 0, 0), osg::Vec3(0, 2000, 0));
    const osg::Geometry* quad = plane->getDrawable(0)->asGeometry();
    ASSERT_NE(quad, nullptr);
    const auto* corners = static_cast<const osg::Vec3Array*>(quad->getVertexArray());
    EXPECT_EQ((*corners)[0], osg::Vec3(600, 4900, 1916));
    EXPECT_EQ((*corners)[2], osg::Vec3(2600, 6900, 1916));
    EXPECT_EQ(plane->getStateSet()->getBinNumber(), -3) << "drawn before the terrain";
}

}  // namespace
