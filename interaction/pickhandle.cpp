#include "pickhandle.h"

#include <QString>
#include <iostream>
#include <osgUtil/LineSegmentIntersector>

bool PickHandle::handle(const osgGA::GUIEventAdapter& ea, osgGA::GUIActionAdapter& aa) {
    view = dynamic_cast<osgViewer::View*>(&aa);
    if (view && ea.getEventType() == osgGA::GUIEventAdapter::PUSH &&
        ea.getButton() == osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON) {
        pick(ea.getX(), ea.getY());
    }
    return false;
}

void PickHandle::pick(float x, float y) {
    osgUtil::LineSegmentIntersector::Intersections hits;
    if (!view->computeIntersections(x, y, hits, 0xffffffff)) {
        return;
    }
    const osgUtil::LineSegmentIntersector::Intersection& nearest = *hits.begin();
    const osg::Vec3d point = nearest.getWorldIntersectPoint();
    // One report per node on the path of the nearest hit, deepest first.
    for (auto node = nearest.nodePath.rbegin(); node != nearest.nodePath.rend(); ++node) {
        wx = point.x();
        wy = point.y();
        wz = point.z();
        std::cout << " wx:" << point.x() << " wy:" << point.y() << " wz:" << point.z() << std::endl;
    }
    pickedPoint = point;
    if (onPick) {
        onPick(point);
    }
}

QString coordinateText(const osg::Vec3d& point) {
    // Map coordinates run to millions of metres: fixed notation keeps every metre and the centimetres.
    return "( X:" + QString::number(point.x(), 'f', 2) + ", Y:" + QString::number(point.y(), 'f', 2) +
           ", Z:" + QString::number(point.z(), 'f', 2) + ")";
}
