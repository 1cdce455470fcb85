// The depth legend: its labels and colours in the built graph, and what it draws over a scene.
#include <gtest/gtest.h>

#include <QImage>
#include <osg/Group>
#include <osg/MatrixTransform>
#include <osgSim/ScalarBar>
#include <osgText/Text>
#include <string>
#include <vector>

#include "legendbar.h"
#include "modaldriver.h"
#include "testmodels.h"
#include "viewerqt.h"

namespace {

const osg::Vec4 red(1, 0, 0, 1);
const osg::Vec4 blue(0, 0, 1, 1);

const osgSim::ScalarBar* findBar(osg::Projection& legend) {
    // Under the transform that anchors it to a corner of the view, and the one that places it there.
    osg::Group* anchor = legend.getNumChildren() == 1 ? legend.getChild(0)->asGroup() : nullptr;
    if (!anchor || anchor->getNumChildren() != 1) {
        return nullptr;
    }
    auto* placement = dynamic_cast<osg::MatrixTransform*>(anchor->getChild(0));
    if (!placement || placement->getNumChildren() != 1) {
        return nullptr;
    }
    return dynamic_cast<const osgSim::ScalarBar*>(placement->getChild(0));
}

// The non-empty labels of the bar; every text of the bar is in the installed font.
std::vector<std::string> labelsOf(const osgSim::ScalarBar& bar) {
    std::vector<std::string> labels;
    for (unsigned index = 0; index < bar.getNumDrawables(); ++index) {
        if (const auto* text = dynamic_cast<const osgText::Text*>(bar.getDrawable(index))) {
            EXPECT_NE(
                text->getFont() ? text->getFont()->getFileName().find("fonts/times.ttf") : std::string::npos,
                std::string::npos);
            const std::string label = text->getText().createUTF8EncodedString();
            if (!label.empty()) {
                labels.push_back(label);
            }
        }
    }
    return labels;
}

void expectColour(const osg::Vec4& actual, const osg::Vec4& expected, const std::string& where) {
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_NEAR(actual[channel], expected[channel], 1e-6) << where << " channel " << channel;
    }
}

TEST(LegendBar, LabelsAndEndColoursFollowTheRange) {
    const struct {
        int lower, upper;
        std::vector<std::string> labels;
        osg::Vec4 atLowEnd, atHighEnd;
    } cases[] = {
        {0, 10, {"0", "2", "4", "6", "8", "10"}, red, blue},
        {0, 20, {"0", "4", "8", "12", "16", "20"}, red, blue},
        {-5, 0, {"-5", "-4", "-3", "-2", "-1", "0"}, red, blue},
        // The wrong way round: shown ascending, still from the low colour.
        {10, 0, {"0", "2", "4", "6", "8", "10"}, red, blue},
        // No width: one unit from the bound, all in the high colour.
        {5, 5, {"5", "5.2", "5.4", "5.6", "5.8", "6"}, blue, blue},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.lower) + ".." + std::to_string(c.upper));
        osg::ref_ptr<osg::Projection> legend = LegendBarBuilder().buildLegendBar(red, blue, c.lower, c.upper);
        ASSERT_TRUE(legend.valid());
        const osgSim::ScalarBar* bar = findBar(*legend);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->getNumLabels(), 6);
        EXPECT_EQ(bar->getNumColors(), 30);
        EXPECT_EQ(labelsOf(*bar), c.labels);
        const osgSim::ScalarsToColors* colours = bar->getScalarsToColors();
        expectColour(colours->getColor(colours->getMin()), c.atLowEnd, "low end");
        expectColour(colours->getColor(colours->getMax()), c.atHighEnd, "high end");
    }
}

// The bar drawn by a real view over a terrain that fills the screen: it covers the terrain near the bottom
// edge, toward the right, from the low colour on the left to the high colour on the right, with its
// numbers outlined above it.
TEST(LegendBar, DrawsOverTheSceneAtTheBottomRightWithItsNumbersOnScreen) {
    auto* viewer = new ViewerQT;
    viewer->resize(640, 512);
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    scene->addChild(makeTerrainPatch(0, 0, 1000, 0));
    scene->addChild(LegendBarBuilder().buildLegendBar(red, blue, 0, 10));
    viewer->setSceneData(scene.get());
    lookDownAt(*viewer, osg::Vec3d(500, 500, 0), 300);
    viewer->show();
    ASSERT_TRUE(waitUntil([viewer] { return viewer->isVisible(); }));
    // The view draws on demand.
    const unsigned firstFrame = viewer->getFrameStamp()->getFrameNumber();
    viewer->requestRedraw();
    ASSERT_TRUE(waitUntil([&] { return viewer->getFrameStamp()->getFrameNumber() > firstFrame; }));
    const QImage frame = viewer->grabFrameBuffer();
    ASSERT_EQ(frame.width(), 640);
    ASSERT_EQ(frame.height(), 512);

    // The bar in pixels from the lower right corner; some 28 pixels high.
    const int barLeft = frame.width() - static_cast<int>(legendRightMarginPixels + legendBarLengthPixels);
    const int barRight = frame.width() - static_cast<int>(legendRightMarginPixels);
    const int row = frame.height() - static_cast<int>(legendBottomPixels) - 14;
    const QColor leftEnd = frame.pixelColor(barLeft + 4, row);
    const QColor rightEnd = frame.pixelColor(barRight - 4, row);
    EXPECT_GT(leftEnd.red(), 230);
    EXPECT_LT(leftEnd.blue(), 25);
    EXPECT_LT(leftEnd.green(), 10);
    EXPECT_GT(rightEnd.blue(), 230);
    EXPECT_LT(rightEnd.red(), 25);
    EXPECT_LT(rightEnd.green(), 10);

    // The middle cell is half way between the ends.
    const QColor middle = frame.pixelColor((barLeft + barRight) / 2, row);
    EXPECT_NEAR(middle.red(), 128, 20);
    EXPECT_NEAR(middle.blue(), 128, 20);

    // Above the numbers and left of the bar the terrain shows: neither legend colour.
    for (const QPoint& outside : {QPoint((barLeft + barRight) / 2, row - 80), QPoint(barLeft - 20, row),
                                  QPoint(barRight + 20, row)}) {
        const QColor colour = frame.pixelColor(outside);
        EXPECT_NEAR(colour.red(), colour.blue(), 10) << outside.x() << "," << outside.y();
    }

    // Over the bar the numbers: white strokes in a dark outline over the grey terrain.
    int white = 0;
    int dark = 0;
    for (int y = row - 50; y < row - 16; ++y) {
        for (int x = barLeft - 20; x < barRight + 20; ++x) {
            const QColor pixel = frame.pixelColor(x, y);
            white += pixel.red() > 220 && pixel.green() > 220 && pixel.blue() > 220;
            dark += pixel.red() < 50 && pixel.green() < 50 && pixel.blue() < 50;
        }
    }
    EXPECT_GT(white, 20);
    EXPECT_GT(dark, 20);

    viewer->hide();
    delete static_cast<AdapterWidget*>(viewer);
}

}  // namespace
