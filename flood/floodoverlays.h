#pragma once

#include <osg/Camera>
#include <osg/Vec3>
#include <osg/ref_ptr>

#include "floodhud.h"

// Character size of the heads-up display's lines, in overlay units (800 x 600 over the whole view).
constexpr float floodHudCharacterSize = 18.0f;
// Lower right corner of the "Water Depth" caption, left of the legend bar.
inline const osg::Vec3 floodDepthCaptionAnchor{398.0f, 26.0f, 0.0f};

// The heads-up display in the upper-right corner: a grey box with the time, the residual storage and the
// capacity lines of `hud`, wide enough for the longest of them.
osg::ref_ptr<osg::Camera> makeFloodHud(const FloodHud& hud);
// The "Water Depth" caption under the depth legend.
osg::ref_ptr<osg::Camera> makeFloodDepthCaption();
