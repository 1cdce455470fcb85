#include "debrissummary.h"

#include <cstdio>

#include "debrisrun.h"
#include "summaryfiles.h"

void DebrisSummary::start(const DebrisRun& run) {
    frame =
        asciiGridFrame(run.gridCols, run.gridRows, run.cellSize, run.gridMinX, run.gridMinY, run.projection);
    rows.clear();
}

void DebrisSummary::record(const DebrisRun& run, int frameNumber, double time) {
    DebrisVolumeRow row;
    row.frame = frameNumber;
    row.time = time;
    row.released = run.debrisPacketCount * run.packetVolume;
    row.onGrid = run.debrisVolumeOnGrid();
    rows.push_back(row);
}

bool DebrisSummary::write(const DebrisRun& run, const std::string& folder, std::string& problem) const {
    if (!started() || run.debrisGrid.rows() != frame.height || run.debrisGrid.cols() != frame.width) {
        problem = "no debris-flow run to summarise";
        return false;
    }
    // One raster per result the model keeps in its cells; a cell no packet reached has a peak depth of 0.
    const auto raster = [&run, this](double DebrisCell::*field) {
        std::vector<float> values(frame.cellCount(), summaryNoData);
        std::size_t index = 0;
        for (int r = 0; r < frame.height; ++r) {
            const DebrisCell* row = run.debrisGrid[r];
            for (int c = 0; c < frame.width; ++c, ++index) {
                if (row[c].peakDepth > 0.0) {
                    values[index] = static_cast<float>(row[c].*field);
                }
            }
        }
        return values;
    };
    std::string csv = "frame,time_s,released_m3,on_grid_m3\n";
    char line[200];
    for (const DebrisVolumeRow& row : rows) {
        std::snprintf(line, sizeof line, "%d,%.3f,%.3f,%.3f\n", row.frame, row.time, row.released,
                      row.onGrid);
        csv += line;
    }
    return writeSummaryRaster(folder, "peakDepth.tif", frame, raster(&DebrisCell::peakDepth), problem) &&
           writeSummaryRaster(folder, "peakSpeed.tif", frame, raster(&DebrisCell::peakSpeed), problem) &&
           writeSummaryRaster(folder, "momentumAtPeak.tif", frame, raster(&DebrisCell::momentumAtPeak),
                              problem) &&
           writeSummaryRaster(folder, "energyAtPeak.tif", frame, raster(&DebrisCell::energyAtPeak),
                              problem) &&
           writeSummaryRaster(folder, "finalTrace.tif", frame, raster(&DebrisCell::depth), problem) &&
           writeSummaryText(folder, "volume.csv", csv, problem);
}
