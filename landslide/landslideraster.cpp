#include "landslideraster.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <memory>
#include <new>

#include "fileio.h"

GdalDatasetHandle openRaster(const std::string& path, std::string& problem) {
    if (!checkDataFile(path, problem)) {
        return nullptr;
    }
    GDALAllRegister();
    QuietGdal quiet;
    GdalDatasetHandle dataset(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)));
    if (!dataset) {
        problem = quoted(path) + " does not open as a raster" + gdalReason();
        return nullptr;
    }
    if (dataset->GetRasterCount() < 1 || dataset->GetRasterXSize() < 1 || dataset->GetRasterYSize() < 1) {
        problem = quoted(path) + " holds no raster band";
        return nullptr;
    }
    // The bytes of every file the raster is made of (a virtual raster names its sources): files GDAL
    // would open while reading must be as safe as the one named.
    long long storedBytes = 0;
    const CPLStringList files(dataset->GetFileList());
    for (int i = 0; i < files.size(); ++i) {
        VSIStatBufL status;
        if (VSIStatL(files[i], &status) != 0) {
            continue;
        }
        if (!VSI_ISREG(status.st_mode)) {
            problem = quoted(files[i]) + ", part of the raster " + quoted(path) + ", is not a regular file";
            return nullptr;
        }
        storedBytes += static_cast<long long>(status.st_size);
    }
    const long long cells = static_cast<long long>(dataset->GetRasterXSize()) * dataset->GetRasterYSize();
    const std::string driver = dataset->GetDriver() ? dataset->GetDriver()->GetDescription() : "";
    const bool text = driver == "AAIGrid" || driver == "GRASSASCIIGrid" || driver == "XYZ";
    const long double mostCells =
        text ? (storedBytes + 1) / 2.0L : static_cast<long double>(storedBytes) * maxCellsPerStoredByte;
    if (storedBytes > 0 && cells > mostCells) {
        problem = quoted(path) + " declares " + std::to_string(dataset->GetRasterXSize()) + " x " +
                  std::to_string(dataset->GetRasterYSize()) + " cells but holds only " +
                  std::to_string(storedBytes) + " bytes; it is cut short, damaged or sparse";
        return nullptr;
    }
    return dataset;
}

bool readFloatRaster(const std::string& path, FloatRaster& raster, std::string& problem, int windowWidth,
                     int windowHeight) {
    raster = FloatRaster();
    GdalDatasetHandle dataset = openRaster(path, problem);
    if (!dataset) {
        return false;
    }
    QuietGdal quiet;
    const int width = dataset->GetRasterXSize();
    const int height = dataset->GetRasterYSize();
    raster.bandCount = dataset->GetRasterCount();
    const bool window = windowWidth > 0 && windowHeight > 0;
    if (window && (width < windowWidth || height < windowHeight)) {
        problem = quoted(path) + " is " + std::to_string(width) + " x " + std::to_string(height) +
                  " cells, smaller than the " + std::to_string(windowWidth) + " x " +
                  std::to_string(windowHeight) + " cells of the mosaicked DEM";
        return false;
    }
    raster.frame.width = window ? windowWidth : width;
    raster.frame.height = window ? windowHeight : height;
    if (static_cast<long long>(raster.frame.width) * raster.frame.height > maxLandslideRasterCells) {
        problem = quoted(path) + " has " + std::to_string(static_cast<long long>(width) * height) +
                  " cells, more than the " + std::to_string(maxLandslideRasterCells) + " a run can hold";
        return false;
    }
    double coefficients[6] = {0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    dataset->GetGeoTransform(coefficients);
    for (int i = 0; i < 6; ++i) {
        raster.frame.geoTransform[i] = coefficients[i];
    }
    if (const char* wkt = dataset->GetProjectionRef()) {
        raster.frame.projection = wkt;
    }
    GDALRasterBand* band = dataset->GetRasterBand(1);
    int hasNoData = 0;
    raster.noData = band->GetNoDataValue(&hasNoData);
    raster.hasNoData = hasNoData != 0;
    try {
        raster.values.resize(raster.frame.cellCount());
    } catch (const std::bad_alloc&) {
        problem = quoted(path) + ": not enough memory for its " + std::to_string(raster.frame.cellCount()) +
                  " cells";
        raster = FloatRaster();
        return false;
    }
    if (band->RasterIO(GF_Read, 0, 0, raster.frame.width, raster.frame.height, raster.values.data(),
                       raster.frame.width, raster.frame.height, GDT_Float32, 0, 0) != CE_None) {
        problem = quoted(path) + " cannot be read" + gdalReason();
        raster = FloatRaster();
        return false;
    }
    return true;
}

PixelPosition geoToPixel(const GeoTransform& g, double x, double y) {
    const double det = g[1] * g[5] - g[2] * g[4];
    const double column = ((x - g[0]) * g[5] - (y - g[3]) * g[2]) / det + 0.5;
    const double row = ((y - g[3]) * g[1] - (x - g[0]) * g[4]) / det + 0.5;
    // A conversion of a value outside the int range is undefined; such a position lies in no raster.
    if (!std::isfinite(column) || !std::isfinite(row) || std::fabs(column) >= INT_MAX ||
        std::fabs(row) >= INT_MAX) {
        return {};
    }
    return {static_cast<int>(column), static_cast<int>(row)};
}
