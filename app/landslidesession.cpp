#include "landslidesession.h"

#include <QMessageBox>
#include <iostream>

#include "drawontop.h"
#include "evolutioncontroller.h"
#include "landslidetick.h"
#include "sessionstage.h"
#include "viewerqt.h"

LandslideSession::LandslideSession(SessionStage& stage) : stage(stage) {}

bool LandslideSession::load(const LandslideInputs& inputs, const std::string& outputFormat, std::string& problem) {
    if (!isLandslideFormat(outputFormat)) {
        problem = "the output format \"" + outputFormat + "\" is none of .ive, .3ds, .tif";
        return false;
    }
    format = outputFormat;
    return run.prepare(inputs, problem, &std::cout);
}

void LandslideSession::beginRun(const std::string& runFolder, std::unique_ptr<ResultFolderLock> lock) {
    folderLock = std::move(lock);
    folder = runFolder;
}

void LandslideSession::stopRun() {
    folderLock.reset();
    stage.evolution.release(Beat::LandslideRun);
}

void LandslideSession::showMesh(osg::Node* next) {
    if (mesh) {
        stage.root.removeChild(mesh.get());
    }
    mesh = next;
    if (next) {
        stage.root.addChild(next);
    }
}

void LandslideSession::clear() {
    frameGroup->removeChildren(0, frameGroup->getNumChildren());
    stage.root.removeChild(frameGroup);
    showMesh(nullptr);
}

void LandslideSession::tick() {
    LandslideTickSettings settings;
    settings.folder = folder;
    settings.format = format;
    const LandslideTick tick = advanceLandslideTick(run, settings);
    if (tick.figures.step == 0) {
        stopRun();
        return;
    }
    // Each step's mesh holds the whole trail, so it replaces the one before instead of covering it.
    showMesh(tick.stepMesh.get());
    std::cout << landslideProgressText(tick.figures) << std::endl;
    if (!tick.problem.empty()) {
        // Going on would show a slide whose results are silently lost.
        stopRun();
        QMessageBox::information(
            nullptr, QObject::tr("Warning"),
            QObject::tr("结果文件无法写入，计算已停止：%1").arg(localText(tick.problem)), QMessageBox::Ok);
        return;
    }
    if (tick.finalMesh) {
        showMesh(tick.finalMesh.get());
        stopRun();
        std::cout << "landslide: results 1 to " << LandslideRun::stepCount + 1 << " written to " << folder
                  << std::endl;
    }
}

bool LandslideSession::showStoredFrame(bool partOfStory) {
    EvolutionController& evolution = stage.evolution;
    if (!partOfStory && evolution.frameIndex > evolution.frameCount) {
        // Nothing (left) to show: let go of the timer instead of ticking on idle.
        evolution.release(Beat::Replay);
        return false;
    }
    // Every stored frame is drawn at least once: small frames load far faster than the view draws, and
    // the slide would be over before the user saw it move.
    const unsigned viewFrame = stage.viewer.getFrameStamp()->getFrameNumber();
    if (frameGroup->getNumChildren() > 0 && stage.root.containsNode(frameGroup) && viewFrame == frameShownAt) {
        return false;
    }
    frameShownAt = viewFrame;
    frameGroup->removeChildren(0, frameGroup->getNumChildren());
    stage.root.removeChild(frameGroup);
    if (osg::ref_ptr<osg::Node> frame =
            loadShownModel(replayFolder + "/" + std::to_string(evolution.frameIndex) + ".ive")) {
        frameGroup->addChild(frame);
    }
    stage.root.addChild(frameGroup);
    if (evolution.playing) {
        evolution.frameIndex += evolution.speedStep;
    }
    if (evolution.frameIndex <= evolution.frameCount) {
        return false;
    }

    // The last frame stays, in front of the terrain.
    frameGroup->removeChildren(0, frameGroup->getNumChildren());
    if (osg::ref_ptr<osg::Node> last =
            loadShownModel(replayFolder + "/" + std::to_string(evolution.frameCount) + ".ive")) {
        drawOverTerrain(*last, 1);
        frameGroup->addChild(last);
    }
    evolution.release(Beat::Replay);
    return true;
}
