#pragma once

#include <string>
#include <utility>
#include <vector>

#include "floodrun.h"
#include "testfiles.h"

class CAFlood;
struct FloodCell;

// Input files of the flood engine written by tests and benchmarks.

// An ESRI ASCII grid: the six header lines, then `values` row by row from the top (northern) row.
void writeAsciiGrid(const std::string& path, int ncols, int nrows, const std::vector<float>& values,
                    float cellsize = 10.0f, double xllcorner = 0.0, double yllcorner = 0.0);

// An outbreak-information file: the count, then one "column row" pair per line, the row counted from
// the bottom edge (1 = bottom row).
void writeOutbreakFile(const std::string& path, const std::vector<std::pair<int, int>>& cells);

// A valley running north to south: a V-shaped cross-section around the middle column that falls by
// `sideSlope` per metre toward the middle, and a floor that falls by `floorSlope` per metre toward the
// south. The grid border closes it. Roughness 0.035 everywhere.
struct ValleyShape {
    int ncols = 40;
    int nrows = 40;
    float cellsize = 10.0f;
    float sideSlope = 0.05f;
    float floorSlope = 0.01f;
};

// Ground elevations of the valley, row by row from the top.
std::vector<float> valleyGround(const ValleyShape& shape);

// The three input paths (roughness, elevation, outbreak) of a valley written into `folder`, in the
// order the engine takes them.
std::vector<std::string> writeValley(const std::string& folder, const ValleyShape& shape,
                                     const std::vector<std::pair<int, int>>& outbreakCells);

// The ground of `shape`'s valley with `dryColumns` columns of high land east of it, 20 m above the
// valley's highest cell: land the flood never reaches.
std::vector<float> groundBesideHighLand(const ValleyShape& shape, int dryColumns);

// The inputs of that valley and its high land (see writeValley); the outbreak cells keep their places.
std::vector<std::string> writeValleyBesideHighLand(const std::string& folder, const ValleyShape& shape,
                                                   int dryColumns,
                                                   const std::vector<std::pair<int, int>>& outbreakCells);

// Outbreak cells on a lattice over the interior, every `spacing` cells in both directions, in the
// outbreak file's (column, row from bottom) form: enough sources wet the whole valley within a few
// dozen steps.
std::vector<std::pair<int, int>> outbreakLattice(const ValleyShape& shape, int spacing);

// A small breach (width 10 m, height 5 m, total break) of a reservoir of `capacity` m^3: a flood that
// small test valleys hold.
FloodRunSettings smallBreach(float capacity);

// Steps the engine until its clock reaches `seconds`.
void runUntil(CAFlood& engine, double seconds);

// Depth of a cell, m: surface minus ground (0 on border, outbreak and no-data cells).
float cellDepth(const CAFlood& engine, int r, int c);

// Whether two floats are the same bits (NaNs and signed zeros included).
bool sameBits(float a, float b);

// The first field of the flood state of two cells that differs, or null. Compared field by field: the
// padding between the flags and the floats is not part of the state.
const char* firstDifference(const FloodCell& a, const FloodCell& b);
