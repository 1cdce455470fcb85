#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "georaster.h"

// A summary raster drawn over the shaded relief of its terrain, as a picture for the run's report.

// An RGB colour of a map or legend.
struct MapColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// The colour of cell `cell` (an index into the frame's grids, rows from the north), or false where the
// relief shows through.
using CellColour = std::function<bool(std::size_t cell, MapColour& colour)>;

// A PNG picture of a map and its size.
struct MapPicture {
    std::string png;
    int width = 0;
    int height = 0;
    double metresPerPixel = 0.0;
};

// GDAL's hillshade of the terrain `elevation` (on `frame`, summaryNoData where it has none), lit from
// the north-west: one byte per cell, 1 (shadow) to 255 (lit), 0 where it has no data. A report shades its
// terrain once and draws all its maps over it. False, with the reason in `problem`, when GDAL cannot.
bool shadeRelief(const RasterFrame& frame, const std::vector<float>& elevation,
                 std::vector<std::uint8_t>& shade, std::string& problem);

// The relief `shade` (shadeRelief's on `frame`) with the cells `colourOf` colours laid over it; at most
// `maxWidth` pixels wide, a pixel showing every so many cells of a large grid and a cell taking a few
// pixels of a small one. False, with the reason in `problem`, when GDAL cannot draw it.
bool drawReliefMap(const RasterFrame& frame, const std::vector<std::uint8_t>& shade,
                   const CellColour& colourOf, int maxWidth, MapPicture& picture, std::string& problem);

// The colour of `value` on a ramp from pale to dark blue between 0 and `high` (values above take the
// darkest).
MapColour depthColour(double value, double high);
