#include "demgrid.h"

#include <cpl_string.h>
#include <gdal_alg.h>
#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>

#include "fileio.h"
#include "gdaldataset.h"
#include "gridreader.h"

namespace {

std::string number(double value) {
    std::ostringstream text;
    text.precision(10);
    text << value;
    return text.str();
}

// Heights beyond any terrain on Earth: the no-data markers of programs that do not declare theirs.
constexpr double heightBeyondTerrain = 1e5;

// Opens a raster that a user named; `what` names it in messages ("the DEM", "the image").
GdalDatasetHandle openRaster(const std::string& path, const std::string& what, std::string& problem) {
    std::string reason;
    // GDAL opens companions of the raster on its own ("dem.tif.aux.xml"): a pipe among them would hold it.
    if (regularFileStatus(path, reason) != FileReadStatus::ok || !checkDataFile(path, reason)) {
        problem = what + ": " + reason;
        return nullptr;
    }
    GDALAllRegister();
    QuietGdal quiet;
    GdalDatasetHandle dataset(
        GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!dataset) {
        problem = what + " " + quoted(path) + " is no raster GDAL reads" + gdalReason();
    } else if (dataset->GetRasterCount() < 1) {
        problem = what + " " + quoted(path) + " holds no raster band";
        dataset.reset();
    }
    return dataset;
}

// The coordinate system of a raster, or the one given for it; false, with the problem, when there is
// neither or the given one is unknown.
bool coordinateSystemOf(GDALDataset& dataset, const std::string& given, const std::string& what,
                        const std::string& path, OGRSpatialReference& reference, std::string& problem) {
    if (const OGRSpatialReference* own = dataset.GetSpatialRef(); own != nullptr && !own->IsEmpty()) {
        reference = *own;
    } else if (!given.empty()) {
        QuietGdal quiet;
        if (reference.SetFromUserInput(given.c_str()) != OGRERR_NONE) {
            problem = "the coordinate system " + quoted(given) + " given for " + what + " " + quoted(path) +
                      " is not one GDAL knows";
            return false;
        }
    } else {
        problem = what + " " + quoted(path) +
                  " has no coordinate system; give it one (for example EPSG:4326 for longitude and "
                  "latitude in degrees of WGS 84, or the EPSG code of its projection)";
        return false;
    }
    reference.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return true;
}

// A cell size in whole metres above 10 m, in tenths above 1 m, else in hundredths.
double roundedCellSize(double metres) {
    const double unit = metres >= 10 ? 1.0 : metres >= 1 ? 0.1 : 0.01;
    return std::max(unit, std::round(metres / unit) * unit);
}

bool readBand(GDALDataset& dataset, int band, std::vector<double>& values, std::string& problem) {
    const int width = dataset.GetRasterXSize();
    const int height = dataset.GetRasterYSize();
    values.resize(static_cast<std::size_t>(width) * height);
    QuietGdal quiet;
    if (dataset.GetRasterBand(band)->RasterIO(GF_Read, 0, 0, width, height, values.data(), width, height,
                                              GDT_Float64, 0, 0, nullptr) != CE_None) {
        problem = "band " + std::to_string(band) + " cannot be read" + gdalReason();
        return false;
    }
    return true;
}

// Runs gdalwarp on `source` into memory with `arguments`.
GdalDatasetHandle warp(GDALDataset& source, const std::vector<std::string>& arguments, std::string& problem) {
    CPLStringList argv;
    for (const std::string& argument : arguments) {
        argv.AddString(argument.c_str());
    }
    QuietGdal quiet;
    GDALWarpAppOptions* options = GDALWarpAppOptionsNew(argv.List(), nullptr);
    GDALDatasetH sourceHandle = GDALDataset::ToHandle(&source);
    int usageError = 0;
    GdalDatasetHandle result(
        GDALDataset::FromHandle(GDALWarp("", nullptr, 1, &sourceHandle, options, &usageError)));
    GDALWarpAppOptionsFree(options);
    if (!result) {
        problem = "it cannot be resampled" + gdalReason();
    }
    return result;
}

// The bounds (west, south, east, north) of a raster in another coordinate system, from its corners and
// edge midpoints.
bool boundsIn(GDALDataset& dataset, const OGRSpatialReference& from, const OGRSpatialReference& to,
              double bounds[4]) {
    double g[6] = {};
    dataset.GetGeoTransform(g);
    std::unique_ptr<OGRCoordinateTransformation> transform(OGRCreateCoordinateTransformation(&from, &to));
    if (!transform) {
        return false;
    }
    const double w = dataset.GetRasterXSize();
    const double h = dataset.GetRasterYSize();
    bounds[0] = bounds[1] = HUGE_VAL;
    bounds[2] = bounds[3] = -HUGE_VAL;
    for (const double u : {0.0, 0.5, 1.0}) {
        for (const double v : {0.0, 0.5, 1.0}) {
            double x = g[0] + u * w * g[1] + v * h * g[2];
            double y = g[3] + u * w * g[4] + v * h * g[5];
            if (!transform->Transform(1, &x, &y)) {
                return false;
            }
            bounds[0] = std::min(bounds[0], x);
            bounds[1] = std::min(bounds[1], y);
            bounds[2] = std::max(bounds[2], x);
            bounds[3] = std::max(bounds[3], y);
        }
    }
    return true;
}

}  // namespace

int DemGrid::rowOf(double y) const {
    return static_cast<int>(std::floor((north() - y) / cellSize()));
}

int DemGrid::columnOf(double x) const {
    return static_cast<int>(std::floor((x - west()) / cellSize()));
}

int utmZoneEpsg(double longitude, double latitude) {
    const int zone = std::clamp(static_cast<int>(std::floor((longitude + 180.0) / 6.0)) + 1, 1, 60);
    return (latitude >= 0 ? 32600 : 32700) + zone;
}

bool loadDem(const std::string& path, const DemOptions& options, DemGrid& dem, std::string& problem) {
    const std::string what = "the DEM";
    GdalDatasetHandle source = openRaster(path, what, problem);
    if (!source) {
        return false;
    }
    double g[6] = {};
    if (source->GetGeoTransform(g) != CE_None) {
        problem =
            what + " " + quoted(path) + " has no georeference: where its cells lie on the map is unknown";
        return false;
    }
    OGRSpatialReference reference;
    if (!coordinateSystemOf(*source, options.coordinateSystem, what, path, reference, problem)) {
        return false;
    }
    if (!(options.cellSize >= 0.0) || options.cellSize > asciigrid::maxCellSize) {
        problem = "the cell size " + number(options.cellSize) + " m is not a plausible cell size";
        return false;
    }
    const bool metres = reference.IsProjected() && std::fabs(reference.GetLinearUnits() - 1.0) < 1e-9;
    const bool squareNorthUp =
        g[2] == 0.0 && g[4] == 0.0 && g[1] > 0.0 && g[5] < 0.0 && std::fabs(g[1] + g[5]) <= 1e-9 * g[1];

    OGRSpatialReference target = reference;
    if (!metres) {
        // The engines work in metres: the UTM zone of the DEM's centre.
        OGRSpatialReference geographic;
        geographic.importFromEPSG(4326);
        geographic.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        double bounds[4] = {};
        if (!boundsIn(*source, reference, geographic, bounds)) {
            problem = what + " " + quoted(path) +
                      ": its coordinates cannot be turned into longitude and latitude" + gdalReason();
            return false;
        }
        target.Clear();
        target.importFromEPSG(utmZoneEpsg((bounds[0] + bounds[2]) / 2, (bounds[1] + bounds[3]) / 2));
        target.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    }
    const std::string targetWkt = wktOf(&target);
    const std::string sourceWkt = wktOf(&reference);

    GdalDatasetHandle grid;
    if (metres && squareNorthUp && (options.cellSize == 0.0 || options.cellSize == g[1])) {
        const double cells = static_cast<double>(source->GetRasterXSize()) * source->GetRasterYSize();
        if (cells > maxPreparedCells) {
            problem = what + " " + quoted(path) + " has " + number(cells) + " cells, more than the " +
                      number(maxPreparedCells) + " a case may have; give a larger cell size";
            return false;
        }
    } else {
        double cell = options.cellSize;
        if (cell == 0.0) {
            CPLStringList transformerOptions;
            transformerOptions.SetNameValue("SRC_SRS", sourceWkt.c_str());
            transformerOptions.SetNameValue("DST_SRS", targetWkt.c_str());
            QuietGdal quiet;
            void* transformer = GDALCreateGenImgProjTransformer2(GDALDataset::ToHandle(source.get()), nullptr,
                                                                 transformerOptions.List());
            double suggested[6] = {};
            int width = 0;
            int height = 0;
            const bool found =
                transformer != nullptr &&
                GDALSuggestedWarpOutput(GDALDataset::ToHandle(source.get()), GDALGenImgProjTransform,
                                        transformer, suggested, &width, &height) == CE_None;
            if (transformer != nullptr) {
                GDALDestroyGenImgProjTransformer(transformer);
            }
            if (!found) {
                problem = what + " " + quoted(path) + " cannot be reprojected" + gdalReason();
                return false;
            }
            cell = roundedCellSize(suggested[1]);
        }
        // The extent of the resampled grid, to refuse a huge one before it is made.
        double bounds[4] = {};
        if (!boundsIn(*source, reference, target, bounds)) {
            problem = what + " " + quoted(path) + " cannot be reprojected" + gdalReason();
            return false;
        }
        const double cells =
            std::ceil((bounds[2] - bounds[0]) / cell + 1) * std::ceil((bounds[3] - bounds[1]) / cell + 1);
        if (!(cells <= maxPreparedCells)) {
            problem = what + " " + quoted(path) + " on cells of " + number(cell) + " m would have " +
                      number(cells) + " cells, more than the " + number(maxPreparedCells) +
                      " a case may have; give a larger cell size";
            return false;
        }
        grid =
            warp(*source,
                 {"-of", "MEM", "-s_srs", sourceWkt, "-t_srs", targetWkt, "-r", "bilinear", "-ot", "Float32",
                  "-dstnodata", number(DemGrid::noData), "-tr", number(cell), number(cell), "-tap"},
                 problem);
        if (!grid) {
            problem = what + " " + quoted(path) + ": " + problem;
            return false;
        }
    }
    GDALDataset& data = grid ? *grid : *source;
    data.GetGeoTransform(g);
    std::vector<double> values;
    if (!readBand(data, 1, values, problem)) {
        problem = what + " " + quoted(path) + ": " + problem;
        return false;
    }
    int hasNoData = 0;
    const double noData = data.GetRasterBand(1)->GetNoDataValue(&hasNoData);
    dem.frame.width = data.GetRasterXSize();
    dem.frame.height = data.GetRasterYSize();
    std::copy(g, g + 6, dem.frame.geoTransform.begin());
    dem.frame.projection = targetWkt;
    dem.sourceProjection = sourceWkt;
    dem.heights.resize(values.size());
    long long withData = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double value = values[i];
        const bool none =
            std::isnan(value) || (hasNoData && value == noData) || std::fabs(value) > heightBeyondTerrain;
        dem.heights[i] = none ? DemGrid::noData : static_cast<float>(value);
        withData += none ? 0 : 1;
    }
    if (withData == 0) {
        problem = what + " " + quoted(path) + " holds no heights: every cell has no data";
        return false;
    }
    if (dem.columns() < 3 || dem.rows() < 3) {
        problem = what + " " + quoted(path) + " gives a grid of " + std::to_string(dem.columns()) + " x " +
                  std::to_string(dem.rows()) + " cells; a flood needs at least 3 x 3";
        return false;
    }
    return true;
}

bool drapeOnDem(const std::string& path, const DemGrid& dem, int bands, int pixelsPerCell, bool nearest,
                const std::string& coordinateSystem, DrapedRaster& draped, std::string& problem) {
    const std::string what = bands == 1 ? "the land-cover raster" : "the image";
    GdalDatasetHandle source = openRaster(path, what, problem);
    if (!source) {
        return false;
    }
    double g[6] = {};
    if (source->GetGeoTransform(g) != CE_None) {
        problem = what + " " + quoted(path) + " has no georeference: where it lies on the map is unknown";
        return false;
    }
    OGRSpatialReference reference;
    if (!coordinateSystemOf(*source, coordinateSystem, what, path, reference, problem)) {
        return false;
    }
    OGRSpatialReference demReference;
    demReference.importFromWkt(dem.frame.projection.c_str());
    demReference.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    double bounds[4] = {};
    const bool overlaps = boundsIn(*source, reference, demReference, bounds) && bounds[0] < dem.east() &&
                          bounds[2] > dem.west() && bounds[1] < dem.north() && bounds[3] > dem.south();
    const auto notOverlapping = [&] {
        std::ostringstream text;
        text.setf(std::ios::fixed);
        text.precision(0);
        text << what << " " << quoted(path) << " does not overlap the DEM (it covers x " << bounds[0]
             << " to " << bounds[2] << ", y " << bounds[1] << " to " << bounds[3] << "; the DEM x "
             << dem.west() << " to " << dem.east() << ", y " << dem.south() << " to " << dem.north()
             << ", in the DEM's coordinate system)";
        return text.str();
    };
    if (!overlaps) {
        problem = notOverlapping();
        return false;
    }
    const int available = source->GetRasterCount();
    if (available < bands && available != 1) {
        problem = what + " " + quoted(path) + " has " + std::to_string(available) + " bands, not " +
                  std::to_string(bands);
        return false;
    }
    const int width = dem.columns() * pixelsPerCell;
    const int height = dem.rows() * pixelsPerCell;
    GdalDatasetHandle result =
        warp(*source,
             {"-of", "MEM", "-s_srs", wktOf(&reference), "-t_srs", dem.frame.projection, "-r",
              nearest ? "near" : "bilinear", "-ot", "Float64", "-dstalpha", "-te", number(dem.west()),
              number(dem.south()), number(dem.east()), number(dem.north()), "-ts", std::to_string(width),
              std::to_string(height)},
             problem);
    if (!result) {
        problem = what + " " + quoted(path) + ": " + problem;
        return false;
    }
    draped.width = width;
    draped.height = height;
    draped.bands = bands;
    draped.values.assign(static_cast<std::size_t>(width) * height * bands, 0.0);
    std::vector<double> values;
    // A one-band image is grey: its band gives red, green and blue. The alpha band comes last.
    const int alphaBand = result->GetRasterCount();
    for (int band = 1; band <= bands; ++band) {
        if (!readBand(*result, available == 1 ? 1 : band, values, problem)) {
            problem = what + " " + quoted(path) + ": " + problem;
            return false;
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            draped.values[i * bands + band - 1] = values[i];
        }
    }
    if (!readBand(*result, alphaBand, values, problem)) {
        problem = what + " " + quoted(path) + ": " + problem;
        return false;
    }
    draped.covered.resize(values.size());
    draped.coveredCount = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        draped.covered[i] = values[i] > 0 ? 1 : 0;
        draped.coveredCount += draped.covered[i];
    }
    if (draped.coveredCount == 0) {
        problem = notOverlapping();
        return false;
    }
    return true;
}
