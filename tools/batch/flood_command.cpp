#include <iostream>

#include "commands.h"

int runFloodCommand(const CommandLine&) {
    std::cerr << "vantorel-batch flood: not available yet\n";
    return 2;
}
