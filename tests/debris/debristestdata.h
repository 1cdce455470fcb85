#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cadebrisflow.h"
#include "testfiles.h"

// Input files and parameters for the debris-flow tests, written by the tests themselves.
namespace debristest {

// Writes an ESRI ASCII grid of `rows` × `cols` heights, height(row, column) with row 0 the northern row.
void writeGrid(const std::string& path, int rows, int cols, double cellSize,
               const std::function<double(int, int)>& height, double minX = 0, double minY = 0);

// Writes a breach file: the leading number, the count, then one "row col" line per cell.
void writeBreach(const std::string& path, const std::vector<BreachCell>& cells, double leadingValue = 0);

// The fifteen run parameters of the debris-flow form with its default entries.
std::vector<double> formDefaults();

}  // namespace debristest
