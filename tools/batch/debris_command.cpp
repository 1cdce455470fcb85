#include <iostream>

#include "commands.h"

int runDebrisCommand(const CommandLine&) {
    std::cerr << "vantorel-batch debris: not available yet\n";
    return 2;
}
