#pragma once

#include <osg/BoundingBox>
#include <osg/Geode>
#include <osg/Vec3>
#include <osg/ref_ptr>
#include <string>

// The bounding box of the model or shapefile at `path`, read with the scene reader (shapefiles through
// OGR). False when it does not load or holds no geometry (its box would be inverted).
bool readModelBounds(const std::string& path, osg::BoundingBox& box);

// The translucent rectangle over a barrier lake. It is placed on the lake model once, raised by the
// replays as the water rises and put back on restart; each `makeNode` call builds the quad at the
// current position, so a caller that moves it replaces the old node by a new one.
class LakeSurface {
public:
    LakeSurface(float width, float depth, float heightOffset);

    // Puts the lower-left corner on the top of the model or shapefile at `path`: (xMin, yMin, zMax +
    // heightOffset) of its bounding box. A path that does not load, or a model without geometry, changes
    // nothing and returns false.
    bool placeOn(const std::string& path);

    osg::ref_ptr<osg::Geode> makeNode() const;

    // position = savedPosition + riseOffset
    void rise();
    // position = savedPosition
    void reset();

    osg::Vec3 position;
    float width;         // extent along x
    float depth;         // extent along y
    float heightOffset;  // above the top of the lake model
    osg::Vec3 riseOffset;
    osg::Vec3 savedPosition;  // where placeOn put the corner
};
