#pragma once

#include <gdal.h>

#include <optional>
#include <string>
#include <vector>

#include "landsliderun.h"

// Rasters of landslide runs written by tests and benchmarks through GDAL.

// Writes a GeoTIFF of `bands.size()` bands of width x height values each (row-major, row 0 at the top).
// Throws std::runtime_error when it cannot.
void writeTestRaster(const std::string& path, int width, int height, const GeoTransform& geoTransform,
                     const std::vector<std::vector<float>>& bands, std::optional<double> noData = {},
                     GDALDataType type = GDT_Float32);

// Band 1 of a raster as floats, empty when it does not read.
std::vector<float> readTestRaster(const std::string& path);

// A slope falling from west to east with a winding slide path down it: the slide body at the path's
// upper (western) end, the deposit at its lower end, a centreline of one cell per column.
struct SlideDesign {
    int width = 140;  // mosaic cells
    int height = 40;
    double cellSize = 10.0;
    double originX = 500000.0;  // map position of the mosaic's top-left corner
    double originY = 3000000.0;
    int pathHalfWidth = 4;  // slide-path cells on either side of the centreline
    int firstColumn = 10;   // the centreline's columns
    int lastColumn = 129;
    float bodyThickness = 5.0f;  // m, over the path cells of the first `bodyColumns` columns
    int bodyColumns = 15;
    int depositColumns = 30;        // the deposit covers the path's last columns
    float depositThickness = 8.0f;  // what the post-disaster DEM adds there
};

// The centreline's row at a mosaic column.
int slideCentreRow(const SlideDesign& design, int column);
// Ground elevation of the mosaicked DEM.
float slideGround(const SlideDesign& design, int row, int column);

// The colours of the post-disaster image: the slide path in red, everything else green.
constexpr unsigned char slidePathRed[3] = {210, 40, 30};
constexpr unsigned char slideGroundGreen[3] = {40, 160, 60};

struct SlideScene {
    LandslideInputs inputs;
    std::vector<float> mosaic;   // the mosaicked DEM's values
    std::vector<float> postDem;  // the post-disaster DEM's values (-9999 in its border columns)
    GeoTransform mosaicTransform{};
};

// Writes the seven inputs into `folder` (which must exist; GDAL's "/vsimem" works too). The slide-path and
// centreline rasters reach beyond the mosaic or start inside it, so that the run reads them through its
// window and offsets; the image covers the mosaic at twice its resolution.
SlideScene writeSlideScene(const std::string& folder, const SlideDesign& design = SlideDesign());
