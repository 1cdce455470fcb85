#pragma once

#include <functional>
#include <osg/Geode>
#include <osg/ref_ptr>

#include "cafloodnew.h"
#include "depthramp.h"

// The flood grid as the water mesh reads it.
struct FloodGridView {
    const FloodCell* const* cells = nullptr;  // rows of cells, row 0 north
    int rows = 0;
    int cols = 0;
    double cellSize = 0.0;
    // In double: a float origin at northings of millions of metres would move the whole mesh.
    double xll = 0.0;
    double yll = 0.0;
};

FloodGridView floodGridView(const CAFlood& engine);

// Called right after the first triangle of a quad has been emitted, with the quad's lower-left cell B
// and the map position of its reference corner.
using WaterQuadVisitor = std::function<void(double x, double y, const FloodCell& cell)>;

// The water surface of one step: for every strip between rows H-1 and H (H from the last row down to 2)
// one geometry of triangles over the quads that touch a wet cell, with a vertex at each cell's
// north-west corner at the height of its water surface, coloured by depth (a dry corner as depth 0).
// Cells whose ground is the no-data value 9999 or -9999 close every triangle that uses them.
osg::ref_ptr<osg::Geode> buildWaterGeode(const FloodGridView& grid, float colourRange,
                                         const osg::Vec4& shallowColour, const osg::Vec4& deepColour,
                                         const WaterQuadVisitor& afterFirstTriangle = {});
