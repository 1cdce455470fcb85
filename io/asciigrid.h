#pragma once

#include <cstddef>
#include <string>

#include "fileio.h"
#include "texttokens.h"

// The header of an ESRI ASCII grid, with the origin as the lower-left corner of the grid whichever way
// the file gives it.
struct AsciiGridHeader {
    int ncols = 0;
    int nrows = 0;
    double xllcorner = 0.0;  // map coordinates of the grid's lower-left corner, m
    double yllcorner = 0.0;
    double cellsize = 0.0;  // m
    bool hasNodata = false;
    double nodata = 0.0;
    bool nodataIsNan = false;  // "NODATA_value nan": cells reading nan have no data
};

// What a terrain grid may be. A header outside these bounds is refused before anything is allocated: a
// cell of 1e-20 m stalls a run at time 0, and an origin of 1e308 turns every coordinate into infinity.
namespace asciigrid {
constexpr double minCellSize = 0.01;    // m
constexpr double maxCellSize = 100000;  // m
constexpr double maxCoordinate = 1e8;   // m, every corner of the grid: beyond any projected map
constexpr std::size_t maxFileBytes = std::size_t(2) << 30;
}  // namespace asciigrid

// Reads an ESRI ASCII grid; both engines read their grids through it. The header is keyword and value
// pairs, in any order and any letter case: "ncols", "nrows", "xllcorner" or "xllcenter", "yllcorner" or
// "yllcenter", "cellsize" and, optionally, "NODATA_value". The values follow row by row from the
// northern row. Blanks and line ends of any kind ("\n", "\r\n", "\r") separate everything.
//
//     AsciiGridReader grid;
//     if (!grid.open(path, problem)) { ... }
//     for (long long i = 0; i < grid.cellCount(); ++i) { if (!grid.nextValue(value, noData, problem)) ... }
//     if (!grid.finish(problem)) { ... }
//
// Problems do not name the file; callers say which grid they read.
class AsciiGridReader {
public:
    // Reads the file (a regular file of at most asciigrid::maxFileBytes) and its header. False, with the
    // reason, when it cannot be read, a header value is missing, not a number, duplicated or implausible,
    // or the file is too short for the values the header promises.
    bool open(const std::string& path, std::string& problem);
    // The same for the text of a grid file.
    bool openText(std::string gridText, std::string& problem);
    // Why open failed, when it failed on reading the file.
    FileReadStatus fileStatus() const { return status; }

    const AsciiGridHeader& header() const { return gridHeader; }
    long long cellCount() const { return static_cast<long long>(gridHeader.ncols) * gridHeader.nrows; }

    // The next value in file order. `noData` tells a cell reading the header's NODATA_value. False, with
    // the reason, when the grid ends early or the value is not a finite decimal number.
    bool nextValue(double& value, bool& noData, std::string& problem);
    // Tokens left in the file, counted up to `limit`: a reader that allocates much per cell can check that
    // the values are there first.
    long long tokensAhead(long long limit) const {
        return static_cast<long long>(tokens.countAhead(static_cast<std::size_t>(limit)));
    }
    // "value 5 (row 1, column 0)" for the value at `index` in file order.
    std::string cellName(long long index) const;
    // After the last value: false when the file holds more than the header promised.
    bool finish(std::string& problem);

private:
    bool readHeader(std::string& problem);

    std::string text;
    TextTokens tokens;
    AsciiGridHeader gridHeader;
    long long valuesRead = 0;
    FileReadStatus status = FileReadStatus::ok;
};
