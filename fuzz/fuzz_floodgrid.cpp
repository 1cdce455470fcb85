// The flood engine's grids: the input is both the elevation and the roughness grid (so a grid that loads
// is also one whose roughness is read), with one outbreak cell; a grid that loads is stepped a few times.
#include <cstdint>
#include <iostream>

#include "cafloodnew.h"
#include "fuzzfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string outbreak = writeFuzzFile("outbreak.txt", "1\n1 1\n");
    const std::string grid = writeFuzzFile("grid.asc", data, size);
    CAFlood engine;
    std::cerr.setstate(std::ios::failbit);  // the diagnostics are not what is under test
    if (engine.loadInputs({grid, grid, outbreak})) {
        engine.setBreachParameters(1e6f, 20.0f, 10.0f, 0.0f, 0.0f, 1.0f, true);
        if (engine.prepareHydrograph() &&
            engine.columnCount() * static_cast<long long>(engine.rowCount()) < 4096) {
            for (int step = 0; step < 3; ++step) {
                engine.step();
            }
        }
    }
    std::cerr.clear();
    return 0;
}
