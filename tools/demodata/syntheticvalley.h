#pragma once

#include <osg/Geode>
#include <osg/ref_ptr>
#include <string>
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

// Writes an ESRI ASCII grid with the valley's header and the given values (one per cell, row-major).
bool writeAsciiGrid(const ValleyGrid& grid, const std::vector<float>& values, const std::string& path,
                    int decimals = 2);

// The terrain as a coloured triangle mesh (vertices at the cells' north-west corners, like the water and
// debris meshes), with elevation colours and a baked hill shade: the scene is drawn unlit.
osg::ref_ptr<osg::Geode> buildTerrainMesh(const ValleyGrid& grid);
