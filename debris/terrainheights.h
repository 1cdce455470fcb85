#pragma once

#include <string>
#include <vector>

// The terrain heights a debris surface is lifted by: one inner vector per data line of an ESRI ASCII
// grid, row 0 the northern-most.
using TerrainHeights = std::vector<std::vector<double>>;

// Reads the heights of a terrain grid line by line: the six header lines are skipped, every further line
// holding numbers becomes a row. Numbers are separated by runs of blanks or tabs, so a line padded with
// several blanks keeps its columns in place; a token takes its leading number ("12.5m" is 12.5) and one
// without a finite number reads as 0. Prints "文件不存在!" and returns no rows when the file cannot be
// opened, and returns no rows with a diagnostic line when it holds more numbers than a debris-flow grid
// may have.
TerrainHeights readTerrainHeights(const std::string& path);
