#pragma once

#include <osg/Geode>
#include <osg/Node>
#include <osg/ref_ptr>
#include <string>

#include "cafloodnew.h"
#include "depthramp.h"
#include "floodhud.h"
#include "monitorpoints.h"

// Engine steps per result of a computed flood: one result number (and one display refresh) per five.
constexpr int floodStepsPerResult = 5;

// What a computed flood shows and stores besides the grid.
struct FloodTickSettings {
    float capacity = 0.0f;  // reservoir capacity shown in the heads-up display, m^3
    int colourLow = 0;      // depth colour range, m
    int colourHigh = 20;
    osg::Vec4 shallowColour = floodShallowColour;
    osg::Vec4 deepColour = floodDeepColour;
    // The window's run reports every monitor match and result file on standard output; a headless run
    // keeps its terminal for the progress line.
    bool printDiagnostics = true;
    // Simulated seconds between results: a tick steps the engine until its clock reaches the next
    // multiple (within half a step), so that a long run writes a result every minute or ten. 0 keeps
    // one result per floodStepsPerResult steps.
    double resultEverySeconds = 0.0;
    // Whether the tick builds the water surface. A run that writes depth rasters and shows nothing needs
    // it only to read its monitor points; without any, the tick then returns an empty surface.
    bool buildWater = true;
};

// One tick of a computed flood, shared by the window's live run and the headless run: five engine steps
// (or the steps up to the next result time, see resultEverySeconds), the display state of the step in
// `hud`, and the water surface, with the monitor points matched against the cells it draws. With
// diagnostics on, says how much water the excess-volume trim removed if it fired.
osg::ref_ptr<osg::Geode> advanceFloodTick(CAFlood& engine, FloodHud& hud, MonitorPoints& monitors,
                                          const FloodTickSettings& settings);

// The result files of one tick, copied out of the engine and the tick so that they can be written on
// another thread while the engine goes on: a copy of the water model the scene shows (".ive" or ".3ds")
// or the grid's depths (".tif"), the display state, the monitor values.
struct FloodResultFiles {
    std::string folder;
    int number = 0;
    std::string format;
    osg::ref_ptr<const osg::Node> water;
    FloodDepthGrid depths;
    FloodHud hud;
    MonitorPoints monitors;
};
FloodResultFiles copyFloodResult(const std::string& folder, int number, const std::string& format,
                                 const osg::Node& water, const CAFlood& engine, const FloodHud& hud,
                                 const MonitorPoints& monitors);
bool writeFloodResult(const FloodResultFiles& files, std::string& problem, bool printDiagnostics = true);

// Writes the result files of number `number` into `folder` (its bytes name it): the water model
// (`format` ".ive" or ".3ds") or, for ".tif", the depth raster; the monitor values (".json") when there
// are monitor points; last the display state (".txt"). Each file goes through a temporary name. False,
// with `problem` naming the file and the reason, when a file could not be written; the result's files
// are then removed, so that the folder holds complete results only.
bool writeFloodResult(const std::string& folder, int number, const std::string& format,
                      const osg::Node& water, const CAFlood& engine, const FloodHud& hud,
                      const MonitorPoints& monitors, std::string& problem, bool printDiagnostics = true);
