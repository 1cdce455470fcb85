// vantorel-batch flood: the computed flood run without a window. Five engine steps per result, as the
// live run does, and the same result files, so that the folder replays in the window.
#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>
#include <sstream>

#include "cafloodnew.h"
#include "commands.h"
#include "floodhud.h"
#include "floodrun.h"
#include "floodsummary.h"
#include "floodtick.h"
#include "monitorpoints.h"
#include "plotprogram.h"
#include "progress.h"
#include "resultfiles.h"
#include "resultfolder.h"
#include "resultwriter.h"
#include "stopsignals.h"

namespace {

const char* const kUsage =
    "usage: vantorel-batch flood --roughness FILE --dem FILE --outbreak FILE [--monitors FILE]\n"
    "           [--capacity 100000000] [--width 133] [--height 47.5] [--mode \"Total Break\"]\n"
    "           [--colour-range 0 20] [--format .tif] [--threads N] [--arrival-depth 0.01]\n"
    "           [--every SECONDS] [--places FILE] [--isochrone-minutes 15]\n"
    "           (--results N | --until SECONDS) --out DIR [--overwrite]\n"
    "\n"
    "Runs the flood engine from the roughness grid, the elevation grid and the outbreak-information file\n"
    "and writes, for every five engine steps, result N (from 1) into DIR, which is created if missing:\n"
    "the water model N.ive or N.3ds (--format .ive or .3ds) or the depth raster N.tif (--format .tif),\n"
    "the display state N.txt, and with --monitors (a point or line vector file) the monitor values\n"
    "N.json. A folder written with .ive replays in the window. The defaults are those of the flood\n"
    "form. --mode takes the\n"
    "form's texts: \"Total Break\", \"二分之一溃\", \"三分之一溃\", \"五分之一溃\" or \"十分之一溃\" (any "
    "other text is\n"
    "a one-tenth breach). --every writes a result each time the simulated clock reaches a multiple of\n"
    "SECONDS (at 60 s, 120 s, ... for --every 60) instead of one per five engine steps; the summary\n"
    "and the monitor record then follow those results. Stops after N results or once the simulated time\n"
    "reaches SECONDS. --threads\n"
    "sets how many threads share each step (default: one per core); the results are the same for any\n"
    "number.\n"
    "A folder that holds results of an earlier run is refused; --overwrite removes those results first.\n"
    "Ctrl+C (or SIGTERM) stops the run after the result it is writing; every result written is complete.\n"
    "\n"
    "The summary goes into DIR_summary: maxDepth.tif, maxSpeed.tif and arrivalTime.tif (the first time\n"
    "a cell's depth rose above --arrival-depth metres; no-data where no water came) in the elevation\n"
    "grid's coordinate system when a .prj file lies beside it, and volume.csv, the volume balance of\n"
    "every result; with --monitors, monitors.csv, the depth, speed and flow at every point per result,\n"
    "and monitor_N.png, their plot for point N (drawn by vantorel-plot, beside this program).\n"
    "Beside them: maxDepthVelocity.tif, the largest depth times speed, and hazard.tif, the highest\n"
    "depth-velocity hazard class H1 to H6 a cell reached at any result; floodlines.gpkg, the flood's\n"
    "extent as polygons and its arrival lines every --isochrone-minutes; with --places (a point, line\n"
    "or polygon vector file of villages, buildings or roads) exposure.csv, when each place was reached,\n"
    "how deep, how fast and at which hazard class; and report.html, all of it on one page.\n";

int refuse(const std::string& message) {
    std::cerr << "vantorel-batch flood: " << message << "\n";
    return 2;
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
    if (engine.trimmedVolume() > 0.0) {
        text.precision(0);
        text << " | trimmed " << engine.trimmedVolume() << " m^3";
    }
    return text.str();
}

// The water balance at the end of the run: what the grid holds against what the breach has let out.
std::string volumeText(const CAFlood& engine) {
    const double released = engine.releaseVolume() - engine.residualVolume();
    std::ostringstream text;
    text.setf(std::ios::fixed);
    text.precision(0);
    text << "at " << engine.simulatedTime() << " s the grid holds " << engine.waterOnGrid()
         << " m^3 of water; the breach has let out " << released << " m^3";
    if (released > 0.0) {
        text.precision(3);
        text << " (grid " << std::showpos << 100.0 * (engine.waterOnGrid() / released - 1.0) << std::noshowpos
             << " %)";
    }
    return text.str();
}

}  // namespace

int runFloodCommand(const CommandLine& options) {
    if (options.has("help")) {
        std::cout << kUsage;
        return 0;
    }
    const std::vector<std::string> known = {"roughness",     "dem",    "outbreak", "monitors",     "capacity",
                                            "width",         "height", "mode",     "colour-range", "format",
                                            "results",       "until",  "out",      "overwrite",    "threads",
                                            "arrival-depth", "every",  "places",   "isochrone-minutes"};
    const std::vector<std::string> unknown = options.unknown(known);
    if (!unknown.empty()) {
        std::cerr << kUsage;
        return refuse("unknown option " + unknown.front());
    }
    std::string countProblem;
    if (!options.valueCounts({{"roughness", 1},
                              {"dem", 1},
                              {"outbreak", 1},
                              {"monitors", 1},
                              {"capacity", 1},
                              {"width", 1},
                              {"height", 1},
                              {"mode", 1},
                              {"colour-range", 2},
                              {"format", 1},
                              {"results", 1},
                              {"until", 1},
                              {"out", 1},
                              {"overwrite", 0},
                              {"threads", 1},
                              {"arrival-depth", 1},
                              {"every", 1},
                              {"places", 1},
                              {"isochrone-minutes", 1}},
                             countProblem)) {
        return refuse(countProblem);
    }
    for (const char* required : {"roughness", "dem", "outbreak", "out"}) {
        if (options.text(required).empty()) {
            std::cerr << kUsage;
            return refuse(std::string("--") + required + " is required and needs a value");
        }
    }
    const std::string format = options.text("format", ".tif");
    if (format != ".tif" && format != ".ive" && format != ".3ds") {
        return refuse("--format " + format + " is not a result format (.ive, .3ds or .tif)");
    }

    FloodRunSettings settings;
    double capacity = settings.capacity;
    double width = settings.width;
    double height = settings.height;
    double colourLow = 0;
    double colourHigh = 20;
    double until = 0;
    double arrivalDepth = defaultArrivalDepth;
    double every = 0;
    double isochroneMinutes = defaultIsochroneMinutes;
    int results = 0;
    int threads = 0;
    std::string problem;
    // The width and height ranges are those of the form's spin boxes.
    if (!options.number("capacity", capacity, 0.0, 1e15, problem) ||
        !options.number("width", width, 0.0, 200.0, problem) ||
        !options.number("height", height, 0.0, 99.99, problem) ||
        !options.number("colour-range", colourLow, -1e6, 1e6, problem, 0) ||
        !options.number("colour-range", colourHigh, -1e6, 1e6, problem, 1) ||
        !options.number("until", until, 0.0, 1e9, problem) ||
        !options.number("arrival-depth", arrivalDepth, 0.0, 1e4, problem) ||
        !options.number("every", every, 0.0, 1e9, problem) ||
        !options.number("isochrone-minutes", isochroneMinutes, 0.0, 1e7, problem) ||
        !options.integer("results", results, 1, 1000000000, problem) ||
        !options.integer("threads", threads, 1, maxBatchThreads, problem)) {
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
    if (options.has("every") && !(every > 0.0)) {
        return refuse("--every needs a simulated time above 0 s");
    }
    if (!(isochroneMinutes > 0.0)) {
        return refuse("--isochrone-minutes needs a time above 0 minutes");
    }
    if (!(arrivalDepth > 0.0)) {
        return refuse("--arrival-depth needs a depth above 0 m");
    }
    settings.capacity = static_cast<float>(capacity);
    settings.width = static_cast<float>(width);
    settings.height = static_cast<float>(height);
    settings.mode = options.text("mode", settings.mode);

    CAFlood engine;
    engine.setThreadCount(threads);
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
              << " m; " << describeBreach(engine, settings) << "\n";

    MonitorPoints monitors;
    if (options.has("monitors")) {
        const std::string monitorFile = options.text("monitors");
        if (!monitors.load(monitorFile, problem)) {
            return refuse("--monitors " + monitorFile + " gives no monitor points: " + problem);
        }
        if (monitors.empty()) {
            return refuse("--monitors " + monitorFile + " gives no monitor points: it holds no point and no line");
        }
        if (!checkMonitorPoints(engine, monitors, monitorFile, problem)) {
            return refuse("--monitors: " + problem);
        }
    }

    FloodSummary summary;
    const FloodRunInputs runInputs{options.text("roughness"), options.text("dem"), options.text("outbreak"),
                                   options.text("monitors"), options.text("places")};
    if (!startFloodSummary(summary, engine, runInputs, settings, static_cast<float>(arrivalDepth), &monitors,
                           problem)) {
        return refuse("--places: " + problem);
    }
    summary.isochroneMinutes = isochroneMinutes;

    // Checked last, so that a refused command leaves the folder as it was.
    const std::string folder = options.text("out");
    ResultFolderLock folderLock;
    if (!prepareResultFolder(folder, options.has("overwrite"), RunSummary::beside, folderLock, problem)) {
        return refuse(problem);
    }
    catchStopSignals();

    FloodTickSettings tick;
    tick.capacity = settings.capacity;
    tick.colourLow = static_cast<int>(colourLow);
    tick.colourHigh = static_cast<int>(colourHigh);
    tick.printDiagnostics = false;
    tick.resultEverySeconds = every;
    // Depth rasters come from the grid: the water surface serves only the monitor points then.
    tick.buildWater = format != ".tif";
    const std::string summaryFolder = summaryFolderOf(folder);
    // The summary of the results written so far, also when the run ends early.
    const auto writeSummary = [&summary, &summaryFolder, &monitors, &engine]() {
        std::string summaryProblem;
        if (!summary.write(summaryFolder, summaryProblem, engine.threadCount())) {
            std::cerr << "vantorel-batch flood: the summary cannot be written: " << summaryProblem << "\n";
            return false;
        }
        // The results and their figures stand without the pictures, so a missing plotter only warns.
        if (!monitors.empty() && !drawMonitorPlots(summaryFolder, summaryProblem)) {
            std::cerr << "vantorel-batch flood: the monitor plots are not drawn: " << summaryProblem << "\n";
        }
        return true;
    };
    ProgressLine progress;
    // Each result's files are written from copies on a thread of their own while the next result
    // computes; a result that could not be written is reported when the next is handed over, or at the end.
    ResultWriter writer;
    int written = 0;  // results computed and handed to the writer
    double waitingSeconds = 0.0;
    const auto unwritten = [&](const std::string& failure, int complete) {
        progress.finish();
        std::cerr << "vantorel-batch flood: " << failure << "; "
                  << (complete == 0 ? "no result was written"
                                    : "results 1 to " + std::to_string(complete) + " are complete")
                  << "\n";
        writeSummary();
        return 1;
    };
    // The clock gains a whole step at a time, of a length rounded to single precision: a time within half
    // a step of --until is there.
    while (options.has("results") ? written < results
                                  : engine.simulatedTime() < until - engine.stepSeconds()) {
        const double before = engine.simulatedTime();
        FloodHud hud;
        const osg::ref_ptr<osg::Geode> water = advanceFloodTick(engine, hud, monitors, tick);
        if (!(engine.simulatedTime() > before)) {
            std::string failure;
            const bool complete = writer.finish(failure);
            progress.finish();
            std::cerr << "vantorel-batch flood: the simulated clock no longer advances at " << before
                      << " s; stopping after " << (complete ? written : written - 1) << " results\n";
            writeSummary();
            return 1;
        }
        const int number = written + 1;
        // A full disk would take the summary, and the message saying where the run stopped, with it. The
        // last result may still be on its way to the disk; the one before it is whole.
        const long long lastResultBytes =
            std::max(resultSetBytes(folder, written), resultSetBytes(folder, written - 1));
        if (!diskHasRoomForResults(folder, lastResultBytes, summary.bytesToWrite())) {
            std::string failure;
            if (!writer.finish(failure)) {
                return unwritten(failure, written - 1);
            }
            progress.finish();
            std::cerr << "vantorel-batch flood: the disk of " << folder << " is nearly full; stopping "
                      << (written == 0 ? "before the first result"
                                       : "after result " + std::to_string(written) + " (results 1 to " +
                                             std::to_string(written) + " are complete)")
                      << ", leaving room for the summary\n";
            writeSummary();
            return 1;
        }
        const auto files = std::make_shared<const FloodResultFiles>(
            copyFloodResult(folder, number, format, *water, engine, hud, monitors));
        std::string failure;
        const double handStart = progress.elapsedSeconds();
        const bool handed =
            writer.hand([files](std::string& failed) { return writeFloodResult(*files, failed, false); }, failure);
        waitingSeconds += progress.elapsedSeconds() - handStart;
        if (!handed) {
            // The result before this one could not be written.
            return unwritten(failure, number - 2);
        }
        summary.record(engine, number);
        written = number;
        progress.update(progressText(engine, written, progress.elapsedSeconds()));
        if (stopSignal() != 0) {
            if (!writer.finish(failure)) {
                return unwritten(failure, written - 1);
            }
            progress.finish();
            std::cerr << "vantorel-batch flood: stopped by " << stopSignalName() << " after result "
                      << written << " at " << engine.simulatedTime() << " s; results 1 to " << written
                      << " in " << folder << " are complete\n";
            writeSummary();
            return 128 + stopSignal();
        }
    }
    std::string failure;
    if (!writer.finish(failure)) {
        return unwritten(failure, written - 1);
    }
    progress.finish();
    std::cout << "wrote " << written << " results to " << folder << " in " << progress.elapsedSeconds()
              << " s (" << waitingSeconds << " s of it waiting for files to be written)\n";
    std::cout << volumeText(engine) << "\n";
    if (engine.simulatedTime() > 0.0) {
        std::cout << "the grid was stepped " << engine.subStepCount() << " times, "
                  << std::llround(static_cast<double>(engine.subStepCount()) * 3600.0 / engine.simulatedTime())
                  << " times per simulated hour\n";
    }
    if (engine.trimmedVolume() > 0.0) {
        std::cout << "the excess-volume trim removed " << engine.trimmedVolume()
                  << " m^3 of water from the grid\n";
    }
    if (!writeSummary()) {
        return 1;
    }
    std::cout << "summary in " << summaryFolder << "\n";
    return 0;
}
