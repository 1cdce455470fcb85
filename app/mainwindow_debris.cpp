// The debris-flow run, its live tick and the replay of stored debris frames.
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <iostream>
#include <osgDB/ReadFile>

#include "debrisflow.h"
#include "debrishud.h"
#include "debrisoverlays.h"
#include "debrisrun.h"
#include "debrissummary.h"
#include "debristick.h"
#include "drawontop.h"
#include "mainwindow.h"
#include "modelfile.h"
#include "resultwriter.h"
#include "summaryfiles.h"

void MainWindow::acceptdebrisValues(DebrisRunSettings values) {
    // The new run is set up on its own: a run still going carries on when this one cannot start.
    DebrisRun next;
    TerrainHeights heights;
    std::string problem;
    const std::string gridPath = !inputFiles.empty() ? inputFiles[0] : std::string();
    const std::string breachPath = inputFiles.size() > 1 ? inputFiles[1] : std::string();
    if (!startDebrisRun(next, heights, values.parameters(), gridPath, breachPath, problem)) {
        QMessageBox::information(nullptr, tr("Warning"),
                                 tr("泥石流计算没有开始：%1").arg(QString::fromStdString(problem)),
                                 QMessageBox::Ok);
        return;
    }
    std::string folder;
    if (!chooseRunFolder(folder)) {
        return;
    }

    // One evolution at a time: a computation still going is stopped as the stop command does, so this run
    // numbers its frames from 1, and a replay gives way with its nodes. The run given way to keeps its
    // summary up to its last result.
    writeFloodSummary();
    writeDebrisSummary();
    stopEvolution();

    evolution->mode = EvolutionMode::Debris;
    *debrisRun = std::move(next);
    demHeights = std::move(heights);
    saveDir = folder;
    debrisSummary->start(*debrisRun);
    debrisSummaryWrittenFrame = 0;
    debrisSummaryFailed = false;
    debrisTickClock.invalidate();
    startComputation(Beat::DebrisRun);
}

void MainWindow::flowVisualize() {
    // Only the rendered frames change the view, while every repaint between two ticks takes from the run.
    // A tick steps the model for three times as long as the window spent elsewhere since the previous
    // one (10 ms to 1 s), so the run takes at most about 4/3 of its time without a window, however slow
    // the repaints, and the view stays responsive where they are fast.
    const qint64 outsideMs = debrisTickClock.isValid() ? debrisTickClock.elapsed() : 0;
    const qint64 budgetMs = std::clamp<qint64>(3 * outsideMs, 10, 1000);
    QElapsedTimer spent;
    spent.start();
    do {
        if (!advanceDebrisRun()) {
            debrisTickClock.invalidate();
            return;
        }
    } while (spent.elapsed() < budgetMs);
    debrisTickClock.start();
}

bool MainWindow::advanceDebrisRun() {
    DebrisTickSettings settings;
    settings.shallowColour = debrisForm->shallowColour;
    settings.deepColour = debrisForm->deepColour;
    const osg::ref_ptr<osg::Geode> surface = advanceDebrisTick(*debrisRun, demHeights, *debrisHud, settings);
    if (surface) {
        removeRunNodes();
        addRunNode(surface.get());
        addRunNode(debrisForm->legendBar(debrisRun->colourLow, debrisRun->colourHigh).get());
        addRunNode(makeDebrisDepthCaption().get());

        // The frame is written from copies on the writer's thread while the run goes on; a frame that
        // could not be written stops the run at the next frame.
        const osg::ref_ptr<const osg::Node> written = copyForWriter(*surface);
        const DebrisHud hud = *debrisHud;
        const std::string folder = saveDir;
        const int number = outputFrameNumber;
        std::string failedFile;
        if (!resultWriter->hand(
                [written, hud, folder, number](std::string& failed) {
                    return writeDebrisFrame(folder, number, ".ive", *written, hud, failed);
                },
                failedFile)) {
            // Going on would show a debris flow whose frames are silently lost.
            writeDebrisSummary();
            stopComputation();
            reportUnwrittenFile(failedFile);
            return false;
        }
        debrisSummary->record(*debrisRun, outputFrameNumber, debrisHud->elapsedTime);
        ++outputFrameNumber;
    }
    if (debrisRun->finished()) {
        // The last frame stays on screen, as at the end of a replay.
        const int written = outputFrameNumber - 1;
        writeDebrisSummary();
        stopComputation();
        QMessageBox::information(nullptr, tr("说明"),
                                 tr("泥石流计算结束：结果 1 到 %1 已写入 %2。")
                                     .arg(written)
                                     .arg(QString::fromLocal8Bit(saveDir.c_str())),
                                 QMessageBox::Ok);
        return false;
    }
    return true;
}

void MainWindow::writeDebrisSummary() {
    if (!debrisSummary->started() || debrisSummary->lastFrame() == debrisSummaryWrittenFrame) {
        return;
    }
    std::string problem;
    if (debrisSummary->write(*debrisRun, summaryFolderOf(saveDir), problem)) {
        debrisSummaryWrittenFrame = debrisSummary->lastFrame();
        return;
    }
    std::cout << "debris summary: " << problem << std::endl;
    if (!debrisSummaryFailed) {
        debrisSummaryFailed = true;
        QMessageBox::information(
            nullptr, tr("Warning"),
            tr("泥石流汇总结果无法写入：%1").arg(QString::fromLocal8Bit(problem.c_str())), QMessageBox::Ok);
    }
}

void MainWindow::showStoredDebrisFrame() {
    const std::string frame = resultDir + "/" + std::to_string(evolution->frameIndex);
    // The replay removes only what it added itself: the terrain and the marks of the scene stay, and no
    // part of an earlier frame is left under this one.
    removeRunNodes();

    debrisHud->readFrameInfo(frame + ".txt");
    colourLow = debrisHud->rangeLower;
    colourHigh = debrisHud->rangeUpper;
    // A frame whose surface does not load shows its legend and caption without the surface.
    if (osg::ref_ptr<osg::Node> surface = osgDB::readNodeFile(frame + ".ive")) {
        drawOverTerrain(*surface, 5);
        addRunNode(surface.get());
    }
    addRunNode(debrisForm->legendBar(colourLow, colourHigh).get());
    addRunNode(makeDebrisDepthCaption().get());

    evolution->advance(evolution->speedStep);
    // evolution->frameCount is the last frame of the folder.
    if (evolution->frameIndex > evolution->frameCount) {
        evolution->release(Beat::Replay);
        enableSceneTree();
    }
}
