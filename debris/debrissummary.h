#pragma once

#include <string>
#include <vector>

#include "georaster.h"

class DebrisRun;

// One row of a debris-flow run's volume balance after rendered frame `frame`, m³.
struct DebrisVolumeRow {
    int frame = 0;
    double time = 0.0;      // simulated time, s
    double released = 0.0;  // the packets released so far
    double onGrid = 0.0;    // the debris on the grid now
};

// What a debris-flow run leaves beside its result folder: the peak depth and speed every cell saw, the
// momentum and kinetic energy at the peak speed (the model keeps them in its cells), the final trace
// of the flow, and the volume balance of every frame. The window's run and the headless run feed it the
// same way:
//
//     summary.start(run);                                // after setup
//     summary.record(run, frame, hud.elapsedTime);       // after every rendered frame
//     summary.write(run, summaryFolderOf(folder), problem);    // at the end
class DebrisSummary {
public:
    void start(const DebrisRun& run);
    // Takes in the volumes after rendered frame `frame` of simulated time `time` (s).
    void record(const DebrisRun& run, int frame, double time);
    // Writes "peakDepth.tif", "peakSpeed.tif", "momentumAtPeak.tif", "energyAtPeak.tif", "finalTrace.tif"
    // (no-data where no packet came), "volume.csv" and "report.html" (the peak maps over the relief and
    // the volume balance) into `folder`, creating it; each file appears whole or not at all. False, with the reason in `problem`, when one cannot be written.
    bool write(const DebrisRun& run, const std::string& folder, std::string& problem) const;

    // About the bytes write puts on the disk: what a run keeps free for its summary.
    long long bytesToWrite() const;

    bool started() const { return frame.width > 0; }
    int lastFrame() const { return rows.empty() ? 0 : rows.back().frame; }

    std::vector<DebrisVolumeRow> rows;
    RasterFrame frame;  // the terrain grid's size, georeference and coordinate system
};
