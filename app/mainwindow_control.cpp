// Simulation control: the forms' hand-overs and the roam controls of every evolution.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <iostream>
#include <osgDB/ReadFile>

#include "debrisflow.h"
#include "debrisrun.h"
#include "floodform.h"
#include "floodsummary.h"
#include "lakesurface.h"
#include "landslideform.h"
#include "mainwindow.h"
#include "monitorcharts.h"
#include "monitorpoints.h"
#include "resultfiles.h"
#include "resultwriter.h"
#include "terrainmanipulator.h"
#include "viewerqt.h"

int outputFrameNumber = 1;

int resultFrameCount(const QString& folder) {
    return lastResultNumber(QFile::encodeName(folder).toStdString());
}

void MainWindow::connectPlayback(const char* slot) {
    connect(playTimer, SIGNAL(timeout()), this, slot, Qt::UniqueConnection);
}

void MainWindow::disconnectPlayback(const char* slot) {
    disconnect(playTimer, SIGNAL(timeout()), this, slot);
}

bool MainWindow::finishResultFiles() {
    std::string failedFile;
    if (resultWriter->finish(failedFile)) {
        return true;
    }
    reportUnwrittenFile(failedFile);
    return false;
}

void MainWindow::stopForUnwrittenFile(const char* slot, const std::string& failedFile) {
    // Going on would show a run whose results are silently lost.
    disconnectPlayback(slot);
    reportUnwrittenFile(failedFile);
}

void MainWindow::reportUnwrittenFile(const std::string& failedFile) {
    QMessageBox::information(
        nullptr, tr("Warning"),
        tr("结果文件无法写入，计算已停止：%1").arg(QString::fromLocal8Bit(failedFile.c_str())),
        QMessageBox::Ok);
}

void MainWindow::keepOnlyTerrain() {
    if (root->getNumChildren() > 1) {
        root->removeChildren(1, root->getNumChildren() - 1);
    }
}

bool MainWindow::chooseRunFolder(std::string& folder) {
    const QString chosen =
        QFileDialog::getExistingDirectory(this, tr("save && save as"), "./", QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) {
        std::cout << "未设置保存路径" << std::endl;
        return false;
    }
    // The bytes every file of the run is written under.
    const std::string bytes = QFile::encodeName(chosen).toStdString();
    const std::vector<std::string> results = listResultFiles(bytes);
    if (!results.empty()) {
        const QMessageBox::StandardButton answer = QMessageBox::question(
            this, tr("警告"),
            tr("文件夹 %1 中已有 %2 个计算结果文件，新结果会与其混在一起。\n删除这些结果文件并重新计算吗？")
                .arg(QDir::toNativeSeparators(chosen))
                .arg(results.size()),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            return false;
        }
        std::string problem;
        if (!removeResultFiles(bytes, problem)) {
            QMessageBox::information(nullptr, tr("Warning"),
                                     tr("计算没有开始：%1").arg(QString::fromLocal8Bit(problem.c_str())),
                                     QMessageBox::Ok);
            return false;
        }
    }
    folder = bytes;
    outputFrameNumber = 1;
    return true;
}

void MainWindow::addRunNode(osg::Node* node) {
    root->addChild(node);
    runNodes.push_back(node);
}

void MainWindow::removeRunNodes() {
    for (const osg::ref_ptr<osg::Node>& node : runNodes) {
        root->removeChild(node.get());
    }
    runNodes.clear();
}

void MainWindow::startComputation(const char* slot) {
    computationSlot = slot;
    evolutionHeld = false;
    playing = true;
    connectPlayback(slot);
    playTimer->start(0);
}

bool MainWindow::stopComputation() {
    if (computationSlot.isEmpty()) {
        return false;
    }
    // The files in flight land before anything else of the run changes.
    finishResultFiles();
    disconnectPlayback(computationSlot.constData());
    if (computationSlot == SLOT(flowVisualize())) {
        debrisRun->resetClock();
        debrisTickClock.invalidate();
    }
    computationSlot.clear();
    outputFrameNumber = 1;
    return true;
}

void MainWindow::stopForSignal(const char* signalName) {
    if ((simulationMode == 1 || simulationMode == 2) && outputFrameNumber > 1) {
        std::cout << signalName << ": the run stops after result " << outputFrameNumber - 1
                  << "; results 1 to " << outputFrameNumber - 1 << " in " << saveDir << " are complete"
                  << std::endl;
    }
    stopCal();
}

void MainWindow::stopEvolution() {
    stopComputation();
    // The story's stages, its lake filling and any replay.
    stopLandslideScenario();
    playTimer->stop();
    evolutionHeld = false;
    removeRunNodes();
    monitorDock->clear();
    resultGroup->removeChildren(0, resultGroup->getNumChildren());
    root->removeChild(resultGroup);
    showLandslideMesh(nullptr);
    if (storyOnScreen) {
        keepOnlyTerrain();
        storyOnScreen = false;
    }
    if (lakeSurface) {
        lakeSurface->reset();
    }
}

void MainWindow::holdReplayAtStart() {
    // Only a replay still attached is held; one that ended by itself is started again by restart.
    const bool attached = disconnect(playTimer, SIGNAL(timeout()), this, SLOT(Visualize()));
    stopEvolution();
    frameIndex = 1;
    playing = false;
    if (attached) {
        connectPlayback(SLOT(Visualize()));
        evolutionHeld = true;
    }
}

void MainWindow::setData_flood() {
    connect(floodForm, SIGNAL(sendfloodValues(std::vector<QString>)), this,
            SLOT(acceptfloodValues(std::vector<QString>)), Qt::UniqueConnection);
    connect(floodForm, SIGNAL(sendURL(std::vector<std::string>)), this,
            SLOT(acceptURL(std::vector<std::string>)), Qt::UniqueConnection);
    connect(floodForm, SIGNAL(sendStart(int)), this, SLOT(acceptStart(int)), Qt::UniqueConnection);
    connect(floodForm, SIGNAL(sendScenePath(std::string)), this, SLOT(acceptScenePath(std::string)),
            Qt::UniqueConnection);
    floodForm->setFixedSize(496, 436);
    floodForm->setWindowTitle(tr("Parameter Setting"));
    floodForm->show();
}
void MainWindow::setData_debrisflow() {
    connect(debrisForm, SIGNAL(senddebrisValudes(std::vector<double>)), this,
            SLOT(acceptdebrisValues(std::vector<double>)), Qt::UniqueConnection);
    connect(debrisForm, SIGNAL(sendStart(int)), this, SLOT(acceptStart(int)), Qt::UniqueConnection);
    connect(debrisForm, SIGNAL(sendURL(std::vector<std::string>)), this,
            SLOT(acceptURL(std::vector<std::string>)), Qt::UniqueConnection);
    connect(debrisForm, SIGNAL(sendScenePath(std::string)), this, SLOT(acceptScenePath(std::string)),
            Qt::UniqueConnection);
    debrisForm->setFixedSize(500, 470);
    debrisForm->setWindowTitle(tr("泥石流演进模拟参数设置"));
    debrisForm->show();
}
void MainWindow::setData_landslide() {
    connect(landslideForm, SIGNAL(sendLandSlide(bool)), this, SLOT(acceptLandSlideSignals(bool)),
            Qt::UniqueConnection);
    connect(landslideForm, SIGNAL(sendStart(int)), this, SLOT(acceptStart(int)), Qt::UniqueConnection);
    connect(landslideForm, SIGNAL(sendURL(std::vector<std::string>)), this,
            SLOT(acceptURL(std::vector<std::string>)), Qt::UniqueConnection);
    connect(landslideForm, SIGNAL(sendScenePath(std::string)), this, SLOT(acceptScenePath(std::string)),
            Qt::UniqueConnection);
    landslideForm->setFixedSize(384, 380);
    landslideForm->setWindowTitle(tr("滑坡演进模拟参数设置"));
    landslideForm->show();
}

void MainWindow::acceptURL(std::vector<std::string> url) {
    inputFiles = url;
}

void MainWindow::acceptScenePath(std::string path) {
    scenePath = path;
    if (path.empty()) {
        QMessageBox::information(nullptr, tr("error"), tr("场景不存在"), QMessageBox::Yes);
        return;
    }
    stopEvolution();
    simulationMode = 0;
    root->removeChildren(0, root->getNumChildren());
    osg::ref_ptr<osg::Node> model = osgDB::readNodeFile(path);
    if (model) {
        model->getOrCreateStateSet()->setMode(GL_LIGHTING,
                                              osg::StateAttribute::OFF | osg::StateAttribute::OVERRIDE);
        root->addChild(model.get());
    }
    viewer->setCameraManipulator(new TerrainManipulator(viewer->getCamera()), true);
    viewer->setSceneData(root.get());
}

void MainWindow::acceptStart(int flag) {
    simulationMode = flag;
    frameIndex = 1;
    speedStep = 1;
    resultDirQ = QFileDialog::getExistingDirectory(this, tr("选择文件"), "/", QFileDialog::ShowDirsOnly);
    resultDir = resultDirQ.toUtf8().toStdString();
    if (resultDirQ.isEmpty()) {
        QMessageBox::information(nullptr, tr("警告"), tr("请正确选择需要演进的文件！"), QMessageBox::Yes);
        return;
    }
    // The chosen folder replaces whatever runs or replays, and plays at once even after a pause.
    stopEvolution();
    frameCount = resultFrameCount(resultDirQ);
    if (flag == 3) {
        landslideScenario.clear();
    }
    playing = true;
    connectPlayback(SLOT(Visualize()));
    playTimer->start(0);
}

void MainWindow::stopCal() {
    finishResultFiles();
    if (simulationMode != 1 && simulationMode != 2) {
        return;
    }
    outputFrameNumber = 1;
    if (simulationMode == 1) {
        writeFloodSummary();
    } else if (simulationMode == 2) {
        writeDebrisSummary();
        debrisRun->resetClock();
    }
    // The stopped run's water or debris goes with it, so the next replay is not drawn over it; its
    // monitor record stays in the dock, as after a run that ends by itself.
    if (stopComputation()) {
        stopEvolution();
        if (simulationMode == 1 && !monitors->empty()) {
            monitorDock->showSeries(groupMonitorSamples(floodSummary->monitorSamples));
        }
    }
}

void MainWindow::startRoam() {
    playing = true;
}

void MainWindow::pauseRoam() {
    if (simulationMode == 0) {
        return;
    }
    if (simulationMode != 3) {
        playing = false;
    }
    // A computation holds too: its timer stops until continue.
    if (playTimer->isActive()) {
        playTimer->stop();
        evolutionHeld = true;
    }
    debrisTickClock.invalidate();
    // The lake filling of a scenario has a timer of its own; it holds too.
    if (analysisTimer && analysisTimer->isActive()) {
        analysisTimer->stop();
        lakeFillingPaused = true;
    }
}

void MainWindow::continueRoma() {
    if (simulationMode == 0) {
        return;
    }
    playing = true;
    if (simulationMode == 3 && infoStep != 0 && storyOnScreen) {
        playTimer->start(pace.intervalMs(100));
    } else if (evolutionHeld) {
        playTimer->start();
    }
    evolutionHeld = false;
    if (lakeFillingPaused) {
        lakeFillingPaused = false;
        analysisTimer->start(pace.intervalMs(500));
    }
}

void MainWindow::stopRoam() {
    if (simulationMode == 0) {
        return;
    }
    if (!computationSlot.isEmpty() || storyOnScreen) {
        // A computation or a story cannot be rewound: it ends, and restart tells a story again.
        stopEvolution();
        frameIndex = 1;
        playing = false;
        return;
    }
    holdReplayAtStart();
}

void MainWindow::restartRoam() {
    if (simulationMode == 0) {
        return;
    }
    if (simulationMode == 3 && !landslideScenario.empty()) {
        // Every stage of the running story stops, the lake filling included.
        stopEvolution();
        keepOnlyTerrain();
        storyOnScreen = true;
        infoStep = 0;
        shakeCount = 0;
        playTimer->stop();
        playTimer->deleteLater();
        playTimer = new QTimer;
        connectPlayback(SLOT(displayInfo()));
        playTimer->start(pace.intervalMs(50));
        return;
    }
    if (!computationSlot.isEmpty()) {
        // A computation cannot be rewound.
        return;
    }
    stopEvolution();
    frameIndex = 1;
    playing = true;
    speedStep = 1;
    connectPlayback(SLOT(Visualize()));
    playTimer->start(pace.intervalMs(simulationMode == 2 ? 60 : 0));
}

void MainWindow::speedControl() {
    if (simulationMode == 0) {
        return;
    }
    speedStep = speedStep > 3 ? 1 : speedStep + 1;
}
