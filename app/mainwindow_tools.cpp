// The data pre-processing tool, the help box and the camera reading.
#include <QMessageBox>

#include "mainwindow.h"
#include "platform.h"

void MainWindow::dataDealTool() {
    platform::setChineseLocale();
    // A missing or broken tool is not reported, as on the desktop the tool ships with.
    platform::startDataTool(appDir);
}

void MainWindow::help() {
    QMessageBox::information(
        nullptr, tr("说明"),
        tr("本软件基于Qt "
           "5.8.0并结合开源库OSG与GDAL开发，提供洪水、泥石流、滑坡三种自然灾害的模拟计算与演进展示。"),
        QMessageBox::Yes);
}

// Built with the camera parameter dialog.
void MainWindow::getCameraParmeter() {}
