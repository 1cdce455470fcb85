// The flood form's hand-over, the live run's tick and the replay's tick of every hazard.
#include <QMessageBox>

#include "debrissession.h"
#include "floodsession.h"
#include "landslidesession.h"
#include "landslidestory.h"
#include "mainwindow.h"
#include "monitorcharts.h"
#include "sessionstage.h"
#include "viewerqt.h"

void MainWindow::acceptfloodValues(FloodFormValues values) {
    // A run still going keeps its summary up to its last result.
    flood->writeSummary();
    evolution->mode = EvolutionMode::Flood;
    QString refusal;
    if (!flood->load(values, inputFiles, refusal)) {
        // The engine has dropped the previous grid, so a run still ticking would only write empty results.
        if (evolution->drives(Beat::FloodRun)) {
            stopEvolution();
        }
        QMessageBox::information(nullptr, tr("Warning"), refusal, QMessageBox::Ok);
        return;
    }
    // The files of a run before this one land under their own numbers first.
    stage->finishResultFiles();
    std::string folder;
    std::unique_ptr<ResultFolderLock> lock;
    if (!chooseRunFolder(this, folder, lock)) {
        return;
    }
    monitorDock->showReportOf(folder);
    // The new run replaces whatever runs or replays.
    stopEvolution();
    flood->beginRun(folder, std::move(lock));
    startComputation(Beat::FloodRun);
}

void MainWindow::resultVisualize() {
    flood->tick();
}

void MainWindow::Visualize() {
    // Every replay tick is drawn, also one whose frame is missing: the landslide replay waits for it.
    viewer->requestRedraw();
    if (evolution->mode == EvolutionMode::Flood) {
        flood->showStoredFrame();
    } else if (evolution->mode == EvolutionMode::Debris) {
        debris->showStoredFrame();
    } else if (evolution->mode == EvolutionMode::Landslide) {
        if (landslide->showStoredFrame(story->telling())) {
            story->afterSlide();
        }
    }
}
