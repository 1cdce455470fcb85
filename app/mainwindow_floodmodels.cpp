// The dam-break replays of the Mode menu and the filling of the barrier lake that closes a landslide
// scenario.
#include <QMessageBox>
#include <QTimer>
#include <iostream>

#include "configreader.h"
#include "lakefilling.h"
#include "lakesurface.h"
#include "landslidesymbols.h"
#include "mainwindow.h"
#include "viewerqt.h"

namespace {

// Takes away the last child of `group` with this name, if there is one.
void removeLastChildNamed(osg::Group& group, const std::string& name) {
    for (unsigned i = group.getNumChildren(); i-- > 0;) {
        if (group.getChild(i)->getName() == name) {
            group.removeChild(i);
            return;
        }
    }
}

}  // namespace

void MainWindow::FloodModelA() {
    replayFloodModel("Play", tr("全溃"));
}

void MainWindow::FloodModelH() {
    replayFloodModel("PlayH", tr("半溃"));
}

void MainWindow::replayFloodModel(const std::string& category, const QString& modelName) {
    if (evolution->mode != EvolutionMode::Flood) {
        return;
    }
    SceneConfigReader reader;
    const std::vector<std::string> folders = reader.readConfigValues(reader.path, category);
    if (folders.empty() || folders.front().empty()) {
        // Without a folder the replay would read frame files at the root of the file system.
        QMessageBox::information(
            nullptr, tr("警告"),
            tr("当前场景没有配置%1的结果文件夹（%2）。").arg(modelName, QString::fromStdString(category)),
            QMessageBox::Ok);
        return;
    }
    // The chosen model replaces the replay on screen (the lake goes back down with it).
    stopEvolution();
    resultDir = folders.front();
    resultDirQ = QString::fromUtf8(resultDir.c_str());
    evolution->frameIndex = 1;
    evolution->playing = true;
    evolution->speedStep = 1;
    evolution->frameCount = resultFrameCount(resultDirQ);
    evolution->drive(Beat::Replay, 0);
}

bool MainWindow::startFloodingAnalysis() {
    SceneConfigReader reader;
    const std::vector<std::string> lake = reader.readLandslideValues(reader.path, "BarrierLake");
    const std::optional<LakeFillingStart> start =
        lake.empty() ? std::nullopt : measureBarrierLake(lake.front());
    if (!start) {
        return false;
    }
    stopFloodingAnalysis();
    if (!root->containsNode(analysisGroup)) {
        root->addChild(analysisGroup);
    }
    lakeOrigin = start->origin;
    labelAnchor = start->labelAnchor;
    connect(analysisTimer, SIGNAL(timeout()), this, SLOT(FloodingAnalysis()), Qt::UniqueConnection);
    analysisTimer->start(pace.intervalMs(500));
    return true;
}

void MainWindow::stopFloodingAnalysis() {
    if (analysisTimer) {
        analysisTimer->stop();
        disconnect(analysisTimer, SIGNAL(timeout()), this, SLOT(FloodingAnalysis()));
    }
    lakeFillingPaused = false;
    analysisTick = 0;
    analysisGroup2->removeChildren(0, analysisGroup2->getNumChildren());
}

void MainWindow::FloodingAnalysis() {
    if (analysisTick >= lakeFillingTicks) {
        // The label goes, the plane of the last tick stays.
        stopFloodingAnalysis();
        closeLandslideScenario(1000);
        return;
    }
    analysisTick += 1;
    analysisGroup->removeChildren(0, analysisGroup->getNumChildren());
    lakeOrigin += osg::Vec3(0.0f, 0.0f, lakeFillingRise);
    lakeSpanX = osg::Vec3(lakeFillingSpan, 0.0f, 0.0f);
    lakeSpanY = osg::Vec3(0.0f, lakeFillingSpan, 0.0f);
    analysisGroup->addChild(makeFillingPlane(lakeOrigin, lakeSpanX, lakeSpanY));
    // One plane in the scene at a time: adding the group once per tick would stack the translucent
    // planes into an opaque one.
    if (!root->containsNode(analysisGroup)) {
        root->addChild(analysisGroup);
    }
    if (analysisTick == lakeFillingLabelTick) {
        SceneConfigReader reader;
        const std::vector<std::string> lake = reader.readLandslideValues(reader.path, "BarrierLake");
        const std::wstring name = lake.size() > 1 ? landslideSymbols->toWideText(lake[1]) : std::wstring();
        analysisGroup2->addChild(makeLakeLabel(
            name, osg::Vec3(lakeOrigin.x() + 500.0f, lakeOrigin.y() + 500.0f, labelAnchor.z())));
        if (!root->containsNode(analysisGroup2)) {
            root->addChild(analysisGroup2);
        }
    }
}

void MainWindow::closeLandslideScenario(int intervalMs) {
    removeLastChildNamed(*root, "landslideEvent");
    removeLastChildNamed(*root, "landslideinfo");
    SceneConfigReader reader;
    osg::Vec3d eye, center, up;
    if (cameraFromValues(reader.readLandslideValues(reader.path, "Camera2"), eye, center, up)) {
        applyView(eye, center, up);
    }
    evolution->drive(Beat::StoryFlood, pace.intervalMs(intervalMs));
}
