// The terrain heights a debris surface is lifted by (readHeights of the debris-flow form).
#include <cstdint>
#include <iostream>

#include "fuzzfiles.h"
#include "terrainheights.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = writeFuzzFile("heights.asc", data, size);
    std::cout.setstate(std::ios::failbit);
    readTerrainHeights(file);
    std::cout.clear();
    return 0;
}
