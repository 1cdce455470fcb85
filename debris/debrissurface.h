#pragma once

#include <osg/Geode>
#include <osg/Vec4>
#include <osg/ref_ptr>

#include "cadebrisflow.h"
#include "terrainheights.h"

class DebrisRun;

// The two ends of the debris colour scale: light brown for shallow debris, dark brown for deep.
const osg::Vec4 debrisShallowColour(184.0f / 255.0f, 157.0f / 255.0f, 108.0f / 255.0f, 1.0f);
const osg::Vec4 debrisDeepColour(115.0f / 255.0f, 95.0f / 255.0f, 67.0f / 255.0f, 1.0f);

// The colour of a debris depth (m) over a colour range `span` metres wide, in ten classes: class k
// (1 for depths below a tenth of the span, 10 in the last tenth) lies k tenths of the way from `shallow`
// to `deep`; depths of a whole span or more continue past `deep`. The depth is not shifted by the range's
// lower end. A span given the wrong way round counts by its width; a span of no width has no classes and
// gives `deep`.
osg::Vec4 debrisDepthColour(float depth, float span, const osg::Vec4& shallow, const osg::Vec4& deep);

// The grid of a debris-flow run as the surface reads it: the debris depth of every cell and the terrain
// heights under it, with the geometry of the steps (whole-metre cell size).
struct DebrisSurfaceGrid {
    const DebrisGrid* cells = nullptr;
    const TerrainHeights* heights = nullptr;
    double minX = 0;
    double minY = 0;
    double cellSize = 0;
};

DebrisSurfaceGrid debrisSurfaceGrid(const DebrisRun& run, const TerrainHeights& heights);

// Height added to terrain plus debris, so that the surface stays above the terrain model.
constexpr float debrisSurfaceLift = 20.0f;

// The debris surface of a frame: for every strip between rows t - 1 and t (t from the last row down to 2)
// one geometry of triangles over the quads that touch a covered cell, with a vertex at each cell's
// north-west corner, lifted `debrisSurfaceLift` above terrain plus debris and coloured by depth (an
// uncovered corner as depth 0). A cell whose terrain height is 9999 or -9999, or missing from `heights`,
// closes every triangle that uses it. Row 0 is never drawn.
osg::ref_ptr<osg::Geode> buildDebrisGeode(const DebrisSurfaceGrid& grid, float span, const osg::Vec4& shallow,
                                          const osg::Vec4& deep);
