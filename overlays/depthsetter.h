#pragma once

#include <osg/Node>

// Keeps a label visible in front of the terrain: its depth test always passes, and its depth range
// (near 100, far 1, clamped by OpenGL to the far plane) makes it write the farthest depth, so it never
// hides what is drawn after it. Drawables are nodes, so labels take it directly.
class DepthSetter {
public:
    void setAlwaysOnTop(osg::Node* node);
};
