// vantorel-batch landslide: the landslide run without a window. The same tick as the window's run, so the
// folder holds the same result files 1 to 101.
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "landsliderun.h"
#include "landslidetick.h"
#include "progress.h"
#include "resultfiles.h"
#include "resultfolder.h"
#include "stopsignals.h"

namespace {

const char* const usage =
    "usage: vantorel-batch landslide --deposit FILE --path FILE --body FILE --image FILE --centreline FILE\n"
    "                                --mosaic FILE --post-dem FILE [--format .ive|.3ds|.tif] --out DIR\n"
    "  --deposit FILE     deposit raster: greater than 0 where the slide material lies after the slide\n"
    "  --path FILE        slide-path raster: between 0 and 10000 on the slide path, read on the mosaic's "
    "grid\n"
    "  --body FILE        slide-body raster: thickness of the slide mass before the slide, m\n"
    "  --image FILE       post-disaster image: the colours of the meshes (bands 1 to 3 = red, green, blue)\n"
    "  --centreline FILE  centreline raster: any value but no-data on the centreline\n"
    "  --mosaic FILE      mosaicked DEM: the ground before the slide, the grid the run works on\n"
    "  --post-dem FILE    post-disaster DEM: the ground after the slide, on the mosaic's grid\n"
    "  --format EXT       .ive (default) or .3ds: the step meshes; .tif: the step surfaces as GeoTIFFs\n"
    "  --out DIR          folder for the results 1 to 101 (created if missing); 101 is the final state\n"
    "  --overwrite        remove the results of an earlier run from --out first; without it such a folder\n"
    "                     is refused\n";

int refuse(const std::string& message) {
    std::cerr << "vantorel-batch landslide: " << message << "\n";
    return 2;
}

}  // namespace

int runLandslideCommand(const CommandLine& options) {
    if (options.has("help")) {
        std::cout << usage;
        return 0;
    }
    const std::vector<std::string> inputNames = {"deposit",    "path",   "body",    "image",
                                                 "centreline", "mosaic", "post-dem"};
    std::vector<std::string> known = inputNames;
    known.insert(known.end(), {"format", "out", "overwrite", "help"});
    const std::vector<std::string> extra = options.unknown(known);
    if (!extra.empty()) {
        std::cerr << usage;
        return refuse("unknown option " + extra.front());
    }
    for (const std::string& name : known) {
        const std::size_t expected = name == "overwrite" ? 0 : 1;
        if (name != "help" && options.has(name) && options.values(name).size() != expected) {
            return refuse("--" + name + (expected == 0 ? " takes no value" : " takes one value"));
        }
    }
    std::vector<std::string> files;
    for (const std::string& name : inputNames) {
        files.push_back(options.text(name));
    }
    files.push_back(options.text("format", ".ive"));
    for (const std::string& name : inputNames) {
        if (options.text(name).empty()) {
            std::cerr << usage;
            return refuse("--" + name + " is required");
        }
    }
    if (options.text("out").empty()) {
        std::cerr << usage;
        return refuse("--out is required");
    }

    LandslideInputs inputs;
    LandslideTickSettings settings;
    std::string problem;
    if (!landslideInputsFromList(files, inputs, settings.format, problem)) {
        return refuse("--format: " + problem);
    }
    LandslideRun run;
    if (!run.prepare(inputs, problem)) {
        return refuse(problem);
    }
    std::cout << "landslide: " << run.mosaicWidth << " x " << run.mosaicHeight << " cells, slide body of "
              << run.bodyCells << " cells and " << run.bodyVolume << " m3, deposit of " << run.depositCells
              << " cells\n";

    // Checked last, so that a refused command leaves the folder as it was.
    settings.folder = options.text("out");
    settings.buildMeshes = false;
    ResultFolderLock folderLock;
    if (!prepareResultFolder(settings.folder, options.has("overwrite"), RunSummary::none, folderLock, problem)) {
        return refuse(problem);
    }
    catchStopSignals();

    ProgressLine progress;
    while (!run.finished()) {
        const LandslideTick tick = advanceLandslideTick(run, settings);
        progress.update(landslideProgressText(tick.figures));
        if (!tick.problem.empty()) {
            progress.finish();
            std::cerr << "vantorel-batch landslide: " << tick.problem << "\n";
            return 1;
        }
        if (stopSignal() != 0 && !run.finished()) {
            progress.finish();
            const int last = tick.figures.step;
            std::cerr << "vantorel-batch landslide: stopped by " << stopSignalName() << " after result "
                      << last << "; results 1 to " << last << " in " << settings.folder << " are complete\n";
            return 128 + stopSignal();
        }
    }
    progress.finish();
    std::cout << "landslide: results 1 to " << LandslideRun::stepCount + 1 << " written to "
              << settings.folder << " in " << progress.elapsedSeconds() << " s\n";
    return 0;
}
