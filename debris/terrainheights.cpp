#include "terrainheights.h"

#include <cmath>
#include <iostream>

#include "gridreader.h"
#include "cadebrisflow.h"

TerrainHeights readTerrainHeights(const std::string& path) {
    GridReader grid;
    std::string problem;
    if (!grid.open(path, problem)) {
        const FileReadStatus status = grid.fileStatus();
        if (status == FileReadStatus::missing || status == FileReadStatus::unreadable) {
            std::cout << "文件不存在!" << std::endl;
        } else {
            std::cout << "terrain heights of " << path << ": " << problem << std::endl;
        }
        return {};
    }
    // Read like the run's own grid, so that the heights lie under the cells they lift whatever the
    // header's order, its NODATA line or the file's line ends.
    const AsciiGridHeader& header = grid.header();
    if (grid.cellCount() > CADebrisFlow::maxGridCells) {
        std::cout << "terrain heights of " << path << ": more than " << CADebrisFlow::maxGridCells
                  << " values; not read" << std::endl;
        return {};
    }
    TerrainHeights rows(static_cast<std::size_t>(header.nrows),
                        std::vector<double>(static_cast<std::size_t>(header.ncols)));
    for (std::vector<double>& row : rows) {
        for (double& height : row) {
            bool noData = false;
            if (!grid.nextValue(height, noData, problem)) {
                std::cout << "terrain heights of " << path << ": " << problem << std::endl;
                return {};
            }
            // A no-data cell lies outside the terrain and never holds debris; it is lifted by nothing.
            if (noData && !std::isfinite(height)) {
                height = 0;
            }
        }
    }
    if (!grid.finish(problem)) {
        std::cout << "terrain heights of " << path << ": " << problem << std::endl;
        return {};
    }
    return rows;
}
