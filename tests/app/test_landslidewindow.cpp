// A landslide from the user's side: the seven inputs chosen in the form, the run drawn over the scene and
// written step by step, a second run, the inputs it refuses, and the hand-over of a replay.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <osg/Depth>
#include <osgDB/ReadFile>
#include <osgDB/WriteFile>

#include "landslideform.h"
#include "landslidetestdata.h"
#include "mainwindow.h"
#include "modaldriver.h"
#include "testfiles.h"
#include "testmodels.h"
#include "viewerqt.h"

namespace {

// Pixels of the slide path's red in the image.
int slideRedPixels(const QImage& frame) {
    int count = 0;
    for (int y = 0; y < frame.height(); y += 2) {
        for (int x = 0; x < frame.width(); x += 2) {
            const QColor pixel = frame.pixelColor(x, y);
            count += pixel.red() > 160 && pixel.green() < 90 && pixel.blue() < 90;
        }
    }
    return count;
}

class LandslideWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(inputs.isValid() && results.isValid());
        scene = writeSlideScene(inputs.path().toStdString(), design);
        // A grey ground below the whole slope.
        ASSERT_TRUE(
            osgDB::writeNodeFile(*makeTerrainPatch(design.originX - 200, design.originY - 800, 1800, 1000),
                                 inputs.path().toStdString() + "/terrain.ive"));
        showMainWindow(window);
        ASSERT_TRUE(waitUntil([this] { return window.isVisible(); }));
    }

    // This window's landslide form: the one its menu shows.
    LandslideForm* form() {
        if (!shownForm) {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* found = qobject_cast<LandslideForm*>(widget); found && found->isVisible()) {
                    shownForm = found;
                }
            }
        }
        return shownForm;
    }
    void press(const char* button) {
        QTest::mouseClick(form()->findChild<QPushButton*>(button), Qt::LeftButton);
    }
    void chooseInForm(const char* button, const std::string& file) {
        ModalDriver dialog(chooseFile(QString::fromStdString(file)), 15000, "QFileDialog");
        press(button);
        ASSERT_TRUE(dialog.answered()) << button;
    }
    void chooseInputs() {
        const LandslideInputs& in = scene.inputs;
        const std::pair<const char*, std::string> buttons[] = {
            {"pushButton_3", in.deposit},  {"pushButton_4", in.path},       {"pushButton_5", in.body},
            {"pushButton_6", in.image},    {"pushButton_7", in.centreline}, {"pushButton_8", in.mosaic},
            {"pushButton_11", in.postDem},
        };
        for (const auto& [button, file] : buttons) {
            chooseInForm(button, file);
        }
    }
    // Presses "开始计算" and answers the folder dialog with `folder`; the test ticks the run itself.
    void startRun(const QString& folder) {
        ModalDriver dialog(chooseFile(folder), 15000, "QFileDialog");
        press("pushButton");
        ASSERT_TRUE(dialog.answered());
        EXPECT_EQ(dialog.title(), "选择计算结果保存文件夹");
        window.playbackTimer()->stop();
    }
    void tick(int times) {
        for (int i = 0; i < times; ++i) {
            QMetaObject::invokeMethod(&window, "landslideVisualize");
        }
    }
    QStringList resultFiles(const QString& folder) const { return QDir(folder).entryList(QDir::Files); }

    QImage frame() {
        lookDownAt(*window.view(), osg::Vec3d(design.originX + 700, design.originY - 200, 1300), 2600);
        runEventLoop(400);
        return window.view()->grabFrameBuffer();
    }

    QTemporaryDir inputs;
    QTemporaryDir results;
    SlideDesign design;
    SlideScene scene;
    MainWindow window;
    LandslideForm* shownForm = nullptr;
};

TEST_F(LandslideWindowTest, RunDrawsTheSlideFromTheImageWritesEveryStepAndRunsAgain) {
    triggerMenuAction(window, "&滑坡");
    ASSERT_NE(form(), nullptr);
    EXPECT_EQ(form()->windowTitle(), "滑坡演进模拟参数设置");
    EXPECT_EQ(form()->size(), QSize(384, 380));
    chooseInForm("pushButton_9", inputs.path().toStdString() + "/terrain.ive");
    EXPECT_EQ(window.sceneRoot()->getNumChildren(), 1u);
    chooseInputs();
    const QImage before = frame();

    startRun(results.path());
    EXPECT_FALSE(form()->isVisible());
    tick(40);
    EXPECT_EQ(resultFiles(results.path()).size(), 40);
    // The terrain and the slide of step 40, which holds the whole trail.
    ASSERT_EQ(window.sceneRoot()->getNumChildren(), 2u);
    osg::ref_ptr<osg::Node> step40 = osgDB::readNodeFile(results.filePath("40.ive").toStdString());
    ASSERT_TRUE(step40);
    EXPECT_EQ(vertexCount(*window.sceneRoot()->getChild(1)), vertexCount(*step40));
    const QImage during = frame();
    EXPECT_LT(slideRedPixels(before), 20);
    EXPECT_GT(slideRedPixels(during), 300) << "the slide in the image's red";

    // Played on to its end by the timer, the run writes the final state and lets go of the timer.
    window.playbackTimer()->start(0);
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(results.filePath("101.ive")); }, 60000));
    runEventLoop(300);
    EXPECT_EQ(resultFiles(results.path()).size(), 101);
    ASSERT_EQ(window.sceneRoot()->getNumChildren(), 2u);
    osg::ref_ptr<osg::Node> last = osgDB::readNodeFile(results.filePath("101.ive").toStdString());
    ASSERT_TRUE(last);
    EXPECT_EQ(vertexCount(*window.sceneRoot()->getChild(1)), vertexCount(*last));

    // The same files from the batch command.
    QTemporaryDir batchFolder;
    const LandslideInputs& in = scene.inputs;
    const ProgramRun batch =
        runProgram(QString::fromStdString(runtimeDir() + "/vantorel-batch"),
                   {"landslide", "--deposit", QString::fromStdString(in.deposit), "--path",
                    QString::fromStdString(in.path), "--body", QString::fromStdString(in.body), "--image",
                    QString::fromStdString(in.image), "--centreline", QString::fromStdString(in.centreline),
                    "--mosaic", QString::fromStdString(in.mosaic), "--post-dem",
                    QString::fromStdString(in.postDem), "--out", batchFolder.path()});
    ASSERT_EQ(batch.exitCode, 0) << batch.out << batch.err;
    for (int n = 1; n <= 101; ++n) {
        const QString name = QString::number(n) + ".ive";
        ASSERT_EQ(readTextFile(results.filePath(name).toStdString()),
                  readTextFile(batchFolder.filePath(name).toStdString()))
            << name.toStdString();
    }

    // A second run, in another format: it computes and draws again, in place of the first run's mesh.
    QTemporaryDir second;
    triggerMenuAction(window, "&滑坡");
    form()->findChild<QComboBox*>("comboBox")->setCurrentText(".tif");
    startRun(second.path());
    tick(1);
    EXPECT_EQ(resultFiles(second.path()), QStringList{"1.tif"});
    ASSERT_EQ(window.sceneRoot()->getNumChildren(), 2u);
    EXPECT_LT(vertexCount(*window.sceneRoot()->getChild(1)), vertexCount(*step40));
    tick(100);
    EXPECT_EQ(resultFiles(second.path()).size(), 101);
    EXPECT_EQ(readTestRaster(second.filePath("101.tif").toStdString()), scene.postDem);
}

TEST_F(LandslideWindowTest, RefusedInputsAndACancelledFolderStartNothing) {
    // A request whose output format is none of the run's: refused with the format named, and no folder
    // is asked for.
    {
        LandslideRunRequest request;
        request.format = ".obj";
        ModalDriver warning(clickButton("OK"), 15000, "QMessageBox");
        ModalDriver folder(cancelDialog(), 2000, "QFileDialog");
        QMetaObject::invokeMethod(&window, "acceptLandSlideSignals", Q_ARG(LandslideRunRequest, request));
        ASSERT_TRUE(warning.answered());
        EXPECT_NE(warning.text().indexOf(".obj"), -1) << warning.text().toStdString();
        runEventLoop(2100);
        EXPECT_FALSE(folder.answered());
        EXPECT_FALSE(window.playback().computing());
    }

    triggerMenuAction(window, "&滑坡");
    chooseInputs();
    // A centreline that is no raster: refused with its name, before any folder is asked for.
    form()->findChild<QLineEdit*>("lineEdit_5")->setText(inputs.path() + "/missing line.tif");
    {
        ModalDriver warning(clickButton("OK"), 15000, "QMessageBox");
        ModalDriver folder(chooseFile(results.path()), 2000, "QFileDialog");
        press("pushButton");
        ASSERT_TRUE(warning.answered());
        EXPECT_EQ(warning.title(), "Warning");
        EXPECT_TRUE(warning.text().contains("中心线")) << warning.text().toStdString();
        EXPECT_TRUE(warning.text().contains("missing line.tif")) << warning.text().toStdString();
        runEventLoop(300);
        EXPECT_FALSE(folder.answered());
    }
    EXPECT_FALSE(window.playbackTimer()->isActive());

    // Good inputs, but no folder chosen.
    triggerMenuAction(window, "&滑坡");
    form()->findChild<QLineEdit*>("lineEdit_5")->setText(QString::fromStdString(scene.inputs.centreline));
    ModalDriver cancel(cancelDialog(), 15000, "QFileDialog");
    press("pushButton");
    ASSERT_TRUE(cancel.answered());
    runEventLoop(300);
    EXPECT_FALSE(window.playbackTimer()->isActive());
    EXPECT_TRUE(resultFiles(results.path()).isEmpty());
    EXPECT_EQ(window.sceneRoot()->getNumChildren(), 0u);
}

TEST_F(LandslideWindowTest, EvolutionAsksForAResultFolderToReplay) {
    triggerMenuAction(window, "&滑坡");
    ModalDriver dialog(chooseFile(results.path()), 15000, "QFileDialog");
    press("pushButton_2");
    ASSERT_TRUE(dialog.answered());
    EXPECT_EQ(dialog.title(), "选择文件");
    EXPECT_EQ(window.currentSimulationMode(), EvolutionMode::Landslide);
    EXPECT_EQ(window.currentFrameIndex(), 1);
    // An empty folder has nothing to show.
    runEventLoop(300);
    EXPECT_EQ(window.sceneRoot()->getNumChildren(), 0u);
    EXPECT_EQ(window.currentFrameIndex(), 1);
}

TEST_F(LandslideWindowTest, AFramePipeIsLeftOutWithAMessageInsteadOfHoldingTheWindow) {
    ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(0, 0, 100, 10), results.filePath("1.ive").toStdString()));
    const std::string pipe = results.filePath("2.ive").toStdString();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    triggerMenuAction(window, "&滑坡");
    {
        ModalDriver dialog(chooseFile(results.path()), 15000, "QFileDialog");
        press("pushButton_2");
        ASSERT_TRUE(dialog.answered());
    }
    window.playbackTimer()->stop();
    ASSERT_EQ(window.availableFrameCount(), 2);
    QMetaObject::invokeMethod(&window, "Visualize");
    const unsigned drawn = window.view()->getFrameStamp()->getFrameNumber();
    ASSERT_TRUE(waitUntil([&] { return window.view()->getFrameStamp()->getFrameNumber() > drawn; }));
    testing::internal::CaptureStderr();
    QMetaObject::invokeMethod(&window, "Visualize");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(window.currentFrameIndex(), 3);
    EXPECT_NE(said.find(pipe), std::string::npos) << said;
    EXPECT_FALSE(window.playbackTimer()->isActive());
}

TEST_F(LandslideWindowTest, ReplayShowsEveryStoredFrameOnceAndHoldsTheLast) {
    // Frames 1 to 5, each a patch at ten times its number in metres; frame 3 goes missing.
    for (int n = 1; n <= 5; ++n) {
        ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(0, 0, 100, 10.0 * n),
                                         results.filePath(QString("%1.ive").arg(n)).toStdString()));
    }
    triggerMenuAction(window, "&滑坡");
    {
        ModalDriver dialog(chooseFile(results.path()), 15000, "QFileDialog");
        press("pushButton_2");
        ASSERT_TRUE(dialog.answered());
    }
    window.playbackTimer()->stop();
    ASSERT_EQ(window.availableFrameCount(), 5);
    QFile::remove(results.filePath("3.ive"));

    osg::Group* root = window.sceneRoot();
    auto shown = [root]() -> osg::Node* {
        osg::Group* frames =
            root->getNumChildren() ? root->getChild(root->getNumChildren() - 1)->asGroup() : nullptr;
        return frames && frames->getNumChildren() == 1 ? frames->getChild(0) : nullptr;
    };
    auto waitForTheView = [this] {
        const unsigned drawn = window.view()->getFrameStamp()->getFrameNumber();
        ASSERT_TRUE(waitUntil([&] { return window.view()->getFrameStamp()->getFrameNumber() > drawn; }));
    };
    for (int n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        QMetaObject::invokeMethod(&window, "Visualize");
        EXPECT_EQ(window.currentFrameIndex(), n + 1);
        ASSERT_EQ(root->getNumChildren(), 1u) << "one group for the frame on screen";
        if (n == 3) {
            EXPECT_EQ(shown(), nullptr) << "a missing frame shows nothing";
        } else {
            ASSERT_NE(shown(), nullptr);
            EXPECT_FLOAT_EQ(shown()->getBound().center().z(), 10.0f * n);
        }
        if (n != 3) {
            // Not before the view has drawn this frame.
            QMetaObject::invokeMethod(&window, "Visualize");
            EXPECT_EQ(window.currentFrameIndex(), n + 1);
            waitForTheView();
        }
    }
    // The last frame stays in front of the terrain, and the replay lets go of the timer.
    osg::Node* last = shown();
    ASSERT_NE(last, nullptr);
    ASSERT_NE(last->getStateSet(), nullptr);
    EXPECT_EQ(last->getStateSet()->getBinNumber(), 1);
    const auto* depth =
        dynamic_cast<const osg::Depth*>(last->getStateSet()->getAttribute(osg::StateAttribute::DEPTH));
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->getFunction(), osg::Depth::ALWAYS);
    window.playbackTimer()->start(0);
    runEventLoop(300);
    EXPECT_EQ(window.currentFrameIndex(), 6);
    EXPECT_EQ(shown(), last);

    // Restarted, paused and continued: a replay of results goes on where it was held.
    triggerMenuAction(window, "&重新演进");
    EXPECT_EQ(window.currentFrameIndex(), 1);
    triggerMenuAction(window, "&暂停演进");
    EXPECT_FALSE(window.playbackTimer()->isActive());
    const int held = window.currentFrameIndex();
    runEventLoop(300);
    EXPECT_EQ(window.currentFrameIndex(), held);
    triggerMenuAction(window, "&继续演进");
    EXPECT_TRUE(window.playbackTimer()->isActive());
    ASSERT_TRUE(waitUntil([this] { return window.currentFrameIndex() == 6; }, 15000));
}

}  // namespace
