// The data tool's table of Manning's n per land-cover class.
#include <cstdint>

#include "fuzzfiles.h"
#include "roughness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = writeFuzzFile("table.txt", data, size);
    RoughnessTable table;
    std::string problem;
    readRoughnessTable(path, table, problem);
    return 0;
}
