#pragma once

#include <string>
#include <utility>
#include <vector>

struct DemGrid;

// A cell of the DEM grid: (row from the north, column from the west).
using GridCell = std::pair<int, int>;

// The dam as given: one point in the valley, or the two ends of a line across it, in the map coordinates
// of the DEM grid; and the breach.
struct DamSpec {
    std::vector<std::pair<double, double>> points;
    double breachWidth = 133.0;  // m
    double breachHeight = 47.5;  // m; a point dam reaches this far above the ground at the point
};

// Where the flood engine meets the dam. The engine lets a breach out through the east and south faces of
// its outbreak cells only, and an outbreak cell is a wall to the water around it; so every other cell of
// the breach is an outbreak cell, the cells between them take the outflow (whichever way the valley
// runs, each has an outbreak cell west or north of it), and the cells just upstream of the dam's line
// become walls: no water runs back into the reservoir. The line's own cells stay ground, so that water
// reaches the valley below from every corner of a line that runs across the grid's rows and columns.
struct DamCells {
    std::vector<GridCell> line;      // across the valley, end to end, each a side neighbour of the next
    std::vector<GridCell> outbreak;  // the breach's outbreak cells
    std::vector<GridCell> walls;     // cells without data in the engine's elevation grid
    GridCell lowest;                 // the lowest cell of the line, at the breach's middle
    double downstreamX = 0.0;        // unit vector along the valley, downstream
    double downstreamY = 0.0;
    double crest = 0.0;  // m, the dam's crest: the lowest ground of the line plus the breach height
    // Map coordinates of the line's ends.
    double startX = 0.0, startY = 0.0, endX = 0.0, endY = 0.0;
};

// Places the dam on the grid. A point dam becomes the narrowest line through the point across which the
// ground rises the breach height above the point on both sides. The downstream side is the one whose
// ground below the breach lies lower. False, with the reason, when a point lies outside the DEM or on
// cells without data, when the terrain around a point dam does not rise on both sides within the DEM,
// or when the line crosses no cell of the DEM's interior.
bool placeDam(const DemGrid& dem, const DamSpec& spec, DamCells& dam, std::string& problem);

// The outbreak-information file of the cells: their count, then "column row" a line, the row counted from
// the bottom edge (1 = bottom row).
std::string outbreakFileText(const DemGrid& dem, const DamCells& dam);
