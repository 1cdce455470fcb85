#include "floodsession.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <iostream>

#include "drawontop.h"
#include "evolutioncontroller.h"
#include "floodend.h"
#include "floodoverlays.h"
#include "floodrun.h"
#include "floodtick.h"
#include "lakesurface.h"
#include "monitorcharts.h"
#include "monitormarks.h"
#include "resultfiles.h"
#include "sessionstage.h"
#include "viewerqt.h"

namespace {

// Results between two writes of a live run's summary: often enough that little is lost when the
// program is killed, seldom enough that the rasters cost little beside the results.
constexpr int summaryEveryResults = 20;

}  // namespace

FloodSession::FloodSession(SessionStage& stage, const FloodForm& form) : stage(stage), form(form) {}

FloodSession::~FloodSession() = default;

bool FloodSession::load(const FloodFormValues& formValues, const std::vector<std::string>& inputs,
                        QString& refusal) {
    values = formValues;
    colourLow = values.colourLow;
    colourHigh = values.colourHigh;
    std::string reason;
    const FloodRunStart start = startFloodRun(engine, inputs, values.breach, &reason);
    if (start != FloodRunStart::Ready) {
        refusal = (start == FloodRunStart::InputsRejected ? QObject::tr("洪水计算的输入文件无法读取，计算没有开始。")
                                                          : QObject::tr("溃口参数没有出流，计算没有开始。")) +
                  "\n" + localText(reason).trimmed();
        return false;
    }
    if (inputs.size() > 3) {
        monitors.load(inputs[3]);
    }
    // Read now, so that places that cannot be read start nothing.
    const FloodRunInputs runInputs{inputs[0], inputs[1], inputs[2],
                                   inputs.size() > 3 ? inputs[3] : std::string(), values.placesFile};
    std::string problem;
    if (!startFloodSummary(preparedSummary, engine, runInputs, values.breach, defaultArrivalDepth, &monitors,
                           problem)) {
        refusal = QObject::tr("地点文件无法读取，计算没有开始。") + "\n" + localText(problem);
        return false;
    }
    return true;
}

void FloodSession::beginRun(const std::string& runFolder, std::unique_ptr<ResultFolderLock> lock) {
    folderLock = std::move(lock);
    folder = runFolder;
    nextResult = 1;
    summary = std::move(preparedSummary);
    // The run may rewrite the record of a folder replayed before.
    replayRecordFolder.clear();
    summaryWrittenResult = 0;
    plotsWrittenResult = 0;
    summaryFailed = false;
}

void FloodSession::stopRun() {
    // The files in flight land before anything else of the run changes.
    stage.finishResultFiles();
    folderLock.reset();
    stage.evolution.release(Beat::FloodRun);
    nextResult = 1;
}

void FloodSession::endRun(const QString& message) {
    stopRun();
    writeSummary();
    QMessageBox::information(nullptr, QObject::tr("说明"), message, QMessageBox::Ok);
}

void FloodSession::tick() {
    const QString shownFolder = localText(folder);
    if (!diskHasRoomForResults(folder, resultSetBytes(folder, nextResult - 1))) {
        // Stopped between two results, so every result in the folder is complete.
        const int written = nextResult - 1;
        stopRun();
        // The reserve left room for the summary of the results written.
        writeSummary();
        QMessageBox::information(
            nullptr, QObject::tr("Warning"),
            written > 0
                ? QObject::tr("结果文件夹所在的磁盘空间将满，计算已停止：结果 1 到 %1 已写入 %2。").arg(written).arg(shownFolder)
                : QObject::tr("结果文件夹所在的磁盘空间将满，计算已停止：%1 中没有写入任何结果。").arg(shownFolder),
            QMessageBox::Ok);
        return;
    }
    stage.removeRunNodes();
    FloodTickSettings settings;
    settings.capacity = values.breach.capacity;
    settings.colourLow = colourLow;
    settings.colourHigh = colourHigh;
    settings.resultEverySeconds = values.resultEverySeconds;
    settings.shallowColour = form.shallowColour;
    settings.deepColour = form.deepColour;
    osg::ref_ptr<osg::Geode> water = advanceFloodTick(engine, hud, monitors, settings);

    stage.addRunNode(water.get());
    stage.addRunNode(form.makeDepthLegend(colourLow, colourHigh).get());
    stage.addRunNode(makeFloodHud(hud).get());
    stage.addRunNode(makeFloodDepthCaption().get());

    // The files are written from copies on the writer's thread while the next tick computes; a set that
    // could not be written stops the run at the next tick.
    const auto files = std::make_shared<const FloodResultFiles>(
        copyFloodResult(folder, nextResult, values.resultFormat, *water, engine, hud, monitors));
    std::string failedFile;
    if (!stage.resultWriter.hand([files](std::string& failed) { return writeFloodResult(*files, failed); },
                                 failedFile)) {
        // Going on would show a flood whose results are silently lost.
        stopRun();
        writeSummary();
        reportUnwrittenFile(failedFile);
        return;
    }
    summary.record(engine, nextResult);
    showRunRecord();
    const bool summaryDue = nextResult % summaryEveryResults == 0;
    ++nextResult;
    const int written = nextResult - 1;
    if (floodHasSettled(engine)) {
        // The breach is empty and the water stands: further steps would only write the same flood again.
        endRun(QObject::tr("洪水已经静止，计算结束：结果 1 到 %1 已写入 %2。").arg(written).arg(shownFolder));
        return;
    }
    // Within half a step, as the result times are. A lake that keeps moving would otherwise fill the disk.
    if (engine.simulatedTime() >= values.runHours * 3600.0 - 0.5 * engine.stepSeconds()) {
        endRun(QObject::tr("已算到设定的 %1 小时，计算结束：结果 1 到 %2 已写入 %3。")
                   .arg(values.runHours)
                   .arg(written)
                   .arg(shownFolder));
        return;
    }
    // Last, because a message about the summary lets the timer tick again.
    if (summaryDue) {
        writeSummary(false);
    }
}

void FloodSession::showRunRecord() {
    if (monitors.empty()) {
        return;
    }
    stage.monitorDock.showSeries(groupMonitorSamples(summary.monitorSamples));
}

void FloodSession::writeSummary(bool withPlots) {
    if (!summary.started()) {
        return;
    }
    const int last = summary.lastResult();
    const bool summaryDue = last != summaryWrittenResult;
    const bool plotsDue = withPlots && !summary.monitorSamples.empty() && last != plotsWrittenResult;
    if (!summaryDue && !plotsDue) {
        return;
    }
    std::string problem;
    const std::string summaryFolder = summaryFolderOf(folder);
    if (summaryDue) {
        if (!summary.write(summaryFolder, problem)) {
            reportUnwrittenSummary(problem);
            return;
        }
        summaryWrittenResult = last;
    }
    if (plotsDue) {
        if (!writeMonitorPlots(groupMonitorSamples(summary.monitorSamples), summaryFolder, problem)) {
            reportUnwrittenSummary(problem);
            return;
        }
        plotsWrittenResult = last;
    }
}

void FloodSession::reportUnwrittenSummary(const std::string& problem) {
    std::cout << "flood summary: " << problem << std::endl;
    if (!summaryFailed) {
        summaryFailed = true;
        QMessageBox::information(nullptr, QObject::tr("Warning"),
                                 QObject::tr("洪水汇总结果无法写入：%1").arg(localText(problem)), QMessageBox::Ok);
    }
}

void FloodSession::setLake(std::unique_ptr<LakeSurface> surface) {
    lakeSurface = std::move(surface);
}

void FloodSession::showStoredFrame() {
    EvolutionController& evolution = stage.evolution;
    const int n = evolution.frameIndex;
    const std::string frame = replayFolder + "/" + std::to_string(n);
    // A frame missing from the folder is skipped: the last one stays on screen, and the clock of the next
    // one shows the gap.
    const bool present = QFileInfo::exists(QFile::decodeName((frame + ".txt").c_str())) ||
                         QFileInfo::exists(QFile::decodeName((frame + ".ive").c_str()));
    if (!present) {
        if (evolution.playing) {
            std::cout << "frame " << n << " is missing from " << replayFolder << "; it is skipped" << std::endl;
        }
        advanceStoredFrame();
        return;
    }
    // The replay removes only what it added itself: the terrain, the marks and the lake of the scene stay,
    // and no part of an earlier frame is left under this one.
    stage.removeRunNodes();

    std::string problem;
    hud.readState(frame + ".txt", &problem);
    showReplayRecord(n);
    colourLow = hud.colourLow;
    colourHigh = hud.colourHigh;
    const bool showMonitors = !monitors.empty() || n == 1;
    if (showMonitors) {
        monitors.readJson(frame + ".json");
    }
    // The lake rises with the share of the folder's files shown so far.
    const int filesPerFrame = showMonitors ? 3 : 2;
    if (lakeSurface && evolution.frameCount > 0) {
        lakeSurface->riseOffset =
            osg::Vec3(0, 0, lakeSurface->heightOffset / (evolution.frameCount * filesPerFrame) * 4 * n);
        lakeSurface->rise();
    }
    // A frame whose water model does not load shows its overlays without water.
    if (osg::ref_ptr<osg::Node> water = loadShownModel(frame + ".ive")) {
        drawOverTerrain(*water, 10);
        stage.addRunNode(water.get());
    }
    stage.addRunNode(makeFloodHud(hud).get());
    stage.addRunNode(makeFloodDepthCaption().get());
    stage.addRunNode(form.makeDepthLegend(colourLow, colourHigh).get());
    if (showMonitors) {
        stage.addRunNode(makeMonitorNode(monitors).get());
    }
    if (lakeSurface) {
        stage.addRunNode(lakeSurface->makeNode().get());
    }
    stage.reportReplayProblem(problem);

    advanceStoredFrame();
}

void FloodSession::showReplayRecord(int shownResult) {
    if (replayRecordFolder != replayFolder) {
        replayRecordFolder = replayFolder;
        // A folder without a summary (one written before summaries were kept) has no record to show.
        const std::string path = summaryFolderOf(replayFolder) + "/monitors.csv";
        std::string problem;
        if (!readMonitorsCsv(path, replayRecord, problem) && QFileInfo::exists(QFile::decodeName(path.c_str()))) {
            std::cout << "monitor record not shown: " << problem << std::endl;
        }
    }
    stage.monitorDock.showSeries(seriesUpToResult(replayRecord, shownResult));
}

void FloodSession::advanceStoredFrame() {
    EvolutionController& evolution = stage.evolution;
    // Five results per tick at 1x.
    evolution.advance(5 * evolution.speedStep);
    // frameCount is the last frame of the folder.
    if (evolution.frameIndex > evolution.frameCount) {
        evolution.release(Beat::Replay);
        monitors.clear();
        stage.enableSceneTree();
    }
}
