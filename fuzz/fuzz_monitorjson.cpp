// The monitor ".json" file of a flood frame.
#include <cstdint>
#include <iostream>

#include "fuzzfiles.h"
#include "monitorpoints.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = writeFuzzFile("1.json", data, size);
    MonitorPoints monitors;
    std::cout.setstate(std::ios::failbit);
    if (monitors.readJson(file)) {
        // What is read writes back as it reads.
        MonitorPoints reread;
        if (!reread.parseJson(monitors.toJson(), file) || reread.list().size() != monitors.list().size()) {
            __builtin_trap();
        }
    }
    std::cout.clear();
    return 0;
}
