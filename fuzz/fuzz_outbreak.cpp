// The flood engine's outbreak-information file, over a small valid grid.
#include <cstdint>
#include <iostream>

#include "cafloodnew.h"
#include "fuzzfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string grid =
        writeFuzzFile("grid.asc",
                      "ncols 5\nnrows 4\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n"
                      "9 9 9 9 9\n9 5 4 3 9\n9 4 3 2 9\n9 9 9 9 9\n");
    const std::string outbreak = writeFuzzFile("outbreak.txt", data, size);
    CAFlood engine;
    std::cerr.setstate(std::ios::failbit);
    if (engine.loadInputs({grid, grid, outbreak})) {
        engine.setBreachParameters(1e6f, 20.0f, 10.0f, 0.0f, 0.0f, 1.0f, true);
        if (engine.prepareHydrograph()) {
            engine.step();
        }
    }
    std::cerr.clear();
    return 0;
}
