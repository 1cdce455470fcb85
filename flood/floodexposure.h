#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "georaster.h"

// Which places a flood reaches, when and how badly: villages, buildings or roads from a vector file,
// read against the summary's grids.

// A place as the cells of the flood grid it covers (indices into the summary's grids, rows from the
// north): the cell of a point, the cells a line crosses, the cells a polygon covers or touches. No
// cells for a place off the grid.
struct Place {
    std::string name;
    std::vector<std::size_t> cells;
};

// Most places one file may give: each is a row of the exposure table and of the report.
constexpr std::size_t maxPlaces = 10000;

// Reads every point, line and polygon feature of the vector file `path` as a place on `frame`, named by
// the first field whose name holds "name" (any case), or "place N" without one. Features in another
// coordinate system than the frame's are brought into it. False, with a message naming the file, when
// it does not open as vector data, holds no such feature or more than maxPlaces.
bool loadPlaces(const std::string& path, const RasterFrame& frame, std::vector<Place>& places,
                std::string& problem);

// What the flood did at a place: over its cells, the first arrival, the highest depth, speed and
// hazard class.
struct PlaceExposure {
    std::string name;
    bool onGrid = false;
    bool reached = false;
    float arrivalSeconds = 0.0f;
    float maxDepth = 0.0f;  // m
    float maxSpeed = 0.0f;  // m/s
    int hazardClass = 0;
};

// The exposure of every place, from the summary's grids (summaryNoData where no water came; hazard 0).
std::vector<PlaceExposure> exposePlaces(const std::vector<Place>& places, const std::vector<float>& arrival,
                                        const std::vector<float>& maxDepth, const std::vector<float>& maxSpeed,
                                        const std::vector<std::uint8_t>& hazard);

// The table as "exposure.csv": one row per place, in the file's order.
std::string exposureCsv(const std::vector<PlaceExposure>& exposure);
