#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "georaster.h"

// A DEM on the grid the engines take: north up, square cells in metres, in a projected coordinate system.
struct DemGrid {
    static constexpr float noData = -9999.0f;

    RasterFrame frame;  // size, geotransform (west, cell, 0, north, 0, -cell) and coordinate system (WKT)
    std::string sourceProjection;  // the coordinate system (WKT) the DEM came in
    std::vector<float> heights;    // row-major from the northern row; noData where there is none

    int columns() const { return frame.width; }
    int rows() const { return frame.height; }
    double cellSize() const { return frame.geoTransform[1]; }
    double west() const { return frame.geoTransform[0]; }
    double north() const { return frame.geoTransform[3]; }
    double south() const { return north() - rows() * cellSize(); }
    double east() const { return west() + columns() * cellSize(); }
    bool inside(int row, int column) const {
        return row >= 0 && column >= 0 && row < rows() && column < columns();
    }
    float at(int row, int column) const {
        return heights[static_cast<std::size_t>(row) * frame.width + column];
    }
    bool hasData(int row, int column) const { return inside(row, column) && at(row, column) != noData; }
    // The cell holding map point (x, y); may lie outside the grid.
    int rowOf(double y) const;
    int columnOf(double x) const;
    // Map coordinates of a cell's centre.
    double centreX(int column) const { return west() + (column + 0.5) * cellSize(); }
    double centreY(int row) const { return north() - (row + 0.5) * cellSize(); }
};

// How a DEM becomes a DemGrid.
struct DemOptions {
    // The coordinate system of a DEM that carries none (anything GDAL takes: "EPSG:4326", WKT, PROJ);
    // ignored for a DEM that has one.
    std::string coordinateSystem;
    // Cell size of the grid, m; 0 takes the DEM's own resolution (in metres, rounded).
    double cellSize = 0.0;
};

// Most cells a prepared grid may have: a 4000 x 4000 DEM and some room.
constexpr long long maxPreparedCells = 30'000'000;

// Reads band 1 of the DEM at `path` (any raster GDAL reads). A DEM in a projected system in metres on
// square north-up cells is taken as it is; any other (degrees, feet, rotated or oblong cells, another
// cell size asked for) is resampled bilinearly onto square cells, in the UTM zone of its centre when it
// is not in metres. False, with a message naming the file, when the file is no raster, has no
// georeference or coordinate system, no data at all, or would give more than maxPreparedCells cells.
bool loadDem(const std::string& path, const DemOptions& options, DemGrid& dem, std::string& problem);

// The EPSG code of the WGS 84 UTM zone holding longitude `longitude` and latitude `latitude` (degrees).
int utmZoneEpsg(double longitude, double latitude);

// A raster resampled onto the DEM's grid, `pixelsPerCell` pixels along each cell edge.
struct DrapedRaster {
    int width = 0;
    int height = 0;
    int bands = 0;
    std::vector<double> values;         // band-interleaved by pixel, row-major from the north
    std::vector<std::uint8_t> covered;  // 1 where the raster has data
    long long coveredCount = 0;
};

// Resamples bands 1..`bands` of the raster at `path` onto the DEM's grid (nearest neighbour for classes,
// bilinear otherwise). The raster must carry a coordinate system (or take `coordinateSystem`). False, with
// a message naming the file, when it cannot be read, has fewer bands, or does not overlap the DEM.
bool drapeOnDem(const std::string& path, const DemGrid& dem, int bands, int pixelsPerCell, bool nearest,
                const std::string& coordinateSystem, DrapedRaster& draped, std::string& problem);
