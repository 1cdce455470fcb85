// A flood from the user's side: set it up in the form, watch the live run write its results, then replay
// the folder with the roam controls. Real window, real form, real dialogs, real engine.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <csignal>
#include <functional>
#include <osg/Depth>
#include <osgDB/ReadFile>
#include <osgDB/WriteFile>

#include "cafloodnew.h"
#include "floodend.h"
#include "resultfiles.h"
#include "floodform.h"
#include "floodhud.h"
#include "floodoverlaychecks.h"
#include "floodrun.h"
#include "floodtestdata.h"
#include "floodtick.h"
#include "mainwindow.h"
#include "modaldriver.h"
#include "monitorcharts.h"
#include "monitorpoints.h"
#include "stopsignals.h"
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
        // A village at the breach and one off the grid, for the exposure table.
        writeVectorFile(
            path("villages.shp"), wkbPolygon,
            {{wkbPolygon, {{150, 330, 0}, {240, 330, 0}, {240, 400, 0}, {150, 400, 0}}, "breach village"},
             {wkbPolygon, {{-500, 150, 0}, {-400, 150, 0}, {-400, 250, 0}}, "far village"}});
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

    // Sets up the flood in the form and presses "calculate", choosing `into` (the results folder by
    // default) as the output folder.
    // With `runHours` above 0, the run length and the result interval are set as well.
    void startLiveRun(const QString& into = QString(), const char* capacity = "200000", double runHours = 0,
                      double resultEverySeconds = 0) {
        trigger("洪水");
        ASSERT_NE(form(), nullptr);
        ASSERT_TRUE(form()->isVisible());
        EXPECT_EQ(form()->windowTitle(), "Parameter Setting");
        // Fixed by the menu.
        EXPECT_EQ(form()->size(), QSize(496, 535));
        EXPECT_EQ(form()->minimumSize(), form()->maximumSize());
        chooseInForm("pushButton_5", path("terrain.ive"));
        chooseInputs();
        chooseInForm("pushButton_9", path("monitors.shp"));
        chooseInForm("pushButton_10", path("villages.shp"));
        // A small breach that the test valley holds.
        form()->findChild<QLineEdit*>("lineEdit")->setText(capacity);
        form()->findChild<QDoubleSpinBox*>("doubleSpinBox")->setValue(10);
        form()->findChild<QDoubleSpinBox*>("doubleSpinBox_2")->setValue(5);
        form()->findChild<QLineEdit*>("lineEdit_3")->setText("2");
        if (runHours > 0) {
            form()->findChild<QDoubleSpinBox*>("doubleSpinBox_3")->setValue(runHours);
            form()->findChild<QDoubleSpinBox*>("doubleSpinBox_4")->setValue(resultEverySeconds);
        }

        ModalDriver folder(chooseFile(into.isEmpty() ? results.path() : into), 15000, "QFileDialog");
        press("pushButton_3");
        ASSERT_TRUE(folder.answered());
        EXPECT_FALSE(form()->isVisible());
    }

    // The result files in a folder.
    static QStringList resultFiles(const QString& folder) {
        QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }

    // A result folder of `count` results written without the window, as a finished run leaves it.
    void writeStoredRun(int count) {
        CAFlood engine;
        ASSERT_EQ(startFloodRun(engine, files, smallBreach(200000)), FloodRunStart::Ready);
        FloodHud hud;
        MonitorPoints points;
        ASSERT_TRUE(points.load(path("monitors.shp")));
        FloodTickSettings settings;
        settings.capacity = 200000;
        settings.printDiagnostics = false;
        for (int n = 1; n <= count; ++n) {
            osg::ref_ptr<osg::Geode> water = advanceFloodTick(engine, hud, points, settings);
            std::string failed;
            ASSERT_TRUE(writeFloodResult(results.path().toStdString(), n, ".ive", *water, engine, hud, points,
                                         failed, false))
                << failed;
        }
    }

    // The form's "simulation" on the result folder.
    void replayResults() {
        trigger("洪水");
        ModalDriver folder(chooseFile(results.path()));
        press("pushButton_4");
        ASSERT_TRUE(folder.answered());
    }

    unsigned sceneNodes() const { return window.sceneRoot()->getNumChildren(); }

    // Heads-up displays and captions on screen: two per run or replay frame.
    int overlayCameras() const {
        int cameras = 0;
        for (unsigned i = 0; i < sceneNodes(); ++i) {
            cameras += window.sceneRoot()->getChild(i)->asCamera() != nullptr;
        }
        return cameras;
    }

    // Waits for the replay to pass `frame` and checks that it shows one frame over the scene's own nodes.
    void expectReplayingOver(unsigned sceneOwnNodes, int frame) {
        ASSERT_TRUE(waitUntil([&] { return window.currentFrameIndex() > frame; }, 20000));
        // Water, clock, caption, legend and monitor points of one frame.
        EXPECT_EQ(sceneNodes(), sceneOwnNodes + 5);
        EXPECT_EQ(overlayCameras(), 2);
    }

    // The replay stays where it is (held or stopped): no frame advances and no node comes or goes.
    void expectStill(unsigned nodes) {
        const int frame = window.currentFrameIndex();
        runEventLoop(600);
        EXPECT_EQ(window.currentFrameIndex(), frame);
        EXPECT_EQ(sceneNodes(), nodes);
    }

    QTemporaryDir inputs;
    QTemporaryDir results;
    // The summary folder lies beside the temporary result folder.
    RemovedFolder resultSummary{summaryFolder()};
    std::vector<std::string> files;
    MainWindow window;
    FloodForm* shownForm = nullptr;
};

int resultCount(const QString& folder) {
    return QDir(folder).entryList({"*.txt"}, QDir::Files).size();
}

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
              QStringList({"arrivalTime.tif", "exposure.csv", "floodlines.gpkg", "hazard.tif",
                           "hazard.tif.aux.xml", "maxDepth.tif", "maxDepthVelocity.tif", "maxSpeed.tif",
                           "monitor_1.png", "monitor_2.png", "monitors.csv", "report.html", "volume.csv"}));
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
    // The places of the form, and the run's inputs and breach in the report, as the headless run lists them.
    const std::string exposure = readTextFile((summaryFolder() + "/exposure.csv").toStdString());
    EXPECT_NE(exposure.find("\nbreach village,reached,"), std::string::npos) << exposure;
    EXPECT_NE(exposure.find("\nfar village,off the grid,"), std::string::npos) << exposure;
    const std::string report = readTextFile((summaryFolder() + "/report.html").toStdString());
    for (const std::string& listed : {files[0], files[1], path("villages.shp"),
                                      std::string("total breach, released volume 200000 m^3")}) {
        EXPECT_NE(report.find(listed), std::string::npos) << listed;
    }
    // The monitor dock, opened after the run, holds both points' record of every result.
    auto* dock = window.findChild<MonitorDock*>("monitorDock");
    ASSERT_NE(dock, nullptr);
    trigger("Monitor Points");
    ASSERT_TRUE(dock->isVisible());
    // Its button opens the report of the run.
    EXPECT_EQ(dock->reportPath(), summaryFolder() + "/report.html");
    EXPECT_TRUE(dock->findChild<QPushButton*>("openReportButton")->isEnabled());
    const QList<QtCharts::QChartView*> charts = dock->findChildren<QtCharts::QChartView*>();
    ASSERT_EQ(charts.size(), 2);
    for (QtCharts::QChartView* chart : charts) {
        EXPECT_EQ(static_cast<QtCharts::QLineSeries*>(chart->chart()->series().front())->count(), written);
    }

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
    EXPECT_NEAR(hudBox.red(), 217, 12);
    EXPECT_NEAR(hudBox.green(), hudBox.red(), 4);
    EXPECT_NEAR(hudBox.blue(), hudBox.red(), 4);
    expectReadableOverlays(frame);

    // Replay the folder through the form's "simulation".
    trigger("洪水");
    ModalDriver folder(chooseFile(results.path()));
    press("pushButton_4");
    ASSERT_TRUE(folder.answered());
    window.playbackTimer()->stop();
    // The frames of the folder, not its files.
    EXPECT_EQ(window.availableFrameCount(), QDir(results.path()).entryList({"*.txt"}, QDir::Files).size());

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
    ASSERT_TRUE(waitUntil([&] { return window.currentFrameIndex() > window.availableFrameCount(); }, 20000));
    const int last = window.currentFrameIndex();
    runEventLoop(300);
    EXPECT_EQ(window.currentFrameIndex(), last);
}

TEST_F(FloodRunTest, ReplayFilmsIntoAnMp4OfEveryResultInTheWindowAndWithout) {
    writeStoredRun(7);
    window.acceptScenePath(path("terrain.ive"));
    replayResults();
    trigger("&暂停演进");
    const int paused = window.currentFrameIndex();

    const QString film = QString::fromStdString(path("flood.mp4"));
    ModalDriver size(
        [](QWidget* dialog) {
            auto* choice = static_cast<QInputDialog*>(dialog);
            choice->setTextValue(choice->comboBoxItems().value(1));
            choice->accept();
        },
        15000, "QInputDialog");
    ModalDriver save(chooseFile(film), 15000, "QFileDialog");
    trigger("Export video…");
    ASSERT_TRUE(size.answered());
    ASSERT_TRUE(save.answered());
    EXPECT_EQ(probeVideo(film), "h264,1280,720,7");
    // The replay stays where it was.
    EXPECT_EQ(window.currentFrameIndex(), paused);
    EXPECT_FALSE(window.isPlaying());

    // Each frame carries the grey box of the clock in the upper right, as the view does.
    const QString still = QString::fromStdString(path("still.png"));
    ASSERT_EQ(runProgram("ffmpeg", {"-v", "error", "-i", film, "-frames:v", "1", still}).exitCode, 0);
    const QColor hudBox = QImage(still).pixelColor(1270, 10);
    EXPECT_NEAR(hudBox.red(), 217, 15);
    EXPECT_NEAR(hudBox.blue(), hudBox.red(), 8);
    // Laid out in the film's pixels as in the view's: the clock's lines, the legend and its caption.
    expectReadableOverlays(QImage(still));

    // The same without a window, at a size of one's own.
    const QString headless = QString::fromStdString(path("headless.mp4"));
    const ProgramRun run = runProgram(
        VANTOREL_RENDER_VIDEO,
        {results.path(), QString::fromStdString(path("terrain.ive")), headless, "--size", "320x240"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(probeVideo(headless), "h264,320,240,7");
    // A folder without results films nothing.
    const ProgramRun empty = runProgram(
        VANTOREL_RENDER_VIDEO,
        {QString::fromStdString(path("none")), QString::fromStdString(path("terrain.ive")), headless});
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_NE(empty.err.find(path("none")), std::string::npos) << empty.err;
}

TEST_F(FloodRunTest, ReplayTellsOnceWhichClockFileItCouldNotReadAndWhyAndGoesOn) {
    writeStoredRun(16);
    window.acceptScenePath(path("terrain.ive"));
    const std::string good = readTextFile(result("6.txt").toStdString());
    // Frames 6 and 11 are shown, five results per tick; both are spoilt alike.
    const struct {
        const char* what;
        std::function<void(const QString&)> spoil;
        const char* why;
    } cases[] = {
        {"missing", [](const QString& file) { QFile::remove(file); }, "No such file or directory"},
        {"a folder", [](const QString& file) { QFile::remove(file) && QDir().mkdir(file); }, "not a regular file"},
        {"no number", [](const QString& file) { writeTextFile(file.toStdString(), "soon\n1\n2\n0\n20"); },
         "line 1 \"soon\" is not a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* name : {"6.txt", "11.txt"}) {
            QDir(result(name)).removeRecursively();
            writeTextFile(result(name).toStdString(), good);
            c.spoil(result(name));
        }
        ModalDriver told(clickButton("OK"), 20000, "QMessageBox");
        replayResults();
        ASSERT_TRUE(waitUntil([&] { return told.answered(); }, 20000));
        EXPECT_EQ(told.title(), "Warning");
        EXPECT_TRUE(told.text().contains(result("6.txt") + '"') && told.text().contains(c.why))
            << told.text().toStdString();
        // Once a replay: frame 11 says nothing more, and the replay plays to its end.
        ModalDriver again(clickButton("OK"), 20000, "QMessageBox");
        ASSERT_TRUE(waitUntil([&] { return window.currentFrameIndex() > 16; }, 20000));
        EXPECT_FALSE(again.answered()) << again.text().toStdString();
    }

    // A film has no one to answer a message: it is made all the same, from a first frame spoilt too.
    QFile::remove(result("1.txt"));
    const QString film = QString::fromStdString(path("spoilt.mp4"));
    const ProgramRun run = runProgram(
        VANTOREL_RENDER_VIDEO, {results.path(), QString::fromStdString(path("terrain.ive")), film, "--size", "160x120"},
        60000);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(probeVideo(film), "h264,160,120,16");
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
    // The engine's own reason, naming the file, and not only that the inputs were refused.
    EXPECT_TRUE(warning.text().contains("announces 3 outbreak cells")) << warning.text().toStdString();
    EXPECT_TRUE(warning.text().contains(QString::fromStdString(files[2]))) << warning.text().toStdString();
    runEventLoop(300);
    EXPECT_FALSE(folder.answered());
    EXPECT_FALSE(window.playbackTimer()->isActive());
    EXPECT_TRUE(QDir(results.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(FloodRunTest, PlacesThatDoNotLoadStartNoRun) {
    writeTextFile(path("places.shp"), "not a shapefile");
    trigger("洪水");
    chooseInputs();
    chooseInForm("pushButton_10", path("places.shp"));
    ModalDriver warning(clickButton("OK"), 15000, "QMessageBox");
    ModalDriver folder(chooseFile(results.path()), 3000, "QFileDialog");
    press("pushButton_3");
    ASSERT_TRUE(warning.answered());
    EXPECT_TRUE(warning.text().contains(QString::fromStdString(path("places.shp"))))
        << warning.text().toStdString();
    runEventLoop(300);
    EXPECT_FALSE(folder.answered());
    EXPECT_FALSE(window.playbackTimer()->isActive());
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

TEST_F(FloodRunTest, CalculatingAgainWithoutStoppingNumbersTheNewRunFromOne) {
    startLiveRun();
    ASSERT_TRUE(waitUntil([this] { return QFile::exists(result("5.txt")); }, 60000));
    QTemporaryDir second;
    ASSERT_TRUE(second.isValid());
    const RemovedFolder secondSummary(second.path() + "_summary");
    startLiveRun(second.path());
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(second.filePath("3.txt")); }, 60000));
    trigger("&停止运算");
    for (const char* name : {"1.ive", "1.txt", "1.json", "2.ive", "3.ive"}) {
        EXPECT_TRUE(QFile::exists(second.filePath(name))) << name;
    }
    // Every result of the new run: from 1, without a gap, each complete.
    const QStringList states = QDir(second.path()).entryList({"*.txt"}, QDir::Files);
    for (int n = 1; n <= states.size(); ++n) {
        EXPECT_TRUE(states.contains(QString::number(n) + ".txt")) << n;
        EXPECT_TRUE(QFile::exists(second.filePath(QString::number(n) + ".ive"))) << n;
    }
}

TEST_F(FloodRunTest, FolderHoldingResultsIsUsedOnlyWhenTheUserAgreesToRemoveThem) {
    // Results of an earlier run in another format, and a file of the user's.
    for (const char* name : {"1.tif", "1.txt", "2.tif", "2.txt", "40.txt", "notes.txt"}) {
        writeTextFile(result(name).toStdString(), "earlier");
    }
    const QStringList before = resultFiles(results.path());
    {
        ModalDriver question(clickButton("&No"), 15000, "QMessageBox");
        startLiveRun();
        ASSERT_TRUE(question.answered());
        EXPECT_TRUE(question.text().contains("5 个计算结果文件")) << question.text().toStdString();
    }
    runEventLoop(300);
    EXPECT_FALSE(QFile::exists(result("1.ive")));
    EXPECT_EQ(resultFiles(results.path()), before);

    {
        ModalDriver question(clickButton("&Yes"), 15000, "QMessageBox");
        startLiveRun();
        ASSERT_TRUE(question.answered());
    }
    ASSERT_TRUE(waitUntil([this] { return QFile::exists(result("3.txt")); }, 60000));
    trigger("&停止运算");
    EXPECT_FALSE(QFile::exists(result("1.tif")));
    EXPECT_FALSE(QFile::exists(result("40.txt")));
    EXPECT_TRUE(QFile::exists(result("notes.txt")));
    EXPECT_NE(readTextFile(result("1.txt").toStdString()), "earlier");
}

TEST_F(FloodRunTest, StopSignalEndsTheRunAfterItsLastCompleteResultAndSaysWhere) {
    catchStopSignals();
    QSocketNotifier notifier(stopSignalDescriptor(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [this] {
        char byte = 0;
        while (::read(stopSignalDescriptor(), &byte, 1) > 0) {
        }
        window.stopForSignal(stopSignalName());
    });
    startLiveRun();
    ASSERT_TRUE(waitUntil([this] { return QFile::exists(result("4.txt")); }, 60000));
    testing::internal::CaptureStdout();
    ::raise(SIGTERM);
    const bool stopped = waitUntil(
        [this] {
            const int count = QDir(results.path()).entryList({"*.txt"}, QDir::Files).size();
            runEventLoop(200);
            return QDir(results.path()).entryList({"*.txt"}, QDir::Files).size() == count;
        },
        15000);
    const std::string said = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(stopped);
    const int last = QDir(results.path()).entryList({"*.txt"}, QDir::Files).size();
    EXPECT_NE(said.find("SIGTERM: the run stops after result " + std::to_string(last) + "; results 1 to " +
                        std::to_string(last) + " in " + results.path().toStdString() + " are complete"),
              std::string::npos)
        << said;
    // Only complete results, and nothing half-written.
    for (const QString& name : resultFiles(results.path())) {
        EXPECT_FALSE(name.startsWith('.')) << name.toStdString();
    }
    for (int n = 1; n <= last; ++n) {
        for (const char* extension : {".ive", ".json"}) {
            EXPECT_TRUE(QFile::exists(result(QString::number(n) + extension))) << n << extension;
        }
    }
}

TEST_F(FloodRunTest, PauseHoldsALiveRunAndStopTakesItsWaterBeforeTheReplay) {
    startLiveRun();
    ASSERT_TRUE(waitUntil([this] { return QFile::exists(result("5.txt")); }, 60000));
    // Terrain, then water, legend, clock and caption of the live tick.
    EXPECT_EQ(sceneNodes(), 5u);

    trigger("&暂停演进");
    const int held = resultCount(results.path());
    runEventLoop(1000);
    EXPECT_EQ(resultCount(results.path()), held) << "the paused run goes on writing";
    EXPECT_EQ(sceneNodes(), 5u);
    trigger("&继续演进");
    ASSERT_TRUE(waitUntil([&] { return resultCount(results.path()) > held + 2; }, 30000));

    trigger("&停止运算");
    EXPECT_EQ(sceneNodes(), 1u) << "the stopped run's water and clock stay drawn";
    const int written = resultCount(results.path());
    runEventLoop(300);
    EXPECT_EQ(resultCount(results.path()), written);

    // The replay of the same folder draws its own frame only: one clock, no live water under it.
    replayResults();
    expectReplayingOver(1, 6);
}

TEST_F(FloodRunTest, EveryReplayOwnsItsNodesAndStopPauseOpenAndClearActOnIt) {
    // Long enough that the replay is still going at every step below.
    writeStoredRun(400);
    trigger("洪水");
    chooseInForm("pushButton_5", path("terrain.ive"));
    // A layer of the user's own over the terrain belongs to the scene, not to a replay.
    ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(150, 150, 50, 120), path("layer.ive")));
    {
        ModalDriver load(chooseFile(QString::fromStdString(path("layer.ive"))));
        trigger("&Load");
        ASSERT_TRUE(load.answered());
    }
    ASSERT_EQ(sceneNodes(), 2u);

    replayResults();
    expectReplayingOver(2, 6);

    // Stop: the frame goes, the scene stays, nothing is drawn again.
    trigger("&停止演进");
    EXPECT_EQ(window.currentFrameIndex(), 1);
    EXPECT_EQ(sceneNodes(), 2u);
    expectStill(2);
    // Continue plays again from the first frame over the whole scene.
    trigger("&继续演进");
    expectReplayingOver(2, 6);

    // A new replay after a pause plays at once.
    trigger("&暂停演进");
    expectStill(7);
    replayResults();
    EXPECT_TRUE(window.isPlaying());
    expectReplayingOver(2, 6);
    // And after a stop.
    trigger("&停止演进");
    replayResults();
    expectReplayingOver(2, 6);

    // Opening another model ends the replay: nothing of it floats over the new terrain.
    ASSERT_TRUE(osgDB::writeNodeFile(*makeTerrainPatch(0, 0, 400, 80), path("other.ive")));
    {
        ModalDriver open(chooseFile(QString::fromStdString(path("other.ive"))));
        trigger("&Open");
        ASSERT_TRUE(open.answered());
    }
    EXPECT_EQ(sceneNodes(), 1u);
    expectStill(1);
    trigger("&继续演进");
    expectStill(1);

    // So does clearing the scene, also while the replay is paused.
    replayResults();
    ASSERT_TRUE(waitUntil([this] { return window.currentFrameIndex() > 6; }, 20000));
    trigger("&暂停演进");
    trigger("清除数据");
    EXPECT_EQ(sceneNodes(), 0u);
    trigger("&继续演进");
    expectStill(0);
}

// Every result up to `count` is whole: the water model reads back, the display state has its five lines
// and the monitor values parse.
void expectCompleteResults(const QString& folder, int count) {
    for (int n = 1; n <= count; ++n) {
        SCOPED_TRACE(n);
        const std::string base = (folder + "/" + QString::number(n)).toStdString();
        EXPECT_TRUE(osgDB::readRefNodeFile(base + ".ive").valid());
        EXPECT_EQ(QString::fromStdString(readTextFile(base + ".txt")).split('\n').size(), 5);
        MonitorPoints points;
        points.readJson(base + ".json");
        EXPECT_FALSE(points.empty());
    }
}

// A small closed valley with a level floor and a rough bed, in which a small breach comes to rest a few
// dozen results after its inflow. (When water counts as standing is the engine's rule, tested there.)
TEST_F(FloodRunTest, LiveRunInAClosedValleyEndsByItselfOnceTheWaterStands) {
    const ValleyShape basin{12, 12, 10.0f, 0.0f, 0.0f};
    ASSERT_TRUE(QDir(inputs.path()).mkpath("basin"));
    files = writeValley(inputs.path().toStdString() + "/basin", basin, {{5, 6}});
    writeAsciiGrid(files[0], basin.ncols, basin.nrows,
                   std::vector<float>(basin.ncols * basin.nrows, 0.1f), basin.cellsize);
    ModalDriver done(clickButton("OK"), 200000, "QMessageBox");
    startLiveRun(QString(), "30");
    ASSERT_TRUE(waitUntil([&] { return done.answered(); }, 200000))
        << resultCount(results.path()) << " results";
    EXPECT_EQ(done.title(), "说明");
    const int written = resultCount(results.path());
    EXPECT_TRUE(done.text().contains(QString("结果 1 到 %1 已写入").arg(written)))
        << done.text().toStdString();
    runEventLoop(500);
    EXPECT_EQ(resultCount(results.path()), written) << "the run goes on after its message";
    // The last water stays on screen.
    EXPECT_EQ(sceneNodes(), 5u);
    expectCompleteResults(results.path(), written);
}

TEST_F(FloodRunTest, LiveRunEndsAtItsRunLengthWithAResultAtEveryInterval) {
    const struct {
        double hours, every;
        int results;
    } cases[] = {{0.05, 30, 6}, {0.02, 0, 0}};  // 0: one result per five steps, as many as fit
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.hours) + " h every " + std::to_string(c.every) + " s");
        QTemporaryDir out;
        const RemovedFolder outSummary(out.path() + "_summary");
        ModalDriver done(clickButton("OK"), 200000, "QMessageBox");
        startLiveRun(out.path(), "200000", c.hours, c.every);
        ASSERT_TRUE(waitUntil([&] { return done.answered(); }, 200000)) << resultCount(out.path()) << " results";
        EXPECT_EQ(done.title(), "说明");
        EXPECT_TRUE(done.text().contains(QString("%1 小时").arg(c.hours))) << done.text().toStdString();
        const int written = resultCount(out.path());
        if (c.results > 0) {
            EXPECT_EQ(written, c.results);
        }
        runEventLoop(300);
        EXPECT_EQ(resultCount(out.path()), written) << "the run goes on after its message";
        // Each result at its interval (within a step), the last one at the run's end.
        FloodHud hud;
        for (int n = 1; c.every > 0 && n <= written; ++n) {
            ASSERT_TRUE(hud.readState((out.path() + QString("/%1.txt").arg(n)).toStdString()));
            EXPECT_NEAR(hud.time, n * c.every, 1.0) << "result " << n;
        }
        ASSERT_TRUE(hud.readState((out.path() + QString("/%1.txt").arg(written)).toStdString()));
        EXPECT_GE(hud.time, c.hours * 3600 - 1.0);
        EXPECT_LT(hud.time, c.hours * 3600 + (c.every > 0 ? c.every : 60));
        triggerMenuAction(window, "&停止运算");
    }
}

TEST_F(FloodRunTest, LiveRunStopsWithAMessageBeforeItsDiskFills) {
    QTemporaryDir mountPoint;
    ASSERT_TRUE(mountPoint.isValid());
    const RemovedFolder mountPointSummary(mountPoint.path() + "_summary");
    // A small disk of its own; the run must leave the reserve on it.
    if (runProgram("mount", {"-t", "tmpfs", "-o", "size=10m", "tmpfs", mountPoint.path()}).exitCode != 0) {
        GTEST_SKIP() << "no small file system can be mounted here";
    }
    struct Unmount {
        QString path;
        ~Unmount() { runProgram("umount", {path}); }
    } unmount{mountPoint.path()};

    ModalDriver full(clickButton("OK"), 120000, "QMessageBox");
    startLiveRun(mountPoint.path());
    ASSERT_TRUE(waitUntil([&] { return full.answered(); }, 120000));
    EXPECT_EQ(full.title(), "Warning");
    EXPECT_TRUE(full.text().contains("磁盘空间将满")) << full.text().toStdString();
    const int written = resultCount(mountPoint.path());
    EXPECT_GT(written, 5);
    EXPECT_TRUE(full.text().contains(QString("结果 1 到 %1 已写入").arg(written)))
        << full.text().toStdString();
    runEventLoop(300);
    EXPECT_EQ(resultCount(mountPoint.path()), written);
    EXPECT_GT(QStorageInfo(mountPoint.path()).bytesAvailable(), resultDiskReserve);
    expectCompleteResults(mountPoint.path(), written);
}

}  // namespace
