#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

struct DemGrid;

// Manning's n by land-cover class, read from a text file: one "CLASS N" pair a line (blanks, a comma, a
// semicolon or "=" between them), "#" starting a comment; the class "*" gives the n of every class not
// listed and of cells the land cover does not cover.
struct RoughnessTable {
    std::map<long long, double> byClass;
    std::optional<double> otherwise;
};

// False, with a message naming the file and line, for a file that cannot be read, a line that is no
// pair, a class that is no whole number, an n outside 0 to 1, or a class given twice.
bool readRoughnessTable(const std::string& path, RoughnessTable& table, std::string& problem);

// Manning's n for every cell of the DEM (row-major from the north; DemGrid::noData where the DEM has no
// data): the land-cover raster at `landCoverPath`, resampled onto the DEM by nearest neighbour, looked up
// in the table. False, with a message naming the files, when a class has no n, or cells lie outside the
// land cover without a "*" line.
bool roughnessFromLandCover(const std::string& landCoverPath, const std::string& landCoverCoordinateSystem,
                            const std::string& tablePath, const DemGrid& dem, std::vector<float>& roughness,
                            std::string& problem);

// One n for every cell with data.
std::vector<float> uniformRoughness(const DemGrid& dem, double manning);
