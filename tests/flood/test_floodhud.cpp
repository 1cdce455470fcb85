// The flood heads-up display: its display-state file in a result folder, its lines and the overlay and
// depth caption drawn over the view.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <limits>
#include <optional>
#include <osg/Geometry>
#include <osgText/Text>

#include "floodhud.h"
#include "floodoverlays.h"
#include "legendbar.h"
#include "testfiles.h"

namespace {

void expectState(const FloodHud& hud, const FloodHud& expected) {
    EXPECT_FLOAT_EQ(hud.time, expected.time);
    EXPECT_FLOAT_EQ(hud.residual, expected.residual);
    EXPECT_FLOAT_EQ(hud.capacity, expected.capacity);
    EXPECT_EQ(hud.colourLow, expected.colourLow);
    EXPECT_EQ(hud.colourHigh, expected.colourHigh);
}

TEST(FloodHudState, FileHoldsFiveLinesAndUnreadableLinesReadAsZero) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string file = folder.filePath("state.txt").toStdString();
    const struct {
        const char* name;
        std::optional<FloodHud> written;  // the file is written by writeState, else it holds `text`
        const char* text;
        FloodHud read;     // six significant digits survive
        const char* said;  // on standard output while reading
    } cases[] = {
        {"typical",
         FloodHud{59.9f, 25000, 1e8f, 0, 20},
         "59.9\n25000\n1e+08\n0\n20",
         {59.9f, 25000, 1e8f, 0, 20},
         ""},
        {"negative low bound",
         FloodHud{11303.4f, 0, 3e6f, -2, 12},
         "11303.4\n0\n3e+06\n-2\n12",
         {11303.4f, 0, 3e6f, -2, 12},
         ""},
        {"six significant digits",
         FloodHud{1234.5678f, 98765432.0f, 123456789.0f, 5, 6},
         "1234.57\n9.87654e+07\n1.23457e+08\n5\n6",
         {1234.57f, 98765400.0f, 123457000.0f, 5, 6},
         ""},
        {"two lines", std::nullopt, "12.5\n300\n", {12.5f, 300, 0, 0, 0}, ""},
        {"empty file", std::nullopt, "", {0, 0, 0, 0, 0}, ""},
        {"Windows line ends", std::nullopt, "7.5\r\n8\r\n9\r\n1\r\n2", {7.5f, 8, 9, 1, 2}, ""},
        {"a word instead of a number",
         std::nullopt,
         "7.5\nlots\n9\n1\n2",
         {7.5f, 0, 9, 1, 2},
         "line 2 \"lots\" is not a number; it reads as 0"},
        {"a real where an integer belongs",
         std::nullopt,
         "7.5\n8\n9\n1.5\n2",
         {7.5f, 8, 9, 0, 2},
         "line 4 \"1.5\" is not a number"},
        // Shown as a clock, these would turn into "Time: -2147483648 s".
        {"a time beyond any run",
         std::nullopt,
         "1e30\n8\n9\n1\n2",
         {0, 8, 9, 1, 2},
         "line 1 \"1e30\" is not a simulated time; it reads as 0"},
        {"an infinite time",
         std::nullopt,
         "inf\n8\n9\n1\n2",
         {0, 8, 9, 1, 2},
         "line 1 \"inf\" is not a simulated time"},
        {"a time that is no number",
         std::nullopt,
         "nan\n8\n9\n1\n2",
         {0, 8, 9, 1, 2},
         "line 1 \"nan\" is not a"},
        {"a negative time",
         std::nullopt,
         "-60\n8\n9\n1\n2",
         {0, 8, 9, 1, 2},
         "line 1 \"-60\" is not a simulated time"},
        {"a volume beyond a float",
         std::nullopt,
         "5\n1e39\n-inf\n1\n2",
         {5, 0, 0, 1, 2},
         "line 3 \"-inf\" is not a volume"},
        {"a range beyond an int",
         std::nullopt,
         "5\n8\n9\n99999999999\n2",
         {5, 8, 9, 0, 2},
         "line 4 \"99999999999\" is not a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.written) {
            ASSERT_TRUE(c.written->writeState(file));
            EXPECT_EQ(readTextFile(file), c.text);
        } else {
            writeTextFile(file, c.text);
        }
        FloodHud hud{-1, -1, -1, -1, -1};
        testing::internal::CaptureStdout();
        std::string problem;
        ASSERT_TRUE(hud.readState(file, &problem));
        const std::string said = testing::internal::GetCapturedStdout();
        expectState(hud, c.read);
        if (*c.said == '\0') {
            EXPECT_EQ(said, "");
            EXPECT_EQ(problem, "");
        } else {
            EXPECT_NE(said.find(c.said), std::string::npos) << said;
            // The user is told the first line said, naming the file.
            EXPECT_EQ(problem.rfind("display-state file \"" + file + "\": line ", 0), 0u) << problem;
            EXPECT_EQ(said.rfind(problem + "\n", 0), 0u) << said;
        }
    }

    FloodHud hud{5, 6, 7, 8, 9};
    testing::internal::CaptureStdout();
    const std::string missing = folder.filePath("no-such-file.txt").toStdString();
    std::string problem;
    EXPECT_FALSE(hud.readState(missing, &problem));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Open failed.\ncannot open \"" + missing + "\": No such file or directory\n");
    EXPECT_EQ(problem, "cannot open \"" + missing + "\": No such file or directory");
    expectState(hud, {5, 6, 7, 8, 9});
    // A device, a pipe or a file far larger than five lines is not read.
    writeTextFile(file, std::string(100000, '1'));
    for (const std::string& unreadable : {std::string("/dev/zero"), file}) {
        testing::internal::CaptureStdout();
        EXPECT_FALSE(hud.readState(unreadable));
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_EQ(said.rfind("Open failed.\n\"" + unreadable + "\" ", 0), 0u) << said;
        expectState(hud, {5, 6, 7, 8, 9});
    }
    testing::internal::CaptureStdout();
    const std::string unwritable = folder.filePath("no-such-folder/1.txt").toStdString();
    EXPECT_FALSE(hud.writeState(unwritable));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Open failed.\ncannot write \"" + unwritable + "\": No such file or directory\n");
}

TEST(FloodHudOverlay, LinesFollowTheTimeAndVolumeRules) {
    const std::pair<float, const char*> lines[] = {
        {0.0f, "Time: 0 s"},          {59.9f, "Time: 59 s"},          {60.0f, "Time: 1 m 0 s"},
        {3599.0f, "Time: 59 m 59 s"}, {3600.0f, "Time: 1 h 0 m 0 s"}, {7384.5f, "Time: 2 h 3 m 4 s"},
    };
    for (const auto& [seconds, line] : lines) {
        EXPECT_EQ(FloodHud::timeLine(seconds).toStdString(), line) << seconds;
    }
    // A clock no run reaches is shown without an undefined conversion (the sanitizer build checks that).
    for (const float absurd : {1e30f, std::numeric_limits<float>::infinity(), std::nanf("")}) {
        EXPECT_EQ(FloodHud::timeLine(absurd).toStdString().find('-'), std::string::npos) << absurd;
    }
    EXPECT_EQ(FloodHud::storageLine(100000000).toStdString(), "Storage: 100.00 million m^3");
    EXPECT_EQ(FloodHud::storageLine(1000000).toStdString(), "Storage: 1000.00 thound m^3");
    EXPECT_EQ(FloodHud::storageLine(1000).toStdString(), "Storage: 1000.00 m^3");
    EXPECT_EQ(FloodHud::residualLine(25000).toStdString(), "Residual capacity : 25.00 thound m^3");
    EXPECT_EQ(FloodHud::residualLine(0).toStdString(), "Residual capacity : 0.00 m^3");
}

// The geode of an overlay camera, under the transform that anchors it to a corner of the view.
const osg::Geode* overlayGeode(const osg::Camera& camera) {
    const osg::Group* anchor = camera.getNumChildren() == 1 ? camera.getChild(0)->asGroup() : nullptr;
    return anchor && anchor->getNumChildren() == 1 ? anchor->getChild(0)->asGeode() : nullptr;
}

// The texts of an overlay camera's geode, in drawable order.
std::vector<std::string> overlayTexts(const osg::Camera& camera) {
    std::vector<std::string> texts;
    const osg::Geode* geode = overlayGeode(camera);
    for (unsigned i = 0; i < geode->getNumDrawables(); ++i) {
        if (const auto* text = dynamic_cast<const osgText::Text*>(geode->getDrawable(i))) {
            texts.push_back(text->getText().createUTF8EncodedString());
        }
    }
    return texts;
}

TEST(FloodHudOverlay, HudIsAPostRenderOverlayOfBoxAndThreeLines) {
    const osg::ref_ptr<osg::Camera> camera = makeFloodHud(FloodHud{3725, 25000, 100000000});
    EXPECT_EQ(camera->getRenderOrder(), osg::Camera::POST_RENDER);
    EXPECT_EQ(camera->getReferenceFrame(), osg::Transform::ABSOLUTE_RF);
    EXPECT_EQ(camera->getClearMask(), static_cast<GLbitfield>(GL_DEPTH_BUFFER_BIT));
    const osg::Geode* geode = overlayGeode(*camera);
    ASSERT_NE(geode, nullptr);
    EXPECT_EQ(geode->getStateSet()->getMode(GL_DEPTH_TEST), osg::StateAttribute::OFF);
    EXPECT_EQ(geode->getStateSet()->getMode(GL_LIGHTING), osg::StateAttribute::OFF);
    EXPECT_EQ(geode->getStateSet()->getMode(GL_BLEND), osg::StateAttribute::ON);

    // Background first, then storage, time and residual.
    ASSERT_EQ(geode->getNumDrawables(), 4u);
    const osg::Geometry* box = geode->getDrawable(0)->asGeometry();
    ASSERT_NE(box, nullptr);
    osg::BoundingBox extent;
    for (const osg::Vec3& corner : *static_cast<const osg::Vec3Array*>(box->getVertexArray())) {
        extent.expandBy(corner);
    }
    // In pixels from the upper right corner: reaching it, and holding every line whole.
    EXPECT_EQ(extent.xMax(), 0.0f);
    EXPECT_EQ(extent.yMax(), 0.0f);
    for (unsigned i = 1; i < geode->getNumDrawables(); ++i) {
        const auto* line = static_cast<const osgText::Text*>(geode->getDrawable(i));
        EXPECT_EQ(line->getCharacterHeight(), floodHudCharacterSize);
        const osg::BoundingBox bounds = line->computeBoundingBox();
        ASSERT_TRUE(bounds.valid());
        EXPECT_GT(bounds.xMin(), extent.xMin()) << line->getText().createUTF8EncodedString();
        EXPECT_LT(bounds.xMax(), extent.xMax()) << line->getText().createUTF8EncodedString();
        EXPECT_GT(bounds.yMin(), extent.yMin()) << line->getText().createUTF8EncodedString();
        EXPECT_LT(bounds.yMax(), extent.yMax()) << line->getText().createUTF8EncodedString();
    }
    EXPECT_EQ((*static_cast<const osg::Vec4Array*>(box->getColorArray()))[0],
              osg::Vec4(0.8f, 0.8f, 0.8f, 0.75f));
    EXPECT_EQ(overlayTexts(*camera),
              (std::vector<std::string>{"Storage: 100.00 million m^3", "Time: 1 h 2 m 5 s",
                                        "Residual capacity : 25.00 thound m^3"}));
}

TEST(FloodHudOverlay, DepthCaptionSitsUnderTheLegend) {
    const osg::ref_ptr<osg::Camera> caption = makeFloodDepthCaption();
    EXPECT_EQ(overlayTexts(*caption), std::vector<std::string>{"Water Depth"});
    const auto* text = static_cast<const osgText::Text*>(overlayGeode(*caption)->getDrawable(0));
    // Left of the bar, in pixels from the lower right corner.
    EXPECT_LT(text->getPosition().x(), -(legendRightMarginPixels + legendBarLengthPixels));
    EXPECT_EQ(text->getAlignment(), osgText::Text::RIGHT_BOTTOM);
    EXPECT_EQ(text->getColor(), osg::Vec4(1, 1, 1, 1));
    // Readable on a white background too.
    EXPECT_EQ(text->getBackdropType(), osgText::Text::OUTLINE);
    EXPECT_EQ(text->getBackdropColor(), osg::Vec4(0, 0, 0, 1));
}

}  // namespace
