#include "debristick.h"

#include "debrishud.h"
#include "debrisrun.h"
#include "modelfile.h"
#include "resultfiles.h"

namespace {

// The heights must hold every cell of the grid, or the surface would be lifted by the wrong cells.
bool heightsCoverGrid(const TerrainHeights& heights, const DebrisRun& run, std::string& problem) {
    if (heights.size() < static_cast<std::size_t>(run.gridRows)) {
        problem = "the terrain grid holds " + std::to_string(heights.size()) +
                  " lines of heights below its " + "header, not one for each of its " +
                  std::to_string(run.gridRows) + " rows";
        return false;
    }
    for (int row = 0; row < run.gridRows; ++row) {
        if (heights[row].size() < static_cast<std::size_t>(run.gridCols)) {
            problem = "line " + std::to_string(row + 1) + " of heights of the terrain grid holds " +
                      std::to_string(heights[row].size()) + " values, not " + std::to_string(run.gridCols);
            return false;
        }
    }
    return true;
}

}  // namespace

bool startDebrisRun(DebrisRun& run, TerrainHeights& heights, const std::vector<double>& values,
                    const std::string& gridPath, const std::string& breachPath, std::string& problem) {
    heights.clear();
    if (!run.setup(values, gridPath, breachPath, problem)) {
        return false;
    }
    heights = readTerrainHeights(gridPath);
    if (!heightsCoverGrid(heights, run, problem)) {
        run = DebrisRun();
        heights.clear();
        return false;
    }
    return true;
}

osg::ref_ptr<osg::Geode> advanceDebrisTick(DebrisRun& run, const TerrainHeights& heights, DebrisHud& hud,
                                           const DebrisTickSettings& settings) {
    run.advance();
    osg::ref_ptr<osg::Geode> surface;
    if (run.frameDue()) {
        hud = run.frameHud();
        const float span = static_cast<float>(run.colourHigh) - static_cast<float>(run.colourLow);
        surface = buildDebrisGeode(debrisSurfaceGrid(run, heights), span, settings.shallowColour,
                                   settings.deepColour);
    }
    run.advanceClock();
    return surface;
}

bool writeDebrisFrame(const std::string& folder, int number, const std::string& format,
                      const osg::Node& surface, const DebrisHud& hud, std::string& failedFile,
                      std::string* problem) {
    ResultFrameWriter frame(folder, number);
    const auto failed = [&frame, &failedFile, problem]() {
        failedFile = frame.failedFile();
        if (problem != nullptr) {
            *problem = frame.problem();
        }
        return false;
    };
    if (!format.empty()) {
        std::string bytes;
        std::string reason;
        if (!modelFileBytes(surface, format, bytes, reason)) {
            frame.fail(format, reason);
            return failed();
        }
        if (!frame.write(format, bytes)) {
            return failed();
        }
    }
    // The figures come last: a frame with its ".txt" file is complete.
    if (!frame.write(".txt", hud.frameInfoText())) {
        return failed();
    }
    return true;
}
