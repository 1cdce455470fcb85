#include "testrasters.h"

#include <cpl_conv.h>
#include <gdal_priv.h>
#include <gdal_utils.h>
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

std::string epsgWkt(int epsg) {
    OGRSpatialReference reference;
    if (reference.importFromEPSG(epsg) != OGRERR_NONE) {
        throw std::runtime_error("no EPSG " + std::to_string(epsg));
    }
    char* wkt = nullptr;
    reference.exportToWkt(&wkt);
    const std::string result = wkt;
    CPLFree(wkt);
    return result;
}

void writeTestRaster(const std::string& path, int width, int height, const std::vector<double>& values,
                     std::optional<std::array<double, 6>> geoTransform, int epsg,
                     std::optional<double> noData, int gdalType) {
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    std::unique_ptr<GDALDataset> dataset(
        driver->Create(path.c_str(), width, height, 1, static_cast<GDALDataType>(gdalType), nullptr));
    if (!dataset) {
        throw std::runtime_error("cannot create " + path);
    }
    if (geoTransform) {
        dataset->SetGeoTransform(geoTransform->data());
    }
    if (epsg != 0) {
        dataset->SetProjection(epsgWkt(epsg).c_str());
    }
    GDALRasterBand* band = dataset->GetRasterBand(1);
    if (noData) {
        band->SetNoDataValue(*noData);
    }
    if (band->RasterIO(GF_Write, 0, 0, width, height, const_cast<double*>(values.data()), width, height,
                       GDT_Float64, 0, 0) != CE_None) {
        throw std::runtime_error("cannot write " + path);
    }
}

void asciiGridToGeoTiff(const std::string& asciiPath, const std::string& tifPath) {
    GDALAllRegister();
    // Read as written, not rounded to single precision.
    CPLSetThreadLocalConfigOption("AAIGRID_DATATYPE", "Float64");
    GDALDatasetH source = GDALOpen(asciiPath.c_str(), GA_ReadOnly);
    CPLSetThreadLocalConfigOption("AAIGRID_DATATYPE", nullptr);
    if (source == nullptr) {
        throw std::runtime_error("GDAL cannot read " + asciiPath);
    }
    const char* const arguments[] = {"-of", "GTiff", "-ot", "Float64", nullptr};
    GDALTranslateOptions* options = GDALTranslateOptionsNew(const_cast<char**>(arguments), nullptr);
    GDALDatasetH copy = GDALTranslate(tifPath.c_str(), source, options, nullptr);
    GDALTranslateOptionsFree(options);
    GDALClose(source);
    if (copy == nullptr) {
        throw std::runtime_error("GDAL cannot write " + tifPath);
    }
    GDALClose(copy);
}
