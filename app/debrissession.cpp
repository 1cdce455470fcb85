#include "debrissession.h"

#include <QMessageBox>
#include <algorithm>
#include <iostream>

#include "debrisflow.h"
#include "debrisoverlays.h"
#include "debristick.h"
#include "drawontop.h"
#include "evolutioncontroller.h"
#include "modelfile.h"
#include "sessionstage.h"
#include "summaryfiles.h"

DebrisSession::DebrisSession(SessionStage& stage, const DebrisFlow& form) : stage(stage), form(form) {}

bool DebrisSession::load(const DebrisRunSettings& settings, const std::vector<std::string>& inputs,
                         std::string& problem) {
    loaded = DebrisRun();
    loadedHeights.clear();
    const std::string gridPath = !inputs.empty() ? inputs[0] : std::string();
    const std::string breachPath = inputs.size() > 1 ? inputs[1] : std::string();
    return startDebrisRun(loaded, loadedHeights, settings.parameters(), gridPath, breachPath, problem);
}

void DebrisSession::beginRun(const std::string& runFolder, std::unique_ptr<ResultFolderLock> lock) {
    folderLock = std::move(lock);
    run = std::move(loaded);
    heights = std::move(loadedHeights);
    folder = runFolder;
    nextFrame = 1;
    summary.start(run);
    summaryWrittenFrame = 0;
    summaryFailed = false;
    tickClock.invalidate();
}

void DebrisSession::stopRun() {
    // The files in flight land before anything else of the run changes.
    stage.finishResultFiles();
    run.resetClock();
    tickClock.invalidate();
    folderLock.reset();
    stage.evolution.release(Beat::DebrisRun);
    nextFrame = 1;
}

void DebrisSession::tick() {
    // Only the rendered frames change the view, while every repaint between two ticks takes from the run.
    // A tick steps the model for three times as long as the window spent elsewhere since the previous
    // one (10 ms to 1 s), so the run takes at most about 4/3 of its time without a window, however slow
    // the repaints, and the view stays responsive where they are fast.
    const qint64 outsideMs = tickClock.isValid() ? tickClock.elapsed() : 0;
    const qint64 budgetMs = std::clamp<qint64>(3 * outsideMs, 10, 1000);
    QElapsedTimer spent;
    spent.start();
    do {
        if (!advance()) {
            tickClock.invalidate();
            return;
        }
    } while (spent.elapsed() < budgetMs);
    tickClock.start();
}

bool DebrisSession::advance() {
    DebrisTickSettings settings;
    settings.shallowColour = form.shallowColour;
    settings.deepColour = form.deepColour;
    const osg::ref_ptr<osg::Geode> surface = advanceDebrisTick(run, heights, hud, settings);
    if (surface) {
        stage.removeRunNodes();
        stage.addRunNode(surface.get());
        stage.addRunNode(form.legendBar(run.colourLow, run.colourHigh).get());
        stage.addRunNode(makeDebrisDepthCaption().get());

        // The frame is written from copies on the writer's thread while the run goes on; a frame that
        // could not be written stops the run at the next frame.
        const osg::ref_ptr<const osg::Node> written = copyForWriter(*surface);
        const DebrisHud shownHud = hud;
        const std::string frameFolder = folder;
        const int number = nextFrame;
        std::string failedFile;
        if (!stage.resultWriter.hand(
                [written, shownHud, frameFolder, number](std::string& failed) {
                    return writeDebrisFrame(frameFolder, number, ".ive", *written, shownHud, failed);
                },
                failedFile)) {
            // Going on would show a debris flow whose frames are silently lost.
            writeSummary();
            stopRun();
            reportUnwrittenFile(failedFile);
            return false;
        }
        summary.record(run, nextFrame, hud.elapsedTime);
        ++nextFrame;
    }
    if (run.finished()) {
        // The last frame stays on screen, as at the end of a replay.
        const int written = nextFrame - 1;
        writeSummary();
        stopRun();
        QMessageBox::information(
            nullptr, QObject::tr("说明"),
            QObject::tr("泥石流计算结束：结果 1 到 %1 已写入 %2。").arg(written).arg(localText(folder)),
            QMessageBox::Ok);
        return false;
    }
    return true;
}

void DebrisSession::writeSummary() {
    if (!summary.started() || summary.lastFrame() == summaryWrittenFrame) {
        return;
    }
    std::string problem;
    if (summary.write(run, summaryFolderOf(folder), problem)) {
        summaryWrittenFrame = summary.lastFrame();
        return;
    }
    std::cout << "debris summary: " << problem << std::endl;
    if (!summaryFailed) {
        summaryFailed = true;
        QMessageBox::information(nullptr, QObject::tr("Warning"),
                                 QObject::tr("泥石流汇总结果无法写入：%1").arg(localText(problem)), QMessageBox::Ok);
    }
}

void DebrisSession::showStoredFrame() {
    EvolutionController& evolution = stage.evolution;
    const std::string frame = replayFolder + "/" + std::to_string(evolution.frameIndex);
    // The replay removes only what it added itself: the terrain and the marks of the scene stay, and no
    // part of an earlier frame is left under this one.
    stage.removeRunNodes();

    std::string problem;
    hud.readFrameInfo(frame + ".txt", &problem);
    // A frame whose surface does not load shows its legend and caption without the surface.
    if (osg::ref_ptr<osg::Node> surface = loadShownModel(frame + ".ive")) {
        drawOverTerrain(*surface, 5);
        stage.addRunNode(surface.get());
    }
    stage.addRunNode(form.legendBar(hud.rangeLower, hud.rangeUpper).get());
    stage.addRunNode(makeDebrisDepthCaption().get());
    stage.reportReplayProblem(problem);

    evolution.advance(evolution.speedStep);
    // frameCount is the last frame of the folder.
    if (evolution.frameIndex > evolution.frameCount) {
        evolution.release(Beat::Replay);
        stage.enableSceneTree();
    }
}
