#include "gridreader.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "fileio.h"
#include "gdaldataset.h"
#include "georaster.h"

namespace {

std::string number(double value) {
    std::ostringstream text;
    text.precision(10);
    text << value;
    return text.str();
}

// The keywords an ESRI ASCII grid starts with. Such a file goes to the project's own reader, whose
// rules and messages the engines have always had, even where GDAL would read it too.
bool startsLikeAsciiGrid(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string word;
    file >> std::setw(16) >> word;
    for (char& c : word) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const char* keyword :
         {"ncols", "nrows", "xllcorner", "xllcenter", "yllcorner", "yllcenter", "cellsize", "nodata_value"}) {
        if (word == keyword) {
            return true;
        }
    }
    return false;
}

}  // namespace

FileReadStatus regularFileStatus(const std::string& path, std::string& problem) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        problem = "cannot open \"" + path + "\": No such file or directory";
        return FileReadStatus::missing;
    }
    if (error) {
        problem = "cannot open " + quoted(path) + ": " + error.message();
        return FileReadStatus::unreadable;
    }
    if (status.type() != std::filesystem::file_type::regular) {
        problem = quoted(path) + " is not a regular file";
        return FileReadStatus::notRegular;
    }
    return FileReadStatus::ok;
}

namespace {

// Opens `path` with GDAL when it is a raster GDAL knows and not an ESRI ASCII grid. Null without a
// problem for a file to hand to the ESRI ASCII reader; null with a problem when GDAL knows the format
// but cannot read the file.
GdalDatasetHandle openWithGdal(const std::string& path, std::string& problem) {
    if (startsLikeAsciiGrid(path)) {
        return nullptr;
    }
    // GDAL opens companions of the file by itself ("dem.tif.aux.xml", "dem.prj"); a pipe among them would
    // hold it for good.
    if (!checkDataFile(path, problem)) {
        return nullptr;
    }
    GDALAllRegister();
    QuietGdal quiet;
    GDALDriverH driver = GDALIdentifyDriverEx(path.c_str(), GDAL_OF_RASTER, nullptr, nullptr);
    if (driver == nullptr || std::string(GDALGetDriverShortName(driver)) == "AAIGrid") {
        return nullptr;
    }
    GdalDatasetHandle dataset(
        GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!dataset) {
        problem = std::string("GDAL cannot read it as a ") + GDALGetDriverShortName(driver) + " raster" +
                  gdalReason();
    } else if (dataset->GetRasterCount() < 1) {
        problem = "it holds no raster band";
        dataset.reset();
    }
    return dataset;
}

}  // namespace

struct GridReader::Dataset {
    GdalDatasetHandle handle;
    GDALRasterBand* band = nullptr;
};

GridReader::GridReader() = default;
GridReader::~GridReader() = default;

bool GridReader::open(const std::string& path, std::string& problem) {
    dataset.reset();
    gridHeader = AsciiGridHeader();
    rowValues.clear();
    bufferedRow = -1;
    valuesRead = 0;
    status = regularFileStatus(path, problem);
    if (status != FileReadStatus::ok) {
        return false;
    }
    std::string rasterProblem;
    GdalDatasetHandle raster = openWithGdal(path, rasterProblem);
    if (!rasterProblem.empty()) {
        problem = rasterProblem;
        return false;
    }
    if (!raster) {
        const bool opened = ascii.open(path, problem);
        status = ascii.fileStatus();
        gridHeader = ascii.header();
        return opened;
    }
    dataset = std::make_unique<Dataset>();
    dataset->handle = std::move(raster);
    dataset->band = dataset->handle->GetRasterBand(1);
    if (!openRaster(problem)) {
        dataset.reset();
        gridHeader = AsciiGridHeader();
        return false;
    }
    return true;
}

bool GridReader::openRaster(std::string& problem) {
    GDALDataset& raster = *dataset->handle;
    double g[6] = {};
    if (raster.GetGeoTransform(g) != CE_None) {
        problem = "the raster has no georeference: where its cells lie on the map is unknown";
        return false;
    }
    if (g[2] != 0.0 || g[4] != 0.0) {
        problem = "the raster is rotated against the map (geotransform " + number(g[2]) + ", " +
                  number(g[4]) + "); the engines take north-up grids";
        return false;
    }
    if (!(g[1] > 0.0) || !(g[5] < 0.0)) {
        problem =
            "the raster's rows do not run from north to south with its columns from west to east "
            "(pixel size " +
            number(g[1]) + " x " + number(g[5]) + ")";
        return false;
    }
    if (std::fabs(g[1] + g[5]) > 1e-9 * g[1]) {
        problem =
            "the raster's cells are " + number(g[1]) + " x " + number(-g[5]) +
            ", not square; the engines take square cells (vantorel-prepare resamples the DEM onto them)";
        return false;
    }
    const OGRSpatialReference* reference = raster.GetSpatialRef();
    if (reference != nullptr && reference->IsGeographic()) {
        problem = std::string("the raster is in degrees (") + reference->GetName() +
                  "); the engines take metres (vantorel-prepare reprojects a DEM to UTM)";
        return false;
    }
    if (reference != nullptr && reference->IsProjected()) {
        const char* unit = nullptr;
        const double metres = reference->GetLinearUnits(&unit);
        if (std::fabs(metres - 1.0) > 1e-9) {
            problem = std::string("the raster's coordinate system measures in ") + (unit ? unit : "?") +
                      "; the engines take metres (vantorel-prepare reprojects a DEM to UTM)";
            return false;
        }
    }
    const int columns = raster.GetRasterXSize();
    const int rows = raster.GetRasterYSize();
    // No larger than the largest ESRI ASCII grid the engines read, two bytes per value.
    const double mostCells = static_cast<double>(asciigrid::maxFileBytes / 2);
    if (columns < 1 || rows < 1 || static_cast<double>(columns) * rows > mostCells) {
        problem = "the raster of " + std::to_string(columns) + " x " + std::to_string(rows) +
                  " cells is empty or larger than the " + number(mostCells) + " cells a run can hold";
        return false;
    }
    const double cell = g[1];
    if (!(cell >= asciigrid::minCellSize && cell <= asciigrid::maxCellSize)) {
        problem = "the cell size " + number(cell) + " is not a plausible cell size (" +
                  number(asciigrid::minCellSize) + " m to " + number(asciigrid::maxCellSize) + " m)";
        return false;
    }
    const double west = g[0];
    const double south = g[3] + rows * g[5];
    for (const double coordinate : {west, south, west + columns * cell, g[3]}) {
        if (!(std::fabs(coordinate) <= asciigrid::maxCoordinate)) {
            problem = "the raster reaches " + number(coordinate) +
                      ", not a plausible map coordinate (at most " + number(asciigrid::maxCoordinate) +
                      " m from 0)";
            return false;
        }
    }
    gridHeader.ncols = columns;
    gridHeader.nrows = rows;
    gridHeader.xllcorner = west;
    gridHeader.yllcorner = south;
    gridHeader.cellsize = cell;
    int hasNoData = 0;
    const double noData = dataset->band->GetNoDataValue(&hasNoData);
    gridHeader.hasNodata = hasNoData != 0;
    gridHeader.nodataIsNan = gridHeader.hasNodata && std::isnan(noData);
    gridHeader.nodata = gridHeader.nodataIsNan ? 0.0 : noData;
    return true;
}

bool GridReader::readRow(int row, std::string& problem) {
    rowValues.resize(static_cast<std::size_t>(gridHeader.ncols));
    QuietGdal quiet;
    if (dataset->band->RasterIO(GF_Read, 0, row, gridHeader.ncols, 1, rowValues.data(), gridHeader.ncols, 1,
                                GDT_Float64, 0, 0, nullptr) != CE_None) {
        problem = "row " + std::to_string(row) + " of the raster cannot be read" + gdalReason();
        return false;
    }
    bufferedRow = row;
    return true;
}

bool GridReader::nextValue(double& value, bool& noData, std::string& problem) {
    if (!dataset) {
        return ascii.nextValue(value, noData, problem);
    }
    if (valuesRead >= cellCount()) {
        problem = "the raster holds no more than its " + std::to_string(cellCount()) + " values";
        return false;
    }
    const int row = static_cast<int>(valuesRead / gridHeader.ncols);
    const int column = static_cast<int>(valuesRead % gridHeader.ncols);
    if (row != bufferedRow && !readRow(row, problem)) {
        return false;
    }
    ++valuesRead;
    value = rowValues[static_cast<std::size_t>(column)];
    // A cell that holds no number has no data, whether or not the raster says so.
    noData =
        std::isnan(value) || (gridHeader.hasNodata && !gridHeader.nodataIsNan && value == gridHeader.nodata);
    if (std::isnan(value)) {
        value = 0.0;
    }
    return true;
}

long long GridReader::valuesAhead(long long limit) const {
    if (!dataset) {
        return ascii.tokensAhead(limit);
    }
    return std::min(limit, cellCount() - valuesRead);
}

std::string GridReader::cellName(long long index) const {
    if (!dataset) {
        return ascii.cellName(index);
    }
    const long long columns = std::max(1, gridHeader.ncols);
    return "value " + std::to_string(index + 1) + " (row " + std::to_string(index / columns) + ", column " +
           std::to_string(index % columns) + ")";
}

bool GridReader::finish(std::string& problem) {
    return dataset ? true : ascii.finish(problem);
}

std::string gridCoordinateSystem(const std::string& path, std::string& problem) {
    if (regularFileStatus(path, problem) != FileReadStatus::ok) {
        return {};
    }
    std::string rasterProblem;
    const GdalDatasetHandle raster = openWithGdal(path, rasterProblem);
    if (!rasterProblem.empty()) {
        problem = quoted(path) + ": " + rasterProblem;
        return {};
    }
    problem.clear();
    return raster ? wktOf(raster->GetSpatialRef()) : projectionBesideGrid(path, problem);
}
