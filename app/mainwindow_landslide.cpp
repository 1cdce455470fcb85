// The landslide form's hand-over, the live run's tick, and the beats of a landslide story.
#include <QMessageBox>
#include <iostream>

#include "configreader.h"
#include "floodsession.h"
#include "landslidesession.h"
#include "landslidestory.h"
#include "lakesurface.h"
#include "mainwindow.h"
#include "scenelist.h"
#include "sessionstage.h"

void MainWindow::acceptLandSlideSignals(LandslideRunRequest request) {
    // A run still ticking would go on with the grids that the preparation replaces.
    if (evolution->drives(Beat::LandslideRun)) {
        stopComputation();
    }
    std::string problem;
    if (!landslide->load(request.inputs, request.format, problem)) {
        QMessageBox::information(nullptr, tr("Warning"),
                                 tr("滑坡计算的输入无法使用，计算没有开始：\n%1").arg(localText(problem)),
                                 QMessageBox::Ok);
        return;
    }

    // Asks before mixing with an earlier run's results, and names every file by the folder's own bytes.
    std::string folder;
    std::unique_ptr<ResultFolderLock> lock;
    if (!chooseRunFolder(this, folder, lock)) {
        return;
    }
    // The new run replaces whatever runs or replays, with its nodes.
    stopEvolution();
    landslide->beginRun(folder, std::move(lock));
    startComputation(Beat::LandslideRun);
}

void MainWindow::landslideVisualize() {
    landslide->tick();
}

// Orders centreline candidates by falling elevation; nothing calls it.
bool MainWindow::GreaterSort(Point a, Point b) {
    return a.elevation > b.elevation;
}

void MainWindow::displayInfo() {
    story->showNextStage();
}

void MainWindow::Shake() {
    story->shake();
}

void MainWindow::FloodingAnalysis() {
    story->fillLake();
}

void MainWindow::displayLandslideInfo() {
    // The flood that the barrier lake causes: both scene files now come from the flood scene's folder.
    catalog.currentScene = "danba flood";
    evolution->mode = EvolutionMode::Flood;
    // What the story left on screen is now the scene of the flood replay.
    story->handOver();
    if (root->getNumChildren() > 3) {
        root->removeChildren(3, root->getNumChildren() - 3);
    }
    flood->setLake(configuredLake(catalog));
    addFloodMarksAndLake();
    evolution->playing = true;
    evolution->release(Beat::StoryFlood);
    SceneConfigReader reader(catalog);
    const std::vector<std::string> play = reader.readConfigValues(reader.path, "Play");
    if (!play.empty()) {
        startCaseReplay(EvolutionMode::Flood, play.front(), 0);
    }
}

// Declared for the later stages of the story (damaged rivers, roads and buildings, risk areas); nothing
// starts them.
void MainWindow::afterLandslide() {}
void MainWindow::OutlineShake() {}
void MainWindow::StripShake1() {}
void MainWindow::StripShake2() {}
void MainWindow::StripShake3() {}
void MainWindow::Twink() {}
