// Simulation control: the forms' hand-overs and the roam controls of every evolution.
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <osgDB/ReadFile>
#include <osgGA/TrackballManipulator>

#include "debrisflow.h"
#include "debrisrun.h"
#include "floodform.h"
#include "lakesurface.h"
#include "landslideform.h"
#include "mainwindow.h"
#include "viewerqt.h"

int outputFrameNumber = 1;

int resultFrameCount(const QString& folder) {
    return QDir(folder).entryInfoList().size() - 2;
}

void MainWindow::connectPlayback(const char* slot) {
    connect(playTimer, SIGNAL(timeout()), this, slot, Qt::UniqueConnection);
}

void MainWindow::disconnectPlayback(const char* slot) {
    disconnect(playTimer, SIGNAL(timeout()), this, slot);
}

void MainWindow::keepOnlyTerrain() {
    if (root->getNumChildren() > 1) {
        root->removeChildren(1, root->getNumChildren() - 1);
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
    root->removeChildren(0, root->getNumChildren());
    osg::ref_ptr<osg::Node> model = osgDB::readNodeFile(path);
    if (model) {
        model->getOrCreateStateSet()->setMode(GL_LIGHTING,
                                              osg::StateAttribute::OFF | osg::StateAttribute::OVERRIDE);
        root->addChild(model.get());
    }
    viewer->setCameraManipulator(new osgGA::TrackballManipulator, true);
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
    frameCount = resultFrameCount(resultDirQ);
    if (flag == 3) {
        landslideScenario.clear();
    }
    connectPlayback(SLOT(Visualize()));
    playTimer->start(0);
}

void MainWindow::stopCal() {
    if (simulationMode == 1) {
        outputFrameNumber = 1;
        disconnectPlayback(SLOT(resultVisualize()));
        writeFloodSummary();
    } else if (simulationMode == 2) {
        outputFrameNumber = 1;
        writeDebrisSummary();
        debrisRun->resetClock();
        disconnectPlayback(SLOT(flowVisualize()));
    }
}

void MainWindow::startRoam() {
    playing = true;
}

void MainWindow::pauseRoam() {
    if (simulationMode == 1 || simulationMode == 2) {
        playing = false;
    } else if (simulationMode == 3) {
        playTimer->stop();
        // The lake filling of a scenario has a timer of its own; it holds too.
        if (analysisTimer && analysisTimer->isActive()) {
            analysisTimer->stop();
            lakeFillingPaused = true;
        }
    }
}

void MainWindow::continueRoma() {
    if (simulationMode == 1 || simulationMode == 2) {
        playing = true;
    } else if (simulationMode == 3) {
        if (infoStep != 0) {
            playTimer->start(100);
        } else if (landslideScenario.empty()) {
            // A replay of landslide results goes on where it was paused.
            playTimer->start(0);
        }
        if (lakeFillingPaused) {
            lakeFillingPaused = false;
            analysisTimer->start(500);
        }
    }
}

void MainWindow::stopRoam() {
    if (simulationMode == 0) {
        return;
    }
    frameIndex = 1;
    playing = false;
    keepOnlyTerrain();
}

void MainWindow::restartRoam() {
    if (simulationMode == 0) {
        return;
    }
    if (simulationMode == 3 && !landslideScenario.empty()) {
        // Every stage of the running story stops, the lake filling included.
        stopLandslideScenario();
        keepOnlyTerrain();
        infoStep = 0;
        shakeCount = 0;
        playTimer->stop();
        playTimer->deleteLater();
        playTimer = new QTimer;
        connectPlayback(SLOT(displayInfo()));
        playTimer->start(50);
        return;
    }
    if (simulationMode == 1 && lakeSurface) {
        lakeSurface->reset();
    }
    frameIndex = 1;
    playing = true;
    speedStep = 1;
    connectPlayback(SLOT(Visualize()));
    playTimer->start(simulationMode == 2 ? 60 : 0);
}

void MainWindow::speedControl() {
    if (simulationMode == 0) {
        return;
    }
    speedStep = speedStep > 3 ? 1 : speedStep + 1;
}
