#include "floodtick.h"

#include <cmath>
#include <iostream>

#include "cafloodnew.h"
#include "floodhud.h"
#include "modelfile.h"
#include "monitorpoints.h"
#include "resultfiles.h"
#include "watermesh.h"

osg::ref_ptr<osg::Geode> advanceFloodTick(CAFlood& engine, FloodHud& hud, MonitorPoints& monitors,
                                          const FloodTickSettings& settings) {
    hud = FloodHud();
    const double trimmedBefore = engine.trimmedVolume();
    if (settings.resultEverySeconds > 0.0) {
        // The clock gains whole steps: the result due is the first multiple of the interval more than half a
        // step ahead.
        const double halfStep = engine.stepSeconds();
        const double due =
            (std::floor((engine.simulatedTime() + halfStep) / settings.resultEverySeconds) + 1.0) *
            settings.resultEverySeconds;
        engine.advanceUntil(due);
    } else {
        engine.advance(floodStepsPerResult);
    }
    // The step keeps the volume; water the excess-volume guard takes away is a fault the analyst must see.
    if (settings.printDiagnostics && engine.trimmedVolume() > trimmedBefore) {
        std::cout << "excess-volume trim: removed " << engine.trimmedVolume() - trimmedBefore << " m^3 by "
                  << engine.simulatedTime() << " s (" << engine.trimmedVolume() << " m^3 in all)"
                  << std::endl;
    }
    hud.time = engine.simulatedTime();
    hud.residual = static_cast<float>(engine.residualVolume());
    hud.capacity = settings.capacity;
    hud.colourLow = settings.colourLow;
    hud.colourHigh = settings.colourHigh;

    if (!settings.buildWater && monitors.empty()) {
        return new osg::Geode;
    }
    const float range = static_cast<float>(settings.colourHigh - settings.colourLow);
    WaterQuadVisitor matchMonitors;
    if (!monitors.empty()) {
        const float tolerance = engine.cellSize();
        const float time = static_cast<float>(engine.simulatedTime());
        matchMonitors = [&monitors, tolerance, time](double x, double y, const FloodCell& cell) {
            const float flow = std::abs(cell.fluxXOld) + std::abs(cell.fluxYOld);
            monitors.match(x, y, tolerance, cell.speed, flow, cell.surfaceOld - cell.ground, time);
        };
    }
    return buildWaterGeode(floodGridView(engine), range, settings.shallowColour, settings.deepColour,
                           matchMonitors);
}

FloodResultFiles copyFloodResult(const std::string& folder, int number, const std::string& format,
                                 const osg::Node& water, const CAFlood& engine, const FloodHud& hud,
                                 const MonitorPoints& monitors) {
    FloodResultFiles files;
    files.folder = folder;
    files.number = number;
    files.format = format;
    if (format == ".tif") {
        files.depths = engine.depthGrid();
    } else {
        files.water = copyForWriter(water);
    }
    files.hud = hud;
    files.monitors = monitors;
    return files;
}

namespace {

bool writeFloodFiles(const std::string& folder, int number, const std::string& format, const osg::Node* water,
                     const FloodDepthGrid* depths, const FloodHud& hud, const MonitorPoints& monitors,
                     std::string& problem, bool printDiagnostics) {
    ResultFrameWriter frame(folder, number);
    std::string bytes;
    std::string reason;
    bool written = true;
    if (format != ".tif") {
        if (printDiagnostics) {
            std::cout << "fileName:" << frame.path(format) << std::endl;
        }
        if (!modelFileBytes(*water, format, bytes, reason)) {
            frame.fail(format, reason);
            written = false;
        } else {
            written = frame.write(format, bytes);
        }
    } else if (!depthTiffBytes(*depths, bytes, reason)) {
        frame.fail(".tif", reason);
        written = false;
    } else {
        written = frame.write(".tif", bytes);
    }
    if (written && !monitors.empty()) {
        const QByteArray json = monitors.toJson();
        written =
            frame.write(".json", std::string_view(json.constData(), static_cast<std::size_t>(json.size())));
    }
    // The display state comes last: a result with its ".txt" file is complete.
    written = written && frame.write(".txt", hud.stateText());
    if (!written) {
        problem = frame.problem();
    }
    return written;
}

}  // namespace

bool writeFloodResult(const FloodResultFiles& files, std::string& problem, bool printDiagnostics) {
    return writeFloodFiles(files.folder, files.number, files.format, files.water.get(), &files.depths,
                           files.hud, files.monitors, problem, printDiagnostics);
}

bool writeFloodResult(const std::string& folder, int number, const std::string& format,
                      const osg::Node& water, const CAFlood& engine, const FloodHud& hud,
                      const MonitorPoints& monitors, std::string& problem, bool printDiagnostics) {
    const FloodDepthGrid depths = format == ".tif" ? engine.depthGrid() : FloodDepthGrid();
    return writeFloodFiles(folder, number, format, &water, &depths, hud, monitors, problem, printDiagnostics);
}
