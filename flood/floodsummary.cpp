#include "floodsummary.h"

#include <algorithm>
#include <cstdio>

#include "cafloodnew.h"

void FloodSummary::start(const CAFlood& engine, float depthForArrival) {
    arrivalDepth = depthForArrival;
    frame = asciiGridFrame(engine.columnCount(), engine.rowCount(), engine.cellSize(), engine.lowerLeftX(),
                           engine.lowerLeftY(), engine.coordinateSystem());
    maxDepth.assign(frame.cellCount(), summaryNoData);
    maxSpeed.assign(frame.cellCount(), summaryNoData);
    arrivalTime.assign(frame.cellCount(), summaryNoData);
    rows.clear();
}

void FloodSummary::record(const CAFlood& engine, int number) {
    const FloodCell* const* cells = engine.cellRows();
    if (!started() || cells == nullptr || engine.columnCount() != frame.width ||
        engine.rowCount() != frame.height) {
        return;
    }
    const float time = engine.simulatedTime();
    std::size_t index = 0;
    for (int r = 0; r < frame.height; ++r) {
        const FloodCell* row = cells[r];
        for (int c = 0; c < frame.width; ++c, ++index) {
            // The depth the result files show: border, outbreak and no-data cells hold none.
            const float depth = row[c].surfaceOld - row[c].ground;
            if (!(depth > 0.0f)) {
                continue;
            }
            maxDepth[index] = std::max(maxDepth[index], depth);
            maxSpeed[index] = std::max(maxSpeed[index], row[c].speed);
            if (arrivalTime[index] == summaryNoData && depth > arrivalDepth) {
                arrivalTime[index] = time;
            }
        }
    }
    FloodVolumeRow volumes;
    volumes.result = number;
    volumes.time = time;
    volumes.residual = engine.residualVolume();
    volumes.released = engine.releaseVolume() - volumes.residual;
    volumes.onGrid = engine.waterOnGrid();
    volumes.trimmed = engine.trimmedVolume();
    rows.push_back(volumes);
}

bool FloodSummary::write(const std::string& folder, std::string& problem) const {
    if (!started()) {
        problem = "no flood run to summarise";
        return false;
    }
    std::string csv = "result,time_s,released_m3,on_grid_m3,trimmed_m3,residual_storage_m3\n";
    char line[256];
    for (const FloodVolumeRow& row : rows) {
        std::snprintf(line, sizeof line, "%d,%.3f,%.3f,%.3f,%.3f,%.3f\n", row.result, row.time, row.released,
                      row.onGrid, row.trimmed, row.residual);
        csv += line;
    }
    return writeSummaryRaster(folder, "maxDepth.tif", frame, maxDepth, problem) &&
           writeSummaryRaster(folder, "maxSpeed.tif", frame, maxSpeed, problem) &&
           writeSummaryRaster(folder, "arrivalTime.tif", frame, arrivalTime, problem) &&
           writeSummaryText(folder, "volume.csv", csv, problem);
}
