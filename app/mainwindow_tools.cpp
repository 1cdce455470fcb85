// The data pre-processing tool, the help box and the camera reading.
#include <QMessageBox>
#include <iostream>
#include <osgGA/OrbitManipulator>
#include <osgUtil/IntersectionVisitor>
#include <osgUtil/LineSegmentIntersector>
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
        tr("本软件基于Qt %1并结合开源库OSG与GDAL开发，提供洪水、泥石流、滑坡三种自然灾害的模拟计算与演进展示。")
            .arg(qVersion()),
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

namespace {

// Farther than any terrain a scene holds, and near enough for the intersector's precision.
constexpr double sightRange = 1e7;

// The point the view looks at: where its line of sight first meets the scene, or, when it meets nothing,
// the centre the manipulator turns about. A scene file's camera centre is such a point.
osg::Vec3d lookedAtPoint(osgViewer::View& view, const osg::Vec3d& eye, const osg::Vec3d& farCentre) {
    osg::Vec3d direction = farCentre - eye;
    direction.normalize();
    if (osg::Node* scene = view.getSceneData()) {
        osg::ref_ptr<osgUtil::LineSegmentIntersector> sight =
            new osgUtil::LineSegmentIntersector(eye, eye + direction * sightRange);
        osgUtil::IntersectionVisitor visitor(sight.get());
        scene->accept(visitor);
        if (sight->containsIntersections()) {
            return sight->getFirstIntersection().getWorldIntersectPoint();
        }
    }
    if (const auto* orbit = dynamic_cast<const osgGA::OrbitManipulator*>(view.getCameraManipulator())) {
        return orbit->getCenter();
    }
    return eye + direction;
}

}  // namespace

void MainWindow::getCameraParmeter() {
    osg::Vec3d eye, farCentre, up;
    readCameraView(eye, farCentre, up);
    const osg::Vec3d center = lookedAtPoint(*viewer, eye, farCentre);
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
