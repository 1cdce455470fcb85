#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "gdaldataset.h"
#include "georaster.h"

// Largest grid the landslide run reads into memory, in cells (a float grid of this size is 800 MB).
constexpr long long maxLandslideRasterCells = 200'000'000;
// Cells a raster file may declare per byte it stores: above what any lossless compression gives (DEFLATE
// packs at most 1032 bytes into one). A file declaring more is damaged or sparse, and reading it would
// fill memory with cells it does not hold. Text rasters (ESRI ASCII grids) need two bytes per cell.
constexpr long long maxCellsPerStoredByte = 2048;

// Opens the raster at `path` read-only, without GDAL's own complaints on the terminal. The file, its
// companions and every file GDAL names as part of the raster must be regular files (a pipe would hold
// GDAL in open() for good), and together hold at least a byte per maxCellsPerStoredByte cells the
// raster declares (two per cell for a text raster). Null, with the reason (GDAL's words included) in
// `problem`, otherwise, or when it does not open as a raster or has no band. Paths under "/vsimem/"
// name files this process made in memory.
GdalDatasetHandle openRaster(const std::string& path, std::string& problem);

// Band 1 of a raster as 32-bit floats, row-major, row 0 at the top.
struct FloatRaster {
    RasterFrame frame;  // the grid of `values` (a window read keeps the file's georeference)
    std::vector<float> values;
    int bandCount = 0;
    bool hasNoData = false;
    double noData = 0.0;  // band 1's no-data value as GDAL reports it, also when none is set

    float at(int row, int col) const { return values[static_cast<std::size_t>(row) * frame.width + col]; }
};

// Reads band 1 of the raster at `path` in one read. With `windowWidth` and `windowHeight` above 0 only
// that window from the top-left corner is read, and a raster smaller than the window is refused. False,
// with the reason in `problem`, when the file does not open as a raster, has no band, is too large for
// memory or cannot be read.
bool readFloatRaster(const std::string& path, FloatRaster& raster, std::string& problem, int windowWidth = 0,
                     int windowHeight = 0);

// The raster cell holding map position (x, y), rounded to the nearest cell corner as the colour sampling
// has always done. Positions that no raster can hold (a degenerate geotransform, far outside the int
// range) give column and row -1.
struct PixelPosition {
    int column = -1;
    int row = -1;
};
PixelPosition geoToPixel(const GeoTransform& geoTransform, double x, double y);
