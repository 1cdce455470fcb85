// Loading the three inputs of the flood engine and the breach parameters.
#include "cafloodnew.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <new>

#include "floodinputfile.h"
#include "georaster.h"

namespace {

// Elevation of a cell without data; outbreak and border cells take it as ground and surface, which
// closes every face toward them.
constexpr float kNoData = 9999.0f;

// Elevations beyond any terrain: no-data markers of other programs (such as -3.4e38) that would
// overflow the face fluxes of their neighbours.
constexpr float kElevationBeyondTerrain = 1e7f;

// Reads `count` grid values in file order and hands each to store(index, value). False, with a
// diagnostic, when the grid holds fewer values, one of them is not a number, or one reaches `beyond`
// in magnitude.
template <typename Store>
bool readGridValues(FloodInputFile& file, const char* grid, long long count, int ncols, float beyond,
                    Store store) {
    for (long long i = 0; i < count; ++i) {
        std::string_view token;
        float value = 0.0f;
        if (!file.nextToken(token)) {
            std::cerr << grid << ": the grid holds " << i << " values, fewer than the " << count
                      << " its header promises\n";
            return false;
        }
        if (!parseFiniteFloat(token, value)) {
            std::cerr << grid << ": value " << i + 1 << " (row " << i / ncols << ", column " << i % ncols
                      << ") is \"" << printableToken(token) << "\", not a number\n";
            return false;
        }
        if (!(std::fabs(value) < beyond)) {
            std::cerr << grid << ": value " << i + 1 << " (row " << i / ncols << ", column " << i % ncols
                      << ") is " << value << ", beyond any terrain; a cell without data reads " << kNoData
                      << "\n";
            return false;
        }
        store(i, value);
    }
    return true;
}

}  // namespace

void CAFlood::unload() {
    cellStorage = std::vector<FloodCell>();
    cells = std::vector<FloodCell*>();
    validCells = std::vector<std::pair<int, int>>();
    sources = std::vector<std::pair<int, int>>();
    sourceCount = 0;
    outbreakFaces = std::vector<OutbreakFaces>();
    openOutbreakFaces = 0;
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
        loaded = readElevation(paths[1]) && readRoughness(paths[0]) && readOutbreakCells(paths[2]);
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
    projection = projectionBesideGrid(paths[1], projectionProblem);
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

    time = 0.0f;
    // A new run on the same engine starts like the first one: the excess-volume trim looks at the
    // volume of this run only.
    trackedVolume = 0.0f;
    trimBudget = 0;
    gridVolume = 0.0;
    trimmed = 0.0;
    deepWaterReported = false;
    return true;
}

bool CAFlood::readElevation(const std::string& path) {
    FloodInputFile file;
    if (!file.open(path)) {
        std::cerr << "打开DEM文件失败!" << std::endl;
        std::cerr << "elevation grid: " << path << "\n";
        return false;
    }
    AsciiGridHeader header;
    std::string problem;
    if (!readAsciiGridHeader(file, header, problem)) {
        std::cerr << "elevation grid " << path << ": " << problem << "\n";
        return false;
    }
    timeStep = static_cast<float>(header.cellsize) / timeStepDivisor;
    if (!(timeStep > 0.0f) || !std::isfinite(timeStep)) {
        std::cerr << "flood inputs: cell size " << header.cellsize << " and time-step divisor "
                  << timeStepDivisor << " give no usable time step\n";
        return false;
    }
    ncols = header.ncols;
    nrows = header.nrows;
    xllcorner = static_cast<float>(header.xllcorner);
    yllcorner = static_cast<float>(header.yllcorner);
    cellsize = static_cast<float>(header.cellsize);

    const long long cellCount = static_cast<long long>(ncols) * nrows;
    cellStorage.assign(static_cast<std::size_t>(cellCount), FloodCell{});
    cells.resize(static_cast<std::size_t>(nrows));
    for (int r = 0; r < nrows; ++r) {
        cells[r] = cellStorage.data() + static_cast<std::size_t>(r) * ncols;
    }
    validCells.reserve(static_cast<std::size_t>(cellCount));

    long long nodataLookalikes = 0;
    const bool otherNodata = header.hasNodata && static_cast<float>(header.nodata) != kNoData;
    const bool loaded = readGridValues(file, "elevation grid", cellCount, ncols, kElevationBeyondTerrain,
                                       [&](long long i, float value) {
                                           const int r = static_cast<int>(i / ncols);
                                           const int c = static_cast<int>(i % ncols);
                                           FloodCell& cell = cells[r][c];
                                           cell.ground = value;
                                           cell.surfaceOld = value;
                                           if (value != kNoData) {
                                               validCells.emplace_back(c, r);
                                           } else {
                                               // A cell without data holds no water. Its new surface equals
                                               // its ground, as on a border cell, so that the wet-dry
                                               // settling of its neighbours counts it as dry ground and not
                                               // as a hole 9999 m deep that would dry them whatever their own
                                               // depth.
                                               cell.surfaceNew = kNoData;
                                           }
                                           if (otherNodata && value == static_cast<float>(header.nodata)) {
                                               ++nodataLookalikes;
                                           }
                                       });
    if (!loaded) {
        return false;
    }
    if (nodataLookalikes > 0) {
        std::cerr << "elevation grid " << path << ": " << nodataLookalikes
                  << " cells read the header's NODATA_value " << header.nodata << "; only " << kNoData
                  << " marks a cell without data, so these cells are ground at " << header.nodata << " m\n";
    }
    validCells.shrink_to_fit();
    return true;
}

bool CAFlood::readRoughness(const std::string& path) {
    FloodInputFile file;
    if (!file.open(path)) {
        std::cerr << "roughness grid: cannot open " << path << "\n";
        return false;
    }
    AsciiGridHeader header;
    std::string problem;
    if (!readAsciiGridHeader(file, header, problem)) {
        std::cerr << "roughness grid " << path << ": " << problem << "\n";
        return false;
    }
    if (header.ncols != ncols || header.nrows != nrows) {
        std::cerr << "roughness grid " << path << ": " << header.ncols << " columns x " << header.nrows
                  << " rows, but the elevation grid has " << ncols << " x " << nrows << "\n";
        return false;
    }
    const long long cellCount = static_cast<long long>(ncols) * nrows;
    // Roughness enters squared and any friction beyond the flux is cut back to it: no bound needed.
    const float unbounded = std::numeric_limits<float>::infinity();
    return readGridValues(
        file, "roughness grid", cellCount, ncols, unbounded,
        [this](long long i, float value) { cellStorage[static_cast<std::size_t>(i)].manning = value; });
}

bool CAFlood::readOutbreakCells(const std::string& path) {
    FloodInputFile file;
    if (!file.open(path)) {
        std::cerr << "outbreak-information file: cannot open " << path << "\n";
        return false;
    }
    // The count and every coordinate are reals truncated to whole numbers.
    const auto readWhole = [&file](double& value) {
        std::string_view token;
        if (!file.nextToken(token) || !parseFiniteReal(token, value)) {
            return false;
        }
        value = std::trunc(value);
        return true;
    };
    double count = 0.0;
    if (!readWhole(count)) {
        std::cerr << "outbreak-information file " << path
                  << ": it does not start with the number of outbreak cells\n";
        return false;
    }
    // Every pair takes at least four bytes ("c r" and a blank).
    if (count < 1 || count > static_cast<double>(file.remainingBytes() / 4 + 1)) {
        std::cerr << "outbreak-information file " << path << ": it announces " << count
                  << " outbreak cells, which is not a count the file can hold\n";
        return false;
    }
    sourceCount = static_cast<int>(count);
    sources.reserve(static_cast<std::size_t>(sourceCount));
    for (int i = 0; i < sourceCount; ++i) {
        double column = 0.0;
        double row = 0.0;
        if (!readWhole(column) || !readWhole(row)) {
            std::cerr << "outbreak-information file " << path << ": outbreak cell " << i + 1 << " of "
                      << sourceCount << " is missing or not a pair of numbers\n";
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
           cells.capacity() * sizeof(FloodCell*) + validCells.capacity() * sizeof(validCells[0]) +
           sources.capacity() * sizeof(sources[0]) + outbreakFaces.capacity() * sizeof(OutbreakFaces);
}
