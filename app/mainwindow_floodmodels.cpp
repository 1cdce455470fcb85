// The dam-break replays of the Mode menu.
#include <QMessageBox>

#include "configreader.h"
#include "mainwindow.h"

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
    SceneConfigReader reader(catalog);
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
    assignReplayFolder(folders.front());
    evolution->playing = true;
    evolution->speedStep = 1;
    evolution->drive(Beat::Replay, 0);
}
