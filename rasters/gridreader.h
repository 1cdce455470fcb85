#pragma once

#include <memory>
#include <string>
#include <vector>

#include "asciigrid.h"

// The file-dialog filter of the grids the engines read: ESRI ASCII and GeoTIFF first, any file GDAL may
// read besides.
inline constexpr const char rasterFileFilter[] = "栅格 (*.asc *.txt *.tif *.tiff);;所有文件 (*)";

// Reads the grid an engine runs on from any raster GDAL reads (GeoTIFF, ESRI ASCII, ...): band 1, north
// up, square cells in metres. ESRI ASCII grids go through AsciiGridReader, with its header rules and its
// messages; other rasters through GDAL. Both give the same header and the values in the same order, row
// by row from the northern row:
//
//     GridReader grid;
//     if (!grid.open(path, problem)) { ... }
//     for (long long i = 0; i < grid.cellCount(); ++i) { if (!grid.nextValue(value, noData, problem)) ... }
//     if (!grid.finish(problem)) { ... }
//
// Problems do not name the file; callers say which grid they read.
class GridReader {
public:
    GridReader();
    ~GridReader();
    GridReader(const GridReader&) = delete;
    GridReader& operator=(const GridReader&) = delete;

    // Opens the grid and reads its header. Only regular files reach GDAL. A raster is refused, with the
    // reason, when it has no georeference, is rotated, has cells that are not square, is in degrees, or
    // its size or origin is implausible (the bounds of asciigrid.h).
    bool open(const std::string& path, std::string& problem);
    // Why open failed, when it failed on reading the file.
    FileReadStatus fileStatus() const { return status; }
    // True when the file is an ESRI ASCII grid.
    bool isAsciiGrid() const { return !dataset; }

    const AsciiGridHeader& header() const { return gridHeader; }
    long long cellCount() const { return static_cast<long long>(gridHeader.ncols) * gridHeader.nrows; }

    // The next value in row order. `noData` tells a cell holding the raster's no-data value (or NaN).
    bool nextValue(double& value, bool& noData, std::string& problem);
    // Values left, counted up to `limit`: a reader that allocates much per cell can check that they are
    // there first.
    long long valuesAhead(long long limit) const;
    // "value 5 (row 1, column 0)" for the value at `index` in row order.
    std::string cellName(long long index) const;
    // After the last value: false when an ESRI ASCII file holds more than its header promised.
    bool finish(std::string& problem);

private:
    bool openRaster(std::string& problem);
    bool readRow(int row, std::string& problem);

    AsciiGridReader ascii;
    struct Dataset;
    std::unique_ptr<Dataset> dataset;
    AsciiGridHeader gridHeader;
    std::vector<double> rowValues;
    int bufferedRow = -1;
    long long valuesRead = 0;
    FileReadStatus status = FileReadStatus::ok;
};

// Whether `path` names a regular file, with the reason (naming the file) when not. GDAL never sees any other
// path: a device or pipe would block it, and a "/vsi..." name would reach into archives or the network.
FileReadStatus regularFileStatus(const std::string& path, std::string& problem);

// The coordinate system (WKT) of a grid: a raster's own, or for an ESRI ASCII grid the ".prj" file beside
// it (projectionBesideGrid). Empty when it has none; empty, with the reason in `problem`, when it cannot be
// read.
std::string gridCoordinateSystem(const std::string& path, std::string& problem);
