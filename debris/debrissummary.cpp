#include "debrissummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "debrisrun.h"
#include "reportpage.h"
#include "summaryfiles.h"

namespace {

// Widest map of the report, pixels: the page's width.
constexpr int mapWidth = 960;

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The peak-depth and peak-speed maps over the relief, and the volume balance, on one page.
bool debrisReportHtml(const DebrisRun& run, const RasterFrame& frame,
                      const std::vector<DebrisVolumeRow>& rows, const std::vector<float>& peakDepth,
                      const std::vector<float>& peakSpeed, std::string& html, std::string& problem) {
    std::vector<float> elevation(frame.cellCount(), summaryNoData);
    std::size_t index = 0;
    for (int r = 0; r < frame.height; ++r) {
        for (int c = 0; c < frame.width; ++c, ++index) {
            if (run.debrisGrid[r][c].elevation != CADebrisFlow::noDataElevation) {
                elevation[index] = static_cast<float>(run.debrisGrid[r][c].elevation);
            }
        }
    }
    float deepest = 0.0f;
    float fastest = 0.0f;
    std::size_t reached = 0;
    for (std::size_t i = 0; i < frame.cellCount(); ++i) {
        if (peakDepth[i] != summaryNoData) {
            deepest = std::max(deepest, peakDepth[i]);
            fastest = std::max(fastest, peakSpeed[i]);
            ++reached;
        }
    }
    const double cellArea = std::abs(frame.geoTransform[1] * frame.geoTransform[5]);
    ReportPage page("Debris-flow run summary");
    page.heading("Figures");
    page.table({"figure", "value"},
               {{"grid", std::to_string(frame.width) + " x " + std::to_string(frame.height) + " cells of " +
                             fixed(std::abs(frame.geoTransform[1]), 2) + " m"},
                {"debris volume", fixed(run.totalVolume, 0) + " m³"},
                {"frames", std::to_string(rows.size())},
                {"simulated time", fixed(rows.empty() ? 0.0 : rows.back().time, 1) + " s"},
                {"area reached", fixed(reached * cellArea / 1e6, 3) + " km²"},
                {"greatest depth", fixed(deepest, 2) + " m"},
                {"greatest speed", fixed(fastest, 2) + " m/s"}});
    std::vector<std::uint8_t> shade;
    if (!shadeRelief(frame, elevation, shade, problem)) {
        return false;
    }
    // One map per raster, each on a ramp from 0 to its largest value.
    const auto addMap = [&](const std::string& title, const std::vector<float>& values, float high,
                            const std::string& unit) {
        const float scale = std::max(high, 0.01f);
        MapPicture picture;
        if (!drawReliefMap(
                frame, shade,
                [&values, scale](std::size_t cell, MapColour& colour) {
                    if (values[cell] == summaryNoData) {
                        return false;
                    }
                    colour = depthColour(values[cell], scale);
                    return true;
                },
                mapWidth, picture, problem)) {
            return false;
        }
        std::vector<ReportPage::LegendEntry> legend;
        for (int step = 1; step <= 5; ++step) {
            legend.push_back(
                {"≤ " + fixed(scale * step / 5.0, 2) + " " + unit, depthColour(scale * step / 5.0, scale)});
        }
        page.heading(title);
        page.map(title + " each cell saw, over the shaded relief", picture, legend);
        return true;
    };
    if (!addMap("Peak depth", peakDepth, deepest, "m") || !addMap("Peak speed", peakSpeed, fastest, "m/s")) {
        return false;
    }
    page.heading("Volume balance");
    ReportPage::Series released{"released", "#333333", {}};
    ReportPage::Series onGrid{"on the grid", "#2166ac", {}};
    for (const DebrisVolumeRow& row : rows) {
        released.points.emplace_back(row.time, row.released);
        onGrid.points.emplace_back(row.time, row.onGrid);
    }
    page.chart("Debris of the run", "simulated time, s", "volume, m³", {released, onGrid});
    html = page.html();
    return true;
}

}  // namespace

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

long long DebrisSummary::bytesToWrite() const {
    // Five float rasters with their headers, the report, and the lines of the volume table at about 60
    // bytes each.
    constexpr long long rasterHeader = 4096;
    constexpr long long report = 1024 * 1024;
    return 5 * (static_cast<long long>(frame.cellCount()) * 4 + rasterHeader) + report +
           (static_cast<long long>(rows.size()) + 1) * 60;
}

bool DebrisSummary::write(const DebrisRun& run, const std::string& folder, std::string& problem) const {
    if (!started() || run.debrisGrid.rows() != frame.height || run.debrisGrid.cols() != frame.width) {
        problem = "no debris-flow run to summarise";
        return false;
    }
    // One raster per result the model keeps in its cells (a field of the cell, or with none the depth
    // of the trace); a cell no packet reached has a peak depth of 0.
    const auto raster = [&run, this](double DebrisCell::*field) {
        std::vector<float> values(frame.cellCount(), summaryNoData);
        std::size_t index = 0;
        for (int r = 0; r < frame.height; ++r) {
            const DebrisCell* row = run.debrisGrid[r];
            const double* depths = run.debrisGrid.depths(r);
            for (int c = 0; c < frame.width; ++c, ++index) {
                if (row[c].peakDepth > 0.0) {
                    values[index] = static_cast<float>(field ? row[c].*field : depths[c]);
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
    const std::vector<float> peakDepth = raster(&DebrisCell::peakDepth);
    const std::vector<float> peakSpeed = raster(&DebrisCell::peakSpeed);
    std::string report;
    return writeSummaryRaster(folder, "peakDepth.tif", frame, peakDepth, problem) &&
           writeSummaryRaster(folder, "peakSpeed.tif", frame, peakSpeed, problem) &&
           writeSummaryRaster(folder, "momentumAtPeak.tif", frame, raster(&DebrisCell::momentumAtPeak),
                              problem) &&
           writeSummaryRaster(folder, "energyAtPeak.tif", frame, raster(&DebrisCell::energyAtPeak),
                              problem) &&
           writeSummaryRaster(folder, "finalTrace.tif", frame, raster(nullptr), problem) &&
           writeSummaryText(folder, "volume.csv", csv, problem) &&
           debrisReportHtml(run, frame, rows, peakDepth, peakSpeed, report, problem) &&
           writeSummaryText(folder, "report.html", report, problem);
}
