// Simulation control: the forms' hand-overs and the roam controls of every evolution.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <iostream>

#include "debrisflow.h"
#include "debrissession.h"
#include "floodform.h"
#include "floodsession.h"
#include "lakesurface.h"
#include "landslidesession.h"
#include "landslidestory.h"
#include "landslideform.h"
#include "mainwindow.h"
#include "monitorcharts.h"
#include "resultfiles.h"
#include "sessionstage.h"
#include "terrainmanipulator.h"
#include "viewerqt.h"

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

void MainWindow::startComputation(Beat beat) {
    evolution->playing = true;
    evolution->drive(beat, 0);
}

bool MainWindow::stopComputation() {
    if (!evolution->computing()) {
        return false;
    }
    if (evolution->drives(Beat::FloodRun)) {
        flood->stopRun();
    } else if (evolution->drives(Beat::DebrisRun)) {
        debris->stopRun();
    } else {
        // The files in flight land before anything else of the run changes.
        stage->finishResultFiles();
        evolution->release(evolution->driven());
    }
    return true;
}

void MainWindow::stopForSignal(const char* signalName) {
    const bool floodRun = evolution->drives(Beat::FloodRun);
    const bool debrisRun = evolution->drives(Beat::DebrisRun);
    const int written = floodRun ? flood->resultsWritten() : debrisRun ? debris->framesWritten() : 0;
    if (written > 0) {
        const std::string& folder = floodRun ? flood->runFolder() : debris->runFolder();
        std::cout << signalName << ": the run stops after result " << written << "; results 1 to " << written
                  << " in " << folder << " are complete" << std::endl;
    }
    stopCal();
}

void MainWindow::stopEvolution() {
    stopComputation();
    // The story's stages, its lake filling and any replay.
    story->stop();
    evolution->end();
    stage->removeRunNodes();
    monitorDock->clear();
    landslide->clear();
    story->takeDown();
    if (LakeSurface* lake = flood->lake()) {
        lake->reset();
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
    floodForm->setFixedSize(496, 535);
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
    connect(landslideForm.get(), SIGNAL(sendLandSlide(LandslideRunRequest)), this,
            SLOT(acceptLandSlideSignals(LandslideRunRequest)),
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

void MainWindow::assignReplayFolder(const std::string& folder) {
    if (evolution->mode == EvolutionMode::Flood) {
        flood->replayFolder = folder;
    } else if (evolution->mode == EvolutionMode::Debris) {
        debris->replayFolder = folder;
    }
    if (evolution->mode == EvolutionMode::Landslide) {
        landslide->replayFolder = folder;
    }
    evolution->frameIndex = 1;
    evolution->frameCount = resultFrameCount(QString::fromUtf8(folder.c_str()));
    monitorDock->showReportOf(folder);
    stage->startReplayReports();
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
    osg::ref_ptr<osg::Node> model = loadModel(path);
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
    const QString chosen = QFileDialog::getExistingDirectory(this, tr("选择文件"), "/", QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) {
        QMessageBox::information(nullptr, tr("警告"), tr("请正确选择需要演进的文件！"), QMessageBox::Yes);
        return;
    }
    const std::string folder = chosen.toUtf8().toStdString();
    if (evolution->mode == EvolutionMode::Debris) {
        // A folder of another valley would play far away from the view, with nothing to say why.
        const int last = resultFrameCount(chosen);
        const osg::ref_ptr<osg::Node> frame = loadShownModel(folder + "/" + std::to_string(last) + ".ive");
        if (frame && !stage->liesOnTerrain(*frame)) {
            QMessageBox::information(nullptr, tr("警告"),
                                     tr("所选结果 %1 不在当前场景的地形范围内，没有演进。请先打开它所在的场景。")
                                         .arg(QDir::toNativeSeparators(chosen)),
                                     QMessageBox::Ok);
            return;
        }
    }
    // The chosen folder replaces whatever runs or replays, and plays at once even after a pause.
    stopEvolution();
    assignReplayFolder(folder);
    if (evolution->mode == EvolutionMode::Landslide) {
        story->forget();
    }
    evolution->playing = true;
    evolution->drive(Beat::Replay, 0);
}

void MainWindow::stopCal() {
    stage->finishResultFiles();
    if (evolution->mode == EvolutionMode::Flood) {
        flood->writeSummary();
    } else if (evolution->mode == EvolutionMode::Debris) {
        debris->writeSummary();
    } else {
        return;
    }
    // The stopped run's water or debris goes with it, so the next replay is not drawn over it; its
    // monitor record stays in the dock, as after a run that ends by itself.
    if (stopComputation()) {
        stopEvolution();
        if (evolution->mode == EvolutionMode::Flood) {
            flood->showRunRecord();
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
    debris->holdClock();
    // The lake filling of a scenario has a timer of its own; it holds too.
    story->pauseLakeFilling();
}

void MainWindow::continueRoma() {
    if (evolution->mode == EvolutionMode::None) {
        return;
    }
    evolution->playing = true;
    if (evolution->mode == EvolutionMode::Landslide && story->running() &&
        evolution->driven() != Beat::None) {
        evolution->restartTimer(pace.intervalMs(100));
    } else if (!evolution->resume()) {
        // A replay that came to its end plays again from its first frame.
        evolution->replayAgain();
    }
    story->resumeLakeFilling();
}

void MainWindow::stopRoam() {
    if (evolution->mode == EvolutionMode::None) {
        return;
    }
    if (evolution->computing() || story->shown()) {
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
    if (evolution->mode == EvolutionMode::Landslide && story->telling()) {
        // Every stage of the running story stops, the lake filling included.
        stopEvolution();
        story->restart();
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
