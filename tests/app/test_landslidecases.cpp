// The landslide case studies as a new user meets them: a double-click plays the whole story (labels of
// earlier disasters with a wobbling view, the slide area, rain, title and dust, the slide, the filling of
// the barrier lake) and hands over to the flood of "danba flood". The timeline is checked once, ten
// times faster than real time through the same timers; the other tests drive the stages' slots
// themselves or speed them up too.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <osgParticle/PrecipitationEffect>
#include <osgText/Text>

#include "../scenes/boundscene.h"
#include "casestudywindow.h"
#include "configreader.h"
#include "labellayout.h"
#include "scenelist.h"
#include "testmodels.h"
#include "viewerqt.h"

namespace {

// What the window showed after one tick of its playback timer.
struct Tick {
    qint64 atMs;  // since the case was opened
    int step;     // presentationStep
    int interval;
    EvolutionMode mode;
    int frame;
    unsigned children;
    unsigned viewFrame;  // frames the view had drawn
};

// Pixels (every second one each way) whose colour passes `match`, in the upper `topFraction` of the view.
int pixelsWhere(const QImage& frame, const std::function<bool(const QColor&)>& match,
                double topFraction = 1.0) {
    int count = 0;
    for (int y = 0; y < frame.height() * topFraction; y += 2) {
        for (int x = 0; x < frame.width(); x += 2) {
            count += match(frame.pixelColor(x, y));
        }
    }
    return count;
}

int pixelsNear(const QImage& frame, const QColor& colour, int tolerance) {
    return pixelsWhere(frame, [&](const QColor& pixel) {
        return std::abs(pixel.red() - colour.red()) <= tolerance &&
               std::abs(pixel.green() - colour.green()) <= tolerance &&
               std::abs(pixel.blue() - colour.blue()) <= tolerance;
    });
}

// The boxes of the labels and of the title, (0.3, 0.6, 0.7).
int labelBoxPixels(const QImage& frame) {
    return pixelsNear(frame, QColor(77, 153, 179), 18);
}

// The flood's depth colours from a little depth on (deeper than the shallow beige), above the legend.
int waterPixels(const QImage& frame) {
    return pixelsWhere(
        frame,
        [](const QColor& pixel) { return pixel.red() > 220 && pixel.green() < 215 && pixel.blue() < 150; },
        0.8);
}

int countChildren(osg::Group* root, const std::function<bool(osg::Node*)>& match) {
    int count = 0;
    for (unsigned i = 0; i < root->getNumChildren(); ++i) {
        count += match(root->getChild(i));
    }
    return count;
}

int childrenNamed(osg::Group* root, const std::string& name) {
    return countChildren(root, [&](osg::Node* child) { return child->getName() == name; });
}

template <typename Node>
int childrenOfType(osg::Group* root) {
    return countChildren(root, [](osg::Node* child) { return dynamic_cast<Node*>(child) != nullptr; });
}

// What the lake filling shows, in the groups under the root: its water planes (quads drawn in bin -3)
// and the texts of its label.
struct LakeFillingNodes {
    std::vector<const osg::Geometry*> planes;
    std::vector<std::string> texts;
};
LakeFillingNodes lakeFillingNodes(osg::Group* root) {
    LakeFillingNodes found;
    for (unsigned i = 0; i < root->getNumChildren(); ++i) {
        osg::Group* group = root->getChild(i)->asGroup();
        for (unsigned j = 0; group && !group->asGeode() && j < group->getNumChildren(); ++j) {
            osg::Node* child = group->getChild(j);
            // A label stands under the label layout.
            if (dynamic_cast<ScreenLabel*>(child)) {
                child = child->asGroup()->getChild(0);
            }
            const osg::Geode* geode = child->asGeode();
            for (unsigned k = 0; geode && k < geode->getNumDrawables(); ++k) {
                if (const auto* text = dynamic_cast<const osgText::Text*>(geode->getDrawable(k))) {
                    found.texts.push_back(text->getText().createUTF8EncodedString());
                } else if (geode->getStateSet() && geode->getStateSet()->getBinNumber() == -3) {
                    found.planes.push_back(geode->getDrawable(k)->asGeometry());
                }
            }
        }
    }
    return found;
}

// Where the view looks from.
osg::Vec3d viewEye(MainWindow& window) {
    osg::Vec3d eye, center, up;
    window.view()->getCameraManipulator()->getInverseMatrix().getLookAt(eye, center, up);
    return eye;
}

// The view looks from the eye of a camera category of the current scene's scenario file.
void expectViewFrom(MainWindow& window, const std::string& category) {
    SceneConfigReader reader(window.sceneCatalog());
    const std::vector<std::string> camera = reader.readLandslideValues(reader.path, category);
    ASSERT_EQ(camera.size(), 9u) << category;
    const osg::Vec3d eye = viewEye(window);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(eye[axis], std::atof(camera[axis].c_str()), 1.0) << category << " axis " << axis;
    }
}

// The frames of a landslide case's slide in its result folder.
int slideFrames(MainWindow& window, const QString& caseName) {
    return QDir(window.sceneCatalog().pathOf(caseName) + "/Landslide_Play").entryList({"*.ive"}, QDir::Files).size();
}

int occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class LandslideCaseTest : public CaseStudyTest {
protected:
    // Records every tick of the playback timer: when it fired, and what the window showed once it had
    // handled it.
    void recordTicks() {
        clock.start();
        QObject::connect(window->playbackTimer(), &QTimer::timeout, window.get(),
                         [this] { firedAtMs.push_back(clock.elapsed()); });
        QObject::connect(
            window->playbackTimer(), &QTimer::timeout, window.get(),
            [this] {
                ticks.push_back({firedAtMs[ticks.size()], window->presentationStep(),
                                 window->playbackTimer()->interval(), window->currentSimulationMode(),
                                 window->currentFrameIndex(), window->sceneRoot()->getNumChildren(),
                                 window->view()->getFrameStamp()->getFrameNumber()});
            },
            Qt::QueuedConnection);
    }
    std::vector<Tick> ticksWhere(const std::function<bool(const Tick&)>& match) const {
        std::vector<Tick> found;
        std::copy_if(ticks.begin(), ticks.end(), std::back_inserter(found), match);
        return found;
    }
    QImage grab() {
        runEventLoop(150);
        return window->view()->grabFrameBuffer();
    }
    void invoke(const char* slot) { QMetaObject::invokeMethod(window.get(), slot); }
    // Calls `action` once, in the tick of the playback timer that reaches presentation step `step`,
    // right after the window has handled it: at a sped-up pace the next tick may come before a test
    // that polls could look.
    void atStep(int step, const std::function<void()>& action) {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(window->playbackTimer(), &QTimer::timeout, window.get(),
                                       [this, step, action, connection] {
                                           if (window->presentationStep() == step) {
                                               QObject::disconnect(*connection);
                                               action();
                                           }
                                       });
    }

    // Opens a case and plays its stages by hand up to the start of the lake filling, whose timer is then
    // held so that the test can tick it.
    void playToTheLakeFilling(const QString& name, int disasters) {
        doubleClick(name);
        window->playbackTimer()->stop();
        for (int step = 1; step <= disasters + 2; ++step) {
            invoke("displayInfo");
            window->playbackTimer()->stop();
        }
        ASSERT_EQ(window->presentationStep(), disasters + 2);
        const int frames = slideFrames(*window, name);
        ASSERT_GT(frames, 1);
        ASSERT_EQ(window->availableFrameCount(), frames);
        for (int frame = 1; frame <= frames; ++frame) {
            invoke("Visualize");
            ASSERT_EQ(window->currentFrameIndex(), frame + 1);
            // The next frame waits until the view has drawn this one.
            invoke("Visualize");
            ASSERT_EQ(window->currentFrameIndex(), frame + 1);
            const unsigned drawn = window->view()->getFrameStamp()->getFrameNumber();
            ASSERT_TRUE(waitUntil([&] { return window->view()->getFrameStamp()->getFrameNumber() > drawn; }));
        }
        ASSERT_NE(window->lakeFillingTimer(), nullptr);
        ASSERT_TRUE(window->lakeFillingTimer()->isActive());
        EXPECT_EQ(window->lakeFillingTimer()->interval(), 500);
    }

    QElapsedTimer clock;
    std::vector<qint64> firedAtMs;
    std::vector<Tick> ticks;
};

// Qt's timers may fire up to 5 % early.
qint64 atLeast(qint64 intervalMs) {
    return intervalMs * 94 / 100;
}

// The stories that play by themselves run this many times faster than real time; every interval of the
// story divides by it.
constexpr int speedUp = 10;
constexpr qint64 fast(qint64 realTimeMs) {
    return realTimeMs / speedUp;
}

TEST_F(LandslideCaseTest, JinjiangSlideTellsItsWholeStoryAndHandsOverToTheFlood) {
    testing::internal::CaptureStdout();
    window->sceneTreeModel()->item(0)->setEnabled(false);
    window->setPresentationSpeedUp(speedUp);
    int lakeTicks = 0;
    QObject::connect(window->lakeFillingTimer(), &QTimer::timeout, window.get(), [&lakeTicks] { ++lakeTicks; });
    doubleClick("金江滑坡");
    recordTicks();
    osg::Group* root = window->sceneRoot();
    EXPECT_EQ(window->sceneCatalog().currentScene, "金江滑坡");
    EXPECT_EQ(window->currentSimulationMode(), EvolutionMode::Landslide);
    EXPECT_EQ(root->getNumChildren(), 1u) << "the terrain before the slide";
    EXPECT_EQ(window->playbackTimer()->interval(), fast(2000));
    EXPECT_TRUE(window->sceneTreeModel()->item(0)->isEnabled());
    const QImage opening = grab();
    EXPECT_LT(labelBoxPixels(opening), 5);

    // Three earlier disasters, each followed by a wobble; the structure note comes with the last.
    ASSERT_TRUE(waitUntil([this] { return window->presentationStep() == 3; }, 20000));
    const QImage labels = grab();
    EXPECT_GT(labelBoxPixels(labels), 80) << "the boxed labels on screen";

    // The slide area, its geology and the rain.
    ASSERT_TRUE(waitUntil([this] { return window->presentationStep() == 4; }, 10000));
    EXPECT_EQ(childrenNamed(root, "landslideEvent"), 1);
    EXPECT_EQ(childrenOfType<osgParticle::PrecipitationEffect>(root), 1);
    const QImage boundary = grab();
    EXPECT_GT(pixelsNear(boundary, QColor(255, 0, 0), 40), 100) << "the red dashed outline";

    // The title and the dust.
    ASSERT_TRUE(waitUntil([this] { return window->presentationStep() == 5; }, 10000));
    EXPECT_EQ(childrenNamed(root, "landslideinfo"), 1);
    EXPECT_EQ(childrenOfType<osg::MatrixTransform>(root), 1) << "the dust";
    EXPECT_EQ(childrenOfType<osgParticle::PrecipitationEffect>(root), 0) << "the rain has stopped";
    const QImage title = grab();
    EXPECT_GT(labelBoxPixels(title), 25) << "the title";

    // The slide replays, the lake fills in 13 ticks and closes at the 14th, and the flood of "danba flood"
    // follows.
    ASSERT_TRUE(waitUntil([this] { return window->currentSimulationMode() == EvolutionMode::Flood; }, 30000));
    EXPECT_EQ(window->sceneCatalog().currentScene, "danba flood");
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 11; }, 10000));
    const QImage flood = grab();
    EXPECT_LT(waterPixels(title), 20);
    EXPECT_GT(waterPixels(flood), 200) << "the flood below the dam";
    // Terrain, the dust, the slide's last frame, then the flood scene's marks and lake, then the frame.
    ASSERT_GE(root->getNumChildren(), 6u);
    EXPECT_NE(dynamic_cast<osg::MatrixTransform*>(root->getChild(1)), nullptr);
    ASSERT_NE(root->getChild(2)->asGroup(), nullptr);
    EXPECT_EQ(root->getChild(2)->asGroup()->getNumChildren(), 1u) << "the slide's last frame stays";
    EXPECT_EQ(childrenNamed(root, "landslideEvent") + childrenNamed(root, "landslideinfo"), 0);
    EXPECT_TRUE(lakeFillingNodes(root).planes.empty()) << "the flood's own lake takes over";

    const std::string printed = testing::internal::GetCapturedStdout();
    if (HasFailure()) {
        std::cerr << "while the story played:\n" << printed;
    }
    EXPECT_EQ(occurrences(printed, "landslideOutPath: "), 1) << printed;
    const int frames = slideFrames(*window, "金江滑坡");
    EXPECT_EQ(occurrences(printed, "fileNum: " + std::to_string(frames) + "\n"), 1) << printed;
    EXPECT_EQ(lakeTicks, 14);
    EXPECT_EQ(occurrences(printed, "ZZ: ") + occurrences(printed, "center: x="), 0) << "no debug lines";

    // The timeline, in real time: 2 s to the first label, a wobble of 11 ticks at 50 ms, 1 s to the next
    // label, later wobbles of 10 ticks, 1 s to the slide area, 5 s to the title, the slide at once, then
    // 13 ticks of the lake at 500 ms, its closing tick and 1 s to the flood; here all of it sped up.
    // Timers may fire late on a loaded machine.
    auto first = [this](int step) {
        const std::vector<Tick> found = ticksWhere([step](const Tick& tick) { return tick.step == step; });
        return found.empty() ? Tick{-1, 0, 0, EvolutionMode::None, 0, 0, 0} : found.front();
    };
    const std::vector<Tick> wobble1 = ticksWhere([](const Tick& tick) { return tick.step == 1; });
    const std::vector<Tick> wobble2 = ticksWhere([](const Tick& tick) { return tick.step == 2; });
    ASSERT_EQ(wobble1.size(), 12u) << "the label and 11 wobble ticks";
    ASSERT_EQ(wobble2.size(), 11u) << "the label and 10 wobble ticks";
    EXPECT_EQ(ticksWhere([](const Tick& tick) { return tick.step == 3; }).size(), 11u);
    EXPECT_GE(wobble1.front().atMs, atLeast(fast(2000)));
    for (std::size_t i = 0; i < wobble1.size(); ++i) {
        EXPECT_EQ(wobble1[i].interval, fast(i + 1 < wobble1.size() ? 50 : 1000)) << i;
        // The label, then one more flashing copy of the geological lines per wobble tick.
        EXPECT_EQ(wobble1[i].children, 2u + i) << i;
    }
    // A late tick is followed by an early one; the wobble as a whole keeps its pace.
    EXPECT_GE(wobble1.back().atMs - wobble1.front().atMs, atLeast(fast(11 * 50)));
    EXPECT_GE(wobble2.back().atMs - wobble2.front().atMs, atLeast(fast(10 * 50)));
    EXPECT_EQ(first(3).children, 3u) << "terrain, labels and the structure note";
    EXPECT_GE(first(2).atMs - wobble1.back().atMs, atLeast(fast(1000)));
    EXPECT_GE(first(4).atMs - first(3).atMs, atLeast(fast(10 * 50 + 1000)));
    EXPECT_EQ(first(4).interval, fast(5000));
    EXPECT_EQ(first(4).children, 6u) << "terrain, outline, lines, outline label, rain label, rain";
    EXPECT_GE(first(5).atMs - first(4).atMs, atLeast(fast(5000)));
    EXPECT_EQ(first(5).interval, 0);
    const std::vector<Tick> slide =
        ticksWhere([](const Tick& tick) { return tick.step == 5 && tick.mode == EvolutionMode::Landslide; });
    const auto slideEnd =
        std::find_if(slide.begin(), slide.end(), [&](const Tick& tick) { return tick.frame == frames + 1; });
    ASSERT_NE(slideEnd, slide.end());
    EXPECT_GE(slideEnd->viewFrame - first(5).viewFrame, frames - 1u) << "every frame of the slide on screen";
    const std::vector<Tick> floodTicks =
        ticksWhere([](const Tick& tick) { return tick.mode == EvolutionMode::Flood; });
    ASSERT_FALSE(floodTicks.empty());
    EXPECT_GE(floodTicks.front().atMs - slideEnd->atMs, atLeast(fast(13 * 500 + 500 + 1000)));
    EXPECT_LE(floodTicks.front().atMs - slideEnd->atMs, fast(13 * 500 + 500 + 1000) + 5000);
}

TEST_F(LandslideCaseTest, MaoLakeFillsThirteenTicksThenTheFloodStageTakesOver) {
    playToTheLakeFilling("茂滑坡", 2);
    osg::Group* root = window->sceneRoot();
    EXPECT_EQ(childrenNamed(root, "landslideinfo"), 1);

    // The filling holds with the story and goes on with it.
    triggerMenuAction(*window, "&暂停演进");
    EXPECT_FALSE(window->lakeFillingTimer()->isActive());
    triggerMenuAction(*window, "&继续演进");
    EXPECT_TRUE(window->lakeFillingTimer()->isActive());
    EXPECT_EQ(window->lakeFillingTimer()->interval(), 500);
    window->lakeFillingTimer()->stop();
    window->playbackTimer()->stop();

    testing::internal::CaptureStdout();
    float firstHeight = 0;
    for (int tick = 1; tick <= 13; ++tick) {
        SCOPED_TRACE(tick);
        invoke("FloodingAnalysis");
        const std::vector<const osg::Geometry*> planes = lakeFillingNodes(root).planes;
        ASSERT_EQ(planes.size(), 1u) << "one plane in the scene, however many ticks";
        const auto* corners = static_cast<const osg::Vec3Array*>(planes[0]->getVertexArray());
        if (tick == 1) {
            firstHeight = (*corners)[0].z();
        }
        EXPECT_NEAR((*corners)[0].z(), firstHeight + 3.0f * (tick - 1), 1e-3);
        EXPECT_NEAR((*corners)[2].x() - (*corners)[0].x(), 2000.0f, 1e-3);
        const std::vector<std::string> texts = lakeFillingNodes(root).texts;
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "茂县堰塞湖"), tick >= 10 ? 1 : 0);
    }
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(occurrences(printed, "ZZ: "), 0) << "no debug lines";
    EXPECT_EQ(window->currentSimulationMode(), EvolutionMode::Landslide) << "still the slide stage";

    // The closing tick: the label goes, the plane of tick 13 stays, the view moves to "Camera2".
    invoke("FloodingAnalysis");
    const std::vector<const osg::Geometry*> planes = lakeFillingNodes(root).planes;
    ASSERT_EQ(planes.size(), 1u);
    EXPECT_NEAR(static_cast<const osg::Vec3Array*>(planes[0]->getVertexArray())->front().z(),
                firstHeight + 36.0f, 1e-3);
    EXPECT_TRUE(lakeFillingNodes(root).texts.empty());
    EXPECT_EQ(childrenNamed(root, "landslideinfo"), 0);
    EXPECT_FALSE(window->lakeFillingTimer()->isActive());
    EXPECT_TRUE(window->playbackTimer()->isActive());
    EXPECT_EQ(window->playbackTimer()->interval(), 1000);
    expectViewFrom(*window, "Camera2");

    // The flood stage reads the flood scene's files and replays its results.
    window->playbackTimer()->stop();
    invoke("displayLandslideInfo");
    EXPECT_EQ(window->sceneCatalog().currentScene, "danba flood");
    EXPECT_EQ(window->currentSimulationMode(), EvolutionMode::Flood);
    EXPECT_EQ(window->currentFrameIndex(), 1);
    // One frame per display-state file: the folder also holds each frame's model and monitor values.
    EXPECT_EQ(window->availableFrameCount(), QDir(demoDataFolder() + "/danba flood/Disaster_Play")
                                                 .entryList({"*.txt"}, QDir::Files)
                                                 .size());
    EXPECT_TRUE(window->playbackTimer()->isActive());
    EXPECT_EQ(window->playbackTimer()->interval(), 0);
    // Terrain, dust, the slide's last frame, then the flood scene's marks and its lake surface.
    ASSERT_EQ(root->getNumChildren(), 5u);
    EXPECT_TRUE(lakeFillingNodes(root).planes.empty());
    EXPECT_GE(root->getChild(3)->asGroup()->getNumChildren(), 4u) << "houses, river, road and place names";
}

TEST_F(LandslideCaseTest, PauseContinueAndRestartDuringTheLabels) {
    window->setPresentationSpeedUp(speedUp);
    doubleClick("金江滑坡");
    atStep(1, [this] { triggerMenuAction(*window, "&暂停演进"); });
    ASSERT_TRUE(waitUntil([this] { return window->presentationStep() == 1; }, 10000));
    EXPECT_FALSE(window->playbackTimer()->isActive());
    // Longer than the rest of the wobble and the pause before the next label.
    runEventLoop(fast(11 * 50 + 1000) * 3);
    EXPECT_EQ(window->presentationStep(), 1) << "held while paused";

    triggerMenuAction(*window, "&继续演进");
    EXPECT_TRUE(window->playbackTimer()->isActive());
    EXPECT_EQ(window->playbackTimer()->interval(), fast(100));
    ASSERT_TRUE(waitUntil([this] { return window->presentationStep() >= 2; }, 10000));

    // Restart: a fresh timer runs the story from its first label; the old one is gone with its stages.
    QPointer<QTimer> abandoned = window->playbackTimer();
    triggerMenuAction(*window, "&重新演进");
    EXPECT_EQ(window->presentationStep(), 0);
    EXPECT_EQ(window->sceneRoot()->getNumChildren(), 1u);
    EXPECT_NE(window->playbackTimer(), abandoned.data());
    EXPECT_EQ(window->playbackTimer()->interval(), fast(50));
    unsigned childrenAtFirstLabel = 0;
    int intervalAfterFirstLabel = 0;
    atStep(1, [&] {
        childrenAtFirstLabel = window->sceneRoot()->getNumChildren();
        intervalAfterFirstLabel = window->playbackTimer()->interval();
    });
    ASSERT_TRUE(waitUntil(
        [&] {
            // Deferred deletions are the main event loop's work, which the test stands in for.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return abandoned.isNull();
        },
        5000))
        << "the abandoned timer is disposed of";
    ASSERT_TRUE(waitUntil([&] { return childrenAtFirstLabel != 0; }, 5000));
    EXPECT_EQ(childrenAtFirstLabel, 2u) << "terrain and the first label again";
    EXPECT_EQ(intervalAfterFirstLabel, fast(50)) << "the wobble follows";
}

TEST_F(LandslideCaseTest, RestartDuringTheLakeFillingStopsItAndTellsTheStoryAgain) {
    playToTheLakeFilling("金江滑坡", 3);
    invoke("FloodingAnalysis");
    ASSERT_EQ(lakeFillingNodes(window->sceneRoot()).planes.size(), 1u);
    triggerMenuAction(*window, "&重新演进");
    EXPECT_FALSE(window->lakeFillingTimer()->isActive());
    EXPECT_EQ(window->sceneRoot()->getNumChildren(), 1u);
    ASSERT_TRUE(waitUntil([this] { return window->presentationStep() == 1; }, 5000));
    runEventLoop(800);
    EXPECT_EQ(window->currentSimulationMode(), EvolutionMode::Landslide) << "no flood stage from the stopped filling";
    EXPECT_TRUE(lakeFillingNodes(window->sceneRoot()).planes.empty());
}

TEST_F(LandslideCaseTest, EveryLandslideSceneOpensItsTerrainAtItsOpeningView) {
    // Another landslide scene of the list, opened by its type.
    window->sceneCatalog().scenes.push_back({"新滑坡", window->sceneCatalog().pathOf("金江滑坡"), "3"});
    window->sceneTreeModel()->appendRow(new QStandardItem("新滑坡"));
    for (const QString name : {"茂滑坡", "金江滑坡", "新滑坡", "新滑坡"}) {
        SCOPED_TRACE(name.toStdString());
        testing::internal::CaptureStdout();
        doubleClick(name);
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(occurrences(printed,
                              "landslideOutPath: " + window->sceneCatalog().pathOf(name).toStdString() + "/Landslide_Play\n"),
                  1)
            << printed;
        EXPECT_EQ(window->currentSimulationMode(), EvolutionMode::Landslide);
        EXPECT_EQ(window->presentationStep(), 0);
        EXPECT_EQ(window->playbackTimer()->interval(), 2000);
        ASSERT_EQ(window->sceneRoot()->getNumChildren(), 1u);
        EXPECT_EQ(window->sceneRoot()->getChild(0)->getDataVariance() == osg::Object::DYNAMIC,
                  name == "新滑坡");
        expectViewFrom(*window, "Camera1");
    }
}

TEST_F(LandslideCaseTest, AScenarioFileThatDoesNotLoadShowsOneMessageAndPlaysNothing) {
    const std::string good =
        readTextFile((window->sceneCatalog().pathOf("金江滑坡") + "/LandslideXML.xml").toStdString());
    std::string nanCamera = good;
    const std::size_t camera = nanCamera.find("<Camera1>");
    ASSERT_NE(camera, std::string::npos);
    const std::size_t x = nanCamera.find("x=\"", camera) + 3;
    nanCamera.replace(x, nanCamera.find('"', x) - x, "nan");
    std::string noFrames = good;
    const std::size_t frames = noFrames.find("Landslide_Play");
    ASSERT_NE(frames, std::string::npos);
    noFrames.replace(frames, std::string("Landslide_Play").size(), "Landslide_Gone");
    QTemporaryDir broken;
    const struct {
        const char* name;
        std::string xml;
        const char* named;  // in the message
    } cases[] = {
        {"截断滑坡", good.substr(0, good.size() / 2), "LandslideXML.xml"},
        {"无数滑坡", nanCamera, "\"nan\""},
        {"无帧滑坡", noFrames, "Landslide_Gone"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromUtf8(c.name);
        const QString folder = broken.path() + "/" + name;
        writeTextFile((folder + "/LandslideXML.xml").toStdString(), c.xml);
        window->sceneCatalog().scenes.push_back({name, folder, "3"});
        window->sceneTreeModel()->appendRow(new QStandardItem(name));
        ModalDriver box(clickButton("OK"), 15000, "QMessageBox");
        doubleClick(name);
        ASSERT_TRUE(box.answered());
        EXPECT_NE(box.text().indexOf(QString::fromUtf8(c.named)), -1) << box.text().toStdString();
        EXPECT_FALSE(window->playbackTimer()->isActive());
        EXPECT_EQ(window->presentationStep(), 0);
    }
}

TEST_F(LandslideCaseTest, DamBreakModelsReplayTheConfiguredFoldersInFloodModeOnly) {
    // The scene in a folder of its own, as other tests read the demo data meanwhile: its files are the
    // demo data's, its configuration a copy the test changes, beside a half-break folder with the first
    // frames of the prepared results.
    QTemporaryDir own;
    ASSERT_TRUE(own.isValid());
    const QString demo = demoDataFolder() + "/danba flood";
    for (const QString& entry : QDir(demo).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (entry != "configXML.xml") {
            ASSERT_TRUE(QFile::link(demo + "/" + entry, own.filePath(entry))) << entry.toStdString();
        }
    }
    for (FileManage& bound : window->sceneCatalog().scenes) {
        if (bound.name == "danba flood") {
            bound.path = own.path();
        }
    }
    const QString scene = own.path();
    QDir().mkpath(scene + "/Disaster_PlayH");
    for (const QString& file : QDir(demo + "/Disaster_Play").entryList({"1.*", "2.*", "3.*"}, QDir::Files)) {
        QFile::copy(demo + "/Disaster_Play/" + file, scene + "/Disaster_PlayH/" + file);
    }
    const QString config = scene + "/configXML.xml";
    const std::string original = readTextFile((demo + "/configXML.xml").toStdString());
    writeTextFile(config.toStdString(), original);
    std::string withHalfBreak = original;
    withHalfBreak.insert(
        withHalfBreak.rfind("</Scene>"),
        "<PlayH><file strPath=\"" + (scene + "/Disaster_PlayH").toStdString() + "\"/></PlayH>");

    // Outside flood mode nothing happens.
    doubleClick("金江滑坡");
    triggerMenuAction(*window, "全溃");
    EXPECT_EQ(window->currentSimulationMode(), EvolutionMode::Landslide);
    EXPECT_EQ(window->playbackTimer()->interval(), 2000);

    doubleClick("danba flood");
    const int fullBreakFrames = window->availableFrameCount();
    ModalDriver noHalfBreak(clickButton("OK"), 15000, "QMessageBox");
    triggerMenuAction(*window, "半溃");
    ASSERT_TRUE(noHalfBreak.answered()) << "a scene without half-break results says so";
    EXPECT_EQ(noHalfBreak.title(), "警告");
    EXPECT_TRUE(noHalfBreak.text().contains("PlayH")) << noHalfBreak.text().toStdString();

    writeTextFile(config.toStdString(), withHalfBreak);
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 6; }, 20000));
    triggerMenuAction(*window, "半溃");
    EXPECT_EQ(window->currentFrameIndex(), 1);
    EXPECT_EQ(window->availableFrameCount(),
              QDir(scene + "/Disaster_PlayH").entryList({"*.txt"}, QDir::Files).size());
    EXPECT_TRUE(window->isPlaying());
    EXPECT_TRUE(window->playbackTimer()->isActive());
    triggerMenuAction(*window, "全溃");
    EXPECT_EQ(window->currentFrameIndex(), 1);
    EXPECT_EQ(window->availableFrameCount(), fullBreakFrames);
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 6; }, 20000));
}

TEST(LandslideScenario, ShortValueListsSkipWhatTheyCannotShow) {
    MainWindow window;
    // One earlier disaster and half of a second, a camera without its up vector, an outline without its
    // shapefile, a rain text without a position, no geological lines and no slide frames. (The window
    // reads its own scene list first.)
    BoundScene scene("短缺滑坡");
    scene.write("LandslideXML.xml", R"(<S>
        <lishizaihai><text textstr="1981年 滑坡"/><pos X="100" Y="200" Z="300"/><text textstr="半条"/></lishizaihai>
        <Camera1><eye x="0" y="-5000" z="3000"/><center x="0" y="0" z="0"/></Camera1>
        <boundary><text textstr="边界"/></boundary>
        <rainDescribe><text textstr="暴雨"/></rainDescribe>
    </S>)");
    window.sceneCatalog() = scene.catalog();
    showMainWindow(window);
    ASSERT_TRUE(waitUntil([&] { return window.view()->getFrameStamp()->getFrameNumber() > 1; }));
    osg::Group* root = window.sceneRoot();
    root->addChild(makeTerrainPatch(-1000, -1000, 2000, 0));
    const osg::Vec3d opening = viewEye(window);
    auto invoke = [&](const char* slot) {
        QMetaObject::invokeMethod(&window, slot);
        window.playbackTimer()->stop();
    };

    invoke("displayInfo");
    EXPECT_EQ(window.presentationStep(), 1);
    EXPECT_EQ(window.currentSimulationMode(), EvolutionMode::Landslide);
    EXPECT_EQ(viewEye(window), opening) << "six camera values move nothing";
    ASSERT_EQ(root->getNumChildren(), 2u) << "the one complete label";
    invoke("Shake");
    EXPECT_NE(viewEye(window), opening) << "the wobble turns the view";
    EXPECT_EQ(root->getNumChildren(), 2u) << "no geological lines to flash";

    // The slide area: no outline to draw, no label without its position, no rain label; the rain falls.
    testing::internal::CaptureStdout();
    invoke("displayInfo");
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("Open failed"), std::string::npos) << printed;
    EXPECT_EQ(childrenNamed(root, "landslideEvent"), 0);
    EXPECT_EQ(childrenOfType<osgParticle::PrecipitationEffect>(root), 1);
    EXPECT_EQ(root->getNumChildren(), 3u) << "terrain, the empty outline layer and the rain";

    // The title stage, without slide frames to replay, and without a title or a slide point to place
    // one at.
    invoke("displayInfo");
    EXPECT_EQ(window.presentationStep(), 3);
    EXPECT_EQ(window.availableFrameCount(), 0);
    EXPECT_EQ(childrenNamed(root, "landslideinfo"), 0);
    const unsigned children = root->getNumChildren();
    window.playbackTimer()->start(0);
    runEventLoop(300);
    EXPECT_EQ(root->getNumChildren(), children);
    EXPECT_EQ(window.currentSimulationMode(), EvolutionMode::Landslide);
}

TEST(LandslideScenario, TitleIsTheScenariosOwnOrTheScenesNameAboveTheSlidePoint) {
    const char* const slide =
        R"(<landslide><path strPath="/none"/><location LocationFile=""/><pos X="471500" Y="3438400" Z="1950"/></landslide>)";
    const struct {
        const char* what;
        std::string xml;
        std::string text;  // UTF-8
        osg::Vec3 at;
        bool above;  // at.z() is the height the title stands above
    } cases[] = {
        {"its own title and place", std::string("<S><title><text textstr=\"金江 滑坡 2018\"/><pos X=\"100\" Y=\"200\" "
                                                "Z=\"3000\"/></title>") + slide + "</S>",
         "金江 滑坡 2018", {100, 200, 3000}, false},
        {"a title without a place", std::string("<S><title><text textstr=\"无位置\"/></title>") + slide + "</S>",
         "标题滑坡", {471500, 3438400, 1950}, true},
        {"no title", std::string("<S>") + slide + "</S>", "标题滑坡", {471500, 3438400, 1950}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MainWindow window;
        BoundScene scene("标题滑坡");
        scene.write("LandslideXML.xml", QByteArray::fromStdString(c.xml));
        window.sceneCatalog() = scene.catalog();
        // The slide area's stage, then the title's.
        for (int stage = 0; stage < 2; ++stage) {
            QMetaObject::invokeMethod(&window, "displayInfo");
            window.playbackTimer()->stop();
        }
        ASSERT_EQ(window.presentationStep(), 2);
        osg::Group* root = window.sceneRoot();
        const osgText::Text* title = nullptr;
        for (unsigned i = 0; i < root->getNumChildren(); ++i) {
            // Under the label layout, by the title's name.
            auto* label = dynamic_cast<ScreenLabel*>(root->getChild(i));
            if (label && label->getName() == "landslideinfo") {
                title = dynamic_cast<const osgText::Text*>(label->getChild(0)->asGeode()->getDrawable(0));
            }
        }
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->getText().createUTF8EncodedString(), c.text);
        EXPECT_FLOAT_EQ(title->getPosition().x(), c.at.x());
        EXPECT_FLOAT_EQ(title->getPosition().y(), c.at.y());
        if (c.above) {
            EXPECT_GT(title->getPosition().z(), c.at.z() + 100.0f);
        } else {
            EXPECT_FLOAT_EQ(title->getPosition().z(), c.at.z());
        }
    }
}

}  // namespace
