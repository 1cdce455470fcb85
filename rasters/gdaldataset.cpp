#include "gdaldataset.h"

#include <cpl_conv.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

void GdalDatasetCloser::operator()(GDALDataset* dataset) const {
    GDALClose(dataset);
}

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string wktOf(const OGRSpatialReference* reference) {
    if (reference == nullptr || reference->IsEmpty()) {
        return {};
    }
    char* wkt = nullptr;
    std::string result;
    if (reference->exportToWkt(&wkt) == OGRERR_NONE && wkt != nullptr) {
        result = wkt;
    }
    CPLFree(wkt);
    return result;
}

void georeference(GDALDataset& dataset, const RasterFrame& frame) {
    GeoTransform coefficients = frame.geoTransform;
    dataset.SetGeoTransform(coefficients.data());
    if (!frame.projection.empty()) {
        dataset.SetProjection(frame.projection.c_str());
    }
}

GdalDatasetHandle memoryRaster(const RasterFrame& frame, GDALDataType type, const void* values) {
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("MEM");
    if (!driver) {
        return nullptr;
    }
    GdalDatasetHandle dataset(driver->Create("", frame.width, frame.height, 1, type, nullptr));
    if (!dataset) {
        return nullptr;
    }
    georeference(*dataset, frame);
    // Writing only reads the buffer.
    if (dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, frame.width, frame.height,
                                            const_cast<void*>(values), frame.width, frame.height, type, 0,
                                            0) != CE_None) {
        return nullptr;
    }
    return dataset;
}
