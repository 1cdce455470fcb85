#pragma once

#include <osg/Geode>
#include <osg/ref_ptr>
#include <string>
#include <utility>
#include <vector>

// A synthetic but plausible mountain valley on a regular grid: a river valley running west to east
// (downstream is east), meandering, with steep walls and ridges, a basin upstream closed by a dam, and
// gentle noise so that the terrain does not look machined. Rows run from north (row 0) to south, as in
// an ESRI ASCII grid.
struct ValleyDesign {
    int cols = 100;
    int rows = 100;
    double cellSize = 100.0;
    double centreX = 0.0;  // map coordinates of the grid centre
    double centreY = 0.0;
    double floorElevation = 1500.0;  // valley floor at the dam
    double wallHeight = 900.0;       // ridges above the floor
    double floorHalfWidth = 600.0;   // flat-ish valley floor half width, metres
    double downstreamSlope = 0.004;  // fall of the floor per metre eastwards
    double meanderAmplitude = 500.0;
    double damColumnFraction = 0.3;  // position of the dam across the grid, from the west edge
    double damHeight = 60.0;
    unsigned seed = 1;
};

struct ValleyGrid {
    int cols = 0;
    int rows = 0;
    double xll = 0.0;
    double yll = 0.0;
    double cellSize = 0.0;
    std::vector<float> heights;  // row-major, row 0 = north

    float at(int row, int col) const { return heights[static_cast<std::size_t>(row) * cols + col]; }
    float& at(int row, int col) { return heights[static_cast<std::size_t>(row) * cols + col]; }
    // Map position of cell (row, col): its north-west corner, as the result meshes place their vertices.
    double cellX(int col) const { return col * cellSize + xll; }
    double cellY(int row) const { return (rows - row) * cellSize + yll; }
    int damColumn = 0;  // the column of the dam crest
    // Row of the valley floor's centre line at a column.
    std::vector<int> floorRow;
};

ValleyGrid makeValley(const ValleyDesign& design);

// A mountainside with a debris-flow gully: from its crest the slope falls steeply in the direction
// `downhill`, eases into a gentle fan and ends in a basin whose far side rises again, so that debris
// running down the gully comes to rest inside the grid. The gully is carved along the line through the
// grid centre and fades out on the fan; the flanks rise to either side of it.
struct SlopeDesign {
    int cols = 240;
    int rows = 240;
    double cellSize = 20.0;
    double centreX = 0.0;  // map coordinates of the grid centre
    double centreY = 0.0;
    double centreElevation = 1800.0;  // ground at the grid centre, beside the gully
    double downhillX = 1.0;           // horizontal direction the slope falls in (any length)
    double downhillY = 0.0;
    double steepGradient = 0.35;  // fall per metre above the fan
    double fanGradient = 0.02;    // fall per metre on the fan
    double fanStart = 300.0;      // metres downhill of the grid centre where the fan begins
    double basinStart = 1200.0;   // metres downhill of the grid centre where the ground rises again
    double headDistance = 900.0;  // metres uphill of the grid centre where the gully begins
    double gullyDepth = 35.0;
    double gullyHalfWidth = 110.0;
    unsigned seed = 1;
};

struct DebrisSlope {
    ValleyGrid grid;  // the heights; damColumn and floorRow are not used
    // Grid cells (row, column) across the gully at its head, from which the debris is released.
    std::vector<std::pair<int, int>> breachCells;
};

DebrisSlope makeDebrisSlope(const SlopeDesign& design);

// Writes an ESRI ASCII grid with the valley's header and the given values (one per cell, row-major).
bool writeAsciiGrid(const ValleyGrid& grid, const std::vector<float>& values, const std::string& path,
                    int decimals = 2);

// The terrain as a coloured triangle mesh (vertices at the cells' north-west corners, like the water and
// debris meshes), with elevation colours and a baked hill shade: the scene is drawn unlit.
osg::ref_ptr<osg::Geode> buildTerrainMesh(const ValleyGrid& grid);
