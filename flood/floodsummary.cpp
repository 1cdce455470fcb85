#include "floodsummary.h"

#include <gdal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>

#include "cafloodnew.h"
#include "floodhazard.h"
#include "floodreport.h"
#include "monitorpoints.h"
#include "summarylayers.h"

void FloodSummary::start(const CAFlood& engine, float depthForArrival, const MonitorPoints* monitors) {
    arrivalDepth = depthForArrival;
    monitorPositions.clear();
    monitorSamples.clear();
    if (monitors != nullptr) {
        for (const PointM& point : monitors->list()) {
            monitorPositions.emplace_back(point.x, point.y);
        }
    }
    frame = asciiGridFrame(engine.columnCount(), engine.rowCount(), engine.cellSize(), engine.lowerLeftX(),
                           engine.lowerLeftY(), engine.coordinateSystem());
    maxDepth.assign(frame.cellCount(), summaryNoData);
    maxSpeed.assign(frame.cellCount(), summaryNoData);
    arrivalTime.assign(frame.cellCount(), summaryNoData);
    maxDepthVelocity.assign(frame.cellCount(), summaryNoData);
    hazard.assign(frame.cellCount(), 0);
    elevation.assign(frame.cellCount(), summaryNoData);
    if (const FloodCell* const* cells = engine.cellRows()) {
        std::size_t index = 0;
        for (int r = 0; r < frame.height; ++r) {
            for (int c = 0; c < frame.width; ++c, ++index) {
                if (cells[r][c].ground != floodNoDataElevation) {
                    elevation[index] = cells[r][c].ground;
                }
            }
        }
    }
    rows.clear();
    places.clear();
    inputs.clear();
}

bool startFloodSummary(FloodSummary& summary, const CAFlood& engine, const FloodRunInputs& inputs,
                       const FloodRunSettings& settings, float arrivalDepth, const MonitorPoints* monitors,
                       std::string& problem) {
    summary.start(engine, arrivalDepth, monitors);
    summary.inputs = {{"elevation", inputs.elevation},
                      {"roughness", inputs.roughness},
                      {"outbreak cells", inputs.outbreak},
                      {"breach", describeBreach(engine, settings)}};
    if (!inputs.monitors.empty()) {
        summary.inputs.emplace_back("monitor points", inputs.monitors);
    }
    if (inputs.places.empty()) {
        return true;
    }
    if (!summary.setPlaces(inputs.places, problem)) {
        return false;
    }
    summary.inputs.emplace_back("places", inputs.places);
    return true;
}

bool FloodSummary::setPlaces(const std::string& path, std::string& problem) {
    if (!started()) {
        problem = "no flood run to place \"" + path + "\" on";
        return false;
    }
    return loadPlaces(path, frame, places, problem);
}

void FloodSummary::record(const CAFlood& engine, int number) {
    const FloodCell* const* cells = engine.cellRows();
    const float* depths = engine.cellDepths();
    if (!started() || cells == nullptr || depths == nullptr || engine.columnCount() != frame.width ||
        engine.rowCount() != frame.height) {
        return;
    }
    const double time = engine.simulatedTime();
    // Each cell on its own, so the engine's threads share the rows. The depths the result files show pick
    // the wet cells, so that the dry ones cost four bytes each, not a cell.
#pragma omp parallel for schedule(dynamic, 16) num_threads(engine.threadCount())
    for (int r = 0; r < frame.height; ++r) {
        const FloodCell* row = cells[r];
        const std::size_t start = static_cast<std::size_t>(r) * static_cast<std::size_t>(frame.width);
        for (int c = 0; c < frame.width; ++c) {
            const float depth = depths[start + static_cast<std::size_t>(c)];
            if (depth > 0.0f) {
                recordCell(start + static_cast<std::size_t>(c), depth, row[c].speed, time);
            }
        }
    }
    const double cellSize = engine.cellSize();
    int pointNumber = 0;
    for (const auto& [x, y] : monitorPositions) {
        MonitorSample sample;
        sample.result = number;
        sample.time = time;
        sample.point = ++pointNumber;
        sample.x = x;
        sample.y = y;
        // Cell (r, c) has its corner at (c, rows - r) cells from the lower-left corner.
        const double column = std::round((x - engine.lowerLeftX()) / cellSize);
        const double row = frame.height - std::round((y - engine.lowerLeftY()) / cellSize);
        if (column > 0 && row > 0 && column < frame.width - 1 && row < frame.height - 1) {
            const FloodCell& cell = cells[static_cast<int>(row)][static_cast<int>(column)];
            sample.depth = std::max(0.0f, cell.surfaceOld - cell.ground);
            sample.speed = cell.speed;
            sample.flow = std::abs(cell.fluxXOld) + std::abs(cell.fluxYOld);
        }
        monitorSamples.push_back(sample);
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

void FloodSummary::recordCell(std::size_t index, float depth, float speed, double time) {
    if (index >= maxDepth.size() || !(depth > 0.0f)) {
        return;
    }
    maxDepth[index] = std::max(maxDepth[index], depth);
    maxSpeed[index] = std::max(maxSpeed[index], speed);
    maxDepthVelocity[index] = std::max(maxDepthVelocity[index], depth * speed);
    hazard[index] =
        static_cast<std::uint8_t>(std::max<int>(hazard[index], floodHazardClass(depth, speed)));
    if (arrivalTime[index] == summaryNoData && depth > arrivalDepth) {
        arrivalTime[index] = static_cast<float>(time);
    }
}

long long FloodSummary::bytesToWrite() const {
    // Four float rasters, the hazard classes and the flood lines (no more than a float raster each) with
    // their headers, the report, the lines of the tables at about 80 bytes each, and a plot of at most a
    // quarter of a megabyte per monitor point.
    constexpr long long rasterHeader = 4096;
    constexpr long long tableLine = 80;
    constexpr long long plot = 256 * 1024;
    constexpr long long report = 1024 * 1024;
    return 6 * (static_cast<long long>(frame.cellCount()) * 4 + rasterHeader) + report +
           (static_cast<long long>(rows.size()) + static_cast<long long>(monitorSamples.size()) + 2) * tableLine +
           static_cast<long long>(monitorPositions.size()) * plot;
}

bool FloodSummary::write(const std::string& folder, std::string& problem, int threads) const {
    if (!started()) {
        problem = "no flood run to summarise";
        return false;
    }
    // The flood lines take longest: with a second thread they are traced there while the rasters and the
    // report are made here. The files are written in the same order, and the first that fails is named.
    std::string lines;
    std::string linesProblem;
    // GDAL registers its drivers at its first use, which two threads must not make at once.
    GDALAllRegister();
    std::future<bool> linesTraced =
        std::async(threads > 1 ? std::launch::async : std::launch::deferred, [&, this] {
            return extentAndIsochronesPackage(folder + "/floodlines.gpkg", frame, maxDepth, arrivalDepth,
                                              arrivalTime, isochroneMinutes, lines, linesProblem);
        });
    std::string csv = "result,time_s,released_m3,on_grid_m3,trimmed_m3,residual_storage_m3\n";
    char line[256];
    for (const FloodVolumeRow& row : rows) {
        std::snprintf(line, sizeof line, "%d,%.3f,%.3f,%.3f,%.3f,%.3f\n", row.result, row.time, row.released,
                      row.onGrid, row.trimmed, row.residual);
        csv += line;
    }
    const std::vector<PlaceExposure> exposure = exposePlaces(places, arrivalTime, maxDepth, maxSpeed, hazard);
    if (!writeSummaryRaster(folder, "maxDepth.tif", frame, maxDepth, problem) ||
        !writeSummaryRaster(folder, "maxSpeed.tif", frame, maxSpeed, problem) ||
        !writeSummaryRaster(folder, "arrivalTime.tif", frame, arrivalTime, problem) ||
        !writeSummaryRaster(folder, "maxDepthVelocity.tif", frame, maxDepthVelocity, problem) ||
        !writeSummaryClasses(folder, "hazard.tif", frame, hazard, floodHazardClasses(), problem) ||
        !writeSummaryText(folder, "volume.csv", csv, problem)) {
        return false;
    }
    std::string report;
    std::string reportProblem;
    const bool reported = floodReportHtml(*this, exposure, report, reportProblem);
    if (!linesTraced.get()) {
        problem = linesProblem;
        return false;
    }
    if (!writeSummaryText(folder, "floodlines.gpkg", lines, problem) ||
        (!places.empty() && !writeSummaryText(folder, "exposure.csv", exposureCsv(exposure), problem))) {
        return false;
    }
    if (!reported) {
        problem = reportProblem;
        return false;
    }
    if (!writeSummaryText(folder, "report.html", report, problem)) {
        return false;
    }
    if (monitorPositions.empty()) {
        return true;
    }
    std::string monitorsCsv = "result,time_s,point,x,y,depth_m,speed_m_s,flow_m2_s\n";
    for (const MonitorSample& sample : monitorSamples) {
        std::snprintf(line, sizeof line, "%d,%.3f,%d,%.3f,%.3f,%.4f,%.4f,%.4f\n", sample.result, sample.time,
                      sample.point, sample.x, sample.y, sample.depth, sample.speed, sample.flow);
        monitorsCsv += line;
    }
    return writeSummaryText(folder, "monitors.csv", monitorsCsv, problem);
}
