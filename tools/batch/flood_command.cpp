// vantorel-batch flood: the computed flood run without a window. Five engine steps per result, as the
// live run does; every result writes the depth raster n.tif and the display state n.txt.
#include <cmath>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <system_error>

#include "cafloodnew.h"
#include "commands.h"
#include "floodhud.h"
#include "floodrun.h"
#include "progress.h"

namespace {

constexpr int kStepsPerResult = 5;

const char* const kUsage =
    "usage: vantorel-batch flood --roughness FILE --dem FILE --outbreak FILE\n"
    "           [--capacity 100000000] [--width 133] [--height 47.5] [--mode \"Total Break\"]\n"
    "           [--colour-range 0 20] [--format .tif] (--results N | --until SECONDS) --out DIR\n"
    "\n"
    "Runs the flood engine from the roughness grid, the elevation grid and the outbreak-information file\n"
    "and writes, for every five engine steps, the depth raster N.tif and the display state N.txt (N from 1)\n"
    "into DIR, which is created if missing. The defaults are those of the flood form. --mode takes the\n"
    "form's texts: \"Total Break\", \"二分之一溃\", \"三分之一溃\", \"五分之一溃\" or \"十分之一溃\" (any "
    "other text is\n"
    "a one-tenth breach). Stops after N results or once the simulated time reaches SECONDS.\n";

int refuse(const std::string& message) {
    std::cerr << "vantorel-batch flood: " << message << "\n";
    return 2;
}

std::string resultPath(const std::string& folder, int number, const char* extension) {
    return folder + "/" + std::to_string(number) + extension;
}

std::string progressText(const CAFlood& engine, int results, double elapsedSeconds) {
    std::ostringstream text;
    text.setf(std::ios::fixed);
    text.precision(1);
    text << "time " << engine.simulatedTime() << " s | " << results << " results | outflow ";
    text.precision(2);
    text << engine.outflowRate() << " m^3/s | ";
    text.precision(1);
    text << (elapsedSeconds > 0.0 ? results / elapsedSeconds : 0.0) << " results/s";
    return text.str();
}

std::string breachText(const CAFlood& engine, const FloodRunSettings& settings) {
    std::ostringstream text;
    const int ratio = breachRatio(settings.mode);
    if (ratio == 0) {
        text << "total breach";
    } else {
        text << "partial breach 1/" << ratio << " (width " << settings.width / ratio << " m, height "
             << settings.height / ratio << " m)";
    }
    text << ", released volume " << engine.releaseVolume() << " m^3, peak outflow "
         << engine.peakOutflowRate() << " m^3/s, hydrograph " << engine.hydrographDuration()
         << " s, time step " << engine.stepSeconds() << " s";
    return text.str();
}

}  // namespace

int runFloodCommand(const CommandLine& options) {
    if (options.has("help")) {
        std::cout << kUsage;
        return 0;
    }
    const std::vector<std::string> known = {"roughness", "dem",    "outbreak", "monitors",     "capacity",
                                            "width",     "height", "mode",     "colour-range", "format",
                                            "results",   "until",  "out"};
    const std::vector<std::string> unknown = options.unknown(known);
    if (!unknown.empty()) {
        std::cerr << kUsage;
        return refuse("unknown option " + unknown.front());
    }
    for (const char* required : {"roughness", "dem", "outbreak", "out"}) {
        if (options.text(required).empty()) {
            std::cerr << kUsage;
            return refuse(std::string("--") + required + " is required and needs a value");
        }
    }
    if (options.has("monitors")) {
        return refuse("--monitors is not available yet: monitor readings come with the water mesh");
    }
    const std::string format = options.text("format", ".tif");
    if (format == ".ive" || format == ".3ds") {
        return refuse("--format " + format +
                      " is not available yet: water models come with the water mesh; use .tif");
    }
    if (format != ".tif") {
        return refuse("--format " + format + " is not a result format (.tif)");
    }

    FloodRunSettings settings;
    double capacity = settings.capacity;
    double width = settings.width;
    double height = settings.height;
    double colourLow = 0;
    double colourHigh = 20;
    double until = 0;
    int results = 0;
    std::string problem;
    // The width and height ranges are those of the form's spin boxes.
    if (!options.number("capacity", capacity, 0.0, 1e15, problem) ||
        !options.number("width", width, 0.0, 200.0, problem) ||
        !options.number("height", height, 0.0, 99.99, problem) ||
        !options.number("colour-range", colourLow, -1e6, 1e6, problem, 0) ||
        !options.number("colour-range", colourHigh, -1e6, 1e6, problem, 1) ||
        !options.number("until", until, 0.0, 1e9, problem) ||
        !options.integer("results", results, 1, 1000000000, problem)) {
        return refuse(problem);
    }
    if (options.has("colour-range") &&
        (options.values("colour-range").size() != 2 || colourLow != std::floor(colourLow) ||
         colourHigh != std::floor(colourHigh) || colourLow >= colourHigh)) {
        return refuse("--colour-range needs two whole numbers, the lower one first");
    }
    if (options.has("results") == options.has("until")) {
        return refuse("give either --results N or --until SECONDS");
    }
    if (options.has("until") && !(until > 0.0)) {
        return refuse("--until needs a simulated time above 0 s");
    }
    settings.capacity = static_cast<float>(capacity);
    settings.width = static_cast<float>(width);
    settings.height = static_cast<float>(height);
    settings.mode = options.text("mode", settings.mode);

    const std::string folder = options.text("out");
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder)) {
        return refuse(
            "cannot create the output folder " + folder +
            (error ? " (" + error.message() + ")" : std::string(" (a file of that name is in the way)")));
    }

    CAFlood engine;
    const std::vector<std::string> inputs = {options.text("roughness"), options.text("dem"),
                                             options.text("outbreak")};
    switch (startFloodRun(engine, inputs, settings)) {
        case FloodRunStart::InputsRejected:
            return refuse("the inputs cannot be used (see above)");
        case FloodRunStart::NoOutflow:
            return refuse("the breach settings let no water out (see above)");
        case FloodRunStart::Ready:
            break;
    }
    std::cout << engine.columnCount() << " x " << engine.rowCount() << " cells of " << engine.cellSize()
              << " m; " << breachText(engine, settings) << "\n";

    ProgressLine progress;
    int written = 0;
    while (options.has("results") ? written < results : engine.simulatedTime() < until) {
        const float before = engine.simulatedTime();
        for (int i = 0; i < kStepsPerResult; ++i) {
            engine.step();
        }
        if (!(engine.simulatedTime() > before)) {
            progress.finish();
            std::cerr << "vantorel-batch flood: the simulated clock no longer advances at " << before
                      << " s (single precision); stopping after " << written << " results\n";
            return 1;
        }
        const int number = written + 1;
        FloodHud hud;
        hud.time = engine.simulatedTime();
        hud.residual = static_cast<float>(engine.residualVolume());
        hud.capacity = settings.capacity;
        hud.colourLow = static_cast<int>(colourLow);
        hud.colourHigh = static_cast<int>(colourHigh);
        if (!engine.writeDepthTiff(resultPath(folder, number, ".tif")) ||
            !hud.writeState(resultPath(folder, number, ".txt"))) {
            progress.finish();
            std::cerr << "vantorel-batch flood: cannot write result " << number << " into " << folder << "\n";
            return 1;
        }
        written = number;
        progress.update(progressText(engine, written, progress.elapsedSeconds()));
    }
    progress.finish();
    std::cout << "wrote " << written << " results to " << folder << "\n";
    return 0;
}
