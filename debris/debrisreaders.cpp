// The two input files of a debris-flow run: the terrain grid (any raster GDAL reads, through the reader
// both engines share) and the breach file.
#include <climits>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <new>
#include <string_view>

#include "cadebrisflow.h"
#include "fileio.h"
#include "gridreader.h"
#include "texttokens.h"

namespace {

// Heights beyond any terrain: no-data markers of other programs that a header does not declare.
constexpr double heightBeyondTerrain = 1e7;

// Largest breach file: a few cells, one short line each.
constexpr std::size_t maxBreachFileBytes = 64 * 1024 * 1024;

std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string quoted(std::string_view token) {
    return "\"" + printableToken(token) + "\"";
}

// "Open file is failed" goes to standard output for a file that cannot be opened, as the run has always
// said; `problem` says which and why.
void reportCannotOpen(const char* what, const std::string& path, const std::string& reason,
                      std::string& problem) {
    std::cout << "Open file is failed" << std::endl;
    problem = std::string("cannot open the ") + what + " \"" + path + "\": " + reason;
}

}  // namespace

std::optional<BreachList> CADebrisFlow::readBreachFile(const std::string& path, int& count,
                                                       double& leadingValue, std::string& problem) const {
    std::string text;
    std::string reason;
    if (readRegularFile(path, maxBreachFileBytes, text, reason) != FileReadStatus::ok) {
        reportCannotOpen("breach file", path, reason, problem);
        return std::nullopt;
    }
    TextTokens tokens(text);
    std::string_view token;
    if (!tokens.next(token)) {
        problem = "the breach file \"" + path + "\" is empty";
        return std::nullopt;
    }
    double leading = 0;
    if (!parseDecimal(token, leading)) {
        problem = "the first number of the breach file, " + quoted(token) + ", is not a number";
        return std::nullopt;
    }
    if (!tokens.next(token)) {
        problem = "the breach file has no count of breach cells after its first number";
        return std::nullopt;
    }
    long long cellCount = 0;
    if (!parseWholeNumber(token, 0, INT_MAX / 2, cellCount)) {
        problem = "the count of breach cells, " + quoted(token) + ", is not a whole number from 0 to " +
                  std::to_string(INT_MAX / 2);
        return std::nullopt;
    }
    const std::size_t numbersNeeded = static_cast<std::size_t>(cellCount) * 2;
    const std::size_t numbersFound = tokens.countAhead(numbersNeeded + 1);
    if (numbersFound != numbersNeeded) {
        problem = "the breach file lists " + std::to_string(cellCount) + " breach cells but holds " +
                  (numbersFound > numbersNeeded ? "more than " + std::to_string(numbersNeeded)
                                                : std::to_string(numbersFound)) +
                  " numbers for their rows and columns instead of " + std::to_string(numbersNeeded);
        return std::nullopt;
    }
    BreachList cells(static_cast<std::size_t>(cellCount));
    for (std::size_t i = 0; i < cells.size(); ++i) {
        int* const fields[2] = {&cells[i].row, &cells[i].col};
        for (int* field : fields) {
            tokens.next(token);
            long long index = 0;
            if (!parseWholeNumber(token, INT_MIN + 1, INT_MAX, index)) {
                problem = "breach cell " + std::to_string(i + 1) + " has the index " + quoted(token) +
                          ", which is not a whole number within range";
                return std::nullopt;
            }
            *field = static_cast<int>(index);
        }
    }
    leadingValue = leading;
    count = static_cast<int>(cellCount);
    return cells;
}

std::optional<DebrisGrid> CADebrisFlow::readGrid(const std::string& path, int& rows, int& cols, double& minX,
                                                 double& minY, double& cellSize, std::string& problem) const {
    GridReader reader;
    std::string reason;
    if (!reader.open(path, reason)) {
        if (reader.fileStatus() != FileReadStatus::ok) {
            reportCannotOpen("terrain grid", path, reason, problem);
        } else {
            problem = "the terrain grid \"" + path + "\": " + reason;
        }
        return std::nullopt;
    }
    const AsciiGridHeader& header = reader.header();
    if (reader.cellCount() > maxGridCells) {
        problem = "the terrain grid of " + std::to_string(header.nrows) + " rows and " +
                  std::to_string(header.ncols) + " columns is larger than the " +
                  std::to_string(maxGridCells) + " cells a run can hold";
        return std::nullopt;
    }
    // The grid takes some 170 bytes per cell: the heights must be there before it is allocated.
    const long long found = reader.valuesAhead(reader.cellCount());
    if (found < reader.cellCount()) {
        problem = "the terrain grid \"" + path + "\": the grid holds " + std::to_string(found) +
                  " values, fewer than the " + std::to_string(reader.cellCount()) + " its header promises";
        return std::nullopt;
    }
    std::optional<DebrisGrid> grid;
    try {
        grid.emplace(header.nrows, header.ncols);
    } catch (const std::bad_alloc&) {
        problem = "the terrain grid of " + std::to_string(header.nrows) + " rows and " +
                  std::to_string(header.ncols) + " columns does not fit in memory";
        return std::nullopt;
    }
    for (int r = 0; r < header.nrows; ++r) {
        DebrisCell* row = (*grid)[r];
        for (int c = 0; c < header.ncols; ++c) {
            double height = 0;
            bool noData = false;
            if (!reader.nextValue(height, noData, reason)) {
                problem = "the terrain grid \"" + path + "\": " + reason;
                return std::nullopt;
            }
            if (noData) {
                row[c].elevation = noDataElevation;
            } else if (std::fabs(height) < heightBeyondTerrain) {
                row[c].elevation = height;
            } else {
                problem = "the terrain grid \"" + path +
                          "\": " + reader.cellName(static_cast<long long>(r) * header.ncols + c) + " is " +
                          shortNumber(height) +
                          ", beyond any terrain (a cell without data reads the header's NODATA_value)";
                return std::nullopt;
            }
        }
    }
    if (!reader.finish(reason)) {
        problem = "the terrain grid \"" + path + "\": " + reason;
        return std::nullopt;
    }
    rows = header.nrows;
    cols = header.ncols;
    minX = header.xllcorner;
    minY = header.yllcorner;
    cellSize = header.cellsize;
    return grid;
}
