// The preparation of a landslide run: the seven inputs, the centreline, the statistics and offsets.
#include <cpl_conv.h>
#include <gdal_priv.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <ostream>
#include <sstream>

#include "landsliderun.h"

namespace {

// How the messages name each input: its role and the form's label for it.
const char* const depositName = "deposit raster (堆积体)";
const char* const pathName = "slide-path raster (滑坡道)";
const char* const bodyName = "slide-body raster (滑坡体)";
const char* const imageName = "post-disaster image (灾后影像)";
const char* const centreName = "centreline raster (中心线)";
const char* const mosaicName = "mosaicked DEM (镶嵌后dem)";
const char* const postDemName = "post-disaster DEM (灾后dem)";

bool fail(std::string& problem, const char* input, const std::string& reason) {
    problem = std::string(input) + " " + reason;
    return false;
}

// trunc(difference / cellSize): the whole cells from one grid's origin to another's, with their sign
// (a grid whose origin lies west or north of the reference grid's has a negative offset). False when it
// is no number of cells a grid can hold (a cell size of 0, an origin far outside).
bool cellOffset(double difference, double cellSize, int& offset) {
    const double cells = difference / cellSize;
    if (!std::isfinite(cells) || std::fabs(cells) >= INT_MAX) {
        return false;
    }
    offset = static_cast<int>(cells);
    return true;
}

bool isNoData(float value, double noData) {
    return std::isnan(noData) ? std::isnan(value) : static_cast<double>(value) == noData;
}

// Bytes a run holds for the seven inputs at once: the rasters read whole, the pixels of the image, and
// on the mosaic's grid the slide path, the three step surfaces and a radius per slide-path cell.
constexpr long long maxRunBytes = 2LL << 30;

// Heights beyond any terrain or slide, m: a value past them is a no-data marker the raster does not
// declare, or damage, and would turn the step surfaces into infinities.
constexpr double maxElevation = 100000.0;
constexpr double maxThickness = 10000.0;

// The first value of `raster` that is not finite or beyond `limit` in magnitude, and not a no-data
// value (`alsoNoData` is one more, the absolute no-data value the slide body's count skips). False,
// naming the input, the file, the value and its cell.
bool checkValues(const FloatRaster& raster, const char* input, const std::string& path, double limit,
                 const char* meaning, std::string& problem, std::optional<double> alsoNoData = {}) {
    for (std::size_t i = 0; i < raster.values.size(); ++i) {
        const float value = raster.values[i];
        if (std::fabs(value) <= limit ||
            (raster.hasNoData && isNoData(value, raster.noData)) ||
            (alsoNoData && static_cast<double>(value) == *alsoNoData)) {
            continue;
        }
        std::ostringstream text;
        text << input << " \"" << path << "\" holds " << value << " at row " << i / raster.frame.width
             << ", column " << i % raster.frame.width << ", which is no " << meaning << " (beyond "
             << limit << " m); mark cells without data with the raster's no-data value";
        problem = text.str();
        return false;
    }
    return true;
}

}  // namespace

bool isLandslideFormat(const std::string& format) {
    return format == ".ive" || format == ".3ds" || format == ".tif";
}

bool landslideInputsFromList(const std::vector<std::string>& list, LandslideInputs& inputs,
                             std::string& format, std::string& problem) {
    if (list.size() < 8) {
        problem = "a landslide run takes seven input files and the output format, not " +
                  std::to_string(list.size()) + " entries";
        return false;
    }
    inputs = {list[0], list[1], list[2], list[3], list[4], list[5], list[6]};
    if (!isLandslideFormat(list[7])) {
        problem = "\"" + list[7] + "\" is not an output format (.ive, .3ds or .tif)";
        return false;
    }
    format = list[7];
    return true;
}

bool LandslideRun::prepare(const LandslideInputs& inputs, std::string& problem, std::ostream* diagnostics) {
    *this = LandslideRun();
    GDALAllRegister();
    // Paths come in the local 8-bit encoding.
    CPLSetConfigOption("GDAL_FILENAME_IS_UTF8", "NO");
    if (!readInputs(inputs, problem, diagnostics)) {
        *this = LandslideRun();
        return false;
    }
    return true;
}

bool LandslideRun::checkRunSize(const LandslideInputs& inputs, std::string& problem) const {
    // Every raster is opened, and nothing read, before the first grid is allocated.
    const struct {
        const std::string& path;
        const char* name;
        int gridsOfItsSize;  // float grids of its size the run holds; 0 for the image: a grid per band
    } rasters[] = {
        {inputs.postDem, postDemName, 1}, {inputs.image, imageName, 0}, {inputs.mosaic, mosaicName, 5},
        {inputs.body, bodyName, 1},       {inputs.centreline, centreName, 1}, {inputs.deposit, depositName, 1},
        {inputs.path, pathName, 0},  // read on the mosaic's grid: counted there
    };
    long long bytes = 0;
    for (const auto& raster : rasters) {
        const GdalDatasetHandle dataset = openRaster(raster.path, problem);
        if (!dataset) {
            return fail(problem, raster.name, problem);
        }
        const bool image = &raster.path == &inputs.image;
        const int grids = image ? std::min(dataset->GetRasterCount(), 3) : raster.gridsOfItsSize;
        bytes += static_cast<long long>(dataset->GetRasterXSize()) * dataset->GetRasterYSize() * 4 * grids;
    }
    if (bytes > maxRunBytes) {
        problem = "the seven inputs would take " + std::to_string(bytes >> 20) + " MiB of memory, more than the " +
                  std::to_string(maxRunBytes >> 20) +
                  " MiB a landslide run may hold; cut the rasters to the slide's surroundings";
        return false;
    }
    return true;
}

bool LandslideRun::readInputs(const LandslideInputs& inputs, std::string& problem,
                              std::ostream* diagnostics) {
    if (!checkRunSize(inputs, problem)) {
        return false;
    }
    FloatRaster raster;
    if (!readFloatRaster(inputs.postDem, raster, problem)) {
        return fail(problem, postDemName, problem);
    }
    if (!checkValues(raster, postDemName, inputs.postDem, maxElevation, "elevation", problem)) {
        return false;
    }
    postDemWidth = raster.frame.width;
    postDemHeight = raster.frame.height;
    postDemNoData = static_cast<float>(raster.noData);
    postDemHasNoData = raster.hasNoData;
    postDem = std::move(raster.values);
    const RasterFrame postDemFrame = raster.frame;

    if (!postImage.load(inputs.image, problem)) {
        return fail(problem, imageName, problem);
    }

    FloatRaster mosaic;
    if (!readFloatRaster(inputs.mosaic, mosaic, problem)) {
        return fail(problem, mosaicName, problem);
    }
    mosaicFrame = mosaic.frame;
    mosaicWidth = mosaic.frame.width;
    mosaicHeight = mosaic.frame.height;
    mosaicGeoTransform = mosaic.frame.geoTransform;
    if (mosaic.hasNoData) {
        mosaicNoData = mosaic.noData;
    }
    if (mosaicGeoTransform[1] == 0.0 || mosaicGeoTransform[5] == 0.0) {
        return fail(problem, mosaicName, "\"" + inputs.mosaic + "\" has a cell size of 0");
    }
    if (!checkValues(mosaic, mosaicName, inputs.mosaic, maxElevation, "elevation", problem)) {
        return false;
    }
    if (!coversMosaic(postDemFrame)) {
        std::ostringstream text;
        text.precision(10);
        const GeoTransform& g = postDemFrame.geoTransform;
        text << postDemName << " \"" << inputs.postDem << "\" (" << postDemFrame.width << " x "
             << postDemFrame.height << " cells of " << g[1] << " x " << -g[5] << " from (" << g[0] << ", "
             << g[3] << ")) does not cover the mosaicked DEM (" << mosaicWidth << " x " << mosaicHeight
             << " cells of " << mosaicGeoTransform[1] << " x " << -mosaicGeoTransform[5] << " from ("
             << mosaicGeoTransform[0] << ", " << mosaicGeoTransform[3]
             << ")); the final state is drawn on the mosaic's cells, so both must share origin and cell size";
        problem = text.str();
        return false;
    }

    FloatRaster path;
    if (!readFloatRaster(inputs.path, path, problem, mosaicWidth, mosaicHeight)) {
        return fail(problem, pathName, problem);
    }
    FloatRaster body;
    if (!readFloatRaster(inputs.body, body, problem)) {
        return fail(problem, bodyName, problem);
    }
    if (!checkValues(body, bodyName, inputs.body, maxThickness, "thickness", problem, std::fabs(body.noData))) {
        return false;
    }
    bodyWidth = body.frame.width;
    bodyHeight = body.frame.height;
    FloatRaster centre;
    if (!readFloatRaster(inputs.centreline, centre, problem)) {
        return fail(problem, centreName, problem);
    }
    centreWidth = centre.frame.width;
    centreHeight = centre.frame.height;
    centreGeoTransform = centre.frame.geoTransform;
    if (diagnostics) {
        *diagnostics << "lineXSize: " << centreWidth << "  lineYSize: " << centreHeight << std::endl;
    }
    FloatRaster deposit;
    if (!readFloatRaster(inputs.deposit, deposit, problem)) {
        return fail(problem, depositName, problem);
    }
    depositWidth = deposit.frame.width;
    depositHeight = deposit.frame.height;

    surface = std::move(mosaic.values);
    baseSurface = surface;
    trailSurface = surface;
    originX = mosaicGeoTransform[0];
    originY = mosaicGeoTransform[3];

    std::vector<Point> points;
    if (!extractCentreline(centre, points, problem)) {
        return fail(problem, centreName, "\"" + inputs.centreline + "\" " + problem);
    }
    orientCentreline(points);
    int tnum = 0;
    if (!sampleCentreline(points, pointVec, tnum, problem)) {
        return fail(problem, centreName, "\"" + inputs.centreline + "\": " + problem);
    }
    if (diagnostics && tnum > 0) {
        *diagnostics << "Tnum:" << tnum << std::endl;
        *diagnostics << "pointVec.size():" << pointVec.size() << std::endl;
    }

    countBody(body);
    if (bodyCells == 0.0f) {
        return fail(problem, bodyName, "\"" + inputs.body + "\" holds no cell thicker than 0");
    }
    for (const float value : deposit.values) {
        depositCells += value > 0.0f;
    }
    collectPathCells(path);
    if (pathRows.empty()) {
        return fail(problem, pathName,
                    "\"" + inputs.path +
                        "\" holds no slide-path cell (a value between 0 and 10000) within the "
                        "mosaicked DEM");
    }

    if (path.frame.geoTransform[1] == 0.0 || path.frame.geoTransform[5] == 0.0) {
        return fail(problem, pathName, "\"" + inputs.path + "\" has a cell size of 0");
    }
    if (!deriveOffsets(path.frame.geoTransform, body, deposit)) {
        return fail(problem, depositName,
                    "\"" + inputs.deposit + "\" lies too far from the slide-path raster");
    }
    const Point& lastCentre = pointVec[stepCount];
    const int depositRow = lastCentre.row - depositRowOffset;
    const int depositCol = lastCentre.col - depositColOffset;
    if (depositRow < 0 || depositCol < 0 || depositRow >= depositHeight || depositCol >= depositWidth) {
        return fail(problem, depositName,
                    "\"" + inputs.deposit + "\" does not cover the end of the centreline (row " +
                        std::to_string(lastCentre.row) + ", column " + std::to_string(lastCentre.col) +
                        " of the mosaicked DEM)");
    }
    depositAtLastCentre = deposit.at(depositRow, depositCol);
    return true;
}

bool LandslideRun::extractCentreline(const FloatRaster& centre, std::vector<Point>& points,
                                     std::string& problem) const {
    const GeoTransform& m = mosaicGeoTransform;
    const GeoTransform& c = centreGeoTransform;
    int rowOffset = 0;
    int colOffset = 0;
    if (!cellOffset(c[3] - m[3], m[5], rowOffset) || !cellOffset(c[0] - m[0], m[1], colOffset)) {
        problem = "lies too far from the mosaicked DEM";
        return false;
    }
    for (int col = 0; col < centre.frame.width; ++col) {
        for (int row = 0; row < centre.frame.height; ++row) {
            if (isNoData(centre.at(row, col), centre.noData)) {
                continue;
            }
            const long long mosaicRow = static_cast<long long>(row) + rowOffset;
            const long long mosaicCol = static_cast<long long>(col) + colOffset;
            if (mosaicRow < 0 || mosaicCol < 0 || mosaicRow >= mosaicHeight || mosaicCol >= mosaicWidth) {
                problem = "reaches beyond the mosaicked DEM (its cell at row " + std::to_string(row) +
                          ", column " + std::to_string(col) + ")";
                return false;
            }
            const std::size_t cell = static_cast<std::size_t>(mosaicRow) * mosaicWidth + mosaicCol;
            points.push_back({static_cast<int>(mosaicRow), static_cast<int>(mosaicCol), surface[cell]});
            break;
        }
    }
    return true;
}

void LandslideRun::orientCentreline(std::vector<Point>& points) {
    if (!points.empty() && !(points.front().elevation > points.back().elevation)) {
        std::reverse(points.begin(), points.end());
    }
}

bool LandslideRun::sampleCentreline(const std::vector<Point>& ordered, std::vector<Point>& samples, int& tnum,
                                    std::string& problem) {
    samples.clear();
    tnum = 0;
    const std::size_t n = ordered.size();
    if (n >= 100) {
        // P[n·m / 101 − 1] for m = 1 to 101; with exactly 100 points the first index would be −1.
        if (n == 100) {
            problem =
                "its 100 centreline points cannot be sampled into 101 steps (use more than 100, or fewer "
                "whose count does not divide 100)";
            return false;
        }
        for (std::size_t m = 1; m <= sampleCount; ++m) {
            samples.push_back(ordered[n * m / sampleCount - 1]);
        }
        return true;
    }
    if (n == 0) {
        problem = "holds no centreline cell (every value is its no-data value)";
        return false;
    }
    tnum = static_cast<int>(std::ceil(100.0 / static_cast<double>(n)));
    const std::size_t repeat = static_cast<std::size_t>(tnum);
    for (std::size_t j = 1; j < n * repeat; ++j) {
        samples.push_back(ordered[j / repeat]);
    }
    if (samples.size() < sampleCount) {
        problem = "its " + std::to_string(n) + " centreline points give only " +
                  std::to_string(samples.size()) +
                  " of the 101 samples a run steps through (use more than 100 points, or fewer whose count "
                  "does not divide 100)";
        samples.clear();
        return false;
    }
    return true;
}

void LandslideRun::countBody(const FloatRaster& body) {
    const double noData = std::fabs(body.noData);
    // Summed in double: a float sum over millions of cells drifts by whole cells' worth of volume.
    double volume = 0.0;
    int cells = 0;
    for (const float value : body.values) {
        if (static_cast<double>(value) != noData && value > 0.0f) {
            ++cells;
            volume += value;
        }
    }
    bodyCells = static_cast<float>(cells);
    bodyVolume = static_cast<float>(volume);
}

void LandslideRun::collectPathCells(const FloatRaster& path) {
    for (int row = 0; row < path.frame.height; ++row) {
        for (int col = 0; col < path.frame.width; ++col) {
            const float value = path.at(row, col);
            if (value > 0.0f && value < pathValueLimit) {
                pathRows.push_back(row);
                pathCols.push_back(col);
            }
        }
    }
    cellRadius.resize(pathRows.size());
    // No sheet needs a radius beyond the grid's diagonal (plus the exclusive edge of its window).
    const double diagonal = std::hypot(static_cast<double>(mosaicWidth), static_cast<double>(mosaicHeight));
    radiusCounts.assign(static_cast<std::size_t>(diagonal) + 3, 0);
}

bool LandslideRun::deriveOffsets(const GeoTransform& p, const FloatRaster& body, const FloatRaster& deposit) {
    const GeoTransform& b = body.frame.geoTransform;
    const GeoTransform& q = deposit.frame.geoTransform;
    // The body's offsets do not enter the steps; a body far off the path is no reason to refuse a run.
    if (!cellOffset(b[3] - p[3], p[5], bodyRowOffset) || !cellOffset(b[0] - p[0], p[1], bodyColOffset)) {
        bodyRowOffset = 0;
        bodyColOffset = 0;
    }
    if (!cellOffset(q[3] - p[3], p[5], depositRowOffset) ||
        !cellOffset(q[0] - p[0], p[1], depositColOffset)) {
        return false;
    }
    return true;
}

bool LandslideRun::coversMosaic(const RasterFrame& frame) const {
    // Half a hundredth of a cell takes the rounding of georeferences written by other programs in.
    const GeoTransform& g = frame.geoTransform;
    const GeoTransform& m = mosaicGeoTransform;
    const auto same = [](double a, double b, double cell) { return std::fabs(a - b) <= 0.005 * std::fabs(cell); };
    return frame.width >= mosaicWidth && frame.height >= mosaicHeight && same(g[0], m[0], m[1]) &&
           same(g[3], m[3], m[5]) && same(g[1], m[1], m[1]) && same(g[5], m[5], m[5]) && same(g[2], m[2], m[1]) &&
           same(g[4], m[4], m[5]);
}
