// The debris-flow engine's breach file, with a run set up over a small valid grid when it reads.
#include <cstdint>
#include <iostream>

#include "debrisrun.h"
#include "fuzzfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string grid =
        writeFuzzFile("grid.asc",
                      "ncols 6\nnrows 5\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n"
                      "9 9 9 9 9 9\n9 8 7 6 5 9\n9 7 6 5 4 9\n9 6 5 -9999 3 9\n9 9 9 9 9 9\n");
    const std::string breach = writeFuzzFile("breach.txt", data, size);
    CADebrisFlow model;
    int count = 0;
    double leading = 0;
    std::string problem;
    std::cout.setstate(std::ios::failbit);
    if (model.readBreachFile(breach, count, leading, problem)) {
        std::vector<double> values = {400,  5.0,   0,     1880, 2650, 0.36, 0, 40.0,
                                      1000, 0.593, 11.64, 0.25, 0.6,  0,    10};
        DebrisRun run;
        if (run.setup(values, grid, breach, problem)) {
            run.advance();
        }
    }
    std::cout.clear();
    return 0;
}
