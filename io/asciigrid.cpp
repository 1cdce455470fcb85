#include "asciigrid.h"

#include <cmath>
#include <limits>
#include <sstream>

namespace {

// Header fields in the order they are reported when missing.
enum Field { columns, rows, originX, originY, cellSize, noData, fieldCount };

const char* const fieldNames[fieldCount] = {"ncols",     "nrows",    "xllcorner",
                                            "yllcorner", "cellsize", "NODATA_value"};

struct Keyword {
    const char* lowerCase;
    Field field;
    bool centre;  // xllcenter, yllcenter: the origin is the centre of the lower-left cell
};

const Keyword keywords[] = {
    {"ncols", columns, false},     {"nrows", rows, false},          {"xllcorner", originX, false},
    {"xllcenter", originX, true},  {"yllcorner", originY, false},   {"yllcenter", originY, true},
    {"cellsize", cellSize, false}, {"nodata_value", noData, false},
};

bool startsWithLetter(std::string_view token) {
    const char c = token.empty() ? '\0' : token.front();
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string lowerCase(std::string_view token) {
    std::string lower(token);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

bool isNanToken(std::string_view token) {
    const std::string lower = lowerCase(token);
    return lower == "nan" || lower == "-nan" || lower == "+nan";
}

std::string number(double value) {
    std::ostringstream text;
    text.precision(10);
    text << value;
    return text.str();
}

}  // namespace

bool AsciiGridReader::open(const std::string& path, std::string& problem) {
    std::string bytes;
    status = readRegularFile(path, asciigrid::maxFileBytes, bytes, problem);
    if (status != FileReadStatus::ok) {
        return false;
    }
    return openText(std::move(bytes), problem);
}

bool AsciiGridReader::openText(std::string gridText, std::string& problem) {
    text = std::move(gridText);
    tokens = TextTokens(text);
    gridHeader = AsciiGridHeader();
    valuesRead = 0;
    return readHeader(problem);
}

bool AsciiGridReader::readHeader(std::string& problem) {
    std::string_view token;
    if (!tokens.peek(token)) {
        problem = "the file is empty";
        return false;
    }
    bool given[fieldCount] = {};
    double values[fieldCount] = {};
    bool centre[fieldCount] = {};
    const auto complete = [&given] {
        return given[columns] && given[rows] && given[originX] && given[originY] && given[cellSize];
    };
    while (tokens.peek(token) && startsWithLetter(token)) {
        const std::string keyword = lowerCase(token);
        const Keyword* known = nullptr;
        for (const Keyword& candidate : keywords) {
            if (keyword == candidate.lowerCase) {
                known = &candidate;
            }
        }
        // After a complete header, a word is the first value ("nan", or one that is refused as no number).
        if (!known && complete()) {
            break;
        }
        tokens.next(token);
        if (!known) {
            problem = "the header holds \"" + printableToken(token) +
                      "\", which is not a keyword of an ESRI ASCII grid (ncols, nrows, xllcorner or "
                      "xllcenter, yllcorner or yllcenter, cellsize, NODATA_value)";
            return false;
        }
        const Field field = known->field;
        if (given[field]) {
            problem = std::string("the header gives \"") + fieldNames[field] + "\" twice";
            return false;
        }
        std::string_view valueToken;
        if (!tokens.next(valueToken)) {
            problem = "the header ends after \"" + printableToken(token) + "\" without its value";
            return false;
        }
        given[field] = true;
        centre[field] = known->centre;
        if (field == noData && isNanToken(valueToken)) {
            gridHeader.nodataIsNan = true;
            continue;
        }
        if (!parseDecimal(valueToken, values[field])) {
            problem = "the header value of \"" + printableToken(token) + "\" is \"" +
                      printableToken(valueToken) + "\", not a number";
            return false;
        }
    }
    for (int field = 0; field < noData; ++field) {
        if (!given[field]) {
            problem = std::string("the header has no \"") + fieldNames[field] + "\"" +
                      (field == originX   ? " (or \"xllcenter\")"
                       : field == originY ? " (or \"yllcenter\")"
                                          : "");
            return false;
        }
    }

    for (const Field field : {columns, rows}) {
        if (values[field] < 1 || values[field] > std::numeric_limits<int>::max() ||
            values[field] != std::floor(values[field])) {
            problem = std::string(fieldNames[field]) + " " + number(values[field]) +
                      " is not a positive whole number";
            return false;
        }
    }
    const double cell = values[cellSize];
    if (!(cell >= asciigrid::minCellSize && cell <= asciigrid::maxCellSize)) {
        problem = "cellsize " + number(cell) + " is not a plausible cell size (" +
                  number(asciigrid::minCellSize) + " m to " + number(asciigrid::maxCellSize) + " m)";
        return false;
    }
    gridHeader.ncols = static_cast<int>(values[columns]);
    gridHeader.nrows = static_cast<int>(values[rows]);
    gridHeader.cellsize = cell;
    const struct {
        Field field;
        int cells;
        double& corner;
    } axes[] = {{originX, gridHeader.ncols, gridHeader.xllcorner},
                {originY, gridHeader.nrows, gridHeader.yllcorner}};
    for (const auto& axis : axes) {
        const char* name =
            centre[axis.field] ? (axis.field == originX ? "xllcenter" : "yllcenter") : fieldNames[axis.field];
        const double origin = values[axis.field];
        if (!(std::fabs(origin) <= asciigrid::maxCoordinate)) {
            problem = std::string(name) + " " + number(origin) +
                      " is not a plausible map coordinate (at most " + number(asciigrid::maxCoordinate) +
                      " m from 0)";
            return false;
        }
        axis.corner = centre[axis.field] ? origin - cell / 2 : origin;
        const double farEdge = axis.corner + axis.cells * cell;
        if (!(std::fabs(axis.corner) <= asciigrid::maxCoordinate &&
              std::fabs(farEdge) <= asciigrid::maxCoordinate)) {
            problem = std::string("the grid of ") + std::to_string(axis.cells) + " cells of " + number(cell) +
                      " m from " + name + " " + number(origin) + " reaches " + number(farEdge) +
                      ", not a plausible map coordinate (at most " + number(asciigrid::maxCoordinate) +
                      " m from 0)";
            return false;
        }
    }
    if (given[noData] && !gridHeader.nodataIsNan) {
        gridHeader.hasNodata = true;
        gridHeader.nodata = values[noData];
    }
    gridHeader.hasNodata = gridHeader.hasNodata || gridHeader.nodataIsNan;

    // Every value takes at least two bytes (a digit and a blank): a header promising more than the file
    // can hold is refused before anything is allocated for it.
    const double promised = static_cast<double>(gridHeader.ncols) * gridHeader.nrows;
    if (promised > static_cast<double>(tokens.remainingBytes() / 2 + 1)) {
        problem = "the header promises " + std::to_string(gridHeader.ncols) + " x " +
                  std::to_string(gridHeader.nrows) + " values, more than the rest of the file (" +
                  std::to_string(tokens.remainingBytes()) + " bytes) can hold";
        return false;
    }
    return true;
}

std::string AsciiGridReader::cellName(long long index) const {
    const long long columnCount = gridHeader.ncols > 0 ? gridHeader.ncols : 1;
    return "value " + std::to_string(index + 1) + " (row " + std::to_string(index / columnCount) +
           ", column " + std::to_string(index % columnCount) + ")";
}

bool AsciiGridReader::nextValue(double& value, bool& noData, std::string& problem) {
    std::string_view token;
    if (!tokens.next(token)) {
        problem = "the grid holds " + std::to_string(valuesRead) + " values, fewer than the " +
                  std::to_string(cellCount()) + " its header promises";
        return false;
    }
    const long long index = valuesRead++;
    noData = false;
    if (parseDecimal(token, value)) {
        noData = gridHeader.hasNodata && !gridHeader.nodataIsNan && value == gridHeader.nodata;
        return true;
    }
    if (gridHeader.nodataIsNan && isNanToken(token)) {
        noData = true;
        value = 0.0;
        return true;
    }
    problem = cellName(index) + " is \"" + printableToken(token) + "\", not a number";
    return false;
}

bool AsciiGridReader::finish(std::string& problem) {
    std::string_view token;
    if (tokens.peek(token)) {
        problem = "the grid holds more than the " + std::to_string(gridHeader.ncols) + " x " +
                  std::to_string(gridHeader.nrows) + " values its header gives (next: \"" +
                  printableToken(token) + "\")";
        return false;
    }
    return true;
}
