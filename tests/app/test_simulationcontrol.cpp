// The roam controls and the hand-over of a result folder, through the real menu actions and dialogs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QStatusBar>

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <osg/NodeVisitor>
#include <osgDB/WriteFile>
#include <osgText/Text>

#include "floodhud.h"
#include "mainwindow.h"
#include "modaldriver.h"
#include "testmodels.h"

namespace {

class SimulationControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        showMainWindow(window);
        ASSERT_TRUE(waitUntil([this] { return window.isVisible(); }));
    }

    void trigger(const QString& text) { triggerMenuAction(window, text); }

    void writeFiles(const QStringList& names) {
        for (const QString& name : names) {
            QFile file(folder.path() + "/" + name);
            ASSERT_TRUE(file.open(QFile::WriteOnly));
        }
    }

    // Starts a replay of `folder` the way a form's start button does.
    void startReplay(int mode) {
        ModalDriver dialog(chooseFile(folder.path()));
        QMetaObject::invokeMethod(&window, "acceptStart", Q_ARG(int, mode));
        ASSERT_TRUE(dialog.answered());
        // The tests tick the replay themselves.
        window.playbackTimer()->stop();
    }

    QTemporaryDir folder;
    MainWindow window;
};

TEST_F(SimulationControlTest, CancelledFolderWarnsAndStartsNothing) {
    ModalDriver dialog(cancelDialog(), 15000, "QFileDialog");
    ModalDriver warning(clickButton("&Yes"), 15000, "QMessageBox");
    QMetaObject::invokeMethod(&window, "acceptStart", Q_ARG(int, 1));
    EXPECT_TRUE(dialog.answered());
    ASSERT_TRUE(warning.answered());
    EXPECT_EQ(warning.title(), "警告");
    EXPECT_EQ(warning.text(), "请正确选择需要演进的文件！");
    EXPECT_FALSE(window.playbackTimer()->isActive());
    EXPECT_EQ(window.currentSimulationMode(), EvolutionMode::Flood);
}

TEST_F(SimulationControlTest, RoamControlsDoNothingWithoutAnEvolution) {
    trigger("&快速演进");
    trigger("&暂停演进");
    window.sceneRoot()->addChild(makeTerrainPatch(0, 0, 10, 0).get());
    window.sceneRoot()->addChild(makeTerrainPatch(0, 0, 5, 1).get());
    trigger("&停止演进");
    EXPECT_EQ(window.currentSpeedStep(), 1);
    EXPECT_TRUE(window.isPlaying());
    EXPECT_EQ(window.sceneRoot()->getNumChildren(), 2u);
    trigger("&开始演进");
    EXPECT_TRUE(window.isPlaying());
}

TEST_F(SimulationControlTest, SpeedCyclesFromOneToFour) {
    startReplay(1);
    std::vector<int> seen;
    for (int press = 0; press < 5; ++press) {
        trigger("&快速演进");
        seen.push_back(window.currentSpeedStep());
    }
    EXPECT_EQ(seen, (std::vector<int>{2, 3, 4, 1, 2}));
}

TEST_F(SimulationControlTest, ChosenFolderStartsAtFrameOneAndPausesContinuesStopsAndRestarts) {
    QStringList names;
    for (int n = 1; n <= 15; ++n) {
        names << QString("%1.ive").arg(n) << QString("%1.txt").arg(n);
    }
    names << "notes.txt";
    writeFiles(names);
    // The scene: a terrain and a layer over it.
    window.sceneRoot()->addChild(makeTerrainPatch(0, 0, 10, 0).get());
    osg::Node* terrain = window.sceneRoot()->getChild(0);
    window.sceneRoot()->addChild(makeTerrainPatch(0, 0, 5, 1).get());
    startReplay(1);
    EXPECT_EQ(window.currentSimulationMode(), EvolutionMode::Flood);
    EXPECT_EQ(window.currentFrameIndex(), 1);
    EXPECT_EQ(window.currentSpeedStep(), 1);
    // The frames of the folder: up to the last number, whatever lies beside them.
    EXPECT_EQ(window.availableFrameCount(), 15);

    trigger("&暂停演进");
    EXPECT_FALSE(window.isPlaying());
    trigger("&继续演进");
    EXPECT_TRUE(window.isPlaying());

    // One frame of the replay: its overlays over the scene.
    QMetaObject::invokeMethod(&window, "Visualize");
    EXPECT_GT(window.sceneRoot()->getNumChildren(), 2u);
    trigger("&快速演进");
    trigger("&停止演进");
    EXPECT_FALSE(window.isPlaying());
    EXPECT_EQ(window.currentFrameIndex(), 1);
    EXPECT_FALSE(window.playbackTimer()->isActive());
    // The frame goes; the terrain and the layer stay.
    ASSERT_EQ(window.sceneRoot()->getNumChildren(), 2u);
    EXPECT_EQ(window.sceneRoot()->getChild(0), terrain);

    // Continue plays the stopped replay again from its first frame.
    trigger("&继续演进");
    EXPECT_TRUE(window.isPlaying());
    EXPECT_TRUE(window.playbackTimer()->isActive());
    EXPECT_EQ(window.currentFrameIndex(), 1);

    trigger("&重新演进");
    EXPECT_TRUE(window.isPlaying());
    EXPECT_EQ(window.currentSpeedStep(), 1);
    EXPECT_EQ(window.currentFrameIndex(), 1);
    EXPECT_TRUE(window.playbackTimer()->isActive());
    EXPECT_EQ(window.playbackTimer()->interval(), 0);
}

// The texts of the overlays under a node.
class TextCollector : public osg::NodeVisitor {
public:
    TextCollector() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
    void apply(osg::Drawable& drawable) override {
        if (const auto* text = dynamic_cast<const osgText::Text*>(&drawable)) {
            texts.push_back(text->getText().createUTF8EncodedString());
        }
    }
    std::vector<std::string> texts;
};

std::string shownClock(osg::Node& root) {
    TextCollector collector;
    root.accept(collector);
    for (const std::string& text : collector.texts) {
        if (text.rfind("Time:", 0) == 0) {
            return text;
        }
    }
    return "";
}

TEST_F(SimulationControlTest, FramesMissingFromAFolderAreSkippedAndTheClockShowsTheGap) {
    // Frames 1 to 16, ten simulated seconds apart, of which 6 to 10 were lost.
    for (int n = 1; n <= 16; ++n) {
        if (n >= 6 && n <= 10) {
            continue;
        }
        FloodHud state;
        state.time = 10.0f * n;
        ASSERT_TRUE(state.writeState(folder.path().toStdString() + "/" + std::to_string(n) + ".txt"));
        ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(0, 0, 10, n),
                                         folder.path().toStdString() + "/" + std::to_string(n) + ".ive"));
    }
    startReplay(1);
    EXPECT_EQ(window.availableFrameCount(), 16);

    std::vector<std::string> clocks;
    testing::internal::CaptureStdout();
    for (int tick = 0; tick < 5 && window.currentFrameIndex() <= 16; ++tick) {
        QMetaObject::invokeMethod(&window, "Visualize");
        clocks.push_back(shownClock(*window.sceneRoot()));
    }
    const std::string said = testing::internal::GetCapturedStdout();
    // Frame 6 is skipped: frame 1 stays until frame 11 shows, and the replay goes on to the last frame.
    EXPECT_EQ(clocks,
              (std::vector<std::string>{"Time: 10 s", "Time: 10 s", "Time: 1 m 50 s", "Time: 2 m 40 s"}));
    EXPECT_NE(said.find("frame 6 is missing from " + folder.path().toStdString()), std::string::npos) << said;
    EXPECT_EQ(window.currentFrameIndex(), 21);
}

TEST_F(SimulationControlTest, AReplayShowsItsLastFrameAndPlaysAgainAfterItsEnd) {
    // Frames 1 to 8, ten simulated seconds apart: at five frames a tick neither speed lands on frame 8.
    for (int n = 1; n <= 8; ++n) {
        FloodHud state;
        state.time = 10.0f * n;
        ASSERT_TRUE(state.writeState(folder.path().toStdString() + "/" + std::to_string(n) + ".txt"));
    }
    const struct {
        int speed;
        std::vector<std::string> clocks;
    } cases[] = {
        {1, {"Time: 10 s", "Time: 1 m 0 s", "Time: 1 m 20 s"}},
        {2, {"Time: 10 s", "Time: 1 m 20 s"}},
    };
    for (const auto& c : cases) {
        startReplay(1);
        while (window.currentSpeedStep() != c.speed) {
            trigger("&快速演进");
        }
        std::vector<std::string> clocks;
        while (window.currentFrameIndex() <= window.availableFrameCount() && clocks.size() < 10) {
            QMetaObject::invokeMethod(&window, "Visualize");
            clocks.push_back(shownClock(*window.sceneRoot()));
        }
        EXPECT_EQ(clocks, c.clocks) << "at " << c.speed << "x";
        EXPECT_FALSE(window.playbackTimer()->isActive()) << "an ended replay lets go of the timer";
    }

    // Ended, it plays again from its first frame on continue, after a stop or a stop of the computation.
    for (const char* stop : {"&停止演进", "&停止运算"}) {
        trigger(stop);
        trigger("&继续演进");
        EXPECT_TRUE(window.playbackTimer()->isActive()) << stop;
        EXPECT_EQ(window.currentFrameIndex(), 1) << stop;
        window.playbackTimer()->stop();
        QMetaObject::invokeMethod(&window, "Visualize");
        EXPECT_EQ(shownClock(*window.sceneRoot()), "Time: 10 s") << stop;
        while (window.currentFrameIndex() <= window.availableFrameCount()) {
            QMetaObject::invokeMethod(&window, "Visualize");
        }
    }
}

TEST_F(SimulationControlTest, PipesNamedLikeModelsAreLeftOutWithAMessageInsteadOfHoldingTheWindow) {
    // Frames 1 to 3 of a flood or debris-flow replay, the last one's model a pipe (a flood replay steps
    // over frames, but shows its last one).
    const std::string pipe = folder.path().toStdString() + "/3.ive";
    for (int n = 1; n <= 3; ++n) {
        FloodHud state;
        state.time = 10.0f * n;
        ASSERT_TRUE(state.writeState(folder.path().toStdString() + "/" + std::to_string(n) + ".txt"));
        const std::string model = folder.path().toStdString() + "/" + std::to_string(n) + ".ive";
        if (n == 3) {
            ASSERT_EQ(::mkfifo(model.c_str(), 0600), 0);
        } else {
            ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(0, 0, 10, n), model));
        }
    }
    for (const int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        // A replay at no interval may tick while the folder dialog closes.
        testing::internal::CaptureStderr();
        startReplay(mode);
        for (int tick = 0; tick < 5 && window.currentFrameIndex() <= 3; ++tick) {
            QMetaObject::invokeMethod(&window, "Visualize");
        }
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_GT(window.currentFrameIndex(), 3);
        EXPECT_NE(said.find(pipe), std::string::npos) << said;
    }

    // A pipe as the scene's terrain leaves the scene empty and says so.
    testing::internal::CaptureStderr();
    QMetaObject::invokeMethod(&window, "acceptScenePath", Q_ARG(std::string, pipe));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(window.sceneRoot()->getNumChildren(), 0u);
    EXPECT_NE(window.statusBar()->currentMessage().indexOf(QString::fromStdString(pipe)), -1)
        << window.statusBar()->currentMessage().toStdString();
}

TEST_F(SimulationControlTest, EmptyScenePathIsRefusedAndAModelBecomesTheTerrain) {
    ModalDriver box(clickButton("&Yes"));
    QMetaObject::invokeMethod(&window, "acceptScenePath", Q_ARG(std::string, std::string()));
    ASSERT_TRUE(box.answered());
    EXPECT_EQ(box.title(), "error");
    EXPECT_EQ(box.text(), "场景不存在");

    const std::string model = folder.path().toStdString() + "/valley.ive";
    ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(0, 0, 100, 5), model));
    window.sceneRoot()->addChild(makeTerrainPatch(0, 0, 10, 0).get());
    window.sceneRoot()->addChild(makeTerrainPatch(0, 0, 10, 1).get());
    QMetaObject::invokeMethod(&window, "acceptScenePath", Q_ARG(std::string, model));
    ASSERT_EQ(window.sceneRoot()->getNumChildren(), 1u);
    const osg::StateSet* state = window.sceneRoot()->getChild(0)->getStateSet();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->getMode(GL_LIGHTING), osg::StateAttribute::OFF | osg::StateAttribute::OVERRIDE);
    EXPECT_FLOAT_EQ(window.sceneRoot()->getBound().center().z(), 5.0f);

    // A path that does not load leaves an empty scene.
    QMetaObject::invokeMethod(&window, "acceptScenePath", Q_ARG(std::string, model + ".missing"));
    EXPECT_EQ(window.sceneRoot()->getNumChildren(), 0u);
}

}  // namespace
