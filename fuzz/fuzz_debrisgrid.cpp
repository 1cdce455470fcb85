// The debris-flow engine's terrain grid; a grid that loads is set up for a short run with one breach cell.
#include <cstdint>
#include <iostream>

#include "debrisrun.h"
#include "fuzzfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string breach = writeFuzzFile("breach.txt", "0\n1\n1 1\n");
    const std::string grid = writeFuzzFile("grid.asc", data, size);
    CADebrisFlow model;
    int rows = 0;
    int cols = 0;
    double minX = 0;
    double minY = 0;
    double cellSize = 0;
    std::string problem;
    std::cout.setstate(std::ios::failbit);
    const bool read = model.readGrid(grid, rows, cols, minX, minY, cellSize, problem).has_value();
    if (read && static_cast<long long>(rows) * cols < 4096) {
        // A small release, so that a few steps move every packet.
        std::vector<double> values = {400,  5.0,   0,     1880, 2650, 0.36, 0, 40.0,
                                      1000, 0.593, 11.64, 0.25, 0.6,  0,    10};
        DebrisRun run;
        if (run.setup(values, grid, breach, problem)) {
            for (int step = 0; step < 3; ++step) {
                run.advance();
                run.advanceClock();
            }
        }
    }
    std::cout.clear();
    return 0;
}
