#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

// GeoTIFFs and coordinate-system files for tests, read and written through GDAL.

// A one-band raster as GDAL reads it back.
struct RasterContents {
    int width = 0;
    int height = 0;
    std::array<double, 6> geoTransform{};
    std::string projection;  // WKT as the file carries it; empty when it has none
    std::optional<double> noData;
    std::vector<float> values;  // band 1, row-major from the top row

    float at(int row, int column) const { return values[static_cast<std::size_t>(row) * width + column]; }
};

// Reads band 1 of the raster at `path`; nothing when GDAL cannot open or read it.
std::optional<RasterContents> readRaster(const std::string& path);

// Writes the ESRI ".prj" file of an EPSG coordinate system to `path` and returns the system's WKT.
std::string writePrjFile(const std::string& path, int epsg);

// True when the WKT `actual` names the same coordinate system as the ".prj" file of EPSG `epsg`.
bool isSameCoordinateSystem(const std::string& actual, int epsg);
