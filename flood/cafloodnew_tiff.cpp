// The depth raster of the flood engine.
#include <cpl_conv.h>
#include <gdal_priv.h>

#include <iostream>
#include <vector>

#include "cafloodnew.h"

bool CAFlood::writeDepthTiff(const std::string& path) const {
    if (cells.empty()) {
        std::cerr << "depth raster " << path << ": no grid is loaded\n";
        return false;
    }
    GDALAllRegister();
    CPLSetConfigOption("GDAL_FILENAME_IS_UTF8", "NO");
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (driver == nullptr) {
        std::cerr << "depth raster " << path << ": GDAL has no GTiff driver\n";
        return false;
    }
    GDALDataset* dataset = driver->Create(path.c_str(), ncols, nrows, 1, GDT_Float32, nullptr);
    if (dataset == nullptr) {
        std::cerr << "depth raster " << path << ": cannot create the file\n";
        return false;
    }

    const double size = cellsize;
    double geoTransform[6] = {xllcorner, size, 0.0, yllcorner + nrows * size, 0.0, -size};
    dataset->SetGeoTransform(geoTransform);

    // Border, outbreak and no-data cells have surface and ground at the no-data value: depth 0.
    std::vector<float> depths(cellStorage.size());
    for (std::size_t i = 0; i < depths.size(); ++i) {
        depths[i] = cellStorage[i].surfaceOld - cellStorage[i].ground;
    }
    const CPLErr written = dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, ncols, nrows, depths.data(),
                                                               ncols, nrows, GDT_Float32, 0, 0);

    // The grid's coordinates are in the units of its own coordinate system, metres as a rule: labelling
    // them with a geographic system would put the raster nowhere.
    if (!projection.empty()) {
        dataset->SetProjection(projection.c_str());
    }

    // Closing flushes the file; a failure there (a full disk) is only visible as GDAL's last error.
    CPLErrorReset();
    GDALClose(dataset);
    if (written != CE_None || CPLGetLastErrorType() == CE_Failure) {
        std::cerr << "depth raster " << path << ": writing the depths failed\n";
        return false;
    }
    return true;
}
