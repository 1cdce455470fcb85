#pragma once

#include <string>
#include <vector>

// The terrain heights a debris surface is lifted by: one inner vector per row of a terrain grid,
// row 0 the northern-most.
using TerrainHeights = std::vector<std::vector<double>>;

// Reads the heights of a terrain grid through the grid reader the engines use (gridreader.h): one row
// of ncols heights for each of the header's nrows rows, whatever the order of the header, its NODATA line
// or the line ends. Prints "文件不存在!" and returns no rows when the file cannot be opened; prints the
// reason and returns no rows when it is not a grid a run takes (a value that is no number, too few or
// too many values, more values than a debris-flow grid may have).
TerrainHeights readTerrainHeights(const std::string& path);
