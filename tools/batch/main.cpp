// vantorel-batch: runs the simulation engines without a window and writes the same result folders as
// the interactive runs, so that they replay in the window.
#include <cstring>
#include <iostream>

#include "commands.h"

namespace {

void printUsage() {
    std::cout
        << "usage: vantorel-batch flood --roughness FILE --dem FILE --outbreak FILE [options] --out DIR\n"
           "       vantorel-batch debris --dem FILE --breach FILE [options] --out DIR\n"
           "       vantorel-batch landslide --deposit FILE --path FILE --body FILE --image FILE\n"
           "           --centreline FILE --mosaic FILE --post-dem FILE [--format .ive] --out DIR\n"
           "       vantorel-batch COMMAND --help\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printUsage();
        return argc < 2 ? 2 : 0;
    }
    const CommandLine options(argc, argv, 2);
    if (!options.error().empty()) {
        std::cerr << "vantorel-batch: " << options.error() << "\n";
        return 2;
    }
    if (std::strcmp(argv[1], "flood") == 0) {
        return runFloodCommand(options);
    }
    if (std::strcmp(argv[1], "debris") == 0) {
        return runDebrisCommand(options);
    }
    if (std::strcmp(argv[1], "landslide") == 0) {
        return runLandslideCommand(options);
    }
    std::cerr << "vantorel-batch: unknown command \"" << argv[1] << "\"\n";
    printUsage();
    return 2;
}
