// The case studies as a new user meets them: the demo data built by vantorel-demo-data, the scene list,
// and a double-click on each flood case replaying its prepared flood over its valley.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/PagedLOD>
#include <osgText/Text>

#include <QtCharts/QChartView>
#include "casestudywindow.h"
#include "floodoverlaychecks.h"
#include "monitorcharts.h"
#include "monitormarks.h"
#include "monitorpoints.h"
#include "scenelist.h"
#include "testfiles.h"
#include "testmodels.h"
#include "viewerqt.h"

namespace {

const QStringList caseNames = {"金江洪水",   "6.1洪水",    "danba flood", "jacksboro flood",
                               "七盘泥石流", "文家泥石流", "金江滑坡",    "茂滑坡"};

TEST_F(CaseStudyTest, SceneListShowsEveryCaseInOrder) {
    QStandardItemModel* model = window->sceneTreeModel();
    ASSERT_EQ(model->rowCount(), caseNames.size());
    for (int i = 0; i < caseNames.size(); ++i) {
        EXPECT_EQ(model->item(i)->text(), caseNames[i]);
        EXPECT_TRUE(QDir(window->sceneCatalog().pathOf(caseNames[i])).exists()) << caseNames[i].toStdString();
        EXPECT_TRUE(QDir(window->sceneCatalog().pathOf(caseNames[i])).isAbsolute());
    }
    EXPECT_EQ(window->sceneCatalog().typeOf("金江洪水"), "1");
    EXPECT_EQ(window->sceneCatalog().typeOf("七盘泥石流"), "2");
    EXPECT_EQ(window->sceneCatalog().typeOf("茂滑坡"), "3");
}

TEST_F(CaseStudyTest, EachFloodCaseReplaysOverItsValleyWithMarksAndLake) {
    for (const QString name : {"金江洪水", "6.1洪水", "danba flood"}) {
        SCOPED_TRACE(name.toStdString());
        doubleClick(name);
        osg::Group* root = window->sceneRoot();
        ASSERT_GE(root->getNumChildren(), 3u);
        // Terrain, then the marks (house, river and road layers and the text marks), then the lake.
        EXPECT_GT(root->getChild(0)->getBound().radius(), 1500.0f);
        osg::Group* marks = root->getChild(1)->asGroup();
        ASSERT_NE(marks, nullptr);
        EXPECT_EQ(marks->getNumChildren(), 4u);
        EXPECT_NE(root->getChild(2)->asGeode(), nullptr);
        EXPECT_EQ(window->currentSimulationMode(), EvolutionMode::Flood);
        // The demo data holds 40 results per flood.
        EXPECT_EQ(window->availableFrameCount(), 40);

        ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 6; }, 20000));
        const QImage frame = window->view()->grabFrameBuffer();
        int terrain = 0;
        for (int y = 0; y < frame.height(); y += 4) {
            for (int x = 0; x < frame.width(); x += 4) {
                terrain += frame.pixelColor(x, y) != QColor(Qt::white);
            }
        }
        // The fixed viewpoint looks at the valley: most of the view is terrain.
        EXPECT_GT(terrain, (frame.width() / 4) * (frame.height() / 4) * 7 / 10);
        // At the window's 800 x 600, over the case's own terrain: the whole clock text in its box, the
        // legend's numbers and its caption.
        expectReadableOverlays(frame);

        ASSERT_TRUE(
            waitUntil([this] { return window->currentFrameIndex() > window->availableFrameCount(); }, 60000));
        const int last = window->currentFrameIndex();
        runEventLoop(200);
        EXPECT_EQ(window->currentFrameIndex(), last) << "the replay stops at its end";
        for (int i = 0; i < window->sceneTreeModel()->rowCount(); ++i) {
            EXPECT_TRUE(window->sceneTreeModel()->item(i)->isEnabled());
        }
    }
}

// The case the data tool made from a real DEM opens at a double-click: its terrain pages in its finer
// tiles as the view looks at them, the dam's mark stands over it, and its flood replays to the end.
TEST_F(CaseStudyTest, RealTerrainCaseOpensWithFinerTilesAndReplaysItsFlood) {
    doubleClick("jacksboro flood");
    osg::Group* root = window->sceneRoot();
    ASSERT_GE(root->getNumChildren(), 2u);
    EXPECT_EQ(window->currentSimulationMode(), EvolutionMode::Flood);
    EXPECT_EQ(window->availableFrameCount(), 40);
    // The DEM spans some 30 km by 32 km.
    EXPECT_GT(root->getChild(0)->getBound().radius(), 15000.0f);
    osg::Group* marks = root->getChild(1)->asGroup();
    ASSERT_NE(marks, nullptr);
    EXPECT_EQ(marks->getNumChildren(), 1u);
    osg::Group* terrain = root->getChild(0)->asGroup();
    ASSERT_NE(terrain, nullptr);
    auto* paged = dynamic_cast<osg::PagedLOD*>(terrain->getChild(0));
    ASSERT_NE(paged, nullptr);
    ASSERT_TRUE(waitUntil([paged] { return paged->getNumChildren() == 2; }, 20000))
        << "the finer tiles are never paged in";
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 30; }, 30000));
    const QImage frame = window->view()->grabFrameBuffer();
    int terrainPixels = 0;
    for (int y = 0; y < frame.height(); y += 4) {
        for (int x = 0; x < frame.width(); x += 4) {
            terrainPixels += frame.pixelColor(x, y) != QColor(Qt::white);
        }
    }
    EXPECT_GT(terrainPixels, (frame.width() / 4) * (frame.height() / 4) * 7 / 10);
    expectReadableOverlays(frame);
    ASSERT_TRUE(
        waitUntil([this] { return window->currentFrameIndex() > window->availableFrameCount(); }, 60000));
}

// The demo flood cases have two monitor points. A replay fills the dock beneath the view without
// taking height from the view; opened from the menu it shows one chart per point, and the first point,
// which the flood reaches within the replay, with its depth, speed and flow drawn.
TEST_F(CaseStudyTest, MonitorDockPlotsEveryPointOfAReplayedCase) {
    auto* dock = window->findChild<MonitorDock*>("monitorDock");
    ASSERT_NE(dock, nullptr);
    doubleClick("6.1洪水");
    ASSERT_TRUE(
        waitUntil([this] { return window->currentFrameIndex() > window->availableFrameCount(); }, 60000));
    EXPECT_FALSE(dock->isVisible());
    triggerMenuAction(*window, "Monitor Points");
    runEventLoop(300);
    ASSERT_TRUE(dock->isVisible());
    const QList<QtCharts::QChartView*> charts = dock->findChildren<QtCharts::QChartView*>();
    ASSERT_EQ(charts.size(), 2);
    EXPECT_EQ(dock->chartCount(), 2);
    EXPECT_TRUE(charts[0]->chart()->title().startsWith("Monitor point 1"))
        << charts[0]->chart()->title().toStdString();
    const QImage shown = charts[0]->grab().toImage();
    ASSERT_FALSE(shown.isNull());
    for (const QRgb colour : {monitorcolours::depth, monitorcolours::speed, monitorcolours::flow}) {
        // Pixels of the colour in the upper half of the plot, where only lines that rose from zero are
        // drawn (axes, labels and legend lie outside it).
        int near = 0;
        for (int y = shown.height() / 8; y < shown.height() / 2; ++y) {
            for (int x = shown.width() / 6; x < shown.width() * 3 / 4; ++x) {
                const QRgb pixel = shown.pixel(x, y);
                near += std::abs(qRed(pixel) - qRed(colour)) < 24 &&
                        std::abs(qGreen(pixel) - qGreen(colour)) < 24 &&
                        std::abs(qBlue(pixel) - qBlue(colour)) < 24;
            }
        }
        EXPECT_GT(near, 20) << std::hex << colour;
    }

    // Another case takes the record away with the rest of the replay.
    doubleClick("七盘泥石流");
    runEventLoop(200);
    EXPECT_EQ(dock->chartCount(), 0);
}

namespace {

// A rectangle on the screen, in pixels from the view's lower left corner.
struct ScreenBox {
    double left, bottom, right, top;
    bool overlaps(const ScreenBox& other) const {
        return left < other.right && other.left < right && bottom < other.top && other.bottom < top;
    }
    bool holds(const ScreenBox& inner) const {
        return left <= inner.left && inner.right <= right && bottom <= inner.bottom && inner.top <= top;
    }
    std::string text() const {
        return "(" + std::to_string(int(left)) + ", " + std::to_string(int(bottom)) + ") - (" +
               std::to_string(int(right)) + ", " + std::to_string(int(top)) + ")";
    }
};

// The texts of a subtree with their world positions.
class TextCollector : public osg::NodeVisitor {
public:
    TextCollector() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
    void apply(osg::Geode& geode) override {
        const osg::Matrix toWorld = osg::computeLocalToWorld(getNodePath());
        for (unsigned i = 0; i < geode.getNumDrawables(); ++i) {
            if (auto* text = dynamic_cast<osgText::Text*>(geode.getDrawable(i))) {
                texts.push_back({text, text->getPosition() * toWorld});
            }
        }
    }
    std::vector<std::pair<osgText::Text*, osg::Vec3>> texts;
};

// The glyph box of a text and its alignment offset, both in the text's own units, which OSG keeps to
// itself; pointers to the members, taken in a derived class, read them.
struct TextGlyphs : osgText::Text {
    static osg::BoundingBox localBox(const osgText::Text& text) {
        const osg::BoundingBox& glyphs = text.*(&TextGlyphs::_textBB);
        const osg::Vec3& offset = text.*(&TextGlyphs::_offset);
        return osg::BoundingBox(glyphs._min - offset, glyphs._max - offset);
    }
};

// Where a text of the scene lies on the screen: screen-sized texts (the monitor labels) from their anchor
// and glyph box in pixels, texts sized in metres that face the viewer (the place names) from their
// glyph box laid along the camera's right and up directions.
ScreenBox screenBoxOf(const osgText::Text& text, const osg::Vec3& anchor, const osg::Camera& camera) {
    const osg::Matrix toScreen =
        camera.getViewMatrix() * camera.getProjectionMatrix() * camera.getViewport()->computeWindowMatrix();
    const osg::BoundingBox local = TextGlyphs::localBox(text);
    const osg::Vec3 at = anchor * toScreen;
    if (text.getCharacterSizeMode() == osgText::Text::SCREEN_COORDS) {
        // With the margin of its frame.
        const double margin = text.getBoundingBoxMargin();
        return {at.x() + local.xMin() - margin, at.y() + local.yMin() - margin,
                at.x() + local.xMax() + margin, at.y() + local.yMax() + margin};
    }
    osg::Vec3 eye, centre, up;
    camera.getViewMatrixAsLookAt(eye, centre, up);
    osg::Vec3 right = (centre - eye) ^ up;
    right.normalize();
    up.normalize();
    const osg::Vec3 nearCorner = (anchor + right * local.xMin() + up * local.yMin()) * toScreen;
    const osg::Vec3 farCorner = (anchor + right * local.xMax() + up * local.yMax()) * toScreen;
    return {std::min(nearCorner.x(), farCorner.x()), std::min(nearCorner.y(), farCorner.y()),
            std::max(nearCorner.x(), farCorner.x()), std::max(nearCorner.y(), farCorner.y())};
}

}  // namespace

// At the case's viewpoint in the window's 800 x 600, the labels of the demo monitor points, once the
// flood has reached them all, stand clear of each other and of the place names, and inside the view.
TEST_F(CaseStudyTest, MonitorLabelsOfTheFloodCasesStandClearAtTheirViewpoint) {
    for (const QString name : {"金江洪水", "6.1洪水", "danba flood"}) {
        SCOPED_TRACE(name.toStdString());
        doubleClick(name);
        ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 1; }, 20000));
        triggerMenuAction(*window, "&暂停演进");
        // The labels of a late result: every point reached, with values of every digit.
        MonitorPoints points;
        ASSERT_TRUE(points.load((window->sceneCatalog().pathOf(name) + "/Disaster_Data/monitors.shp").toStdString()));
        ASSERT_EQ(points.list().size(), 2u);
        for (const PointM& point : std::list<PointM>(points.list())) {
            points.match(point.x, point.y, 0.5, 12.345f, 123.456f, 10.123f, 1234.0f);
        }
        osg::ref_ptr<osg::Node> labels = makeMonitorNode(points);
        window->sceneRoot()->addChild(labels);
        runEventLoop(300);

        const osg::Camera& camera = *window->view()->getCamera();
        TextCollector monitorTexts;
        labels->accept(monitorTexts);
        ASSERT_EQ(monitorTexts.texts.size(), 2u);
        std::vector<ScreenBox> labelBoxes;
        for (const auto& [text, anchor] : monitorTexts.texts) {
            labelBoxes.push_back(screenBoxOf(*text, anchor, camera));
        }
        const double viewWidth = camera.getViewport()->width();
        const double viewHeight = camera.getViewport()->height();
        for (std::size_t i = 0; i < labelBoxes.size(); ++i) {
            const ScreenBox& box = labelBoxes[i];
            EXPECT_TRUE(box.left >= 0 && box.bottom >= 0 && box.right <= viewWidth && box.top <= viewHeight)
                << "label " << i + 1 << " at " << box.text() << " leaves the view";
            for (std::size_t j = i + 1; j < labelBoxes.size(); ++j) {
                EXPECT_FALSE(box.overlaps(labelBoxes[j])) << "labels " << i + 1 << " and " << j + 1 << ": "
                                                          << box.text() << ", " << labelBoxes[j].text();
            }
        }
        // The place names are the text marks of the scene, its second child.
        TextCollector placeNames;
        window->sceneRoot()->getChild(1)->accept(placeNames);
        ASSERT_FALSE(placeNames.texts.empty());
        for (const auto& [text, anchor] : placeNames.texts) {
            const ScreenBox place = screenBoxOf(*text, anchor, camera);
            for (std::size_t i = 0; i < labelBoxes.size(); ++i) {
                EXPECT_FALSE(place.overlaps(labelBoxes[i]))
                    << "label " << i + 1 << " " << labelBoxes[i].text() << " covers \""
                    << text->getText().createUTF8EncodedString() << "\" at " << place.text();
            }
        }
        window->sceneRoot()->removeChild(labels);
    }
}

TEST_F(CaseStudyTest, OpeningACaseTwiceReplaysOnce) {
    doubleClick("金江洪水");
    doubleClick("金江洪水");
    window->playbackTimer()->stop();
    EXPECT_EQ(window->currentFrameIndex(), 1);
    // One timer tick: one replay step of five frames, not two.
    window->playbackTimer()->setSingleShot(true);
    window->playbackTimer()->start(0);
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() != 1; }, 5000));
    runEventLoop(100);
    EXPECT_EQ(window->currentFrameIndex(), 6);
    // The scene was rebuilt, not added to: terrain, marks and one lake surface, then the replay frame.
    int lakes = 0;
    for (unsigned i = 0; i < window->sceneRoot()->getNumChildren(); ++i) {
        const osg::Geode* geode = window->sceneRoot()->getChild(i)->asGeode();
        const osg::Geometry* quad =
            geode && geode->getNumDrawables() == 1 ? geode->getDrawable(0)->asGeometry() : nullptr;
        lakes += quad && quad->getVertexArray()->getNumElements() == 4 &&
                 quad->getPrimitiveSet(0)->getMode() == GL_QUADS;
    }
    // The scene's own lake and the risen copy the replay draws with its frame.
    EXPECT_EQ(lakes, 2);
}

TEST_F(CaseStudyTest, StopKeepsTheCaseSceneAndTheNextCasePlaysAtOnce) {
    doubleClick("金江洪水");
    osg::Group* root = window->sceneRoot();
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 1; }, 20000));
    triggerMenuAction(*window, "&暂停演进");
    triggerMenuAction(*window, "&停止演进");
    // Terrain, marks and the case's lake; the frame's water, clock, legend and risen lake are gone.
    EXPECT_EQ(root->getNumChildren(), 3u);
    EXPECT_EQ(window->currentFrameIndex(), 1);
    runEventLoop(600);
    EXPECT_EQ(root->getNumChildren(), 3u) << "the stopped replay draws its first frame again";
    EXPECT_EQ(window->currentFrameIndex(), 1);

    // Continue replays from the first frame with the place names.
    triggerMenuAction(*window, "&继续演进");
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 1; }, 20000));
    EXPECT_GT(root->getNumChildren(), 3u);
    ASSERT_NE(root->getChild(1)->asGroup(), nullptr);
    EXPECT_EQ(root->getChild(1)->asGroup()->getNumChildren(), 4u) << "houses, river, road and place names";

    // Another case after a pause, and after a stop, plays without "start".
    for (const char* control : {"&暂停演进", "&停止演进"}) {
        SCOPED_TRACE(control);
        triggerMenuAction(*window, control);
        doubleClick(control == QString("&暂停演进") ? "6.1洪水" : "danba flood");
        EXPECT_TRUE(window->isPlaying());
        ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 1; }, 20000));
    }
}

TEST_F(CaseStudyTest, BindingAFolderIsWrittenAndReadAtTheNextStart) {
    QTemporaryDir newFolder;
    tree->setCurrentIndex(row("danba flood"));
    QAction* bind = tree->findChild<QAction*>();
    ASSERT_NE(bind, nullptr);
    EXPECT_EQ(bind->text(), "设定数据路径");
    ModalDriver confirm(clickButton("OK"), 15000, "QMessageBox");
    ModalDriver dialog(
        [&](QWidget* modal) {
            modal->findChild<QTextEdit*>("filePathEdit")->setPlainText(newFolder.path());
            QTest::mouseClick(modal->findChild<QPushButton*>("ConfirmButton"), Qt::LeftButton);
        },
        15000, "ChooseFileDialog");
    bind->trigger();
    ASSERT_TRUE(dialog.answered());
    ASSERT_TRUE(confirm.answered());
    EXPECT_EQ(confirm.text(), "绑定文件路径完成！");
    EXPECT_EQ(window->sceneCatalog().pathOf("danba flood"), newFolder.path());

    // The next start reads the same scenes in the same order, with the new folder.
    window.reset();
    window = std::make_unique<MainWindow>();
    ASSERT_EQ(window->sceneTreeModel()->rowCount(), caseNames.size());
    for (int i = 0; i < caseNames.size(); ++i) {
        EXPECT_EQ(window->sceneTreeModel()->item(i)->text(), caseNames[i]);
    }
    EXPECT_EQ(window->sceneCatalog().pathOf("danba flood"), newFolder.path());
    EXPECT_EQ(window->sceneCatalog().pathOf("金江洪水"), demoDataFolder() + "/金江洪水");
}

TEST_F(CaseStudyTest, EachDebrisCaseReplaysItsFlowDownItsSlope) {
    const struct {
        const char* name;
        const char* playFolder;
        bool marks;  // "七盘泥石流" opens without the scene's marks
    } cases[] = {{"七盘泥石流", "/debrisflow_qipan", false}, {"文家泥石流", "/Disaster_Play", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window->sceneTreeModel()->item(0)->setEnabled(false);
        doubleClick(c.name);
        osg::Group* root = window->sceneRoot();
        // The terrain, then the road layer and the gully's name, before the replay adds its frame.
        ASSERT_GE(root->getNumChildren(), 1u);
        EXPECT_GT(root->getChild(0)->getBound().radius(), 1500.0f);
        if (c.marks) {
            ASSERT_GE(root->getNumChildren(), 2u);
            osg::Group* marks = root->getChild(1)->asGroup();
            ASSERT_NE(marks, nullptr);
            EXPECT_EQ(marks->getNumChildren(), 2u);
        }
        EXPECT_EQ(window->currentSimulationMode(), EvolutionMode::Debris);
        EXPECT_EQ(window->playbackTimer()->interval(), 60);
        const QString folder = window->sceneCatalog().pathOf(c.name) + c.playFolder;
        EXPECT_EQ(window->availableFrameCount(), QDir(folder).entryList({"*.txt"}, QDir::Files).size());
        EXPECT_GT(window->availableFrameCount(), 30);
        EXPECT_TRUE(window->sceneTreeModel()->item(0)->isEnabled());

        // Replaying at once, with the flow on its slope in the fixed view.
        ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 25; }, 20000));
        window->playbackTimer()->stop();
        runEventLoop(300);
        const QImage frame = window->view()->grabFrameBuffer();
        int terrain = 0;
        int debris = 0;
        for (int y = 0; y < frame.height(); y += 4) {
            for (int x = 0; x < frame.width(); x += 4) {
                terrain += frame.pixelColor(x, y) != QColor(Qt::white);
                debris += isDebrisColour(frame.pixelColor(x, y));
            }
        }
        EXPECT_GT(terrain, (frame.width() / 4) * (frame.height() / 4) * 7 / 10);
        EXPECT_GT(debris, (frame.width() / 4) * (frame.height() / 4) / 100);

        window->playbackTimer()->start(0);
        ASSERT_TRUE(
            waitUntil([this] { return window->currentFrameIndex() > window->availableFrameCount(); }, 60000));
        const int last = window->currentFrameIndex();
        runEventLoop(200);
        EXPECT_EQ(window->currentFrameIndex(), last) << "the replay stops at its end";
    }
}

TEST_F(CaseStudyTest, ADebrisSceneOfAnotherNameReadsItsConfigurationAndReplaysEverySixtyMilliseconds) {
    std::list<FileManage> scenes = readSceneList(sceneList);
    scenes.push_back({"岷江泥石流", window->sceneCatalog().pathOf("文家泥石流"), "2"});
    ASSERT_TRUE(writeSceneList(sceneList, scenes));
    window = std::make_unique<MainWindow>();
    showMainWindow(*window);
    ASSERT_TRUE(waitUntil([this] { return window->isVisible(); }));
    tree = window->findChild<QTreeView*>("treeView");

    doubleClick("岷江泥石流");
    osg::Group* root = window->sceneRoot();
    ASSERT_GE(root->getNumChildren(), 2u);
    EXPECT_GT(root->getChild(0)->getBound().radius(), 1500.0f);
    ASSERT_NE(root->getChild(1)->asGroup(), nullptr);
    EXPECT_EQ(root->getChild(1)->asGroup()->getNumChildren(), 2u);
    EXPECT_EQ(window->currentSimulationMode(), EvolutionMode::Debris);
    EXPECT_EQ(window->playbackTimer()->interval(), 60);
    EXPECT_TRUE(window->playbackTimer()->isActive());
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() >= 4; }, 10000));
}

// Where the vertices drawn by a subtree's geometries lie in the world.
class DrawnVertices : public osg::NodeVisitor {
public:
    DrawnVertices() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
    void apply(osg::Geode& geode) override {
        const osg::Matrix toWorld = osg::computeLocalToWorld(getNodePath());
        for (unsigned i = 0; i < geode.getNumDrawables(); ++i) {
            const osg::Geometry* geometry = geode.getDrawable(i)->asGeometry();
            const auto* vertices =
                geometry ? dynamic_cast<const osg::Vec3Array*>(geometry->getVertexArray()) : nullptr;
            for (unsigned p = 0; vertices && p < geometry->getNumPrimitiveSets(); ++p) {
                const osg::PrimitiveSet* primitives = geometry->getPrimitiveSet(p);
                for (unsigned k = 0; k < primitives->getNumIndices(); ++k) {
                    points.push_back((*vertices)[primitives->index(k)] * toWorld);
                }
            }
        }
    }
    std::vector<osg::Vec3> points;
};

// Opened from the scene list, each debris case shows what it is about in its first view: the road and the
// gully's name where it has them and, at the end of its replay, everywhere the debris went; and it
// replays at a pace a person can follow, on any machine.
TEST_F(CaseStudyTest, EachDebrisCaseShowsItsMarksAndItsWholeFlowAtAPaceToFollow) {
    const struct {
        const char* name;
        bool marks;
    } cases[] = {{"七盘泥石流", false}, {"文家泥石流", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window->sceneTreeModel()->item(0)->setEnabled(false);
        QElapsedTimer replay;
        replay.start();
        doubleClick(c.name);
        // The view takes its camera in the frame it draws next.
        runEventLoop(100);
        const osg::Camera& camera = *window->view()->getCamera();
        const osg::Matrix toScreen = camera.getViewMatrix() * camera.getProjectionMatrix() *
                                     camera.getViewport()->computeWindowMatrix();
        const ScreenBox view{0, 0, camera.getViewport()->width(), camera.getViewport()->height()};
        const auto expectInView = [&view](const ScreenBox& box, const char* what) {
            EXPECT_TRUE(view.holds(box)) << what << " at " << box.text() << ", the view is " << view.text();
        };
        const auto screenExtent = [&toScreen](const std::vector<osg::Vec3>& points) {
            ScreenBox box{1e9, 1e9, -1e9, -1e9};
            for (const osg::Vec3& point : points) {
                const osg::Vec3 at = point * toScreen;
                box = {std::min<double>(box.left, at.x()), std::min<double>(box.bottom, at.y()),
                       std::max<double>(box.right, at.x()), std::max<double>(box.top, at.y())};
            }
            return box;
        };
        osg::Group* root = window->sceneRoot();
        if (c.marks) {
            ASSERT_GE(root->getNumChildren(), 2u);
            osg::Group* marks = root->getChild(1)->asGroup();
            ASSERT_NE(marks, nullptr);
            // The road runs on beyond the view's sides; what lies inside spans most of its width.
            DrawnVertices road;
            marks->getChild(0)->accept(road);
            std::vector<osg::Vec3> roadInView;
            for (const osg::Vec3& point : road.points) {
                const osg::Vec3 at = point * toScreen;
                if (view.holds({at.x(), at.y(), at.x(), at.y()})) {
                    roadInView.push_back(point);
                }
            }
            ASSERT_GE(roadInView.size(), 2u) << "the road at " << screenExtent(road.points).text();
            const ScreenBox shown = screenExtent(roadInView);
            EXPECT_GT(shown.right - shown.left, view.right / 2) << "the road in view at " << shown.text();
            TextCollector names;
            marks->accept(names);
            ASSERT_EQ(names.texts.size(), 1u);
            expectInView(screenBoxOf(*names.texts.front().first, names.texts.front().second, camera),
                         "the gully's name");
        }

        const int frames = window->availableFrameCount();
        ASSERT_TRUE(waitUntil([this, frames] { return window->currentFrameIndex() > frames; }, 60000));
        // No more than 25 frames a second, and seconds in all.
        EXPECT_GE(replay.elapsed(), 40 * frames);
        EXPECT_GE(replay.elapsed(), 1500);
        // The last frame stays: its debris surface follows the terrain and the marks.
        ASSERT_GE(root->getNumChildren(), c.marks ? 3u : 2u);
        DrawnVertices debris;
        root->getChild(c.marks ? 2 : 1)->accept(debris);
        ASSERT_FALSE(debris.points.empty());
        expectInView(screenExtent(debris.points), "the debris");
    }
}

// A case whose replay has ended holds its last frame without drawing it again, printing, or keeping a
// core busy: the replay's and the view's timers must not run on for nothing.
TEST_F(CaseStudyTest, AReplayedCaseLeavesTheWindowIdle) {
    doubleClick("文家泥石流");
    const int frames = window->availableFrameCount();
    ASSERT_TRUE(waitUntil([this, frames] { return window->currentFrameIndex() > frames; }, 60000));
    runEventLoop(300);
    const unsigned drawn = window->view()->getFrameStamp()->getFrameNumber();
    const IdleSpell idle = idleSpell(3000);
    // Under 3 % of a core, the software renderer's threads included.
    EXPECT_LT(idle.processorSeconds, 0.03 * 3.0);
    EXPECT_EQ(window->view()->getFrameStamp()->getFrameNumber(), drawn);
    EXPECT_EQ(idle.printed, "");
}

}  // namespace
