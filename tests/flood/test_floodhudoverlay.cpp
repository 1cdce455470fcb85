// The flood heads-up display and depth caption as drawn over the view.
#include <gtest/gtest.h>

#include <osg/Geometry>
#include <osgText/Text>

#include "floodhud.h"

namespace {

TEST(FloodHudOverlay, LinesFollowTheTimeAndVolumeRules) {
    const std::pair<float, const char*> times[] = {
        {0.0f, "Time: 0 s"},          {59.9f, "Time: 59 s"},          {60.0f, "Time: 1 m 0 s"},
        {3599.0f, "Time: 59 m 59 s"}, {3600.0f, "Time: 1 h 0 m 0 s"}, {7384.5f, "Time: 2 h 3 m 4 s"},
    };
    for (const auto& [seconds, line] : times) {
        EXPECT_EQ(FloodHud::timeLine(seconds).toStdString(), line) << seconds;
    }
    EXPECT_EQ(FloodHud::storageLine(100000000).toStdString(), "Storage: 100.00 million m^3");
    EXPECT_EQ(FloodHud::storageLine(1000000).toStdString(), "Storage: 1000.00 thound m^3");
    EXPECT_EQ(FloodHud::storageLine(1000).toStdString(), "Storage: 1000.00 m^3");
    EXPECT_EQ(FloodHud::residualLine(25000).toStdString(), "Residual capacity : 25.00 thound m^3");
    EXPECT_EQ(FloodHud::residualLine(0).toStdString(), "Residual capacity : 0.00 m^3");
}

// The texts of an overlay camera's geode, in drawable order.
std::vector<std::string> overlayTexts(const osg::Camera& camera) {
    std::vector<std::string> texts;
    const osg::Geode* geode = camera.getChild(0)->asGeode();
    for (unsigned i = 0; i < geode->getNumDrawables(); ++i) {
        if (const auto* text = dynamic_cast<const osgText::Text*>(geode->getDrawable(i))) {
            texts.push_back(text->getText().createUTF8EncodedString());
        }
    }
    return texts;
}

TEST(FloodHudOverlay, HudIsAPostRenderOverlayOfBoxAndThreeLines) {
    FloodHud hud;
    hud.time = 3725;
    hud.capacity = 100000000;
    hud.residual = 25000;
    const osg::ref_ptr<osg::Camera> camera = hud.makeHud();
    EXPECT_EQ(camera->getRenderOrder(), osg::Camera::POST_RENDER);
    EXPECT_EQ(camera->getReferenceFrame(), osg::Transform::ABSOLUTE_RF);
    EXPECT_EQ(camera->getClearMask(), static_cast<GLbitfield>(GL_DEPTH_BUFFER_BIT));
    EXPECT_EQ(camera->getProjectionMatrix(), osg::Matrixd::ortho2D(0, 800, 0, 600));
    ASSERT_EQ(camera->getNumChildren(), 1u);
    const osg::Geode* geode = camera->getChild(0)->asGeode();
    ASSERT_NE(geode, nullptr);
    EXPECT_EQ(geode->getStateSet()->getMode(GL_DEPTH_TEST), osg::StateAttribute::OFF);
    EXPECT_EQ(geode->getStateSet()->getMode(GL_LIGHTING), osg::StateAttribute::OFF);
    EXPECT_EQ(geode->getStateSet()->getMode(GL_BLEND), osg::StateAttribute::ON);

    // Background first, then storage, time and residual.
    ASSERT_EQ(geode->getNumDrawables(), 4u);
    const osg::Geometry* box = geode->getDrawable(0)->asGeometry();
    ASSERT_NE(box, nullptr);
    const auto* corners = static_cast<const osg::Vec3Array*>(box->getVertexArray());
    osg::BoundingBox extent;
    for (const osg::Vec3& corner : *corners) {
        extent.expandBy(corner);
    }
    EXPECT_EQ(extent.xMin(), 620);
    EXPECT_EQ(extent.xMax(), 800);
    EXPECT_EQ(extent.yMin(), 500);
    EXPECT_EQ(extent.yMax(), 600);
    EXPECT_EQ((*static_cast<const osg::Vec4Array*>(box->getColorArray()))[0],
              osg::Vec4(0.8f, 0.8f, 0.8f, 0.5f));
    EXPECT_EQ(overlayTexts(*camera),
              (std::vector<std::string>{"Storage: 100.00 million m^3", "Time: 1 h 2 m 5 s",
                                        "Residual capacity : 25.00 thound m^3"}));
}

TEST(FloodHudOverlay, DepthCaptionSitsUnderTheLegend) {
    const osg::ref_ptr<osg::Camera> caption = FloodHud().makeDepthCaption();
    EXPECT_EQ(overlayTexts(*caption), std::vector<std::string>{"Water Depth"});
    const auto* text = static_cast<const osgText::Text*>(caption->getChild(0)->asGeode()->getDrawable(0));
    EXPECT_EQ(text->getPosition(), osg::Vec3(330, 4, 0));
    EXPECT_EQ(text->getColor(), osg::Vec4(1, 1, 1, 1));
}

}  // namespace
