// The display-state ".txt" file of a flood frame, and the lines of the heads-up display shown from it.
#include <cstdint>
#include <iostream>

#include "floodhud.h"
#include "fuzzfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = writeFuzzFile("1.txt", data, size);
    FloodHud hud;
    std::cout.setstate(std::ios::failbit);
    if (hud.readState(file)) {
        FloodHud::timeLine(hud.time);
        FloodHud::storageLine(hud.capacity);
        FloodHud::residualLine(hud.residual);
        // What is read writes back as it reads.
        FloodHud reread;
        reread.parseState(hud.stateText(), file);
        if (reread.colourLow != hud.colourLow || reread.colourHigh != hud.colourHigh) {
            __builtin_trap();
        }
    }
    std::cout.clear();
    return 0;
}
