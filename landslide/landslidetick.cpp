#include "landslidetick.h"

#include <cstdio>

#include "landslidemesh.h"
#include "modelfile.h"

std::string landslideResultPath(const std::string& folder, int number, const std::string& format) {
    return folder + "/" + std::to_string(number) + format;
}

LandslideTick advanceLandslideTick(LandslideRun& run, const LandslideTickSettings& settings) {
    LandslideTick tick;
    if (run.finished()) {
        return tick;
    }
    const bool models = settings.format != ".tif";
    const bool meshes = settings.buildMeshes || models;
    const int k = run.nextStep();
    tick.figures = run.computeStep(k);
    if (meshes) {
        tick.stepMesh = buildStepMesh(run);
    }
    const std::string path = landslideResultPath(settings.folder, k, settings.format);
    if (models) {
        writeModelFile(*tick.stepMesh, path, tick.problem);
    } else {
        writeGeoTiff(path, run.mosaicFrame, run.surface, run.mosaicNoData, tick.problem);
    }
    run.restoreSurface();
    run.advanceStepCounter();
    if (k < LandslideRun::stepCount || !tick.problem.empty()) {
        return tick;
    }

    if (meshes) {
        tick.finalMesh = buildFinalMesh(run);
    }
    const std::string finalPath = landslideResultPath(settings.folder, k + 1, settings.format);
    if (models) {
        writeModelFile(*tick.finalMesh, finalPath, tick.problem);
        return tick;
    }
    // The final state in the same terms as the models': the post-disaster DEM on the mosaic's grid.
    RasterFrame frame = run.mosaicFrame;
    frame.width = run.postDemWidth;
    frame.height = run.postDemHeight;
    std::optional<double> noData;
    if (run.postDemHasNoData) {
        noData = run.postDemNoData;
    }
    writeGeoTiff(finalPath, frame, run.postDem, noData, tick.problem);
    return tick;
}

std::string landslideProgressText(const LandslideStepFigures& figures) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "landslide step %d of %d: %d cells within radius %d (target %d), %.3f m thick",
                  figures.step, LandslideRun::stepCount, figures.cells, figures.radius, figures.targetCells,
                  figures.thickness);
    return text;
}
