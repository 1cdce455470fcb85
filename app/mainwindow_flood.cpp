// The flood run, its live tick and the replay of stored frames.
#include <QFileDialog>
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
#include "floodrun.h"
#include "floodtick.h"
#include "lakesurface.h"
#include "mainwindow.h"
#include "monitorpoints.h"

void MainWindow::acceptfloodValues(std::vector<QString> values) {
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
        if (computationSlot == SLOT(resultVisualize())) {
            stopEvolution();
        }
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
    // The new run replaces whatever runs or replays.
    stopEvolution();
    saveDir = folder.toLocal8Bit().toStdString();
    startComputation(SLOT(resultVisualize()));
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
    settings.capacity = floodCapacity;
    settings.colourLow = colourLow;
    settings.colourHigh = colourHigh;
    settings.shallowColour = floodForm->shallowColour;
    settings.deepColour = floodForm->deepColour;
    osg::ref_ptr<osg::Geode> water = advanceFloodTick(*caFlood, *floodHud, *monitors, settings);

    addRunNode(water.get());
    addRunNode(floodForm->makeDepthLegend(colourLow, colourHigh).get());
    addRunNode(floodHud->makeHud().get());
    addRunNode(floodHud->makeDepthCaption().get());

    std::string failedFile;
    if (!writeFloodResult(saveDir, outputFrameNumber, floodForm->resultFormat, *water, *caFlood, *floodHud,
                          *monitors, failedFile)) {
        // Going on would show a flood whose results are silently lost.
        stopComputation();
        QMessageBox::information(
            nullptr, tr("Warning"),
            tr("结果文件无法写入，计算已停止：%1").arg(QString::fromLocal8Bit(failedFile.c_str())),
            QMessageBox::Ok);
        return;
    }
    ++outputFrameNumber;
    if (floodHasSettled(*caFlood)) {
        // The breach is empty and the water stands: further steps would only write the same flood again.
        const int written = outputFrameNumber - 1;
        stopComputation();
        QMessageBox::information(
            nullptr, tr("说明"),
            tr("洪水已经静止，计算结束：结果 1 到 %1 已写入 %2。").arg(written).arg(folder), QMessageBox::Ok);
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
    removeRunNodes();

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
        addRunNode(water.get());
    }
    addRunNode(floodHud->makeHud().get());
    addRunNode(floodHud->makeDepthCaption().get());
    addRunNode(floodForm->makeDepthLegend(colourLow, colourHigh).get());
    if (showMonitors) {
        addRunNode(monitors->makeNode().get());
    }
    if (lakeSurface) {
        addRunNode(lakeSurface->makeNode().get());
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
