#include "floodtick.h"

#include <cmath>
#include <iostream>
#include <osgDB/WriteFile>

#include "cafloodnew.h"
#include "floodhud.h"
#include "monitorpoints.h"
#include "resultwriter.h"
#include "watermesh.h"

osg::ref_ptr<osg::Geode> advanceFloodTick(CAFlood& engine, FloodHud& hud, MonitorPoints& monitors,
                                          const FloodTickSettings& settings) {
    hud = FloodHud();
    const double trimmedBefore = engine.trimmedVolume();
    for (int step = 0; step < floodStepsPerResult; ++step) {
        engine.step();
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

    const float range = static_cast<float>(settings.colourHigh - settings.colourLow);
    WaterQuadVisitor matchMonitors;
    if (!monitors.empty()) {
        const float tolerance = engine.cellSize();
        const float time = engine.simulatedTime();
        const bool print = settings.printDiagnostics;
        matchMonitors = [&monitors, tolerance, time, print](double x, double y, const FloodCell& cell) {
            const float flow = std::abs(cell.fluxXOld) + std::abs(cell.fluxYOld);
            if (monitors.match(x, y, tolerance, cell.speed, flow, cell.surfaceOld - cell.ground, time) &&
                print) {
                std::cout << "matched" << std::endl;
            }
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
                     std::string& failedFile, bool printDiagnostics) {
    const std::string base = folder + "/" + std::to_string(number);
    if (format != ".tif") {
        const std::string modelFile = base + format;
        if (printDiagnostics) {
            std::cout << "fileName:" << modelFile << std::endl;
        }
        if (!osgDB::writeNodeFile(*water, modelFile)) {
            failedFile = modelFile;
            return false;
        }
    } else if (!writeDepthTiff(base + ".tif", *depths)) {
        failedFile = base + ".tif";
        return false;
    }
    if (!hud.writeState(base + ".txt")) {
        failedFile = base + ".txt";
        return false;
    }
    if (!monitors.empty() && !monitors.writeJson(base + ".json")) {
        failedFile = base + ".json";
        return false;
    }
    return true;
}

}  // namespace

bool writeFloodResult(const FloodResultFiles& files, std::string& failedFile, bool printDiagnostics) {
    return writeFloodFiles(files.folder, files.number, files.format, files.water.get(), &files.depths,
                           files.hud, files.monitors, failedFile, printDiagnostics);
}

bool writeFloodResult(const std::string& folder, int number, const std::string& format,
                      const osg::Node& water, const CAFlood& engine, const FloodHud& hud,
                      const MonitorPoints& monitors, std::string& failedFile, bool printDiagnostics) {
    const FloodDepthGrid depths = format == ".tif" ? engine.depthGrid() : FloodDepthGrid();
    return writeFloodFiles(folder, number, format, &water, &depths, hud, monitors, failedFile,
                           printDiagnostics);
}
