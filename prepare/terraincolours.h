#pragma once

#include <cstdint>
#include <osg/Vec4>
#include <vector>

struct DemGrid;
struct DrapedRaster;

// The colour of a height between the lowest and highest of a terrain: valley meadows, forest, bare rock,
// snow.
osg::Vec4 elevationColour(float height, float low, float high);

// Brightness of ground that rises `eastRise` m eastwards and `northRise` m northwards across two cells of
// `cellSize` m, lit from the north-west: slopes facing away from the light darken, so valleys and ridges
// read at a glance.
float reliefShade(float eastRise, float northRise, double cellSize);

// An RGB picture of the terrain on the DEM's grid, `width` / dem.columns() pixels along each cell edge,
// rows from the north.
struct TerrainColours {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// The terrain coloured by height and shaded by its slope and aspect, one pixel per cell; grey where the
// DEM has no data.
TerrainColours reliefColours(const DemGrid& dem);

// The draped image (three bands of 8-bit values, or wider values scaled by their largest), with the
// relief's colour where the image has no data.
TerrainColours imageColours(const DrapedRaster& image, const TerrainColours& relief);
