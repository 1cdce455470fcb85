#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// GDAL's six geotransform coefficients: map x = g[0] + column * g[1] + row * g[2],
// map y = g[3] + column * g[4] + row * g[5].
using GeoTransform = std::array<double, 6>;

// The grid a raster's values lie on: size in cells, georeference and projection (WKT, may be empty).
struct RasterFrame {
    int width = 0;
    int height = 0;
    GeoTransform geoTransform{0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    std::string projection;

    std::size_t cellCount() const {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }
};

// The frame of an ESRI ASCII grid of `cols` x `rows` cells of `cellSize` m whose lower-left corner is
// (`lowerLeftX`, `lowerLeftY`): row 0 is the northern row.
RasterFrame asciiGridFrame(int cols, int rows, double cellSize, double lowerLeftX, double lowerLeftY,
                           const std::string& projection);

// Writes `values` (frame.width x frame.height floats, row-major) as a one-band 32-bit float GeoTIFF with
// the frame's georeference and projection, marking `noData` as the band's no-data value when given.
// False, with the reason in `problem`, when the file cannot be created or written.
bool writeGeoTiff(const std::string& path, const RasterFrame& frame, const std::vector<float>& values,
                  std::optional<double> noData, std::string& problem);
// The bytes of that GeoTIFF, made in memory; `path` only names the file in `problem`.
bool geoTiffBytes(const std::string& path, const RasterFrame& frame, const std::vector<float>& values,
                  std::optional<double> noData, std::string& bytes, std::string& problem);

// The coordinate system of a grid file as WKT, from the ".prj" file beside it (the grid's name with its
// extension replaced, as GIS tools look for it). Empty when there is none; empty, with the reason in
// `problem`, when the ".prj" file is there but cannot be read or holds no coordinate system.
std::string projectionBesideGrid(const std::string& gridPath, std::string& problem);

// A new name for a file in GDAL's memory file system ending in `extension` (".tif"), unique in the process.
std::string memoryFilePath(const std::string& extension);

// Takes the memory file `path` out of GDAL's memory file system: its bytes, or nothing when there is no
// such file.
std::optional<std::string> takeMemoryFile(const std::string& path);

// GDAL's own words for its last failure, to append to a message (empty when it has none).
std::string gdalReason();

// Keeps GDAL's complaints off the terminal while a call runs; the caller reports them itself.
class QuietGdal {
public:
    QuietGdal();
    ~QuietGdal();
    QuietGdal(const QuietGdal&) = delete;
    QuietGdal& operator=(const QuietGdal&) = delete;
};
