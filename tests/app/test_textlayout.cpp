// The texts of the case studies as the user sees them in windows of several sizes and shapes, the monitor
// dock closed and open: read from the frames the view drew.
#include <gtest/gtest.h>

#include <QDockWidget>
#include <algorithm>
#include <functional>
#include <list>
#include <map>

#include "casestudywindow.h"
#include "drawntexts.h"
#include "monitormarks.h"
#include "monitorpoints.h"

namespace {

// Wide, tall and squashed views: the dock takes height from the view.
const struct WindowShape {
    int width, height;
    bool dockOpen;
} shapes[] = {{800, 600, false}, {1280, 560, false}, {1600, 1000, false}, {800, 600, true}, {1280, 560, true}};

using TextCheck = std::function<void(const DrawnText&, double width, double height)>;

class TextLayoutTest : public CaseStudyTest {
protected:
    // At each shape, the texts of the first frame the view draws at its new size go to `overlayCheck` or
    // `sceneCheck`; then the texts of the scene, in pairs, must not cover each other.
    void expectAtEveryShape(const TextCheck& overlayCheck, const TextCheck& sceneCheck) {
        ViewerQT& view = *window->view();
        for (const WindowShape& shape : shapes) {
            SCOPED_TRACE(std::to_string(shape.width) + " x " + std::to_string(shape.height) +
                         (shape.dockOpen ? " with the dock" : ""));
            window->findChild<QDockWidget*>("monitorDock")->setVisible(shape.dockOpen);
            window->resize(shape.width, shape.height);
            ASSERT_TRUE(waitUntil([&] {
                return view.getCamera()->getViewport()->width() == view.width() &&
                       view.getCamera()->getViewport()->height() == view.height();
            }));
            EXPECT_EQ(view.height() < shape.height - 150, shape.dockOpen) << view.height();
            const unsigned before = view.getFrameStamp()->getFrameNumber();
            view.requestRedraw();
            ASSERT_TRUE(waitUntil([&] { return view.getFrameStamp()->getFrameNumber() > before; }));
            double width = 0, height = 0;
            const std::vector<DrawnText> texts = textsOfLastFrame(view, width, height);
            for (std::size_t i = 0; i < texts.size(); ++i) {
                SCOPED_TRACE(texts[i].text + " at " + texts[i].where());
                if (texts[i].overlay) {
                    overlayCheck(texts[i], width, height);
                    continue;
                }
                sceneCheck(texts[i], width, height);
                for (std::size_t j = i + 1; j < texts.size(); ++j) {
                    EXPECT_TRUE(texts[j].overlay || !texts[i].overlaps(texts[j])) << texts[j].text;
                }
            }
        }
    }
};

// Legible and unsquashed, at the same size in pixels at every shape.
void expectLegible(const DrawnText& text, std::map<std::string, double>* widths = nullptr) {
    EXPECT_GE(text.characterPixels, 11.99);
    EXPECT_NEAR(text.stretch, 1.0, 0.01);
    if (widths) {
        const double width = text.right - text.left;
        EXPECT_NEAR(widths->emplace(text.text, width).first->second, width, 1.0) << "stretched with the view";
    }
}

TEST_F(TextLayoutTest, FloodOverlaysFitEveryViewAndLabelsStandApart) {
    doubleClick("金江洪水");
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 3; }, 20000));
    // The clock stands still, so that its lines can be compared between the shapes.
    triggerMenuAction(*window, "&暂停演进");
    // The labels of both demo monitor points, as once the flood has reached them.
    MonitorPoints points;
    ASSERT_TRUE(points.load((window->sceneCatalog().pathOf("金江洪水") + "/Disaster_Data/monitors.shp").toStdString()));
    for (const PointM& point : std::list<PointM>(points.list())) {
        points.match(point.x, point.y, 0.5, 12.345f, 123.456f, 10.123f, 1234.0f);
    }
    window->sceneRoot()->addChild(makeMonitorNode(points));
    std::map<std::string, double> widths;
    std::map<std::string, int> seen;
    expectAtEveryShape(
        [&](const DrawnText& text, double width, double height) {
            expectLegible(text, &widths);
            EXPECT_TRUE(text.inside(width, height));
            ++seen[text.text.substr(0, text.text.find(':'))];
        },
        [&](const DrawnText& text, double width, double height) {
            expectLegible(text);
            if (text.text.rfind("arrive time", 0) == 0) {
                ++seen["monitor"];
                EXPECT_TRUE(text.inside(width, height));
            }
        });
    const int count = std::size(shapes);
    EXPECT_EQ(seen, (std::map<std::string, int>{{"Time", count}, {"Residual capacity ", count},
                                                {"Storage", count}, {"Water Depth", count},
                                                {"monitor", 2 * count}, {"0", count}, {"4", count},
                                                {"8", count}, {"12", count}, {"16", count}, {"20", count}}));
}

TEST_F(TextLayoutTest, DebrisCaptionFitsEveryView) {
    doubleClick("七盘泥石流");
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 3; }, 20000));
    triggerMenuAction(*window, "&暂停演进");
    int captions = 0;
    expectAtEveryShape(
        [&](const DrawnText& text, double width, double height) {
            expectLegible(text);
            EXPECT_TRUE(text.inside(width, height));
            captions += text.text == "泥深";
        },
        [](const DrawnText& text, double, double) { expectLegible(text); });
    EXPECT_EQ(captions, static_cast<int>(std::size(shapes)));
}

// The rain that set off the slide, told beside it at the opening view, lies inside the view.
TEST_F(TextLayoutTest, LandslideRainTextStaysInsideEveryView) {
    doubleClick("茂滑坡");
    // Its two earlier disasters, then the slide area with its rain, where the story is held.
    for (int step = 1; step <= 3; ++step) {
        window->playbackTimer()->stop();
        QMetaObject::invokeMethod(window.get(), "displayInfo");
    }
    window->playbackTimer()->stop();
    int rain = 0;
    expectAtEveryShape([](const DrawnText&, double, double) {},
                       [&](const DrawnText& text, double width, double height) {
                           expectLegible(text);
                           if (text.text == "持续降雨 156毫米") {
                               ++rain;
                               EXPECT_TRUE(text.inside(width, height));
                           }
                       });
    EXPECT_EQ(rain, static_cast<int>(std::size(shapes)));
}

}  // namespace
