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

// The WKT of an EPSG coordinate system.
std::string epsgWkt(int epsg);

// Writes a one-band GeoTIFF of `values` (row-major from the top row) as `type`, with the geotransform
// when given, the coordinate system of EPSG `epsg` (none for 0) and the no-data value when given. Throws
// std::runtime_error when GDAL cannot.
void writeTestRaster(const std::string& path, int width, int height, const std::vector<double>& values,
                     std::optional<std::array<double, 6>> geoTransform, int epsg,
                     std::optional<double> noData = std::nullopt, int gdalType = 7 /* GDT_Float64 */);

// Copies an ESRI ASCII grid (and the coordinate system of the ".prj" beside it) into a Float64 GeoTIFF
// through GDAL's own reader of such grids. Throws std::runtime_error when GDAL cannot.
void asciiGridToGeoTiff(const std::string& asciiPath, const std::string& tifPath);

// True when the WKT `actual` names the same coordinate system as the ".prj" file of EPSG `epsg`.
bool isSameCoordinateSystem(const std::string& actual, int epsg);
