// A debris flow from the user's side: set it up in the form, watch the live run write its frames to the
// end, compare them with the headless run, then replay the folder with the roam controls. Real window,
// real form, real dialogs, real engine.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <memory>
#include <osg/Camera>
#include <osg/Depth>
#include <osg/Projection>
#include <osgDB/WriteFile>

#include "debrisflow.h"
#include "debristestdata.h"
#include "legendbar.h"
#include "mainwindow.h"
#include "modaldriver.h"
#include "resultfiles.h"
#include "syntheticvalley.h"
#include "testfiles.h"
#include "testmodels.h"
#include "viewerqt.h"

namespace {

// A slope of 10 m cells falling eastwards by 5 %, its floor along row 20, at (500000, 3300000).
constexpr int rows = 40;
constexpr int cols = 60;
constexpr double minX = 500000;
constexpr double minY = 3300000;
double slopeHeight(int r, int c) {
    return 800 - 0.5 * c + 0.2 * std::abs(r - 20);
}

// Frame files of a result folder, by name.
QStringList frameFiles(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// 5000 packets: enough work per step that a run lasts some ticks of the window.
const QString runVolume = "200000";

class DebrisFlowRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(inputs.isValid() && results.isValid());
        debristest::writeGrid(path("slope.asc"), rows, cols, 10, slopeHeight, minX, minY);
        debristest::writeBreach(path("breach.txt"), {{19, 3}, {20, 3}, {21, 3}});
        ValleyGrid grid;
        grid.cols = cols;
        grid.rows = rows;
        grid.cellSize = 10;
        grid.xll = minX;
        grid.yll = minY;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                grid.heights.push_back(static_cast<float>(slopeHeight(r, c)));
            }
        }
        ASSERT_TRUE(osgDB::writeNodeFile(*buildTerrainMesh(grid), path("terrain.ive")));

        showMainWindow(window);
        ASSERT_TRUE(waitUntil([this] { return window.isVisible(); }));
    }
    void TearDown() override {
        // The frame numbering is the program's; a run left going would carry it into the next test.
        trigger("&停止运算");
    }

    std::string path(const std::string& name) const { return inputs.path().toStdString() + "/" + name; }
    QString result(const QString& name) const { return results.path() + "/" + name; }
    void trigger(const QString& text) { triggerMenuAction(window, text); }

    // This window's form: the one its menu shows (forms of earlier tests' windows stay hidden).
    DebrisFlow* form() {
        if (!shownForm) {
            shownForm = visibleTopLevel<DebrisFlow>();
        }
        return shownForm;
    }
    void press(const char* button) {
        QTest::mouseClick(form()->findChild<QPushButton*>(button), Qt::LeftButton);
    }
    void chooseInForm(const char* button, const std::string& file) {
        ASSERT_TRUE(pressAndChoose(form()->findChild<QPushButton*>(button), QString::fromStdString(file)))
            << button;
    }

    // Opens the form, loads the scene, the slope and `breach`, asks for `volume` m³ and calculates;
    // `folder` answers the question for the output folder (a cancelled one when empty).
    void setUpRun(const std::string& breach, const QString& volume, const QString& folder) {
        trigger("&泥石流");
        ASSERT_NE(form(), nullptr);
        chooseInForm("pushButton", path("slope.asc"));
        chooseInForm("pushButton_8", breach);
        form()->findChild<QLineEdit*>("lineEdit")->setText(volume);
        ModalDriver folderDialog(folder.isEmpty() ? cancelDialog() : chooseFile(folder), 15000,
                                 "QFileDialog");
        press("pushButton_5");
        ASSERT_TRUE(folderDialog.answered());
    }

    // Stops the run's ticks once `file` has been written, so that the test can look at a frame while the
    // run is going: the ticks of a small run are quick, and one tick may step through several frames.
    void holdOnceWritten(const QString& file) {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(window.playbackTimer(), &QTimer::timeout, [this, file, connection] {
            if (QFile::exists(file)) {
                window.playbackTimer()->stop();
                QObject::disconnect(*connection);
            }
        });
    }
    bool held() {
        return waitUntil([this] { return !window.playbackTimer()->isActive(); }, 60000);
    }

    // The nodes the replay adds for a stored surface: drawn over the terrain whatever its depth.
    std::vector<osg::Node*> storedSurfaces() const {
        std::vector<osg::Node*> found;
        for (unsigned i = 1; i < window.sceneRoot()->getNumChildren(); ++i) {
            osg::Node* child = window.sceneRoot()->getChild(i);
            if (child->getStateSet() && child->getStateSet()->getAttribute(osg::StateAttribute::DEPTH)) {
                found.push_back(child);
            }
        }
        return found;
    }

    QTemporaryDir inputs;
    QTemporaryDir results;
    // The summary lies beside the temporary result folder.
    RemovedFolder resultSummary{results.path() + "_summary"};
    MainWindow window;
    DebrisFlow* shownForm = nullptr;
};

TEST_F(DebrisFlowRunTest, LiveRunShowsTheFlowWritesItsFramesToTheEndAndTheFolderReplays) {
    trigger("&泥石流");
    ASSERT_NE(form(), nullptr);
    EXPECT_EQ(form()->windowTitle(), "泥石流演进模拟参数设置");
    EXPECT_EQ(form()->size(), QSize(500, 470));
    chooseInForm("pushButton_7", path("terrain.ive"));
    ASSERT_EQ(window.sceneRoot()->getNumChildren(), 1u);
    osg::Node* terrain = window.sceneRoot()->getChild(0);
    holdOnceWritten(result("3.txt"));
    setUpRun(path("breach.txt"), runVolume, results.path());
    EXPECT_FALSE(form()->isVisible());
    EXPECT_EQ(window.currentSimulationMode(), EvolutionMode::Debris);

    ASSERT_TRUE(held());
    ASSERT_LT(frameFiles(results.path()).size(), 2 * 213);
    // Terrain, then the frame's debris surface, its legend and its caption.
    osg::Group* root = window.sceneRoot();
    ASSERT_EQ(root->getNumChildren(), 4u);
    EXPECT_EQ(root->getChild(0), terrain);
    EXPECT_NE(root->getChild(1)->asGeode(), nullptr);
    EXPECT_NE(dynamic_cast<osg::Projection*>(root->getChild(2)), nullptr);
    EXPECT_NE(root->getChild(3)->asCamera(), nullptr);

    lookDownAt(*window.view(), osg::Vec3d(minX + 150, minY + 200, 780), 700);
    runEventLoop(400);
    const QImage frame = window.view()->grabFrameBuffer();
    int debrisPixels = 0;
    for (int y = 0; y < frame.height(); y += 2) {
        for (int x = 0; x < frame.width(); x += 2) {
            debrisPixels += isDebrisColour(frame.pixelColor(x, y));
        }
    }
    EXPECT_GT(debrisPixels, 30);
    // The white caption at the foot of the view, ending left of the legend, lightens the terrain under it
    // (its glyphs are blended); the same strip higher up is terrain alone (left of it the view may show
    // beyond the terrain).
    const osg::Vec3 caption = legendCaptionAnchor() + osg::Vec3(frame.width(), 0, 0);
    auto lightPixels = [&frame, &caption](int lift) {
        int count = 0;
        const int top = frame.height() - static_cast<int>(caption.y()) - lift;
        for (int y = top - 16; y < top; ++y) {
            for (int x = static_cast<int>(caption.x()) - 32; x < caption.x(); ++x) {
                const QColor pixel = frame.pixelColor(x, y);
                count += pixel.red() > 170 && pixel.green() > 170 && pixel.blue() > 170;
            }
        }
        return count;
    };
    EXPECT_GT(lightPixels(0), 15);
    EXPECT_LT(lightPixels(40), 3);
    ModalDriver ended(clickButton("OK"), 240000, "QMessageBox");
    window.playbackTimer()->start(0);

    // The run goes on by itself to 6402 s of simulated time: 213 frames, and says so; the last frame
    // stays on screen with its legend and caption.
    ASSERT_TRUE(waitUntil([&] { return ended.answered(); }, 240000));
    EXPECT_EQ(ended.title(), "说明");
    EXPECT_TRUE(ended.text().contains("213")) << ended.text().toStdString();
    EXPECT_TRUE(QFile::exists(result("213.txt")));
    runEventLoop(300);
    const QStringList written = frameFiles(results.path());
    EXPECT_EQ(written.size(), 2 * 213);
    ASSERT_EQ(root->getNumChildren(), 4u);
    EXPECT_EQ(root->getChild(0), terrain);
    EXPECT_NE(root->getChild(1)->asGeode(), nullptr);
    EXPECT_FALSE(window.playbackTimer()->isActive());
    EXPECT_EQ(QString::fromStdString(readTextFile(result("1.txt").toStdString())).split('\n').value(1),
              "29.4");
    // The end of the run writes its summary beside the folder, a volume row per frame.
    EXPECT_EQ(frameFiles(results.path() + "_summary"),
              QStringList({"energyAtPeak.tif", "finalTrace.tif", "momentumAtPeak.tif", "peakDepth.tif",
                           "peakSpeed.tif", "report.html", "volume.csv"}));
    const QStringList volumeRows =
        QString::fromStdString(readTextFile((results.path() + "_summary/volume.csv").toStdString()))
            .split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(volumeRows.size(), 1 + 213);
    EXPECT_TRUE(volumeRows[1].startsWith("1,29.400,")) << volumeRows[1].toStdString();

    // The same inputs without a window give the same files, byte for byte.
    QTemporaryDir batch;
    const RemovedFolder batchSummary(batch.path() + "_summary");
    const ProgramRun headless =
        runProgram(VANTOREL_BATCH, {"debris", "--dem", QString::fromStdString(path("slope.asc")), "--breach",
                                    QString::fromStdString(path("breach.txt")), "--volume", runVolume,
                                    "--format", ".ive", "--out", batch.path()});
    ASSERT_EQ(headless.exitCode, 0) << headless.err;
    ASSERT_EQ(frameFiles(batch.path()), written);
    for (const QString& name : written) {
        EXPECT_EQ(readTextFile((batch.path() + "/" + name).toStdString()),
                  readTextFile(result(name).toStdString()))
            << name.toStdString();
    }

    // The folder replays through the form's start button, one frame per tick.
    trigger("&泥石流");
    ModalDriver folder(chooseFile(results.path()), 15000, "QFileDialog");
    press("pushButton_6");
    ASSERT_TRUE(folder.answered());
    window.playbackTimer()->stop();
    EXPECT_EQ(window.availableFrameCount(), 213);
    std::vector<int> shown;
    auto tick = [&] {
        shown.push_back(window.currentFrameIndex());
        QMetaObject::invokeMethod(&window, "Visualize");
    };
    tick();
    tick();
    const std::vector<osg::Node*> surfaces = storedSurfaces();
    ASSERT_EQ(surfaces.size(), 1u) << "one stored surface at a time";
    const osg::StateSet* state = surfaces.front()->getStateSet();
    const auto* depth = static_cast<const osg::Depth*>(state->getAttribute(osg::StateAttribute::DEPTH));
    EXPECT_EQ(depth->getFunction(), osg::Depth::ALWAYS);
    EXPECT_TRUE(depth->getWriteMask());
    EXPECT_EQ(state->getMode(GL_DEPTH_TEST), osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
    EXPECT_EQ(state->getBinNumber(), 5);
    EXPECT_EQ(state->getRenderBinMode(), osg::StateSet::USE_RENDERBIN_DETAILS);
    EXPECT_EQ(root->getChild(0), terrain);
    EXPECT_NE(dynamic_cast<osg::Projection*>(root->getChild(root->getNumChildren() - 2)), nullptr);
    EXPECT_NE(root->getChild(root->getNumChildren() - 1)->asCamera(), nullptr);
    trigger("&暂停演进");
    tick();
    trigger("&继续演进");
    trigger("&快速演进");
    tick();
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 3}));
    EXPECT_EQ(window.currentFrameIndex(), 5);

    // Played on, the replay ends after its last frame by itself.
    window.playbackTimer()->start(0);
    ASSERT_TRUE(waitUntil([&] { return window.currentFrameIndex() > window.availableFrameCount(); }, 60000));
    const int last = window.currentFrameIndex();
    runEventLoop(300);
    EXPECT_EQ(window.currentFrameIndex(), last);
    EXPECT_EQ(last, 215);
}

TEST_F(DebrisFlowRunTest, SetupThatTheRunRefusesSaysWhyAndStartsNothing) {
    debristest::writeBreach(path("ring.txt"), {{0, 3}});
    const struct {
        const char* what;
        std::string breach;
        const char* volume;
        const char* packetVolume;
        const char* reason;
    } cases[] = {
        {"a breach cell on the ring", path("ring.txt"), "8000", "40.0", "lies on the outer ring of the grid"},
        {"a breach file that is not there", path("none.txt"), "8000", "40.0", "cannot open the breach file"},
        {"a packet volume that is no number", path("breach.txt"), "8000", "abc",
         "the packet volume must be greater than 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        trigger("&泥石流");
        chooseInForm("pushButton", path("slope.asc"));
        if (c.breach == path("none.txt")) {
            chooseInForm("pushButton_8", path("breach.txt"));
            form()->findChild<QLineEdit*>("lineEdit_13")->setText(QString::fromStdString(c.breach));
        } else {
            chooseInForm("pushButton_8", c.breach);
        }
        form()->findChild<QLineEdit*>("lineEdit")->setText(c.volume);
        form()->findChild<QLineEdit*>("lineEdit_3")->setText(c.packetVolume);
        ModalDriver warning(clickButton("OK"), 15000, "QMessageBox");
        ModalDriver folder(chooseFile(results.path()), 2000, "QFileDialog");
        press("pushButton_5");
        ASSERT_TRUE(warning.answered());
        EXPECT_EQ(warning.title(), "Warning");
        EXPECT_TRUE(warning.text().contains(c.reason)) << warning.text().toStdString();
        runEventLoop(300);
        EXPECT_FALSE(folder.answered());
        EXPECT_FALSE(window.playbackTimer()->isActive());
        EXPECT_TRUE(frameFiles(results.path()).isEmpty());
        form()->findChild<QLineEdit*>("lineEdit_3")->setText("40.0");
    }
}

TEST_F(DebrisFlowRunTest, ASecondSetupStopsTheRunningOneAndNumbersItsFramesFromOne) {
    holdOnceWritten(result("2.txt"));
    setUpRun(path("breach.txt"), runVolume, results.path());
    ASSERT_TRUE(held());
    // Without a folder the new run does not start, and the first one goes on.
    setUpRun(path("breach.txt"), runVolume, QString());
    const int before = frameFiles(results.path()).size();
    holdOnceWritten(result("%1.txt").arg(before / 2 + 1));
    window.playbackTimer()->start(0);
    ASSERT_TRUE(held());

    QTemporaryDir second;
    const RemovedFolder secondSummary(second.path() + "_summary");
    const QStringList first = frameFiles(results.path());
    holdOnceWritten(second.path() + "/1.txt");
    setUpRun(path("breach.txt"), runVolume, second.path());
    ASSERT_TRUE(held());
    // The first run's frame still in flight on the writer thread lands; then its folder stays as it is.
    const QStringList stopped = frameFiles(results.path());
    EXPECT_LE(stopped.size(), first.size() + 2);
    for (const QString& name : first) {
        EXPECT_TRUE(stopped.contains(name)) << name.toStdString();
    }
    runEventLoop(300);
    EXPECT_EQ(frameFiles(results.path()), stopped) << "the first run goes on";
    EXPECT_EQ(
        QString::fromStdString(readTextFile((second.path() + "/1.txt").toStdString())).split('\n').value(1),
        "29.4");
    // Stopped here, the second run writes its summary while the folder beside it is still to be removed.
    trigger("&停止运算");
}

TEST_F(DebrisFlowRunTest, AFolderAnotherRunHoldsIsRefusedAndEarlierResultsGoWithTheirSummary) {
    // Another run, of this or another program, writes into the folder: the run is refused, naming it.
    {
        ResultFolderLock other;
        std::string problem;
        ASSERT_TRUE(other.lock(results.path().toStdString(), problem)) << problem;
        ModalDriver refused(clickButton("OK"), 15000, "QMessageBox");
        setUpRun(path("breach.txt"), runVolume, results.path());
        ASSERT_TRUE(refused.answered());
        EXPECT_NE(refused.text().indexOf(results.path()), -1) << refused.text().toStdString();
        EXPECT_FALSE(window.playbackTimer()->isActive());
        EXPECT_TRUE(frameFiles(results.path()).isEmpty());
    }

    // An earlier run's results, its summary's monitor record and plots, and a file of the user's.
    const QString summary = results.path() + "_summary";
    writeTextFile(result("1.txt").toStdString(), "earlier");
    for (const char* name : {"monitors.csv", "monitor_2.png", "notes.txt"}) {
        writeTextFile((summary + "/" + name).toStdString(), "earlier");
    }
    holdOnceWritten(result("2.txt"));
    ModalDriver removeEarlier(clickButton("&Yes"), 15000, "QMessageBox");
    setUpRun(path("breach.txt"), runVolume, results.path());
    ASSERT_TRUE(removeEarlier.answered());
    ASSERT_TRUE(held());
    EXPECT_FALSE(QFile::exists(summary + "/monitors.csv"));
    EXPECT_FALSE(QFile::exists(summary + "/monitor_2.png"));
    EXPECT_TRUE(QFile::exists(summary + "/notes.txt"));
    EXPECT_NE(readTextFile(result("1.txt").toStdString()), "earlier");

    // The window holds the folder while its run goes, and lets go when the run stops.
    ResultFolderLock second;
    std::string problem;
    EXPECT_FALSE(second.lock(results.path().toStdString(), problem));
    trigger("&停止运算");
    EXPECT_TRUE(second.lock(results.path().toStdString(), problem)) << problem;
}

TEST_F(DebrisFlowRunTest, FramesThatCannotBeWrittenStopTheRunWithAMessage) {
    ModalDriver warning(clickButton("OK"), 30000, "QMessageBox");
    // /proc takes no new files, not even from root.
    setUpRun(path("breach.txt"), "8000", "/proc");
    ASSERT_TRUE(waitUntil([&] { return warning.answered(); }, 30000));
    EXPECT_TRUE(warning.text().contains("/proc/1.ive")) << warning.text().toStdString();
}

TEST_F(DebrisFlowRunTest, ReplayShowsTheLegendAndCaptionOfAFrameWhoseSurfaceDoesNotLoad) {
    writeTextFile(result("1.ive").toStdString(), "not a model");
    writeTextFile(result("1.txt").toStdString(), "3.5\n29.4\n2\n8");
    ModalDriver folder(chooseFile(results.path()));
    QMetaObject::invokeMethod(&window, "acceptStart", Q_ARG(int, 2));
    ASSERT_TRUE(folder.answered());
    window.playbackTimer()->stop();
    QMetaObject::invokeMethod(&window, "Visualize");
    EXPECT_TRUE(storedSurfaces().empty());
    osg::Group* root = window.sceneRoot();
    ASSERT_EQ(root->getNumChildren(), 2u);
    EXPECT_NE(dynamic_cast<osg::Projection*>(root->getChild(0)), nullptr);
    EXPECT_NE(root->getChild(1)->asCamera(), nullptr);
    // One frame of two files: the replay has ended.
    EXPECT_EQ(window.currentFrameIndex(), 2);
    runEventLoop(200);
    EXPECT_EQ(root->getNumChildren(), 2u);
}

TEST_F(DebrisFlowRunTest, ReplayOfAFolderThatDoesNotLieInTheOpenSceneIsRefused) {
    window.sceneRoot()->addChild(makeTerrainPatch(0, 0, 2000, 0).get());
    writeTextFile(result("1.txt").toStdString(), "3.5\n29.4\n2\n8");
    const struct {
        const char* what;
        double x0;  // west edge of the frame's surface
        bool plays;
    } cases[] = {{"another valley", 110000, false}, {"this valley", 500, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        window.playbackTimer()->stop();
        ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(c.x0, 500, 300, 5), result("1.ive").toStdString()));
        ModalDriver folder(chooseFile(results.path()));
        ModalDriver warning(clickButton("OK"), c.plays ? 1500 : 15000, "QMessageBox");
        QMetaObject::invokeMethod(&window, "acceptStart", Q_ARG(int, 2));
        ASSERT_TRUE(folder.answered());
        if (!c.plays) {
            ASSERT_TRUE(warning.answered());
            EXPECT_TRUE(warning.text().contains(results.path())) << warning.text().toStdString();
        } else {
            runEventLoop(1600);
            EXPECT_FALSE(warning.answered()) << warning.text().toStdString();
        }
        EXPECT_EQ(window.playback().drives(Beat::Replay) || window.playback().ended(Beat::Replay), c.plays);
    }
}

}  // namespace
