// Scene files: opening a model with its camera, saving the scene as a model/camera pair, and reading it
// back, through the File menu and its real dialogs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <osg/Camera>
#include <osgDB/ReadFile>
#include <osgDB/WriteFile>
#include <osgGA/TrackballManipulator>

#include "mainwindow.h"
#include "modaldriver.h"
#include "testfiles.h"
#include "testmodels.h"
#include "viewerqt.h"

namespace {

const osg::Vec3d savedEye(500, -900, 700);
const osg::Vec3d savedCenter(500, 500, 0);
const osg::Vec3d savedUp(0, 0, 1);

class SceneFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        showMainWindow(window);
        ASSERT_TRUE(waitUntil([this] { return window.isVisible(); }));
        writeValley();
    }

    // valley.ive (a patch) with valley_cam.osg (a camera looking at it).
    void writeValley() {
        ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(0, 0, 1000, 100), path("valley.ive")));
        osg::ref_ptr<osg::Camera> camera = new osg::Camera;
        camera->setViewMatrixAsLookAt(savedEye, savedCenter, savedUp);
        ASSERT_TRUE(osgDB::writeNodeFile(*camera, path("valley_cam.osg")));
    }

    std::string path(const std::string& name) const { return folder.path().toStdString() + "/" + name; }
    bool exists(const std::string& name) const { return QFile::exists(QString::fromStdString(path(name))); }

    void trigger(const QString& text) { triggerMenuAction(window, text); }

    void openThroughMenu(const std::string& name) {
        ModalDriver dialog(chooseFile(QString::fromStdString(path(name))));
        trigger("&Open");
        ASSERT_TRUE(dialog.answered());
        runEventLoop(100);
    }

    void saveAsThroughMenu(const std::string& name) {
        ModalDriver dialog(chooseFile(QString::fromStdString(path(name))));
        trigger("另存为...");
        ASSERT_TRUE(dialog.answered());
    }

    osg::Matrixd manipulatorView() { return window.view()->getCameraManipulator()->getInverseMatrix(); }

    static void expectSameView(const osg::Matrixd& a, const osg::Matrixd& b) {
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                // The camera file keeps the matrix as text with limited precision.
                EXPECT_NEAR(a(row, column), b(row, column), 1e-5 * std::max(1.0, std::abs(b(row, column))))
                    << row << "," << column;
            }
        }
    }

    QTemporaryDir folder;
    MainWindow window;
};

TEST_F(SceneFilesTest, OpenedModelReplacesTheSceneWithItsCameraAndTheSavedPairOpensAgain) {
    window.sceneRoot()->addChild(makeTerrainPatch(0, 0, 1, 0).get());
    window.sceneRoot()->addChild(makeTerrainPatch(5, 5, 1, 0).get());
    openThroughMenu("valley.ive");
    ASSERT_EQ(window.sceneRoot()->getNumChildren(), 1u);
    const osg::StateSet* state = window.sceneRoot()->getChild(0)->getStateSet();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->getMode(GL_LIGHTING), osg::StateAttribute::OFF | osg::StateAttribute::OVERRIDE);
    expectSameView(manipulatorView(), osg::Matrixd::lookAt(savedEye, savedCenter, savedUp));

    const osg::Vec3d eye(300, -200, 900), center(400, 400, 100), up(0, 0, 1);
    window.view()->getCameraManipulator()->setByInverseMatrix(osg::Matrixd::lookAt(eye, center, up));
    runEventLoop(100);
    saveAsThroughMenu("scene");
    ASSERT_TRUE(exists("scene.ive"));
    ASSERT_TRUE(exists("scene_cam.osg"));

    // The real OSG converter reads both files of the pair.
    for (const char* name : {"scene.ive", "scene_cam.osg"}) {
        const ProgramRun osgconv = runProgram(
            "osgconv", {QString::fromStdString(path(name)), QString::fromStdString(path(name) + ".osgt")},
            30000);
        EXPECT_EQ(osgconv.exitCode, 0) << name << ": " << osgconv.err;
    }
    EXPECT_NE(readTextFile(path("scene_cam.osg.osgt")).find("osg::Camera"), std::string::npos);

    // Move away, then open the pair: the saved view comes back.
    window.view()->getCameraManipulator()->setByInverseMatrix(
        osg::Matrixd::lookAt(osg::Vec3d(0, 0, 5000), osg::Vec3d(0, 0, 0), osg::Vec3d(0, 1, 0)));
    openThroughMenu("scene.ive");
    expectSameView(manipulatorView(), osg::Matrixd::lookAt(eye, center, up));
    ASSERT_EQ(window.sceneRoot()->getNumChildren(), 1u);
    osg::ref_ptr<osg::Node> reread = osgDB::readNodeFile(path("scene.ive"));
    ASSERT_TRUE(reread.valid());
    EXPECT_NE(reread->asGroup(), nullptr);
}

TEST_F(SceneFilesTest, SaveAfterOpenKeepsTheOpenedPair) {
    openThroughMenu("valley.ive");
    const osg::Vec3d eye(100, -300, 800), center(300, 300, 100), up(0, 0, 1);
    window.view()->getCameraManipulator()->setByInverseMatrix(osg::Matrixd::lookAt(eye, center, up));
    runEventLoop(100);
    trigger("&保存");
    EXPECT_FALSE(exists("valley.ive.ive"));
    EXPECT_FALSE(exists("valley.ive_cam.osg"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2);
    // The pair opens again with the view it was saved with.
    window.view()->getCameraManipulator()->setByInverseMatrix(
        osg::Matrixd::lookAt(osg::Vec3d(0, 0, 5000), osg::Vec3d(0, 0, 0), osg::Vec3d(0, 1, 0)));
    openThroughMenu("valley.ive");
    expectSameView(manipulatorView(), osg::Matrixd::lookAt(eye, center, up));
    EXPECT_FLOAT_EQ(window.sceneRoot()->getBound().center().z(), 100.0f);

    // A name typed with the extension names the same pair.
    saveAsThroughMenu("typed.ive");
    EXPECT_TRUE(exists("typed.ive"));
    EXPECT_TRUE(exists("typed_cam.osg"));
    EXPECT_FALSE(exists("typed.ive.ive"));
}

// Share of the view showing the grey terrain patch.
double terrainShare(MainWindow& window) {
    runEventLoop(300);
    const QImage frame = window.view()->grabFrameBuffer();
    int terrain = 0;
    int all = 0;
    for (int y = 0; y < frame.height(); y += 4) {
        for (int x = 0; x < frame.width(); x += 4) {
            const QColor pixel = frame.pixelColor(x, y);
            ++all;
            terrain += std::abs(pixel.red() - 115) < 12 && std::abs(pixel.blue() - 107) < 12;
        }
    }
    return static_cast<double>(terrain) / all;
}

// Degrees below the horizon of the view's line of sight.
double lookDownAngle(MainWindow& window) {
    osg::Vec3d eye, center, up;
    window.view()->getCamera()->getViewMatrixAsLookAt(eye, center, up, 1.0);
    const osg::Vec3d sight = center - eye;
    return osg::RadiansToDegrees(std::atan2(-sight.z(), std::hypot(sight.x(), sight.y())));
}

TEST_F(SceneFilesTest, ModelWithoutASavedViewAndTheHomeViewShowTheWholeTerrainFromAbove) {
    ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(2000, 5000, 3000, 400), path("plain.ive")));
    // Wherever the view was, far from the new model.
    lookDownAt(*window.view(), osg::Vec3d(-90000, 0, 0), 100);
    openThroughMenu("plain.ive");
    EXPECT_GT(terrainShare(window), 0.5);
    EXPECT_NEAR(lookDownAngle(window), 45.0, 5.0);

    // Turned to look along the ground, Space comes home to the same view.
    window.view()->getCameraManipulator()->setByInverseMatrix(
        osg::Matrixd::lookAt(osg::Vec3d(3500, 0, 400), osg::Vec3d(3500, 6000, 400), osg::Vec3d(0, 0, 1)));
    EXPECT_LT(terrainShare(window), 0.1);
    window.view()->setFocus();
    QTest::keyClick(window.view(), Qt::Key_Space);
    EXPECT_GT(terrainShare(window), 0.5);
    EXPECT_NEAR(lookDownAngle(window), 45.0, 5.0);

    // The scene model chosen in a form.
    lookDownAt(*window.view(), osg::Vec3d(-90000, 0, 0), 100);
    QMetaObject::invokeMethod(&window, "acceptScenePath", Q_ARG(std::string, path("plain.ive")));
    EXPECT_GT(terrainShare(window), 0.5);
    EXPECT_NEAR(lookDownAngle(window), 45.0, 5.0);
}

TEST_F(SceneFilesTest, CancelledSaveAsWritesNothing) {
    ModalDriver dialog(cancelDialog());
    trigger("另存为...");
    ASSERT_TRUE(dialog.answered());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(SceneFilesTest, SaveAsAsksBeforeReplacingTheFilesItWrites) {
    // The name typed is "valley": no file of that name exists, but valley.ive and valley_cam.osg do.
    window.sceneRoot()->addChild(makeTerrainPatch(0, 0, 50, 7).get());
    const std::string scene = readTextFile(path("valley.ive"));
    const std::string camera = readTextFile(path("valley_cam.osg"));
    for (const char* answer : {"&No", "&Yes"}) {
        SCOPED_TRACE(answer);
        ModalDriver dialog(chooseFile(QString::fromStdString(path("valley"))), 15000, "QFileDialog");
        ModalDriver question(clickButton(answer), 15000, "QMessageBox");
        trigger("另存为...");
        ASSERT_TRUE(dialog.answered());
        ASSERT_TRUE(question.answered());
        EXPECT_EQ(question.title(), "警告");
        EXPECT_TRUE(question.text().contains(QString::fromStdString(path("valley.ive"))))
            << question.text().toStdString();
        EXPECT_TRUE(question.text().contains(QString::fromStdString(path("valley_cam.osg"))))
            << question.text().toStdString();
        const bool replaced = QString(answer) == "&Yes";
        EXPECT_EQ(readTextFile(path("valley.ive")) != scene, replaced);
        EXPECT_EQ(readTextFile(path("valley_cam.osg")) != camera, replaced);
    }
    EXPECT_FLOAT_EQ(osg::ref_ptr<osg::Node>(osgDB::readNodeFile(path("valley.ive")))->getBound().center().z(),
                    7.0f);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
        << "no temporary file left";
}

TEST_F(SceneFilesTest, UnreadableModelLeavesTheScene) {
    writeTextFile(path("junk.ive"), "not a model");
    window.sceneRoot()->addChild(makeTerrainPatch(0, 0, 1, 0).get());
    openThroughMenu("junk.ive");
    EXPECT_EQ(window.sceneRoot()->getNumChildren(), 1u);
}

TEST_F(SceneFilesTest, SaveThatCannotBeWrittenIsReported) {
    // /proc accepts no new files, not even from root.
    ModalDriver dialog(chooseFile("/proc/vantorel-scene"), 15000, "QFileDialog");
    ModalDriver warning(clickButton("OK"), 15000, "QMessageBox");
    trigger("另存为...");
    ASSERT_TRUE(dialog.answered());
    EXPECT_TRUE(warning.answered());
    EXPECT_EQ(warning.title(), "Application");
}

TEST_F(SceneFilesTest, PreviousAndNextViewStepThroughRecordedViews) {
    openThroughMenu("valley.ive");
    QWidget* view = window.view();
    const osg::Vec3d eyes[] = {{0, -1000, 800}, {800, -1000, 800}, {1600, -1000, 800}};
    std::vector<osg::Matrixd> seen;
    for (const osg::Vec3d& eye : eyes) {
        window.view()->getCameraManipulator()->setByInverseMatrix(
            osg::Matrixd::lookAt(eye, osg::Vec3d(500, 500, 100), osg::Vec3d(0, 0, 1)));
        runEventLoop(60);
        QTest::mouseClick(view, Qt::RightButton, Qt::NoModifier, QPoint(3, 3));
        runEventLoop(60);
        seen.push_back(window.view()->getCamera()->getViewMatrix());
    }
    trigger("&返回上一视图");
    runEventLoop(60);
    expectSameView(window.view()->getCamera()->getViewMatrix(), seen[1]);
    trigger("&跳至下一视图");
    runEventLoop(60);
    expectSameView(window.view()->getCamera()->getViewMatrix(), seen[2]);
}

}  // namespace
