// The landslide run, its playback and the scripted landslide presentation.
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <iostream>

#include "landsliderun.h"
#include "landslidetick.h"
#include "mainwindow.h"

void MainWindow::acceptLandSlideSignals(bool start) {
    if (!start) {
        return;
    }
    // A run still ticking would go on with the grids that the preparation replaces.
    disconnectPlayback(SLOT(landslideVisualize()));
    LandslideInputs inputs;
    std::string problem;
    if (!landslideInputsFromList(inputFiles, inputs, outputFormat, problem) ||
        !landslideRun->prepare(inputs, problem, &std::cout)) {
        QMessageBox::information(
            nullptr, tr("Warning"),
            tr("滑坡计算的输入无法使用，计算没有开始：\n%1").arg(QString::fromLocal8Bit(problem.c_str())),
            QMessageBox::Ok);
        return;
    }

    const QString folder =
        QFileDialog::getExistingDirectory(this, tr("save && save as"), "./", QFileDialog::ShowDirsOnly);
    std::cout << folder.toLocal8Bit().toStdString() << std::endl;
    if (folder.isEmpty()) {
        std::cout << "未设置保存路径" << std::endl;
        return;
    }
    saveDir = folder.toLocal8Bit().toStdString();
    showLandslideMesh(nullptr);
    connectPlayback(SLOT(landslideVisualize()));
    playTimer->start(0);
}

void MainWindow::showLandslideMesh(osg::Node* mesh) {
    if (landslideMesh) {
        root->removeChild(landslideMesh.get());
    }
    landslideMesh = mesh;
    if (mesh) {
        root->addChild(mesh);
    }
}

void MainWindow::landslideVisualize() {
    LandslideTickSettings settings;
    settings.folder = saveDir;
    settings.format = outputFormat;
    const LandslideTick tick = advanceLandslideTick(*landslideRun, settings);
    if (tick.figures.step == 0) {
        disconnectPlayback(SLOT(landslideVisualize()));
        return;
    }
    // Each step's mesh holds the whole trail, so it replaces the one before instead of covering it.
    showLandslideMesh(tick.stepMesh.get());
    std::cout << landslideProgressText(tick.figures) << std::endl;
    if (!tick.problem.empty()) {
        // Going on would show a slide whose results are silently lost.
        disconnectPlayback(SLOT(landslideVisualize()));
        QMessageBox::information(
            nullptr, tr("Warning"),
            tr("结果文件无法写入，计算已停止：%1").arg(QString::fromLocal8Bit(tick.problem.c_str())),
            QMessageBox::Ok);
        return;
    }
    if (tick.finalMesh) {
        showLandslideMesh(tick.finalMesh.get());
        disconnectPlayback(SLOT(landslideVisualize()));
        std::cout << "landslide: results 1 to " << LandslideRun::stepCount + 1 << " written to " << saveDir
                  << std::endl;
    }
}

// Orders centreline candidates by falling elevation; nothing calls it.
bool MainWindow::GreaterSort(Point a, Point b) {
    return a.elevation > b.elevation;
}

void MainWindow::displayInfo() {}
void MainWindow::displayLandslideInfo() {}
void MainWindow::Shake() {}
void MainWindow::afterLandslide() {}
void MainWindow::OutlineShake() {}
void MainWindow::StripShake1() {}
void MainWindow::StripShake2() {}
void MainWindow::StripShake3() {}
void MainWindow::Twink() {}
