// The rasters of a landslide run, read through GDAL from memory ("/vsimem/"): the input is one of the
// seven rasters of a small slide (the others as the tests write them), in one of the formats a user
// hands in, and the run is prepared from them and stepped at its first and last step. A raster the run
// takes gives finite surfaces on the mosaic's grid; one it refuses leaves it empty with a reason.
#include <cpl_vsi.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "fuzzfiles.h"
#include "fuzzslide.h"

namespace {

const LandslideInputs& scene() {
    static const LandslideInputs inputs = [] {
        restrictGdal({"GTiff", "AAIGrid", "GRASSASCIIGrid", "XYZ", "VRT", "PNG", "HFA", "ENVI", "EHdr"});
        return writeSlideScene("/vsimem/slide", fuzzSlideDesign()).inputs;
    }();
    return inputs;
}

bool finite(const std::vector<float>& values) {
    for (const float value : values) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    static const char* const extensions[] = {".tif", ".asc", ".vrt", ".png", ".img", ".xyz"};
    LandslideInputs inputs = scene();
    std::string* const roles[] = {&inputs.deposit, &inputs.path,   &inputs.body,   &inputs.image,
                                  &inputs.centreline, &inputs.mosaic, &inputs.postDem};
    const std::string file = std::string("/vsimem/fuzz/raster") + extensions[data[1] % 6];
    writeGdalFile(file, data + 2, size - 2);
    const int role = data[0] % 8;
    if (role == 7) {
        // The raster alone, as the run reads each input.
        FloatRaster raster;
        std::string problem;
        if (readFloatRaster(file, raster, problem)) {
            if (raster.values.size() != raster.frame.cellCount() || raster.frame.width < 1 ||
                raster.frame.height < 1) {
                __builtin_trap();
            }
        } else if (problem.empty()) {
            __builtin_trap();
        }
        PostImage image;
        if (!image.load(file, problem) && problem.empty()) {
            __builtin_trap();
        }
        VSIUnlink(file.c_str());
        return 0;
    }
    *roles[role] = file;
    LandslideRun run;
    std::string problem;
    if (run.prepare(inputs, problem)) {
        const std::size_t cells = static_cast<std::size_t>(run.mosaicWidth) * run.mosaicHeight;
        // Fewer than 100 centreline points are repeated into more samples than the run steps through.
        if (run.pointVec.size() < LandslideRun::sampleCount || run.surface.size() != cells ||
            !finite(run.surface)) {
            __builtin_trap();
        }
        for (const int step : {1, LandslideRun::stepCount}) {
            const LandslideStepFigures figures = run.computeStep(step);
            if (figures.step != step || !finite(run.surface) || !std::isfinite(figures.thickness)) {
                __builtin_trap();
            }
            run.restoreSurface();
        }
    } else if (problem.empty() || run.prepared()) {
        __builtin_trap();
    }
    VSIUnlink(file.c_str());
    return 0;
}
