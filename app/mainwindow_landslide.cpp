// The landslide run and the replay of stored landslide frames.
#include <QMessageBox>
#include <QTimer>
#include <iostream>
#include <osgDB/ReadFile>

#include "drawontop.h"
#include "landsliderun.h"
#include "landslidetick.h"
#include "mainwindow.h"
#include "viewerqt.h"

void MainWindow::acceptLandSlideSignals(bool start) {
    if (!start) {
        return;
    }
    // A run still ticking would go on with the grids that the preparation replaces.
    if (evolution->drives(Beat::LandslideRun)) {
        stopComputation();
    }
    LandslideInputs inputs;
    std::string problem;
    if (!landslideInputsFromList(inputFiles, inputs, outputFormat, problem) ||
        !landslideRun->prepare(inputs, problem, &std::cout)) {
        QMessageBox::information(
            nullptr, tr("Warning"),
            tr("滑坡计算的输入无法使用，计算没有开始：\n%1").arg(QString::fromLocal8Bit(problem.c_str())),
            QMessageBox::Ok);
        return;
    }

    // Asks before mixing with an earlier run's results, and names every file by the folder's own bytes.
    if (!chooseRunFolder(saveDir)) {
        return;
    }
    // The new run replaces whatever runs or replays, with its nodes.
    stopEvolution();
    startComputation(Beat::LandslideRun);
}

void MainWindow::showLandslideMesh(osg::Node* mesh) {
    if (landslideMesh) {
        root->removeChild(landslideMesh.get());
    }
    landslideMesh = mesh;
    if (mesh) {
        root->addChild(mesh);
    }
}

void MainWindow::landslideVisualize() {
    LandslideTickSettings settings;
    settings.folder = saveDir;
    settings.format = outputFormat;
    const LandslideTick tick = advanceLandslideTick(*landslideRun, settings);
    if (tick.figures.step == 0) {
        stopComputation();
        return;
    }
    // Each step's mesh holds the whole trail, so it replaces the one before instead of covering it.
    showLandslideMesh(tick.stepMesh.get());
    std::cout << landslideProgressText(tick.figures) << std::endl;
    if (!tick.problem.empty()) {
        // Going on would show a slide whose results are silently lost.
        stopComputation();
        QMessageBox::information(
            nullptr, tr("Warning"),
            tr("结果文件无法写入，计算已停止：%1").arg(QString::fromLocal8Bit(tick.problem.c_str())),
            QMessageBox::Ok);
        return;
    }
    if (tick.finalMesh) {
        showLandslideMesh(tick.finalMesh.get());
        stopComputation();
        std::cout << "landslide: results 1 to " << LandslideRun::stepCount + 1 << " written to " << saveDir
                  << std::endl;
    }
}

// Orders centreline candidates by falling elevation; nothing calls it.
bool MainWindow::GreaterSort(Point a, Point b) {
    return a.elevation > b.elevation;
}

void MainWindow::showStoredLandslideFrame() {
    if (landslideScenario.empty() && evolution->frameIndex > evolution->frameCount) {
        // Nothing (left) to show: let go of the timer instead of ticking on idle.
        evolution->release(Beat::Replay);
        return;
    }
    // Every stored frame is drawn at least once: small frames load far faster than the view draws, and
    // the slide would be over before the user saw it move.
    const unsigned viewFrame = viewer->getFrameStamp()->getFrameNumber();
    if (resultGroup->getNumChildren() > 0 && root->containsNode(resultGroup) &&
        viewFrame == landslideFrameShownAt) {
        return;
    }
    landslideFrameShownAt = viewFrame;
    const std::string folder = landslideScenario.empty() ? resultDir : landslideScenario;
    resultGroup->removeChildren(0, resultGroup->getNumChildren());
    root->removeChild(resultGroup);
    if (osg::ref_ptr<osg::Node> frame =
            osgDB::readRefNodeFile(folder + "/" + std::to_string(evolution->frameIndex) + ".ive")) {
        resultGroup->addChild(frame);
    }
    root->addChild(resultGroup);
    if (evolution->playing) {
        evolution->frameIndex += evolution->speedStep;
    }
    if (evolution->frameIndex <= evolution->frameCount) {
        return;
    }

    // The last frame stays, in front of the terrain.
    resultGroup->removeChildren(0, resultGroup->getNumChildren());
    if (osg::ref_ptr<osg::Node> last =
            osgDB::readRefNodeFile(folder + "/" + std::to_string(evolution->frameCount) + ".ive")) {
        drawOverTerrain(*last, 1);
        resultGroup->addChild(last);
    }
    evolution->release(Beat::Replay);
    if (!landslideScenario.empty() && !startFloodingAnalysis()) {
        closeLandslideScenario(0);
    }
}
