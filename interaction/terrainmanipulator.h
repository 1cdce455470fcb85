#pragma once

#include <osg/BoundingBox>
#include <osg/Camera>
#include <osg/Node>
#include <osg/observer_ptr>
#include <osgGA/TrackballManipulator>

// The bounding box of the geometry a user sees in the world: screen overlays (post-render cameras,
// absolute transforms, projections) are left out, so a heads-up display does not count as terrain.
osg::BoundingBox worldBoundingBox(osg::Node& node);

// The trackball of the 3-D view. Its home view (the view of a new scene, Space) looks down from the south
// at 45 degrees on the whole terrain, as close as the view's frustum allows: the default trackball looks
// horizontally, so a valley appears as an edge-on strip.
class TerrainManipulator : public osgGA::TrackballManipulator {
public:
    // `viewCamera` gives the frustum to fit when the view asks for home without naming its camera (as it
    // does when the manipulator is installed).
    explicit TerrainManipulator(const osg::Camera* viewCamera = nullptr, int flags = DEFAULT_SETTINGS)
        : osgGA::TrackballManipulator(flags), viewCamera(viewCamera) {}

    void computeHomePosition(const osg::Camera* camera = nullptr, bool useBoundingBox = false) override;

private:
    osg::observer_ptr<const osg::Camera> viewCamera;
};
