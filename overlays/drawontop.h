#pragma once

#include <osg/Node>

// Draws a stored result surface over the terrain whatever its depth: its depth test always passes (with
// depth writes on), overriding what the loaded model asks for, in the given render bin.
void drawOverTerrain(osg::Node& node, int renderBin);
