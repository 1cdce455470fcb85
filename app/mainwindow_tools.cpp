// The data pre-processing tool, the help box and the camera reading.
#include <QMessageBox>
#include <iostream>
#include <osgViewer/Viewer>

#include "getcamerapose.h"
#include "mainwindow.h"
#include "platform.h"
#include "useeventhandler.h"
#include "viewerqt.h"

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

void MainWindow::readCameraView(osg::Vec3d& eye, osg::Vec3d& center, osg::Vec3d& up) const {
    viewer->getCamera()->getViewMatrixAsLookAt(eye, center, up, UseEventHandler::lookDistance);
    std::cout << eye.x() << " " << eye.y() << " " << eye.z() << "\n"
              << center.x() << " " << center.y() << " " << center.z() << "\n"
              << up.x() << " " << up.y() << " " << up.z() << "\n"
              << UseEventHandler::lookDistance << "\n"
              << std::endl;
}

void MainWindow::getCameraParmeter() {
    osg::Vec3d eye, center, up;
    readCameraView(eye, center, up);
    auto* dialog = new GetCameraPose;
    // Every dialog still open is refilled by later readings; a closed one is gone, and those left open go
    // with the window.
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &QObject::destroyed, dialog, &QObject::deleteLater);
    connect(this, SIGNAL(Sendagrv(std::vector<double>)), dialog, SLOT(Getagrv(std::vector<double>)));
    emit Sendagrv({eye.x(), eye.y(), eye.z(), center.x(), center.y(), center.z(), up.x(), up.y(), up.z()});
    dialog->setWindowTitle(tr("获取相机参数"));
    dialog->show();
}
