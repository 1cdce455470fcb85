// The depth raster of the flood engine.
#include <cpl_conv.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <iostream>
#include <vector>

#include "cafloodnew.h"

FloodDepthGrid CAFlood::depthGrid() const {
    FloodDepthGrid grid;
    grid.columns = ncols;
    grid.rows = nrows;
    grid.west = xllcorner;
    grid.south = yllcorner;
    grid.cellSize = cellsize;
    // Border, outbreak and no-data cells have surface and ground at the no-data value: depth 0.
    grid.depths.resize(cellStorage.size());
    for (std::size_t i = 0; i < grid.depths.size(); ++i) {
        grid.depths[i] = cellStorage[i].surfaceOld - cellStorage[i].ground;
    }
    return grid;
}

bool CAFlood::writeDepthTiff(const std::string& path) const {
    return ::writeDepthTiff(path, depthGrid());
}

bool writeDepthTiff(const std::string& path, const FloodDepthGrid& grid) {
    if (grid.depths.empty()) {
        std::cerr << "depth raster " << path << ": no grid is loaded\n";
        return false;
    }
    const int ncols = grid.columns;
    const int nrows = grid.rows;
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

    const double size = grid.cellSize;
    double geoTransform[6] = {grid.west, size, 0.0, grid.south + nrows * size, 0.0, -size};
    dataset->SetGeoTransform(geoTransform);

    // Writing only reads the buffer.
    float* const depths = const_cast<float*>(grid.depths.data());
    const CPLErr written = dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, ncols, nrows, depths, ncols,
                                                               nrows, GDT_Float32, 0, 0);

    OGRSpatialReference reference;
    reference.SetWellKnownGeogCS("WGS84");
    char* wkt = nullptr;
    reference.exportToWkt(&wkt);
    dataset->SetProjection(wkt);
    CPLFree(wkt);

    // Closing flushes the file; a failure there (a full disk) is only visible as GDAL's last error.
    CPLErrorReset();
    GDALClose(dataset);
    if (written != CE_None || CPLGetLastErrorType() == CE_Failure) {
        std::cerr << "depth raster " << path << ": writing the depths failed\n";
        return false;
    }
    return true;
}
