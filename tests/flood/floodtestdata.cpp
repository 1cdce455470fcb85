#include "floodtestdata.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "cafloodnew.h"

void writeAsciiGrid(const std::string& path, int ncols, int nrows, const std::vector<float>& values,
                    float cellsize, double xllcorner, double yllcorner) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        throw std::runtime_error("cannot write " + path);
    }
    std::fprintf(file,
                 "ncols %d\nnrows %d\nxllcorner %.6f\nyllcorner %.6f\ncellsize %g\nNODATA_value -9999\n",
                 ncols, nrows, xllcorner, yllcorner, cellsize);
    for (int r = 0; r < nrows; ++r) {
        for (int c = 0; c < ncols; ++c) {
            // Nine significant digits give back the same float.
            std::fprintf(file, c + 1 < ncols ? "%.9g " : "%.9g\n",
                         values[static_cast<std::size_t>(r) * ncols + c]);
        }
    }
    std::fclose(file);
}

void writeOutbreakFile(const std::string& path, const std::vector<std::pair<int, int>>& cells) {
    std::string text = std::to_string(cells.size()) + "\n";
    for (const auto& [column, row] : cells) {
        text += std::to_string(column) + " " + std::to_string(row) + "\n";
    }
    writeTextFile(path, text);
}

std::vector<float> valleyGround(const ValleyShape& shape) {
    std::vector<float> ground(static_cast<std::size_t>(shape.ncols) * shape.nrows);
    const float middle = 0.5f * static_cast<float>(shape.ncols - 1);
    for (int r = 0; r < shape.nrows; ++r) {
        for (int c = 0; c < shape.ncols; ++c) {
            const float across = std::fabs(static_cast<float>(c) - middle) * shape.cellsize;
            const float along = static_cast<float>(shape.nrows - 1 - r) * shape.cellsize;
            ground[static_cast<std::size_t>(r) * shape.ncols + c] =
                100.0f + across * shape.sideSlope + along * shape.floorSlope;
        }
    }
    return ground;
}

std::vector<std::string> writeValley(const std::string& folder, const ValleyShape& shape,
                                     const std::vector<std::pair<int, int>>& outbreakCells) {
    const std::vector<std::string> paths = {folder + "/roughness.asc", folder + "/dem.asc",
                                            folder + "/outbreak.txt"};
    writeAsciiGrid(paths[0], shape.ncols, shape.nrows,
                   std::vector<float>(static_cast<std::size_t>(shape.ncols) * shape.nrows, 0.035f),
                   shape.cellsize);
    writeAsciiGrid(paths[1], shape.ncols, shape.nrows, valleyGround(shape), shape.cellsize);
    writeOutbreakFile(paths[2], outbreakCells);
    return paths;
}

std::vector<float> groundBesideHighLand(const ValleyShape& shape, int dryColumns) {
    const std::vector<float> valley = valleyGround(shape);
    const float highLand = *std::max_element(valley.begin(), valley.end()) + 20.0f;
    const int columns = shape.ncols + dryColumns;
    std::vector<float> ground(static_cast<std::size_t>(columns) * shape.nrows, highLand);
    for (int r = 0; r < shape.nrows; ++r) {
        std::copy_n(valley.begin() + static_cast<std::ptrdiff_t>(r) * shape.ncols, shape.ncols,
                    ground.begin() + static_cast<std::ptrdiff_t>(r) * columns);
    }
    return ground;
}

std::vector<std::string> writeValleyBesideHighLand(const std::string& folder, const ValleyShape& shape,
                                                   int dryColumns,
                                                   const std::vector<std::pair<int, int>>& outbreakCells) {
    const std::vector<float> ground = groundBesideHighLand(shape, dryColumns);
    const int columns = shape.ncols + dryColumns;
    const std::vector<std::string> paths = {folder + "/roughness.asc", folder + "/dem.asc",
                                            folder + "/outbreak.txt"};
    writeAsciiGrid(paths[0], columns, shape.nrows, std::vector<float>(ground.size(), 0.035f), shape.cellsize);
    writeAsciiGrid(paths[1], columns, shape.nrows, ground, shape.cellsize);
    writeOutbreakFile(paths[2], outbreakCells);
    return paths;
}

std::vector<std::pair<int, int>> outbreakLattice(const ValleyShape& shape, int spacing) {
    std::vector<std::pair<int, int>> cells;
    for (int r = spacing / 2 + 1; r < shape.nrows - 2; r += spacing) {
        for (int c = spacing / 2 + 1; c < shape.ncols - 2; c += spacing) {
            cells.emplace_back(c, shape.nrows - r);
        }
    }
    return cells;
}

FloodRunSettings smallBreach(float capacity) {
    FloodRunSettings settings;
    settings.capacity = capacity;
    settings.width = 10.0f;
    settings.height = 5.0f;
    return settings;
}

void runUntil(CAFlood& engine, double seconds) {
    // As a run between two results: the sub-steps may span several steps.
    engine.advanceUntil(seconds + engine.stepSeconds());
}

float cellDepth(const CAFlood& engine, int r, int c) {
    const FloodCell& cell = engine.cellRows()[r][c];
    return cell.surfaceOld - cell.ground;
}

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

const char* firstDifference(const FloodCell& a, const FloodCell& b) {
    if (a.wet != b.wet) {
        return "wet";
    }
    if (a.source != b.source) {
        return "source";
    }
    const std::pair<const char*, float FloodCell::*> fields[] = {{"ground", &FloodCell::ground},
                                                                 {"manning", &FloodCell::manning},
                                                                 {"surfaceNew", &FloodCell::surfaceNew},
                                                                 {"surfaceOld", &FloodCell::surfaceOld},
                                                                 {"fluxXNew", &FloodCell::fluxXNew},
                                                                 {"fluxYNew", &FloodCell::fluxYNew},
                                                                 {"fluxXOld", &FloodCell::fluxXOld},
                                                                 {"fluxYOld", &FloodCell::fluxYOld}};
    for (const auto& [name, field] : fields) {
        if (!sameBits(a.*field, b.*field)) {
            return name;
        }
    }
    return nullptr;
}
