// The flood run, its live tick and the replay of stored frames.
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardItemModel>
#include <QTimer>
#include <iostream>
#include <osgDB/ReadFile>

#include "cafloodnew.h"
#include "drawontop.h"
#include "floodend.h"
#include "floodform.h"
#include "floodhud.h"
#include "floodoverlays.h"
#include "floodrun.h"
#include "floodsummary.h"
#include "floodtick.h"
#include "lakesurface.h"
#include "mainwindow.h"
#include "monitorcharts.h"
#include "monitormarks.h"
#include "monitorpoints.h"
#include "monitorseries.h"
#include "resultwriter.h"
#include "viewerqt.h"

namespace {

// Results between two writes of a live run's summary: often enough that little is lost when the
// program is killed, seldom enough that the rasters cost little beside the results.
constexpr int floodSummaryEveryResults = 20;

}  // namespace

void MainWindow::acceptfloodValues(FloodFormValues values) {
    // A run still going keeps its summary up to its last result.
    writeFloodSummary();
    evolution->mode = EvolutionMode::Flood;
    floodValues = values;
    colourLow = values.colourLow;
    colourHigh = values.colourHigh;
    const FloodRunSettings& settings = values.breach;
    std::string reason;
    const FloodRunStart start = startFloodRun(*caFlood, inputFiles, settings, &reason);
    if (start != FloodRunStart::Ready) {
        // The engine has dropped the previous grid, so a run still ticking would only write empty results.
        if (evolution->drives(Beat::FloodRun)) {
            stopEvolution();
        }
        const QString refusal = start == FloodRunStart::InputsRejected
                                    ? tr("洪水计算的输入文件无法读取，计算没有开始。")
                                    : tr("溃口参数没有出流，计算没有开始。");
        QMessageBox::information(nullptr, tr("Warning"),
                                 refusal + "\n" + QString::fromLocal8Bit(reason.c_str()).trimmed(),
                                 QMessageBox::Ok);
        return;
    }
    if (inputFiles.size() > 3) {
        monitors->load(inputFiles[3]);
    }

    // The files of a run before this one land under their own numbers first.
    finishResultFiles();
    if (!chooseRunFolder(saveDir)) {
        return;
    }
    // The new run replaces whatever runs or replays.
    stopEvolution();
    floodSummary->start(*caFlood, defaultArrivalDepth, monitors.get());
    // The run may rewrite the record of a folder replayed before.
    replayMonitorFolder.clear();
    floodSummaryWrittenResult = 0;
    floodPlotsWrittenResult = 0;
    floodSummaryFailed = false;
    startComputation(Beat::FloodRun);
}

void MainWindow::resultVisualize() {
    const QString folder = QString::fromLocal8Bit(saveDir.c_str());
    if (!diskHasRoomForResults(saveDir, resultSetBytes(saveDir, outputFrameNumber - 1))) {
        // Stopped between two results, so every result in the folder is complete.
        const int written = outputFrameNumber - 1;
        stopComputation();
        QMessageBox::information(
            nullptr, tr("Warning"),
            tr("结果文件夹所在的磁盘空间将满，计算已停止：结果 1 到 %1 已写入 %2。").arg(written).arg(folder),
            QMessageBox::Ok);
        return;
    }
    removeRunNodes();
    FloodTickSettings settings;
    settings.capacity = floodValues.breach.capacity;
    settings.colourLow = colourLow;
    settings.colourHigh = colourHigh;
    settings.resultEverySeconds = floodValues.resultEverySeconds;
    settings.shallowColour = floodForm->shallowColour;
    settings.deepColour = floodForm->deepColour;
    osg::ref_ptr<osg::Geode> water = advanceFloodTick(*caFlood, *floodHud, *monitors, settings);

    addRunNode(water.get());
    addRunNode(floodForm->makeDepthLegend(colourLow, colourHigh).get());
    addRunNode(makeFloodHud(*floodHud).get());
    addRunNode(makeFloodDepthCaption().get());

    // The files are written from copies on the writer's thread while the next tick computes; a set that
    // could not be written stops the run at the next tick.
    const auto files = std::make_shared<const FloodResultFiles>(copyFloodResult(
        saveDir, outputFrameNumber, floodValues.resultFormat, *water, *caFlood, *floodHud, *monitors));
    std::string failedFile;
    if (!resultWriter->hand([files](std::string& failed) { return writeFloodResult(*files, failed); },
                            failedFile)) {
        // Going on would show a flood whose results are silently lost.
        stopComputation();
        writeFloodSummary();
        reportUnwrittenFile(failedFile);
        return;
    }
    floodSummary->record(*caFlood, outputFrameNumber);
    if (!monitors->empty()) {
        monitorDock->showSeries(groupMonitorSamples(floodSummary->monitorSamples));
    }
    const bool summaryDue = outputFrameNumber % floodSummaryEveryResults == 0;
    ++outputFrameNumber;
    if (floodHasSettled(*caFlood)) {
        // The breach is empty and the water stands: further steps would only write the same flood again.
        const int written = outputFrameNumber - 1;
        stopComputation();
        writeFloodSummary();
        QMessageBox::information(
            nullptr, tr("说明"),
            tr("洪水已经静止，计算结束：结果 1 到 %1 已写入 %2。").arg(written).arg(folder), QMessageBox::Ok);
        return;
    }
    // Within half a step, as the result times are. A lake that keeps moving would otherwise fill the disk.
    if (caFlood->simulatedTime() >= floodValues.runHours * 3600.0 - 0.5 * caFlood->stepSeconds()) {
        const int written = outputFrameNumber - 1;
        stopComputation();
        writeFloodSummary();
        QMessageBox::information(nullptr, tr("说明"),
                                 tr("已算到设定的 %1 小时，计算结束：结果 1 到 %2 已写入 %3。")
                                     .arg(floodValues.runHours)
                                     .arg(written)
                                     .arg(folder),
                                 QMessageBox::Ok);
        return;
    }
    // Last, because a message about the summary lets the timer tick again.
    if (summaryDue) {
        writeFloodSummary(false);
    }
}

void MainWindow::writeFloodSummary(bool withPlots) {
    if (!floodSummary->started()) {
        return;
    }
    const int last = floodSummary->lastResult();
    const bool summaryDue = last != floodSummaryWrittenResult;
    const bool plotsDue =
        withPlots && !floodSummary->monitorSamples.empty() && last != floodPlotsWrittenResult;
    if (!summaryDue && !plotsDue) {
        return;
    }
    std::string problem;
    const std::string folder = summaryFolderOf(saveDir);
    if (summaryDue) {
        if (!floodSummary->write(folder, problem)) {
            reportUnwrittenFloodSummary(problem);
            return;
        }
        floodSummaryWrittenResult = last;
    }
    if (plotsDue) {
        if (!writeMonitorPlots(groupMonitorSamples(floodSummary->monitorSamples), folder, problem)) {
            reportUnwrittenFloodSummary(problem);
            return;
        }
        floodPlotsWrittenResult = last;
    }
}

void MainWindow::reportUnwrittenFloodSummary(const std::string& problem) {
    std::cout << "flood summary: " << problem << std::endl;
    if (!floodSummaryFailed) {
        floodSummaryFailed = true;
        QMessageBox::information(nullptr, tr("Warning"),
                                 tr("洪水汇总结果无法写入：%1").arg(QString::fromLocal8Bit(problem.c_str())),
                                 QMessageBox::Ok);
    }
}

void MainWindow::Visualize() {
    // Every replay tick is drawn, also one whose frame is missing: the landslide replay waits for it.
    viewer->requestRedraw();
    if (evolution->mode == EvolutionMode::Flood) {
        showStoredFloodFrame();
    } else if (evolution->mode == EvolutionMode::Debris) {
        showStoredDebrisFrame();
    } else if (evolution->mode == EvolutionMode::Landslide) {
        showStoredLandslideFrame();
    }
}

void MainWindow::enableSceneTree() {
    for (int row = 0; row < treeModel->rowCount(); ++row) {
        treeModel->item(row, 0)->setEnabled(true);
    }
}

void MainWindow::showStoredFloodFrame() {
    const int n = evolution->frameIndex;
    const std::string frame = resultDir + "/" + std::to_string(n);
    // A frame missing from the folder is skipped: the last one stays on screen, and the clock of the next
    // one shows the gap.
    const bool present = QFileInfo::exists(QFile::decodeName((frame + ".txt").c_str())) ||
                         QFileInfo::exists(QFile::decodeName((frame + ".ive").c_str()));
    if (!present) {
        if (evolution->playing) {
            std::cout << "frame " << n << " is missing from " << resultDir << "; it is skipped" << std::endl;
        }
        advanceStoredFloodFrame();
        return;
    }
    // The replay removes only what it added itself: the terrain, the marks and the lake of the scene stay,
    // and no part of an earlier frame is left under this one.
    removeRunNodes();

    floodHud->readState(frame + ".txt");
    showReplayMonitorRecord(n);
    colourLow = floodHud->colourLow;
    colourHigh = floodHud->colourHigh;
    const bool showMonitors = !monitors->empty() || n == 1;
    if (showMonitors) {
        monitors->readJson(frame + ".json");
    }
    // The lake rises with the share of the folder's files shown so far.
    const int filesPerFrame = showMonitors ? 3 : 2;
    if (lakeSurface && evolution->frameCount > 0) {
        lakeSurface->riseOffset =
            osg::Vec3(0, 0, lakeSurface->heightOffset / (evolution->frameCount * filesPerFrame) * 4 * n);
        lakeSurface->rise();
    }
    // A frame whose water model does not load shows its overlays without water.
    if (osg::ref_ptr<osg::Node> water = osgDB::readNodeFile(frame + ".ive")) {
        drawOverTerrain(*water, 10);
        addRunNode(water.get());
    }
    addRunNode(makeFloodHud(*floodHud).get());
    addRunNode(makeFloodDepthCaption().get());
    addRunNode(floodForm->makeDepthLegend(colourLow, colourHigh).get());
    if (showMonitors) {
        addRunNode(makeMonitorNode(*monitors).get());
    }
    if (lakeSurface) {
        addRunNode(lakeSurface->makeNode().get());
    }

    advanceStoredFloodFrame();
}

void MainWindow::showReplayMonitorRecord(int shownResult) {
    if (replayMonitorFolder != resultDir) {
        replayMonitorFolder = resultDir;
        // A folder without a summary (one written before summaries were kept) has no record to show.
        const std::string path = summaryFolderOf(resultDir) + "/monitors.csv";
        std::string problem;
        if (!readMonitorsCsv(path, replayMonitorRecord, problem) &&
            QFileInfo::exists(QFile::decodeName(path.c_str()))) {
            std::cout << "monitor record not shown: " << problem << std::endl;
        }
    }
    monitorDock->showSeries(seriesUpToResult(replayMonitorRecord, shownResult));
}

void MainWindow::advanceStoredFloodFrame() {
    // Five results per tick at 1x.
    evolution->advance(5 * evolution->speedStep);
    // evolution->frameCount is the last frame of the folder.
    if (evolution->frameIndex > evolution->frameCount) {
        evolution->release(Beat::Replay);
        monitors->clear();
        enableSceneTree();
    }
}
