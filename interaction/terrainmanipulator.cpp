#include "terrainmanipulator.h"

#include <algorithm>
#include <cmath>
#include <osg/Camera>
#include <osg/ComputeBoundsVisitor>
#include <osg/Projection>
#include <osg/Transform>

namespace {

class WorldBoundsVisitor : public osg::ComputeBoundsVisitor {
public:
    using osg::ComputeBoundsVisitor::apply;  // every other node type as the base visits it
    void apply(osg::Transform& transform) override {
        if (transform.getReferenceFrame() != osg::Transform::RELATIVE_RF) {
            return;
        }
        osg::ComputeBoundsVisitor::apply(transform);
    }
    void apply(osg::Projection&) override {}
};

}  // namespace

osg::BoundingBox worldBoundingBox(osg::Node& node) {
    WorldBoundsVisitor visitor;
    node.accept(visitor);
    return visitor.getBoundingBox();
}

void TerrainManipulator::computeHomePosition(const osg::Camera* camera, bool useBoundingBox) {
    osg::Node* scene = getNode();
    const osg::BoundingBox box = scene ? worldBoundingBox(*scene) : osg::BoundingBox();
    if (!box.valid() || box.radius() <= 0.0f) {
        osgGA::TrackballManipulator::computeHomePosition(camera, useBoundingBox);
        return;
    }
    // Looking north and 45 degrees down.
    const osg::Vec3d forward = osg::Vec3d(0.0, 1.0, -1.0) / std::sqrt(2.0);
    const osg::Vec3d right(1.0, 0.0, 0.0);
    const osg::Vec3d up = right ^ forward;
    double tanHalfHeight = std::tan(osg::DegreesToRadians(15.0));
    double aspect = 4.0 / 3.0;
    osg::ref_ptr<const osg::Camera> known;
    if (!camera && viewCamera.lock(known)) {
        camera = known.get();
    }
    if (camera) {
        double fovy = 0.0, cameraAspect = 0.0, zNear = 0.0, zFar = 0.0;
        if (camera->getProjectionMatrixAsPerspective(fovy, cameraAspect, zNear, zFar) && fovy > 0.0 &&
            cameraAspect > 0.0) {
            tanHalfHeight = std::tan(osg::DegreesToRadians(fovy / 2.0));
            aspect = cameraAspect;
        }
    }
    // A little room around the terrain at the edges of the view.
    const double fill = 0.95;
    const double tanHalfWidth = tanHalfHeight * aspect * fill;
    tanHalfHeight *= fill;
    // The closest distance from the box's centre at which every corner lies inside the frustum.
    const osg::Vec3d centre = box.center();
    double distance = 0.0;
    for (unsigned corner = 0; corner < 8; ++corner) {
        const osg::Vec3d offset = osg::Vec3d(box.corner(corner)) - centre;
        const double along = offset * forward;
        distance = std::max(distance, std::abs(offset * right) / tanHalfWidth - along);
        distance = std::max(distance, std::abs(offset * up) / tanHalfHeight - along);
    }
    distance = std::max(distance, 1.0);
    setHomePosition(centre - forward * distance, centre, up, _autoComputeHomePosition);
}
