// The flood run, its live tick and the replay of stored frames.
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardItemModel>
#include <QTimer>
#include <iostream>
#include <osgDB/ReadFile>

#include "cafloodnew.h"
#include "drawontop.h"
#include "floodform.h"
#include "floodhud.h"
#include "floodrun.h"
#include "floodsummary.h"
#include "floodtick.h"
#include "lakesurface.h"
#include "mainwindow.h"
#include "monitorpoints.h"

namespace {

// Results between two writes of a live run's summary: often enough that little is lost when the
// program is killed, seldom enough that the rasters cost little beside the results.
constexpr int floodSummaryEveryResults = 20;

}  // namespace

void MainWindow::acceptfloodValues(std::vector<QString> values) {
    // A run still going keeps its summary up to its last result.
    writeFloodSummary();
    simulationMode = 1;
    floodCapacity = values[0].toFloat();
    floodWidth = values[1].toFloat();
    floodHeight = values[2].toFloat();
    colourLow = values[7].toInt(nullptr, 10);
    colourHigh = values[8].toInt(nullptr, 10);

    FloodRunSettings settings;
    settings.capacity = floodCapacity;
    settings.width = values[3].toFloat();
    settings.height = values[4].toFloat();
    settings.mode = values[6].toStdString();
    settings.timeStepDivisor = values[5].toFloat();
    const FloodRunStart start = startFloodRun(*caFlood, inputFiles, settings);
    if (start != FloodRunStart::Ready) {
        // The engine has dropped the previous grid, so a run still ticking would only write empty results.
        disconnectPlayback(SLOT(resultVisualize()));
        QMessageBox::information(nullptr, tr("Warning"),
                                 start == FloodRunStart::InputsRejected
                                     ? tr("洪水计算的输入文件无法读取，计算没有开始。")
                                     : tr("溃口参数没有出流，计算没有开始。"),
                                 QMessageBox::Ok);
        return;
    }
    if (inputFiles.size() > 3) {
        monitors->load(inputFiles[3]);
    }

    const QString folder =
        QFileDialog::getExistingDirectory(this, tr("save && save as"), "./", QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        std::cout << "未设置保存路径" << std::endl;
        return;
    }
    saveDir = folder.toLocal8Bit().toStdString();
    floodSummary->start(*caFlood, defaultArrivalDepth, monitors);
    floodSummaryWrittenResult = 0;
    floodSummaryFailed = false;
    connectPlayback(SLOT(resultVisualize()));
    playTimer->start(0);
}

void MainWindow::resultVisualize() {
    keepOnlyTerrain();
    FloodTickSettings settings;
    settings.capacity = floodCapacity;
    settings.colourLow = colourLow;
    settings.colourHigh = colourHigh;
    settings.shallowColour = floodForm->shallowColour;
    settings.deepColour = floodForm->deepColour;
    osg::ref_ptr<osg::Geode> water = advanceFloodTick(*caFlood, *floodHud, *monitors, settings);

    root->addChild(water.get());
    root->addChild(floodForm->makeDepthLegend(colourLow, colourHigh).get());
    root->addChild(floodHud->makeHud().get());
    root->addChild(floodHud->makeDepthCaption().get());

    std::string failedFile;
    if (!writeFloodResult(saveDir, outputFrameNumber, floodForm->resultFormat, *water, *caFlood, *floodHud,
                          *monitors, failedFile)) {
        // Going on would show a flood whose results are silently lost.
        disconnectPlayback(SLOT(resultVisualize()));
        writeFloodSummary();
        QMessageBox::information(
            nullptr, tr("Warning"),
            tr("结果文件无法写入，计算已停止：%1").arg(QString::fromLocal8Bit(failedFile.c_str())),
            QMessageBox::Ok);
        return;
    }
    floodSummary->record(*caFlood, outputFrameNumber);
    const bool summaryDue = outputFrameNumber % floodSummaryEveryResults == 0;
    ++outputFrameNumber;
    // Last, because a message about the summary lets the timer tick again.
    if (summaryDue) {
        writeFloodSummary();
    }
}

void MainWindow::writeFloodSummary() {
    if (!floodSummary->started() || floodSummary->lastResult() == floodSummaryWrittenResult) {
        return;
    }
    std::string problem;
    if (floodSummary->write(summaryFolderOf(saveDir), problem)) {
        floodSummaryWrittenResult = floodSummary->lastResult();
        return;
    }
    std::cout << "flood summary: " << problem << std::endl;
    if (!floodSummaryFailed) {
        floodSummaryFailed = true;
        QMessageBox::information(nullptr, tr("Warning"),
                                 tr("洪水汇总结果无法写入：%1").arg(QString::fromLocal8Bit(problem.c_str())),
                                 QMessageBox::Ok);
    }
}

void MainWindow::Visualize() {
    if (simulationMode == 1) {
        showStoredFloodFrame();
    } else if (simulationMode == 2) {
        showStoredDebrisFrame();
    } else if (simulationMode == 3) {
        showStoredLandslideFrame();
    }
}

void MainWindow::removeReplayFrame() {
    for (const osg::ref_ptr<osg::Node>& node : replayFrameNodes) {
        root->removeChild(node.get());
    }
    replayFrameNodes.clear();
}

void MainWindow::addReplayNode(osg::Node* node) {
    root->addChild(node);
    replayFrameNodes.push_back(node);
}

void MainWindow::enableSceneTree() {
    for (int row = 0; row < treeModel->rowCount(); ++row) {
        treeModel->item(row, 0)->setEnabled(true);
    }
}

void MainWindow::showStoredFloodFrame() {
    const int n = frameIndex;
    const std::string frame = resultDir + "/" + std::to_string(n);
    // The replay removes only what it added itself: the terrain, the marks and the lake of the scene stay,
    // and no part of an earlier frame is left under this one.
    removeReplayFrame();

    floodHud->readState(frame + ".txt");
    colourLow = floodHud->colourLow;
    colourHigh = floodHud->colourHigh;
    const bool showMonitors = !monitors->empty() || n == 1;
    if (showMonitors) {
        monitors->readJson(frame + ".json");
    }
    if (lakeSurface && frameCount > 0) {
        lakeSurface->riseOffset = osg::Vec3(0, 0, lakeSurface->heightOffset / frameCount * 4 * n);
        lakeSurface->rise();
    }
    // A frame whose water model does not load shows its overlays without water.
    if (osg::ref_ptr<osg::Node> water = osgDB::readNodeFile(frame + ".ive")) {
        drawOverTerrain(*water, 10);
        addReplayNode(water.get());
    }
    addReplayNode(floodHud->makeHud().get());
    addReplayNode(floodHud->makeDepthCaption().get());
    addReplayNode(floodForm->makeDepthLegend(colourLow, colourHigh).get());
    if (showMonitors) {
        addReplayNode(monitors->makeNode().get());
    }
    if (lakeSurface) {
        addReplayNode(lakeSurface->makeNode().get());
    }

    if (playing) {
        frameIndex += 5 * speedStep;
    }
    // Files per frame in the folder: model, display state and, with monitor points, their values.
    const int filesPerFrame = !monitors->empty() || frameIndex == 1 ? 3 : 2;
    if (frameCount < frameIndex * filesPerFrame) {
        disconnectPlayback(SLOT(Visualize()));
        monitors->clear();
        enableSceneTree();
    }
}
