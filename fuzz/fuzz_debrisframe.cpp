// The frame information ".txt" file of a debris-flow frame.
#include <cstdint>
#include <cstdlib>
#include <iostream>

#include "debrishud.h"
#include "fuzzfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = writeFuzzFile("1.txt", data, size);
    DebrisHud hud;
    std::cout.setstate(std::ios::failbit);
    if (hud.readFrameInfo(file)) {
        DebrisHud reread;
        reread.parseFrameInfo(hud.frameInfoText());
        // Range lines are read as floats: exact up to 2^24.
        const bool exact = std::abs(hud.rangeLower) < (1 << 24) && std::abs(hud.rangeUpper) < (1 << 24);
        if (exact && (reread.rangeLower != hud.rangeLower || reread.rangeUpper != hud.rangeUpper)) {
            __builtin_trap();
        }
    }
    std::cout.clear();
    return 0;
}
