// A flood from the user's side: set it up in the form, watch the live run write its results, then replay
// the folder with the roam controls. Real window, real form, real dialogs, real engine.
#include <gtest/gtest.h>

#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <osg/Depth>
#include <osgDB/ReadFile>
#include <osgDB/WriteFile>

#include "floodform.h"
#include "floodtestdata.h"
#include "mainwindow.h"
#include "modaldriver.h"
#include "syntheticvalley.h"
#include "testfiles.h"
#include "testmodels.h"
#include "testshapefiles.h"
#include "viewerqt.h"

namespace {

const ValleyShape valley{40, 40, 10.0f, 0.05f, 0.01f};

class FloodRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(inputs.isValid() && results.isValid());
        files = writeValley(inputs.path().toStdString(), valley, {{18, 37}, {19, 37}, {20, 37}});
        // Monitor points on the valley floor downstream of the breach.
        writeVectorFile(
            path("monitors.shp"), wkbPoint25D,
            {{wkbPoint25D, {{195, 300, 100}}, "upper"}, {wkbPoint25D, {{195, 150, 100}}, "lower"}});
        // The terrain model of the same grid, with vertices where the water mesh puts its own.
        ValleyGrid grid;
        grid.cols = valley.ncols;
        grid.rows = valley.nrows;
        grid.cellSize = valley.cellsize;
        grid.heights = valleyGround(valley);
        ASSERT_TRUE(osgDB::writeNodeFile(*buildTerrainMesh(grid), path("terrain.ive")));

        showMainWindow(window);
        ASSERT_TRUE(waitUntil([this] { return window.isVisible(); }));
    }
    // The summary folder lies beside the temporary result folder.
    void TearDown() override { QDir(summaryFolder()).removeRecursively(); }
    QString summaryFolder() const { return results.path() + "_summary"; }

    std::string path(const std::string& name) const { return inputs.path().toStdString() + "/" + name; }
    QString result(const QString& name) const { return results.path() + "/" + name; }

    void trigger(const QString& text) { triggerMenuAction(window, text); }

    // This window's form: the one its menu shows (forms of earlier tests' windows stay hidden).
    FloodForm* form() {
        if (!shownForm) {
            shownForm = visibleTopLevel<FloodForm>();
        }
        return shownForm;
    }

    void press(const char* button) {
        QTest::mouseClick(form()->findChild<QPushButton*>(button), Qt::LeftButton);
    }

    // Presses a form button that opens a file dialog and answers it with `file`.
    void chooseInForm(const char* button, const std::string& file) {
        ASSERT_TRUE(pressAndChoose(form()->findChild<QPushButton*>(button), QString::fromStdString(file)))
            << button;
    }
    void chooseInputs() {
        chooseInForm("pushButton_6", files[0]);
        chooseInForm("pushButton_7", files[1]);
        chooseInForm("pushButton_8", files[2]);
    }

    void startLiveRun() {
        trigger("洪水");
        ASSERT_NE(form(), nullptr);
        ASSERT_TRUE(form()->isVisible());
        EXPECT_EQ(form()->windowTitle(), "Parameter Setting");
        // Fixed by the menu, not the form's own 496 x 467.
        EXPECT_EQ(form()->size(), QSize(496, 436));
        chooseInForm("pushButton_5", path("terrain.ive"));
        chooseInputs();
        chooseInForm("pushButton_9", path("monitors.shp"));
        // A small breach that the test valley holds.
        form()->findChild<QLineEdit*>("lineEdit")->setText("200000");
        form()->findChild<QDoubleSpinBox*>("doubleSpinBox")->setValue(10);
        form()->findChild<QDoubleSpinBox*>("doubleSpinBox_2")->setValue(5);
        form()->findChild<QLineEdit*>("lineEdit_3")->setText("2");

        ModalDriver folder(chooseFile(results.path()));
        press("pushButton_3");
        ASSERT_TRUE(folder.answered());
        EXPECT_FALSE(form()->isVisible());
    }

    QTemporaryDir inputs;
    QTemporaryDir results;
    std::vector<std::string> files;
    MainWindow window;
    FloodForm* shownForm = nullptr;
};

TEST_F(FloodRunTest, LiveRunDrawsWaterAndWritesNumberedResultsThatReplay) {
    startLiveRun();
    ASSERT_TRUE(waitUntil([this] { return QFile::exists(result("30.txt")); }, 60000));
    lookDownAt(*window.view(), osg::Vec3d(200, 200, 100), 900);
    runEventLoop(400);
    const QImage frame = window.view()->grabFrameBuffer();
    trigger("&停止运算");
    runEventLoop(100);
    const int written = QDir(results.path()).entryList({"*.txt"}, QDir::Files).size();
    runEventLoop(300);
    EXPECT_EQ(QDir(results.path()).entryList({"*.txt"}, QDir::Files).size(), written) << "the run goes on";

    // The stop leaves a summary beside the folder that covers every result the run wrote.
    EXPECT_EQ(QDir(summaryFolder()).entryList(QDir::Files, QDir::Name),
              QStringList({"arrivalTime.tif", "maxDepth.tif", "maxSpeed.tif", "monitors.csv", "volume.csv"}));
    const QStringList volumeRows =
        QString::fromStdString(readTextFile((summaryFolder() + "/volume.csv").toStdString()))
            .split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(volumeRows.size(), written + 1);
    // Both monitor points at every result.
    EXPECT_EQ(QString::fromStdString(readTextFile((summaryFolder() + "/monitors.csv").toStdString()))
                  .split('\n', Qt::SkipEmptyParts)
                  .size(),
              2 * written + 1);
    EXPECT_TRUE(volumeRows.last().startsWith(QString::number(written) + ","))
        << volumeRows.last().toStdString();

    // Every result number has its water model, display state and monitor values.
    for (const char* name : {"1.ive", "1.txt", "1.json", "30.ive", "30.json"}) {
        EXPECT_TRUE(QFile::exists(result(name))) << name;
    }
    QFile state(result("30.txt"));
    ASSERT_TRUE(state.open(QFile::ReadOnly));
    const QStringList lines = QString(state.readAll()).split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_FLOAT_EQ(lines[0].toFloat(), 30 * 5 * 2 * 0.1f);  // five steps of twice dt per result
    EXPECT_EQ(lines[2], "200000");
    EXPECT_EQ(lines[3], "0");
    EXPECT_EQ(lines[4], "2");

    const ProgramRun osgconv = runProgram("osgconv", {result("30.ive"), result("check.osgt")});
    EXPECT_EQ(osgconv.exitCode, 0) << osgconv.err;

    // Water colours over the terrain, and the grey box of the heads-up display in the upper right.
    int waterPixels = 0;
    for (int y = 0; y < frame.height(); y += 2) {
        for (int x = 0; x < frame.width(); x += 2) {
            const QColor pixel = frame.pixelColor(x, y);
            waterPixels += pixel.red() > 225 && pixel.blue() < 170 && pixel.red() - pixel.blue() > 70;
        }
    }
    EXPECT_GT(waterPixels, 50);
    const QColor hudBox =
        frame.pixelColor(static_cast<int>(frame.width() * 0.99), static_cast<int>(frame.height() * 0.015));
    EXPECT_NEAR(hudBox.red(), 230, 12);
    EXPECT_NEAR(hudBox.green(), hudBox.red(), 4);
    EXPECT_NEAR(hudBox.blue(), hudBox.red(), 4);

    // Replay the folder through the form's "simulation".
    trigger("洪水");
    ModalDriver folder(chooseFile(results.path()));
    press("pushButton_4");
    ASSERT_TRUE(folder.answered());
    window.playbackTimer()->stop();
    EXPECT_EQ(window.availableFrameCount(), QDir(results.path()).entryList(QDir::Files).size());

    std::vector<int> shown;
    auto tick = [&] {
        shown.push_back(window.currentFrameIndex());
        QMetaObject::invokeMethod(&window, "Visualize");
    };
    tick();
    tick();
    // The frame on screen is the stored water of frame 6, drawn over the terrain.
    osg::ref_ptr<osg::Node> stored = osgDB::readNodeFile(result("6.ive").toStdString());
    bool foundWater = false;
    for (unsigned i = 1; i < window.sceneRoot()->getNumChildren(); ++i) {
        osg::Node* child = window.sceneRoot()->getChild(i);
        const osg::StateSet* stateSet = child->getStateSet();
        if (stateSet && stateSet->getAttribute(osg::StateAttribute::DEPTH) && child->asGeode()) {
            foundWater = true;
            EXPECT_EQ(vertexCount(*child), vertexCount(*stored));
            EXPECT_EQ(stateSet->getBinNumber(), 10);
        }
    }
    EXPECT_TRUE(foundWater);
    trigger("&暂停演进");
    tick();
    trigger("&继续演进");
    trigger("&快速演进");
    tick();
    EXPECT_EQ(shown, (std::vector<int>{1, 6, 11, 11}));
    EXPECT_EQ(window.currentFrameIndex(), 21);

    // Played to its end, the replay stops by itself.
    window.playbackTimer()->start(0);
    ASSERT_TRUE(
        waitUntil([&] { return window.currentFrameIndex() * 3 > window.availableFrameCount(); }, 20000));
    const int last = window.currentFrameIndex();
    runEventLoop(300);
    EXPECT_EQ(window.currentFrameIndex(), last);
}

TEST_F(FloodRunTest, FormOpenedTwiceStartsOneReplay) {
    trigger("洪水");
    trigger("洪水");
    ModalDriver first(chooseFile(results.path()), 15000, "QFileDialog");
    press("pushButton_4");
    ASSERT_TRUE(first.answered());
    // A second connection would ask for the folder again right away.
    ModalDriver second(cancelDialog(), 1500, "QFileDialog");
    runEventLoop(1600);
    EXPECT_FALSE(second.answered());
}

TEST_F(FloodRunTest, InputsThatDoNotLoadStartNoRun) {
    writeTextFile(files[2], "3\n1 1\n");  // promises three outbreak cells, holds one
    trigger("洪水");
    chooseInputs();
    ModalDriver warning(clickButton("OK"), 15000, "QMessageBox");
    ModalDriver folder(chooseFile(results.path()), 3000, "QFileDialog");
    press("pushButton_3");
    ASSERT_TRUE(warning.answered());
    EXPECT_EQ(warning.title(), "Warning");
    runEventLoop(300);
    EXPECT_FALSE(folder.answered());
    EXPECT_FALSE(window.playbackTimer()->isActive());
    EXPECT_TRUE(QDir(results.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(FloodRunTest, ResultsThatCannotBeWrittenStopTheRunWithAMessage) {
    trigger("洪水");
    chooseInputs();
    // /proc takes no new files, not even from root.
    ModalDriver folder(chooseFile("/proc"), 15000, "QFileDialog");
    ModalDriver warning(clickButton("OK"), 15000, "QMessageBox");
    press("pushButton_3");
    ASSERT_TRUE(folder.answered());
    ASSERT_TRUE(waitUntil([&] { return warning.answered(); }, 15000));
    EXPECT_TRUE(warning.text().contains("/proc/1.ive"));
}

}  // namespace
