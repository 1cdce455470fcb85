// The depth raster of the flood engine.
#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>

#include <atomic>
#include <iostream>
#include <vector>

#include "cafloodnew.h"
#include "fileio.h"
#include "gdaldataset.h"

FloodDepthGrid CAFlood::depthGrid() const {
    FloodDepthGrid grid;
    grid.columns = ncols;
    grid.rows = nrows;
    grid.west = xllcorner;
    grid.south = yllcorner;
    grid.cellSize = cellsize;
    grid.projection = projection;
    catchUpCells();
    grid.depths = depthStorage;
    return grid;
}

bool CAFlood::depthTiffBytes(std::string& bytes, std::string& problem) const {
    return ::depthTiffBytes(depthGrid(), bytes, problem);
}

bool CAFlood::writeDepthTiff(const std::string& path) const {
    return ::writeDepthTiff(path, depthGrid());
}

bool depthTiffBytes(const FloodDepthGrid& grid, std::string& bytes, std::string& problem) {
    if (grid.depths.empty()) {
        problem = "no grid is loaded";
        return false;
    }
    const int ncols = grid.columns;
    const int nrows = grid.rows;
    GDALAllRegister();
    CPLSetConfigOption("GDAL_FILENAME_IS_UTF8", "NO");
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (driver == nullptr) {
        problem = "GDAL has no GTiff driver";
        return false;
    }
    // Made in memory and written by the caller like every other result file, so that a full disk is
    // reported for the file it hit and leaves no raster cut short.
    static std::atomic<unsigned> serial{0};
    const std::string memoryFile = "/vsimem/vantorel-depth-" + std::to_string(serial++) + ".tif";
    GdalDatasetHandle dataset(driver->Create(memoryFile.c_str(), ncols, nrows, 1, GDT_Float32, nullptr));
    if (!dataset) {
        problem = "GDAL cannot make the raster";
        return false;
    }

    const double size = grid.cellSize;
    double geoTransform[6] = {grid.west, size, 0.0, grid.south + nrows * size, 0.0, -size};
    dataset->SetGeoTransform(geoTransform);

    // Writing only reads the buffer.
    float* const depths = const_cast<float*>(grid.depths.data());
    const CPLErr written = dataset->GetRasterBand(1)->RasterIO(GF_Write, 0, 0, ncols, nrows, depths, ncols,
                                                               nrows, GDT_Float32, 0, 0);

    // The grid's coordinates are in the units of its own coordinate system, metres as a rule: labelling
    // them with a geographic system would put the raster nowhere.
    if (!grid.projection.empty()) {
        dataset->SetProjection(grid.projection.c_str());
    }

    CPLErrorReset();
    dataset.reset();
    vsi_l_offset length = 0;
    GByte* buffer = VSIGetMemFileBuffer(memoryFile.c_str(), &length, TRUE);
    const bool made = written == CE_None && CPLGetLastErrorType() != CE_Failure && buffer != nullptr;
    if (made) {
        bytes.assign(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
    }
    VSIFree(buffer);
    if (!made) {
        problem = "GDAL could not write the depths";
    }
    return made;
}

bool writeDepthTiff(const std::string& path, const FloodDepthGrid& grid) {
    std::string bytes;
    std::string problem;
    if (!depthTiffBytes(grid, bytes, problem) || !writeFileAtomically(path, bytes, problem)) {
        std::cerr << "depth raster " << path << ": " << problem << "\n";
        return false;
    }
    return true;
}
