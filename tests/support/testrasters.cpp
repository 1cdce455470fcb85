#include "testrasters.h"

#include <cpl_conv.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <fstream>
#include <memory>
#include <stdexcept>

std::optional<RasterContents> readRaster(const std::string& path) {
    GDALAllRegister();
    std::unique_ptr<GDALDataset> dataset(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)));
    if (!dataset || dataset->GetRasterCount() < 1) {
        return std::nullopt;
    }
    RasterContents raster;
    raster.width = dataset->GetRasterXSize();
    raster.height = dataset->GetRasterYSize();
    dataset->GetGeoTransform(raster.geoTransform.data());
    if (const char* wkt = dataset->GetProjectionRef()) {
        raster.projection = wkt;
    }
    GDALRasterBand* band = dataset->GetRasterBand(1);
    int hasNoData = 0;
    const double noData = band->GetNoDataValue(&hasNoData);
    if (hasNoData) {
        raster.noData = noData;
    }
    raster.values.resize(static_cast<std::size_t>(raster.width) * raster.height);
    if (band->RasterIO(GF_Read, 0, 0, raster.width, raster.height, raster.values.data(), raster.width,
                       raster.height, GDT_Float32, 0, 0) != CE_None) {
        return std::nullopt;
    }
    return raster;
}

std::string writePrjFile(const std::string& path, int epsg) {
    OGRSpatialReference reference;
    if (reference.importFromEPSG(epsg) != OGRERR_NONE) {
        throw std::runtime_error("no EPSG " + std::to_string(epsg));
    }
    char* wkt = nullptr;
    reference.exportToWkt(&wkt);
    const std::string ogcWkt = wkt;
    CPLFree(wkt);
    // GIS tools write ".prj" files in ESRI's dialect.
    reference.morphToESRI();
    reference.exportToWkt(&wkt);
    std::ofstream(path) << wkt;
    CPLFree(wkt);
    return ogcWkt;
}

bool isSameCoordinateSystem(const std::string& actual, int epsg) {
    OGRSpatialReference expected;
    OGRSpatialReference found;
    if (expected.importFromEPSG(epsg) != OGRERR_NONE || found.importFromWkt(actual.c_str()) != OGRERR_NONE) {
        return false;
    }
    // A ".prj" file carries no axis order, so compare with the system as such a file describes it.
    expected.morphToESRI();
    char* esriWkt = nullptr;
    expected.exportToWkt(&esriWkt);
    expected.importFromWkt(esriWkt);
    CPLFree(esriWkt);
    const char* const options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", nullptr};
    return found.IsSame(&expected, options);
}
