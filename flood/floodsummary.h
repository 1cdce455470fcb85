#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "floodexposure.h"
#include "floodrun.h"
#include "georaster.h"
#include "summaryfiles.h"

class CAFlood;
class MonitorPoints;

// Depth above which a cell counts as reached by the flood for its arrival time, m.
constexpr float defaultArrivalDepth = 0.01f;
// Simulated time between two arrival lines of the summary's GeoPackage, minutes.
constexpr double defaultIsochroneMinutes = 15.0;

// One row of a flood run's volume balance, m^3, after result `result`.
struct FloodVolumeRow {
    int result = 0;
    double time = 0.0;      // simulated time, s
    double released = 0.0;  // let out by the breach so far
    double onGrid = 0.0;    // water on the grid
    double trimmed = 0.0;   // taken off the grid by the excess-volume guard so far
    double residual = 0.0;  // still in the reservoir
};

// What a flood run leaves beside its result folder: the maximum depth and speed every cell saw, the time
// the flood first reached it, its highest hazard class, the volume balance of every result, the flood's
// extent and arrival lines as GIS layers, the exposure of the places given, and a report on one page. The window's live run and the
// headless run feed it the same way:
//
//     summary.start(engine);                        // after the engine is ready
//     summary.record(engine, number);               // after every result's steps
//     summary.write(summaryFolderOf(folder), problem);   // at the end, and now and then in between
//
// It reads the engine's grid and nothing else, so the step stays as it is.
class FloodSummary {
public:
    // Starts afresh on the loaded grid of `engine`: no cell reached, no rows; the monitor points, when
    // given, are sampled at every result.
    void start(const CAFlood& engine, float arrivalDepth = defaultArrivalDepth,
               const MonitorPoints* monitors = nullptr);
    // Reads the places whose exposure the summary lists (loadPlaces), after start. False, with the
    // reason in `problem`, keeping the places it had.
    bool setPlaces(const std::string& path, std::string& problem);
    // Takes in the grid and volumes after result `number`.
    void record(const CAFlood& engine, int number);
    // Takes in the water of cell `index` (rows from the top) at simulated time `time`, s: what record
    // does for every cell holding water.
    void recordCell(std::size_t index, float depth, float speed, double time);
    // Writes "maxDepth.tif", "maxSpeed.tif", "arrivalTime.tif", "maxDepthVelocity.tif", "hazard.tif",
    // "volume.csv", "floodlines.gpkg", "report.html", with monitor points "monitors.csv" and with places
    // "exposure.csv" into `folder`, creating it; each file appears whole or not at all. False, with the
    // reason in `problem`, when one cannot be written. Nothing is written before start. With `threads`
    // above 1, a second thread shares the work; the files are the same.
    bool write(const std::string& folder, std::string& problem, int threads = 1) const;

    // About the bytes write and the monitor plots put on the disk: what a run keeps free for its summary.
    long long bytesToWrite() const;

    bool started() const { return !maxDepth.empty(); }
    int lastResult() const { return rows.empty() ? 0 : rows.back().result; }

    // Rows from the top of the grid, no-data where no water came (arrival: where the depth never rose
    // above the arrival depth).
    std::vector<float> maxDepth;     // m
    std::vector<float> maxSpeed;     // m/s
    std::vector<float> arrivalTime;  // s
    // The largest depth times speed, m^2/s, and the highest hazard class (floodHazardClass, 0 where no
    // water came), each taken at every result: the deepest and the fastest water seldom come together.
    std::vector<float> maxDepthVelocity;
    std::vector<std::uint8_t> hazard;
    // The ground, m, summaryNoData where the grid has none: the relief of the report's maps.
    std::vector<float> elevation;
    std::vector<FloodVolumeRow> rows;
    // One row per result and monitor point, in the points' order: the cell whose corner is nearest to
    // the point (the corner the water mesh and the monitor matching put at the cell), read directly, so
    // that a point shows the water draining away as well as arriving.
    struct MonitorSample {
        int result = 0;
        double time = 0.0;
        int point = 0;  // from 1, in the order of the monitor file
        double x = 0.0;
        double y = 0.0;
        float depth = 0.0f;  // m; 0 where the point lies off the grid's inner cells
        float speed = 0.0f;  // m/s
        float flow = 0.0f;   // |east face flux| + |south face flux|, m^2/s
    };
    std::vector<MonitorSample> monitorSamples;
    RasterFrame frame;  // the elevation grid's size, georeference and coordinate system
    std::vector<Place> places;
    double isochroneMinutes = defaultIsochroneMinutes;
    // What the run was started from, as the report lists it: input files and breach settings.
    std::vector<std::pair<std::string, std::string>> inputs;

    float arrivalDepthUsed() const { return arrivalDepth; }

private:
    float arrivalDepth = defaultArrivalDepth;
    std::vector<std::pair<double, double>> monitorPositions;
};

// The files a flood run starts from; monitors and places are empty when the run has none.
struct FloodRunInputs {
    std::string roughness;
    std::string elevation;
    std::string outbreak;
    std::string monitors;
    std::string places;
};

// Starts `summary` on the grid of the started run `engine` (FloodSummary::start), reads its places and
// lists its input files and breach for the report: the same for the window's run and the headless one.
// False, with the reason in `problem`, when the places cannot be read; `summary` is then started
// without places.
bool startFloodSummary(FloodSummary& summary, const CAFlood& engine, const FloodRunInputs& inputs,
                       const FloodRunSettings& settings, float arrivalDepth, const MonitorPoints* monitors,
                       std::string& problem);
