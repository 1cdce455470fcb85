#pragma once

#include <osg/Camera>
#include <osg/ref_ptr>

#include "floodhud.h"

// Character size of the heads-up display's lines, pixels.
constexpr float floodHudCharacterSize = 18.0f;

// The heads-up display in the view's upper-right corner: a grey box with the time, the residual storage
// and the capacity lines of `hud`, wide enough for the longest of them.
osg::ref_ptr<osg::Camera> makeFloodHud(const FloodHud& hud);
// The "Water Depth" caption left of the depth legend.
osg::ref_ptr<osg::Camera> makeFloodDepthCaption();
