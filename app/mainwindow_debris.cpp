// The debris-flow form's hand-over and the live run's tick.
#include <QMessageBox>

#include "debrissession.h"
#include "floodsession.h"
#include "mainwindow.h"
#include "monitorcharts.h"
#include "sessionstage.h"

void MainWindow::acceptdebrisValues(DebrisRunSettings values) {
    // The new run is set up on its own: a run still going carries on when this one cannot start.
    std::string problem;
    if (!debris->load(values, inputFiles, problem)) {
        QMessageBox::information(nullptr, tr("Warning"),
                                 tr("泥石流计算没有开始：%1").arg(QString::fromStdString(problem)), QMessageBox::Ok);
        return;
    }
    std::string folder;
    std::unique_ptr<ResultFolderLock> lock;
    if (!chooseRunFolder(this, folder, lock)) {
        return;
    }
    monitorDock->showReportOf(folder);

    // One evolution at a time: a computation still going is stopped as the stop command does, so this run
    // numbers its frames from 1, and a replay gives way with its nodes. The run given way to keeps its
    // summary up to its last result.
    flood->writeSummary();
    debris->writeSummary();
    stopEvolution();

    evolution->mode = EvolutionMode::Debris;
    debris->beginRun(folder, std::move(lock));
    startComputation(Beat::DebrisRun);
}

void MainWindow::flowVisualize() {
    debris->tick();
}
