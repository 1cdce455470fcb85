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

int resultFrameCount(const QString& folder) {
    return lastResultNumber(QFile::encodeName(folder).toStdString());
}

void MainWindow::connectBeats() {
    // Each beat asks the view for a frame: the landslide replay waits for one before its next frame.
    const std::pair<Beat, void (MainWindow::*)()> beats[] = {
        {Beat::Replay, &MainWindow::Visualize},
        {Beat::FloodRun, &MainWindow::resultVisualize},
        {Beat::DebrisRun, &MainWindow::flowVisualize},
        {Beat::LandslideRun, &MainWindow::landslideVisualize},
        {Beat::StoryLabels, &MainWindow::displayInfo},
        {Beat::StoryShake, &MainWindow::Shake},
        {Beat::StoryFlood, &MainWindow::displayLandslideInfo},
    };
    for (const auto& [beat, slot] : beats) {
        evolution->setAction(beat, [this, slot = slot] {
            viewer->requestRedraw();
            (this->*slot)();
        });
    }
}

bool MainWindow::finishResultFiles() {
    std::string failedFile;
    if (resultWriter->finish(failedFile)) {
        return true;
    }
    reportUnwrittenFile(failedFile);
    return false;
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
        QFileDialog::getExistingDirectory(this, tr("选择计算结果保存文件夹"), "./", QFileDialog::ShowDirsOnly);
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

void MainWindow::startComputation(Beat beat) {
    evolution->playing = true;
    evolution->drive(beat, 0);
}

bool MainWindow::stopComputation() {
    if (!evolution->computing()) {
        return false;
    }
    // The files in flight land before anything else of the run changes.
    finishResultFiles();
    if (evolution->drives(Beat::DebrisRun)) {
        debrisRun->resetClock();
        debrisTickClock.invalidate();
    }
    evolution->release(evolution->driven());
    outputFrameNumber = 1;
    return true;
}

void MainWindow::stopForSignal(const char* signalName) {
    if ((evolution->mode == EvolutionMode::Flood || evolution->mode == EvolutionMode::Debris) && outputFrameNumber > 1) {
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
    evolution->end();
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
    // A replay going or one that has come to its end is held at its first frame; continue plays it again.
    const bool replay = evolution->drives(Beat::Replay) || evolution->ended(Beat::Replay);
    stopEvolution();
    evolution->frameIndex = 1;
    evolution->playing = false;
    if (replay) {
        evolution->holdStopped(Beat::Replay);
    }
}

void MainWindow::setData_flood() {
    connect(floodForm.get(), SIGNAL(sendfloodValues(FloodFormValues)), this, SLOT(acceptfloodValues(FloodFormValues)),
            Qt::UniqueConnection);
    connect(floodForm.get(), SIGNAL(sendURL(std::vector<std::string>)), this,
            SLOT(acceptURL(std::vector<std::string>)), Qt::UniqueConnection);
    connect(floodForm.get(), SIGNAL(sendStart(int)), this, SLOT(acceptStart(int)), Qt::UniqueConnection);
    connect(floodForm.get(), SIGNAL(sendScenePath(std::string)), this, SLOT(acceptScenePath(std::string)),
            Qt::UniqueConnection);
    floodForm->setFixedSize(496, 500);
    floodForm->setWindowTitle(tr("Parameter Setting"));
    floodForm->show();
}
void MainWindow::setData_debrisflow() {
    connect(debrisForm.get(), SIGNAL(senddebrisValudes(DebrisRunSettings)), this,
            SLOT(acceptdebrisValues(DebrisRunSettings)), Qt::UniqueConnection);
    connect(debrisForm.get(), SIGNAL(sendStart(int)), this, SLOT(acceptStart(int)), Qt::UniqueConnection);
    connect(debrisForm.get(), SIGNAL(sendURL(std::vector<std::string>)), this,
            SLOT(acceptURL(std::vector<std::string>)), Qt::UniqueConnection);
    connect(debrisForm.get(), SIGNAL(sendScenePath(std::string)), this, SLOT(acceptScenePath(std::string)),
            Qt::UniqueConnection);
    debrisForm->setFixedSize(500, 470);
    debrisForm->setWindowTitle(tr("泥石流演进模拟参数设置"));
    debrisForm->show();
}
void MainWindow::setData_landslide() {
    connect(landslideForm.get(), SIGNAL(sendLandSlide(bool)), this, SLOT(acceptLandSlideSignals(bool)),
            Qt::UniqueConnection);
    connect(landslideForm.get(), SIGNAL(sendStart(int)), this, SLOT(acceptStart(int)), Qt::UniqueConnection);
    connect(landslideForm.get(), SIGNAL(sendURL(std::vector<std::string>)), this,
            SLOT(acceptURL(std::vector<std::string>)), Qt::UniqueConnection);
    connect(landslideForm.get(), SIGNAL(sendScenePath(std::string)), this, SLOT(acceptScenePath(std::string)),
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
    evolution->mode = EvolutionMode::None;
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

namespace {

// The start flag of a form: 1 flood, 2 debris flow, 3 landslide; anything else starts no mode.
EvolutionMode modeOfStartFlag(int flag) {
    return flag >= 1 && flag <= 3 ? static_cast<EvolutionMode>(flag) : EvolutionMode::None;
}

}  // namespace

void MainWindow::acceptStart(int flag) {
    evolution->mode = modeOfStartFlag(flag);
    evolution->frameIndex = 1;
    evolution->speedStep = 1;
    resultDirQ = QFileDialog::getExistingDirectory(this, tr("选择文件"), "/", QFileDialog::ShowDirsOnly);
    resultDir = resultDirQ.toUtf8().toStdString();
    if (resultDirQ.isEmpty()) {
        QMessageBox::information(nullptr, tr("警告"), tr("请正确选择需要演进的文件！"), QMessageBox::Yes);
        return;
    }
    // The chosen folder replaces whatever runs or replays, and plays at once even after a pause.
    stopEvolution();
    evolution->frameCount = resultFrameCount(resultDirQ);
    if (evolution->mode == EvolutionMode::Landslide) {
        landslideScenario.clear();
    }
    evolution->playing = true;
    evolution->drive(Beat::Replay, 0);
}

void MainWindow::stopCal() {
    finishResultFiles();
    if (evolution->mode != EvolutionMode::Flood && evolution->mode != EvolutionMode::Debris) {
        return;
    }
    outputFrameNumber = 1;
    if (evolution->mode == EvolutionMode::Flood) {
        writeFloodSummary();
    } else if (evolution->mode == EvolutionMode::Debris) {
        writeDebrisSummary();
        debrisRun->resetClock();
    }
    // The stopped run's water or debris goes with it, so the next replay is not drawn over it; its
    // monitor record stays in the dock, as after a run that ends by itself.
    if (stopComputation()) {
        stopEvolution();
        if (evolution->mode == EvolutionMode::Flood && !monitors->empty()) {
            monitorDock->showSeries(groupMonitorSamples(floodSummary->monitorSamples));
        }
    }
}

void MainWindow::startRoam() {
    evolution->playing = true;
}

void MainWindow::pauseRoam() {
    if (evolution->mode == EvolutionMode::None) {
        return;
    }
    if (evolution->mode != EvolutionMode::Landslide) {
        evolution->playing = false;
    }
    // A computation holds too: its timer stops until continue.
    evolution->hold();
    debrisTickClock.invalidate();
    // The lake filling of a scenario has a timer of its own; it holds too.
    if (analysisTimer && analysisTimer->isActive()) {
        analysisTimer->stop();
        lakeFillingPaused = true;
    }
}

void MainWindow::continueRoma() {
    if (evolution->mode == EvolutionMode::None) {
        return;
    }
    evolution->playing = true;
    if (evolution->mode == EvolutionMode::Landslide && infoStep != 0 && storyOnScreen &&
        evolution->driven() != Beat::None) {
        evolution->restartTimer(pace.intervalMs(100));
    } else if (!evolution->resume()) {
        // A replay that came to its end plays again from its first frame.
        evolution->replayAgain();
    }
    if (lakeFillingPaused) {
        lakeFillingPaused = false;
        analysisTimer->start(pace.intervalMs(500));
    }
}

void MainWindow::stopRoam() {
    if (evolution->mode == EvolutionMode::None) {
        return;
    }
    if (evolution->computing() || storyOnScreen) {
        // A computation or a story cannot be rewound: it ends, and restart tells a story again.
        stopEvolution();
        evolution->frameIndex = 1;
        evolution->playing = false;
        return;
    }
    holdReplayAtStart();
}

void MainWindow::restartRoam() {
    if (evolution->mode == EvolutionMode::None) {
        return;
    }
    if (evolution->mode == EvolutionMode::Landslide && !landslideScenario.empty()) {
        // Every stage of the running story stops, the lake filling included.
        stopEvolution();
        keepOnlyTerrain();
        storyOnScreen = true;
        infoStep = 0;
        shakeCount = 0;
        evolution->replaceTimer(Beat::StoryLabels, pace.intervalMs(50));
        return;
    }
    if (evolution->computing()) {
        // A computation cannot be rewound.
        return;
    }
    stopEvolution();
    evolution->rewind();
    evolution->drive(Beat::Replay,
                     pace.intervalMs(evolution->mode == EvolutionMode::Debris ? 60 : 0));
}

void MainWindow::speedControl() {
    if (evolution->mode == EvolutionMode::None) {
        return;
    }
    evolution->speedUp();
}
