// Loading the three inputs of the flood engine and the breach parameters.
#include "cafloodnew.h"

#include <gdal.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <future>
#include <iostream>
#include <limits>
#include <new>
#include <sstream>

#include "fileio.h"
#include "gridreader.h"
#include "texttokens.h"

namespace {

// Elevation of a cell without data; outbreak and border cells take it as ground and surface, which
// closes every face toward them.
constexpr float kNoData = floodNoDataElevation;

// Elevations beyond any terrain: no-data markers of other programs (such as -3.4e38) that would
// overflow the face fluxes of their neighbours.
constexpr double kElevationBeyondTerrain = 1e7;

// Largest outbreak-information file: a few cells, one short line each.
constexpr std::size_t kMaxOutbreakFileBytes = 64 * 1024 * 1024;

// Opens a grid; on failure prints the diagnostic of `grid` ("elevation grid", "roughness grid") to `out`.
bool openGrid(GridReader& reader, const std::string& path, const char* grid, std::ostream& out = std::cerr) {
    std::string problem;
    if (reader.open(path, problem)) {
        return true;
    }
    const bool cannotRead = reader.fileStatus() != FileReadStatus::ok;
    if (cannotRead && std::string(grid) == "elevation grid") {
        out << "打开DEM文件失败!" << std::endl;
    }
    out << grid << " " << path << ": " << problem << "\n";
    return false;
}

// Reads every value of the grid in file order and hands each to store(index, value, noData). False,
// with a diagnostic, when the grid holds fewer or more values than its header gives or a value is not
// a number, to `out`.
template <typename Store>
bool readGridValues(GridReader& reader, const std::string& path, const char* grid, Store store,
                    std::ostream& out = std::cerr) {
    std::string problem;
    const long long count = reader.cellCount();
    for (long long i = 0; i < count; ++i) {
        double value = 0.0;
        bool noData = false;
        if (!reader.nextValue(value, noData, problem)) {
            out << grid << " " << path << ": " << problem << "\n";
            return false;
        }
        if (!store(i, value, noData)) {
            return false;
        }
    }
    if (!reader.finish(problem)) {
        out << grid << " " << path << ": " << problem << "\n";
        return false;
    }
    return true;
}

}  // namespace

// The roughness grid as read from its file, before it is checked against the elevation grid.
struct CAFlood::RoughnessValues {
    GridReader grid;
    bool opened = false;
    bool complete = false;  // every value was read
    std::vector<double> values;
    std::vector<std::uint8_t> noData;
    std::ostringstream diagnostic;  // why it could not be opened or read
};

// Reads the roughness grid's values, keeping what goes wrong for later: the elevation grid's diagnostics
// come first, and a roughness grid that covers other cells is refused before its values are looked at.
void CAFlood::readRoughnessValues(const std::string& path, int columns, int rows, RoughnessValues& read) {
    read.opened = openGrid(read.grid, path, "roughness grid", read.diagnostic);
    // A grid of other cells is refused by its header alone: its values, which it may declare by the
    // hundred million in a small sparse file, are never read.
    if (!read.opened || read.grid.header().ncols != columns || read.grid.header().nrows != rows) {
        return;
    }
    const std::size_t count = static_cast<std::size_t>(read.grid.cellCount());
    read.values.reserve(count);
    read.noData.reserve(count);
    read.complete = readGridValues(
        read.grid, path, "roughness grid",
        [&read](long long, double value, bool noData) {
            read.values.push_back(value);
            read.noData.push_back(noData ? 1 : 0);
            return true;
        },
        read.diagnostic);
}

void CAFlood::unload() {
    cellStorage = std::vector<FloodCell>();
    cells = std::vector<FloodCell*>();
    depthStorage = std::vector<float>();
    rowDepthSums = std::vector<double>();
    fieldFloats = std::vector<float>();
    bandEdgeSouthFluxes = std::vector<float>();
    cellsBehind = false;
    bandScratchFloats = std::vector<float>();
    bandScratchInts = std::vector<std::int32_t>();
    validCells = std::vector<std::pair<int, int>>();
    sources = std::vector<std::pair<int, int>>();
    sourceCount = 0;
    outbreakFaces = std::vector<OutbreakFaces>();
    openOutbreakFaces = 0;
    unsettledColumns = std::vector<floodrows::ColumnSpan>();
    outbreakColumns = std::vector<floodrows::ColumnSpan>();
    rowWork = std::vector<floodrows::RowWork>();
    behindColumns = std::vector<floodrows::ColumnSpan>();
    bandStarts = std::vector<int>();
    workShare = 0.0;
    ncols = 0;
    nrows = 0;
    projection.clear();
}

bool CAFlood::loadInputs(const std::vector<std::string>& paths) {
    unload();
    if (paths.size() < 3) {
        std::cerr
            << "flood inputs: expected the roughness grid, the elevation grid and the outbreak-information "
               "file, got "
            << paths.size() << " paths\n";
        return false;
    }
    bool loaded = false;
    try {
        // With more than one thread the roughness grid is parsed while the elevation grid is; with one,
        // once the elevation grid has been read. (The future of a thread waits for it when it goes.)
        GridReader elevation;
        if (openGrid(elevation, paths[1], "elevation grid")) {
            RoughnessValues roughness;
            const int columns = elevation.header().ncols;
            const int rows = elevation.header().nrows;
            // GDAL registers its drivers at its first use, which two threads must not make at once.
            GDALAllRegister();
            std::future<void> roughnessRead = std::async(
                threadCount() > 1 ? std::launch::async : std::launch::deferred,
                [&roughness, &paths, columns, rows] { readRoughnessValues(paths[0], columns, rows, roughness); });
            if (readElevation(elevation, paths[1])) {
                roughnessRead.get();
                loaded = applyRoughness(paths[0], roughness) && readOutbreakCells(paths[2]);
            }
        }
    } catch (const std::bad_alloc&) {
        std::cerr << "flood inputs: not enough memory for a grid of " << ncols << " x " << nrows
                  << " cells\n";
        loaded = false;
    }
    if (!loaded) {
        unload();
        return false;
    }
    std::string projectionProblem;
    projection = gridCoordinateSystem(paths[1], projectionProblem);
    if (!projectionProblem.empty()) {
        std::cerr << "flood inputs: " << projectionProblem << "; the rasters carry no coordinate system\n";
    }

    for (const auto& [c, r] : sources) {
        FloodCell& cell = cells[nrows - r][c];
        cell.wet = true;
        cell.source = true;
        cell.ground = kNoData;
        cell.surfaceNew = kNoData;
        cell.surfaceOld = kNoData;
    }
    const auto closeBorderCell = [](FloodCell& cell) {
        cell.ground = kNoData;
        cell.surfaceNew = kNoData;
        cell.surfaceOld = kNoData;
    };
    for (int c = 0; c < ncols; ++c) {
        closeBorderCell(cells[0][c]);
        closeBorderCell(cells[nrows - 1][c]);
    }
    for (int r = 0; r < nrows; ++r) {
        closeBorderCell(cells[r][0]);
        closeBorderCell(cells[r][ncols - 1]);
    }
    findOutbreakFaces();
    try {
        fillFields();
    } catch (const std::bad_alloc&) {
        std::cerr << "flood inputs: not enough memory for a grid of " << ncols << " x " << nrows
                  << " cells\n";
        unload();
        return false;
    }

    time = 0.0;
    stepsTaken = 0;
    subStepsTaken = 0;
    // A new run on the same engine starts like the first one: the excess-volume trim looks at the
    // volume of this run only.
    trackedVolume = 0.0f;
    trimBudget = 0;
    gridVolume = 0.0;
    trimmed = 0.0;
    deepestWater = 0.0f;
    fastestWave = 0.0f;
    return true;
}

bool CAFlood::readElevation(GridReader& grid, const std::string& path) {
    const AsciiGridHeader& header = grid.header();
    timeStep = static_cast<float>(header.cellsize) / timeStepDivisor;
    secondsPerStep = 2.0 * header.cellsize / timeStepDivisor;
    if (!(timeStep > 0.0f) || !std::isfinite(timeStep)) {
        std::cerr << "flood inputs: cell size " << header.cellsize << " and time-step divisor "
                  << timeStepDivisor << " give no usable time step\n";
        return false;
    }
    ncols = header.ncols;
    nrows = header.nrows;
    xllcorner = header.xllcorner;
    yllcorner = header.yllcorner;
    cellsize = static_cast<float>(header.cellsize);

    const long long cellCount = grid.cellCount();
    cellStorage.assign(static_cast<std::size_t>(cellCount), FloodCell{});
    cells.resize(static_cast<std::size_t>(nrows));
    for (int r = 0; r < nrows; ++r) {
        cells[r] = cellStorage.data() + static_cast<std::size_t>(r) * ncols;
    }
    validCells.reserve(static_cast<std::size_t>(cellCount));
    rowDepthSums.assign(static_cast<std::size_t>(nrows), 0.0);

    long long nodataCells = 0;
    const bool loaded =
        readGridValues(grid, path, "elevation grid", [&](long long i, double value, bool noData) {
            const int r = static_cast<int>(i / ncols);
            const int c = static_cast<int>(i % ncols);
            FloodCell& cell = cells[r][c];
            if (!noData && !(std::fabs(value) < kElevationBeyondTerrain)) {
                std::cerr << "elevation grid " << path << ": " << grid.cellName(i) << " is " << value
                          << ", beyond any terrain; a cell without data reads the header's NODATA_value or "
                          << kNoData << "\n";
                return false;
            }
            if (noData || static_cast<float>(value) == kNoData) {
                // A cell without data holds no water and is never updated: a wall. Its surfaces equal its
                // ground, as on a border cell, so that no face toward it ever holds water.
                cell.ground = kNoData;
                cell.surfaceOld = kNoData;
                cell.surfaceNew = kNoData;
                nodataCells += noData ? 1 : 0;
                return true;
            }
            cell.ground = static_cast<float>(value);
            cell.surfaceOld = cell.ground;
            validCells.emplace_back(c, r);
            return true;
        });
    if (!loaded) {
        return false;
    }
    if (nodataCells > 0) {
        std::cerr << "elevation grid " << path << ": " << nodataCells << " cells without data (NODATA_value "
                  << header.nodata << ") lie outside the terrain\n";
    }
    validCells.shrink_to_fit();
    return true;
}

bool CAFlood::applyRoughness(const std::string& path, RoughnessValues& read) {
    if (!read.opened) {
        std::cerr << read.diagnostic.str();
        return false;
    }
    const GridReader& grid = read.grid;
    const AsciiGridHeader& header = grid.header();
    if (header.ncols != ncols || header.nrows != nrows) {
        std::cerr << "roughness grid " << path << ": " << header.ncols << " columns x " << header.nrows
                  << " rows, but the elevation grid has " << ncols << " x " << nrows << "\n";
        return false;
    }
    // Another origin or cell size would put every roughness on another cell than its own; a hundredth of
    // a cell takes in the rounding of coordinates written by other programs.
    const auto differs = [this](double value, double elevationValue) {
        return !(std::fabs(value - elevationValue) <= 0.01 * cellsize);
    };
    if (differs(header.xllcorner, xllcorner) || differs(header.yllcorner, yllcorner) ||
        differs(header.cellsize, cellsize)) {
        std::ostringstream text;
        text.precision(10);
        text << "roughness grid " << path << ": its lower-left corner (" << header.xllcorner << ", "
             << header.yllcorner << ") and cell size " << header.cellsize
             << " are not those of the elevation "
             << "grid (" << xllcorner << ", " << yllcorner << "; " << cellsize
             << "): both grids must cover the same cells\n";
        std::cerr << text.str();
        return false;
    }
    // Roughness enters squared and any friction beyond the flux is cut back to it: any finite value
    // computes, but a negative Manning n is no roughness, and terrain needs one. The values are taken in
    // file order up to the first that could not be read, so that the first fault in the file is named.
    for (std::size_t i = 0; i < read.values.size(); ++i) {
        FloodCell& cell = cellStorage[i];
        if (cell.ground == kNoData) {
            // Never used: the cell takes no part in the sweeps.
            cell.manning = 0.0f;
            continue;
        }
        const double value = read.values[i];
        const bool noData = read.noData[i] != 0;
        if (noData || !(value >= 0.0) || !(std::fabs(value) <= std::numeric_limits<float>::max())) {
            std::cerr << "roughness grid " << path << ": " << grid.cellName(static_cast<long long>(i));
            if (noData) {
                std::cerr << " has no data";
            } else {
                std::cerr << " is " << value;
            }
            std::cerr << ", but a cell of terrain needs a Manning roughness of 0 or more\n";
            return false;
        }
        cell.manning = static_cast<float>(value);
    }
    if (!read.complete) {
        std::cerr << read.diagnostic.str();
        return false;
    }
    return true;
}

bool CAFlood::readOutbreakCells(const std::string& path) {
    std::string text;
    std::string problem;
    if (readRegularFile(path, kMaxOutbreakFileBytes, text, problem) != FileReadStatus::ok) {
        std::cerr << "outbreak-information file: " << problem << "\n";
        return false;
    }
    TextTokens tokens(text);
    std::string_view token;
    long long count = 0;
    if (!tokens.next(token) || !parseWholeNumber(token, LLONG_MIN / 2, LLONG_MAX / 2, count)) {
        std::cerr << "outbreak-information file " << path << ": it does not start with the number of "
                  << "outbreak cells, but with \"" << printableToken(token) << "\"\n";
        return false;
    }
    // Every pair takes at least four bytes ("c r" and a blank).
    const long long mostPairs = static_cast<long long>(text.size() / 4 + 1);
    if (count < 1 || count > mostPairs) {
        std::cerr << "outbreak-information file " << path << ": it announces " << count << " outbreak cells, "
                  << (count < 1 ? "but a breach needs at least one" : "more than the file can hold") << "\n";
        return false;
    }
    sourceCount = static_cast<int>(count);
    sources.reserve(static_cast<std::size_t>(sourceCount));
    for (int i = 0; i < sourceCount; ++i) {
        long long column = 0;
        long long row = 0;
        std::string_view columnToken;
        std::string_view rowToken;
        const bool present = tokens.next(columnToken) && tokens.next(rowToken);
        if (!present) {
            std::cerr << "outbreak-information file " << path << ": outbreak cell " << i + 1 << " of "
                      << sourceCount << " is missing\n";
            return false;
        }
        if (!parseWholeNumber(columnToken, INT_MIN, INT_MAX, column) ||
            !parseWholeNumber(rowToken, INT_MIN, INT_MAX, row)) {
            std::cerr << "outbreak-information file " << path << ": outbreak cell " << i + 1 << " of "
                      << sourceCount << " is \"" << printableToken(columnToken) << " "
                      << printableToken(rowToken) << "\", not a pair of whole numbers\n";
            return false;
        }
        if (column < 0 || column >= ncols || row < 1 || row > nrows) {
            std::cerr << "outbreak-information file " << path << ": outbreak cell " << i + 1 << " (" << column
                      << ", " << row << ") lies outside the " << ncols << " x " << nrows
                      << " grid (columns 0 to " << ncols - 1 << ", rows 1 to " << nrows
                      << " from the bottom)\n";
            return false;
        }
        sources.emplace_back(static_cast<int>(column), static_cast<int>(row));
    }
    if (tokens.next(token)) {
        std::cerr << "outbreak-information file " << path << ": it holds more than the " << sourceCount
                  << " outbreak cells it announces (next: \"" << printableToken(token) << "\")\n";
        return false;
    }
    return true;
}

void CAFlood::findOutbreakFaces() {
    // An outbreak cell lets water out through its east and its south face. A face into a cell that the
    // sweeps never update (border, no data, another outbreak cell) would lose what it carries, so it
    // stays closed and the open faces share the whole outflow.
    const auto takesWater = [this](int r, int c) {
        if (!isInterior(r, c)) {
            return false;
        }
        const FloodCell& cell = cells[r][c];
        return !cell.source && cell.ground != kNoData;
    };
    std::vector<std::pair<int, int>> distinct = sources;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (distinct.size() < sources.size()) {
        std::cerr << "outbreak cells: " << sources.size() - distinct.size()
                  << " entries repeat a cell already listed; each cell lets water out once\n";
    }
    outbreakFaces.reserve(distinct.size());
    for (const auto& [c, rowFromBottom] : distinct) {
        const int r = nrows - rowFromBottom;
        const OutbreakFaces faces{r, c, takesWater(r, c + 1), takesWater(r + 1, c)};
        openOutbreakFaces += (faces.east ? 1 : 0) + (faces.south ? 1 : 0);
        outbreakFaces.push_back(faces);
    }
    if (openOutbreakFaces == 0) {
        std::cerr << "outbreak cells: none of the breach outflow reaches the grid (the east and south "
                     "faces of every outbreak cell lead into the grid border, a no-data cell or another "
                     "outbreak cell)\n";
    }
}

void CAFlood::setBreachParameters(float capacity, float width, float height, float partialBreachWidth,
                                  float partialBreachHeight, float shape, bool total) {
    reservoirCapacity = capacity;
    outbreakWidth = width;
    outbreakHeight = height;
    partialWidth = partialBreachWidth;
    partialHeight = partialBreachHeight;
    shapeExponent = shape;
    totalBreak = total;
}

std::size_t CAFlood::stateBytes() const {
    return sizeof(*this) + cellStorage.capacity() * sizeof(FloodCell) +
           cells.capacity() * sizeof(FloodCell*) + depthStorage.capacity() * sizeof(float) +
           rowDepthSums.capacity() * sizeof(double) +
           validCells.capacity() * sizeof(validCells[0]) + sources.capacity() * sizeof(sources[0]) +
           outbreakFaces.capacity() * sizeof(OutbreakFaces) +
           (fieldFloats.capacity() + bandScratchFloats.capacity() + bandEdgeSouthFluxes.capacity()) *
               sizeof(float) +
           bandScratchInts.capacity() * sizeof(std::int32_t) +
           (unsettledColumns.capacity() + outbreakColumns.capacity() + behindColumns.capacity()) *
               sizeof(floodrows::ColumnSpan) +
           rowWork.capacity() * sizeof(floodrows::RowWork) + bandStarts.capacity() * sizeof(int);
}
