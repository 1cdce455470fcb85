// The frame information file of a debris-flow frame: written by the run, read back by the replay.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>

#include <osg/Geode>
#include <osgText/Text>

#include "debrishud.h"
#include "debrisoverlays.h"
#include "legendbar.h"
#include "debristestdata.h"

namespace {

class FrameInfo : public ::testing::Test {
protected:
    std::string path(const std::string& name) const {
        return folder.filePath(QString::fromStdString(name)).toStdString();
    }

    static void expectFigures(const DebrisHud& hud, float maxSpeed, float elapsedTime, int lower, int upper) {
        EXPECT_EQ(hud.maxSpeed, maxSpeed);
        EXPECT_EQ(hud.elapsedTime, elapsedTime);
        EXPECT_EQ(hud.rangeLower, lower);
        EXPECT_EQ(hud.rangeUpper, upper);
    }

    QTemporaryDir folder;
};

TEST_F(FrameInfo, WritesFourLinesWithoutALastLineEndThatReadBack) {
    const struct {
        const char* what;
        bool filled;
        float maxSpeed, elapsedTime;
        int rangeLower, rangeUpper;
        const char* text;
        float speedRead, timeRead;  // six significant digits survive
    } cases[] = {
        {"a record never filled", false, 0, 0, 0, 0, "0\n0\n0\n10", 0, 0},
        {"six significant digits", true, 12.3456789f, 29.4f, -3, 15, "12.3457\n29.4\n-3\n15", 12.3457f,
         29.4f},
        {"large and small figures", true, 0.000012345f, 6401.4f, 0, 100000, "1.2345e-05\n6401.4\n0\n100000",
         0.000012345f, 6401.4f},
        {"read back", true, 7.123456f, 2969.4f, -5, 40, "7.12346\n2969.4\n-5\n40", 7.12346f, 2969.4f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DebrisHud hud;
        if (c.filled) {
            hud.maxSpeed = c.maxSpeed;
            hud.elapsedTime = c.elapsedTime;
            hud.rangeLower = c.rangeLower;
            hud.rangeUpper = c.rangeUpper;
        }
        // Replaces what the file held before.
        writeTextFile(path("1.txt"), "an older and much longer frame file\n\n\n\n\n");
        ASSERT_TRUE(hud.writeFrameInfo(path("1.txt")));
        EXPECT_EQ(readTextFile(path("1.txt")), c.text);
        DebrisHud read;
        ASSERT_TRUE(read.readFrameInfo(path("1.txt")));
        EXPECT_NEAR(read.maxSpeed, c.speedRead, 1e-6);
        EXPECT_NEAR(read.elapsedTime, c.timeRead, 1e-3);
        EXPECT_EQ(read.rangeLower, hud.rangeLower);
        EXPECT_EQ(read.rangeUpper, hud.rangeUpper);
    }
}

TEST_F(FrameInfo, ReadsTheFirstFourLinesOnly) {
    const struct {
        const char* what;
        std::string text;
        float maxSpeed, elapsedTime;
        int rangeLower, rangeUpper;
        int faultyLine;  // the first line said to hold no figure a run writes (0: none)
    } cases[] = {
        {"more than four lines", "1.5\n2.5\n3\n4\n5\n6\n", 1.5f, 2.5f, 3, 4, 0},
        {"Windows line ends", "1.5\r\n2.5\r\n3\r\n4\r\n", 1.5f, 2.5f, 3, 4, 0},
        {"missing lines give 0", "7.5\n", 7.5f, 0, 0, 0, 0},
        {"text that is no number gives 0", "fast\n\n3 m\nten", 0, 0, 0, 0, 1},
        {"range lines are truncated", "1\n2\n7.9\n-2.5", 1, 2, 7, -2, 0},
        {"ranges beyond an int give 0", "1\n2\n1e20\n-3e9", 1, 2, 0, 0, 3},
        {"an overlong line reads as no number", "1\n" + std::string(50000, '9') + "\n5\n6\n", 1, 0, 5, 6, 2},
        // Figures no run writes read as 0 too.
        {"figures that are not finite", "nan\ninf\n3\n4\n", 0, 0, 3, 4, 1},
        {"a negative time", "1\n-29.4\n3\n4\n", 1, 0, 3, 4, 2},
        {"a time beyond any run", "1\n1e12\n3\n4\n", 1, 0, 3, 4, 2},
        {"empty file", "", 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeTextFile(path("frame.txt"), c.text);
        DebrisHud hud;
        hud.maxSpeed = 99;
        hud.elapsedTime = 99;
        hud.rangeLower = 99;
        std::string problem;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(hud.readFrameInfo(path("frame.txt"), &problem));
        const std::string said = testing::internal::GetCapturedStdout();
        expectFigures(hud, c.maxSpeed, c.elapsedTime, c.rangeLower, c.rangeUpper);
        // Said, and handed on for the user, naming the file and the line.
        const std::string named =
            "frame information file \"" + path("frame.txt") + "\": line " + std::to_string(c.faultyLine) + " \"";
        EXPECT_EQ(problem.rfind(named, 0), c.faultyLine ? 0u : std::string::npos) << problem;
        EXPECT_EQ(c.faultyLine ? said.rfind(problem + "\n", 0) : said.size(), 0u) << said;
    }
}

TEST_F(FrameInfo, SaysOpenFailedAndKeepsTheFigures) {
    DebrisHud hud;
    hud.maxSpeed = 3;
    hud.elapsedTime = 4;
    hud.rangeLower = 1;
    hud.rangeUpper = 9;
    // A device, or a file far larger than four lines, is not read.
    writeTextFile(path("large.txt"), std::string(100000, '1'));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(hud.readFrameInfo(path("missing.txt")));
    std::string problem;
    EXPECT_FALSE(hud.readFrameInfo("/dev/zero", &problem));
    EXPECT_EQ(problem, "\"/dev/zero\" is not a regular file");
    EXPECT_FALSE(hud.readFrameInfo(path("large.txt")));
    EXPECT_FALSE(hud.writeFrameInfo(path("no such folder/1.txt")));
    const std::string said = testing::internal::GetCapturedStdout();
    // Each names its file and why.
    for (const std::string& named :
         {"Open failed.\ncannot open \"" + path("missing.txt") + "\": No such file or directory\n",
          std::string("Open failed.\n\"/dev/zero\" is not a regular file\n"),
          "Open failed.\n\"" + path("large.txt") + "\" holds 100000 bytes",
          "Open failed.\ncannot write \"" + path("no such folder/1.txt") + "\": No such file or directory\n"}) {
        EXPECT_NE(said.find(named), std::string::npos) << named << " in " << said;
    }
    expectFigures(hud, 3, 4, 1, 9);
}

TEST(DebrisHudCamera, CaptionsTheLegendAtTheFootOfTheView) {
    const osg::ref_ptr<osg::Camera> camera = makeDebrisDepthCaption();
    EXPECT_EQ(camera->getRenderOrder(), osg::Camera::POST_RENDER);
    EXPECT_EQ(camera->getReferenceFrame(), osg::Transform::ABSOLUTE_RF);
    EXPECT_EQ(camera->getClearMask(), static_cast<GLbitfield>(GL_DEPTH_BUFFER_BIT));
    EXPECT_FALSE(camera->getAllowEventFocus());
    ASSERT_EQ(camera->getNumChildren(), 1u);
    // Under the transform that anchors it to a corner of the view.
    const osg::Group* anchor = camera->getChild(0)->asGroup();
    ASSERT_TRUE(anchor && anchor->getNumChildren() == 1u);
    const osg::Geode* geode = anchor->getChild(0)->asGeode();
    ASSERT_NE(geode, nullptr);
    EXPECT_EQ(geode->getStateSet()->getMode(GL_LIGHTING), osg::StateAttribute::OFF);
    EXPECT_EQ(geode->getStateSet()->getMode(GL_DEPTH_TEST), osg::StateAttribute::OFF);
    EXPECT_EQ(geode->getStateSet()->getMode(GL_BLEND), osg::StateAttribute::ON);
    ASSERT_EQ(geode->getNumDrawables(), 1u);
    const auto* text = dynamic_cast<const osgText::Text*>(geode->getDrawable(0));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->getText().createUTF8EncodedString(), "泥深");
    // Ending left of the legend's bar, in pixels from the view's lower right corner.
    EXPECT_LT(text->getPosition().x(), -(legendRightMarginPixels + legendBarLengthPixels));
    EXPECT_EQ(text->getAlignment(), osgText::Text::RIGHT_BOTTOM);
    EXPECT_EQ(text->getColor(), osg::Vec4(1, 1, 1, 1));
    // Legible: no text on the screen is smaller.
    EXPECT_GE(text->getCharacterHeight(), 12.0f);
    ASSERT_NE(text->getFont(), nullptr);
    EXPECT_EQ(text->getFont()->getFileName(), "fonts/simhei.ttf");
}

}  // namespace
