#pragma once

#include <string>

struct DemGrid;
struct TerrainColours;

// Cells along the edge of a terrain tile at every level: (255 + 1)^2 vertices index with 16 bits.
constexpr int terrainTileCells = 255;

// What writeTerrainScene made.
struct TerrainSceneSummary {
    int levels = 0;
    int tiles = 0;
    long long vertices = 0;
};

// Writes the terrain as a scene model that stays interactive at any size: a quadtree of tiles of
// terrainTileCells cells each, the coarsest one tile over the whole DEM sampled every 2^(levels - 1)
// cells, each finer level splitting every tile in four at twice the detail, down to every cell. The
// model file at `modelPath` (".ive") holds the coarsest tile; every finer level is paged in from the
// folder "<model name>_tiles" beside it (osg::PagedLOD, by the tile's size on the screen) as the view
// comes close, and out again as it leaves. A DEM of one tile is one model without paging.
//
// Vertices lie at the cells' north-west corners in map coordinates, like the water and debris meshes,
// each tile placed by a transform so that its vertices keep their precision; cells without data leave
// holes. The colours, a texture per tile, are baked: the terrain is drawn unlit. False, with the reason,
// when a file cannot be written.
bool writeTerrainScene(const DemGrid& dem, const TerrainColours& colours, const std::string& modelPath,
                       TerrainSceneSummary& summary, std::string& problem);

// The folder of the finer tiles of the model at `modelPath`.
std::string terrainTileFolder(const std::string& modelPath);
