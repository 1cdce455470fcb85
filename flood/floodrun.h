#pragma once

#include <string>
#include <vector>

class CAFlood;
class MonitorPoints;

// The breach settings of a flood run as the flood form collects them; the defaults are the form's.
struct FloodRunSettings {
    float capacity = 100000000.0f;  // V, m^3
    float width = 133.0f;           // B, m
    float height = 47.5f;           // H, m
    std::string mode = "Total Break";
    float timeStepDivisor = 100.0f;
};

// The breach ratio k of a break mode: 0 for "Total Break" (the whole section breaks), 2 for "二分之一溃",
// 3 for "三分之一溃", 5 for "五分之一溃", and 10 for "十分之一溃" and any other text.
int breachRatio(const std::string& mode);

enum class FloodRunStart {
    Ready,           // inputs loaded, hydrograph prepared: step away
    InputsRejected,  // the engine could not load the inputs, or they give no flood (a diagnostic says why)
    NoOutflow,       // the breach settings let no water out (the engine's diagnostic says why)
};

// Sets up `engine` for a run as the flood form's calculate does: time-step divisor, the inputs
// (roughness grid, elevation grid, outbreak-information file), the breach (a partial breach is
// width / k by height / k; the section shape exponent is 1) and the hydrograph. Inputs that load but
// can give no flood are refused, with a diagnostic naming the file: an elevation grid without a cell of
// terrain inside its border, or outbreak cells none of whose faces leads into the terrain. The engine
// says on standard error why it refuses; with `reason` given, those lines are kept there as well, for a
// window to show.
FloodRunStart startFloodRun(CAFlood& engine, const std::vector<std::string>& inputFiles,
                            const FloodRunSettings& settings, std::string* reason = nullptr);

// The breach of a started run in words: total or partial (with its size), the released volume, the peak
// outflow, the hydrograph's length and the step, as the headless run prints it and every report lists it.
std::string describeBreach(const CAFlood& engine, const FloodRunSettings& settings);

// Whether every monitor point lies on the inner cells of the loaded grid, where the flood is computed
// (a point on the border or off the grid would read a depth of 0 at every result). False, naming the
// file of `path`, the point and the grid's extent in `problem`, otherwise.
bool checkMonitorPoints(const CAFlood& engine, const MonitorPoints& monitors, const std::string& path,
                        std::string& problem);
