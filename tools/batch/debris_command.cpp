// vantorel-batch debris: a debris-flow run without a window. It runs the window's tick and writes the
// frame information file of every rendered frame (1.txt, 2.txt, ...) into the output folder and, with
// --format, the frame's debris surface beside it (1.ive, ...), so that the folder replays in the window.
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "commands.h"
#include "debrishud.h"
#include "debrisrun.h"
#include "debrissummary.h"
#include "debristick.h"
#include "progress.h"
#include "resultfiles.h"
#include "resultfolder.h"
#include "stopsignals.h"
#include "summaryfiles.h"

namespace {

const char* const usage =
    "usage: vantorel-batch debris --dem FILE --breach FILE [--volume 2040000] [--outlet-depth 5.0]\n"
    "                             [--packet-volume 40.0] [--dt 0.6] [--colour-range 0 10]\n"
    "                             [--format .ive|.3ds] [--until SECONDS] [--threads N] --out DIR\n"
    "                             [--overwrite]\n"
    "  --dem FILE           terrain grid (ESRI ASCII grid)\n"
    "  --breach FILE        breach file: a number, the count of breach cells, then row and column of each\n"
    "  --volume M3          total debris volume released, m3\n"
    "  --outlet-depth M     outlet depth, m\n"
    "  --packet-volume M3   volume of one flow packet, m3\n"
    "  --dt S               time step, s: 0.2, 0.4, 0.6 or 0.8\n"
    "  --colour-range L H   colour range of the depth display, whole metres, L below H\n"
    "  --format .ive|.3ds   also write the debris surface of every rendered frame, N.ive or N.3ds, the\n"
    "                       same surface the window shows; a folder written with .ive replays there\n"
    "  --until SECONDS      stop at this simulated time instead of the end of the run (6402 s)\n"
    "  --threads N          threads that share each step (default: one per core); the run is the same\n"
    "                       for any number\n"
    "  --out DIR            folder for the frames (created if missing): the figures N.txt and, with\n"
    "                       --format, the surfaces\n"
    "  --overwrite          remove the results of an earlier run from DIR first (without it such a\n"
    "                       folder is refused)\n"
    "Ctrl+C (or SIGTERM) stops the run after the frame it is writing; every frame written is complete.\n"
    "The summary goes into DIR_summary: peakDepth.tif, peakSpeed.tif, momentumAtPeak.tif,\n"
    "energyAtPeak.tif and finalTrace.tif (no-data where no debris came; in the coordinate system of a\n"
    ".prj file beside the terrain grid) and volume.csv, the debris released and on the grid per frame.\n";

constexpr double runEndSeconds = 2 * DebrisRun::endHalfTime;

int refuse(const std::string& message) {
    std::cerr << "vantorel-batch debris: " << message << "\n";
    return 2;
}

// A number option that must be greater than 0.
bool positiveNumber(const CommandLine& options, const std::string& name, double& value,
                    std::string& problem) {
    constexpr double unbounded = std::numeric_limits<double>::max();
    if (!options.number(name, value, -unbounded, unbounded, problem)) {
        return false;
    }
    if (!(value > 0)) {
        problem = "--" + name + " must be greater than 0";
        return false;
    }
    return true;
}

// The run parameters: the four the command takes, and the debris-flow form's fixed values for the rest.
std::vector<double> formParameters(double volume, double outletDepth, double packetVolume, double timeStep,
                                   int colourLow, int colourHigh) {
    return {volume,
            outletDepth,
            0,
            1880,
            2650,
            0.36,
            0,
            packetVolume,
            1000,
            0.593,
            11.64,
            0.25,
            timeStep,
            static_cast<double>(colourLow),
            static_cast<double>(colourHigh)};
}

std::string progressText(const DebrisRun& run, int framesWritten, double untilSeconds) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "debris: %.1f of %.0f s, step %d, packets %d of %d (%d moving), frames %d",
                  run.debrisElapsed, untilSeconds, run.debrisStepCount, run.debrisPacketCount,
                  run.packetCapacity, run.movingPacketCount(), framesWritten);
    return text;
}

}  // namespace

int runDebrisCommand(const CommandLine& options) {
    if (options.has("help")) {
        std::cout << usage;
        return 0;
    }
    const std::vector<std::string> known = {"dem",           "breach", "volume",       "outlet-depth",
                                            "packet-volume", "dt",     "colour-range", "until",
                                            "out",           "help",   "format",       "overwrite",
                                            "threads"};
    const std::vector<std::string> extra = options.unknown(known);
    if (!extra.empty()) {
        std::cerr << usage;
        return refuse("unknown option " + extra.front());
    }
    for (const std::string& name : known) {
        const std::size_t expected = name == "colour-range" ? 2 : name == "overwrite" ? 0 : 1;
        if (options.has(name) && name != "help" && options.values(name).size() != expected) {
            return refuse("--" + name +
                          (expected == 2   ? " takes two values"
                           : expected == 0 ? " takes no value"
                                           : " takes one value"));
        }
    }
    for (const char* name : {"dem", "breach", "out"}) {
        if (options.text(name).empty()) {
            std::cerr << usage;
            return refuse(std::string("--") + name + " is required");
        }
    }

    const std::string format = options.text("format");
    if (options.has("format") && format != ".ive" && format != ".3ds") {
        return refuse("--format " + format + " is not a surface format (.ive or .3ds)");
    }

    double volume = 2040000;
    double outletDepth = 5.0;
    double packetVolume = 40.0;
    double timeStep = 0.6;
    double until = runEndSeconds;
    int colourLow = 0;
    int colourHigh = 10;
    int threads = 0;
    std::string problem;
    if (!positiveNumber(options, "volume", volume, problem) ||
        !positiveNumber(options, "outlet-depth", outletDepth, problem) ||
        !positiveNumber(options, "packet-volume", packetVolume, problem) ||
        !options.number("dt", timeStep, 0.2, 0.8, problem) ||
        !positiveNumber(options, "until", until, problem) ||
        !options.integer("threads", threads, 1, maxBatchThreads, problem)) {
        return refuse(problem);
    }
    if (timeStep != 0.2 && timeStep != 0.4 && timeStep != 0.6 && timeStep != 0.8) {
        return refuse("--dt must be 0.2, 0.4, 0.6 or 0.8");
    }
    if (until > runEndSeconds) {
        return refuse("--until: a run ends at " + std::to_string(static_cast<int>(runEndSeconds)) + " s");
    }
    if (options.has("colour-range")) {
        double bounds[2] = {};
        for (std::size_t i = 0; i < 2; ++i) {
            if (!options.number("colour-range", bounds[i], -1e9, 1e9, problem, i)) {
                return refuse(problem);
            }
            if (bounds[i] != std::floor(bounds[i])) {
                return refuse("--colour-range takes whole metres");
            }
        }
        colourLow = static_cast<int>(bounds[0]);
        colourHigh = static_cast<int>(bounds[1]);
    }
    if (colourLow >= colourHigh) {
        return refuse("--colour-range: the lower end must be below the upper end");
    }

    DebrisRun run;
    run.setThreadCount(threads);
    TerrainHeights heights;
    const std::vector<double> values =
        formParameters(volume, outletDepth, packetVolume, timeStep, colourLow, colourHigh);
    if (!startDebrisRun(run, heights, values, options.text("dem"), options.text("breach"), problem)) {
        return refuse(problem);
    }

    const std::string outDir = options.text("out");
    ResultFolderLock folderLock;
    if (!prepareResultFolder(outDir, options.has("overwrite"), RunSummary::beside, folderLock, problem)) {
        return refuse(problem);
    }
    catchStopSignals();

    DebrisSummary summary;
    summary.start(run);
    const std::string summaryFolder = summaryFolderOf(outDir);
    // The summary of the frames written so far, also when the run ends early.
    const auto writeSummary = [&summary, &run, &summaryFolder]() {
        std::string summaryProblem;
        if (!summary.write(run, summaryFolder, summaryProblem)) {
            std::cerr << "vantorel-batch debris: the summary cannot be written: " << summaryProblem << "\n";
            return false;
        }
        return true;
    };
    const auto completeFrames = [](int frames) {
        return frames == 0 ? std::string("no frame was written")
                           : "frames 1 to " + std::to_string(frames) + " are complete";
    };
    ProgressLine progress;
    int framesWritten = 0;
    // --until stops at the step nearest to the time asked for; without it the run goes to its end.
    const double stopAt = options.has("until") ? until - timeStep / 2 : runEndSeconds + timeStep;
    const DebrisTickSettings settings;
    for (;;) {
        DebrisHud hud;
        const osg::ref_ptr<osg::Geode> surface = advanceDebrisTick(run, heights, hud, settings);
        if (surface) {
            // A full disk would take the summary, and the message saying where the run stopped, with it.
            if (!diskHasRoomForResults(outDir, resultSetBytes(outDir, framesWritten), summary.bytesToWrite())) {
                progress.finish();
                std::cerr << "vantorel-batch debris: the disk of " << outDir << " is nearly full; stopping at "
                          << run.debrisElapsed << " s, leaving room for the summary; "
                          << completeFrames(framesWritten) << "\n";
                writeSummary();
                return 1;
            }
            std::string failedFile;
            std::string failure;
            if (!writeDebrisFrame(outDir, framesWritten + 1, format, *surface, hud, failedFile, &failure)) {
                progress.finish();
                std::cerr << "vantorel-batch debris: " << failure << "; " << completeFrames(framesWritten)
                          << "\n";
                writeSummary();
                return 1;
            }
            ++framesWritten;
            summary.record(run, framesWritten, hud.elapsedTime);
        }
        if (stopSignal() != 0) {
            progress.finish();
            std::cerr << "vantorel-batch debris: stopped by " << stopSignalName() << " at "
                      << run.debrisElapsed << " s after frame " << framesWritten << "; frames 1 to "
                      << framesWritten << " in " << outDir << " are complete\n";
            writeSummary();
            return 128 + stopSignal();
        }
        const bool done = run.finished() || run.debrisElapsed >= stopAt;
        progress.update(progressText(run, framesWritten, until));
        if (done) {
            break;
        }
    }
    progress.finish();
    std::cout << "debris: " << framesWritten << " frames written to " << outDir << " (" << run.debrisStepCount
              << " steps, " << run.debrisPacketCount << " packets) in " << progress.elapsedSeconds()
              << " s\n";
    char balance[200];
    std::snprintf(balance, sizeof balance,
                  "debris: %.0f m3 of debris on the grid; %d packets of %g m3 released of the %.0f m3\n",
                  run.debrisVolumeOnGrid(), run.debrisPacketCount, run.packetVolume, run.totalVolume);
    std::cout << balance;
    if (!writeSummary()) {
        return 1;
    }
    std::cout << "debris: summary in " << summaryFolder << "\n";
    return 0;
}
