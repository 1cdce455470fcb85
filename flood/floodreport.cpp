#include "floodreport.h"

#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "floodhazard.h"
#include "floodsummary.h"
#include "monitorseries.h"
#include "reportpage.h"
#include "summaryfiles.h"

namespace {

// Widest map of the report, pixels: the page's width.
constexpr int mapWidth = 960;
// Gauges drawn in the report; a monitor file may hold a thousand points, and monitors.csv holds them all.
constexpr std::size_t reportedGauges = 12;

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string coordinateSystemName(const std::string& wkt) {
    OGRSpatialReference reference;
    if (wkt.empty() || reference.importFromWkt(wkt.c_str()) != OGRERR_NONE || !reference.GetName()) {
        return "none given";
    }
    return reference.GetName();
}

std::string minutesText(double seconds) {
    return fixed(seconds / 60.0, 1) + " min";
}

}  // namespace

bool floodReportHtml(const FloodSummary& summary, const std::vector<PlaceExposure>& exposure,
                     std::string& html, std::string& problem) {
    const RasterFrame& frame = summary.frame;
    const double cellSize = std::abs(frame.geoTransform[1]);
    const double cellArea = cellSize * std::abs(frame.geoTransform[5]);
    float deepest = 0.0f;
    float fastest = 0.0f;
    float strongest = 0.0f;
    float latestArrival = 0.0f;
    std::size_t reachedCells = 0;
    std::vector<std::size_t> classCells(7, 0);
    for (std::size_t i = 0; i < frame.cellCount(); ++i) {
        if (summary.maxDepth[i] != summaryNoData) {
            deepest = std::max(deepest, summary.maxDepth[i]);
            fastest = std::max(fastest, summary.maxSpeed[i]);
            strongest = std::max(strongest, summary.maxDepthVelocity[i]);
        }
        if (summary.arrivalTime[i] != summaryNoData) {
            ++reachedCells;
            latestArrival = std::max(latestArrival, summary.arrivalTime[i]);
        }
        ++classCells[summary.hazard[i]];
    }

    ReportPage page("Flood run summary");
    page.heading("Inputs");
    std::vector<std::vector<std::string>> inputRows;
    for (const auto& [name, value] : summary.inputs) {
        inputRows.push_back({name, value});
    }
    inputRows.push_back({"grid", std::to_string(frame.width) + " x " + std::to_string(frame.height) +
                                     " cells of " + fixed(cellSize, 2) + " m"});
    inputRows.push_back({"coordinate system", coordinateSystemName(frame.projection)});
    inputRows.push_back({"arrival depth", fixed(summary.arrivalDepthUsed(), 3) + " m"});
    page.table({"input", "value"}, inputRows);

    page.heading("Figures");
    const double lastTime = summary.rows.empty() ? 0.0 : summary.rows.back().time;
    page.table({"figure", "value"},
               {{"results", std::to_string(summary.rows.size())},
                {"simulated time", fixed(lastTime, 1) + " s (" + minutesText(lastTime) + ")"},
                {"flooded area", fixed(reachedCells * cellArea / 1e6, 3) + " km²"},
                {"greatest depth", fixed(deepest, 2) + " m"},
                {"greatest speed", fixed(fastest, 2) + " m/s"},
                {"greatest depth × speed", fixed(strongest, 2) + " m²/s"},
                {"latest arrival", minutesText(latestArrival)}});

    std::vector<std::uint8_t> shade;
    if (!shadeRelief(frame, summary.elevation, shade, problem)) {
        return false;
    }
    MapPicture depthMap;
    const float depthScale = std::max(deepest, 0.1f);
    if (!drawReliefMap(
            frame, shade,
            [&summary, depthScale](std::size_t cell, MapColour& colour) {
                if (summary.arrivalTime[cell] == summaryNoData) {
                    return false;
                }
                colour = depthColour(summary.maxDepth[cell], depthScale);
                return true;
            },
            mapWidth, depthMap, problem)) {
        return false;
    }
    std::vector<ReportPage::LegendEntry> depthLegend;
    for (int step = 1; step <= 5; ++step) {
        const double depth = depthScale * step / 5.0;
        depthLegend.push_back(
            {"≤ " + fixed(depth, depthScale < 5 ? 2 : 1) + " m", depthColour(depth, depthScale)});
    }
    page.heading("Maximum depth");
    page.map("Greatest depth each cell saw, over the shaded relief", depthMap, depthLegend);

    MapPicture hazardMap;
    const std::vector<RasterClass>& classes = floodHazardClasses();
    if (!drawReliefMap(
            frame, shade,
            [&summary, &classes](std::size_t cell, MapColour& colour) {
                const int hazardClass = summary.hazard[cell];
                if (hazardClass < 1 || hazardClass > static_cast<int>(classes.size())) {
                    return false;
                }
                const RasterClass& entry = classes[hazardClass - 1];
                colour = {entry.red, entry.green, entry.blue};
                return true;
            },
            mapWidth, hazardMap, problem)) {
        return false;
    }
    std::vector<ReportPage::LegendEntry> hazardLegend;
    std::vector<std::vector<std::string>> hazardRows;
    for (const RasterClass& entry : classes) {
        hazardLegend.push_back({entry.name.substr(0, 2), {entry.red, entry.green, entry.blue}});
        hazardRows.push_back({entry.name, fixed(classCells[entry.value] * cellArea / 1e6, 3)});
    }
    page.heading("Hazard");
    page.map("Highest depth-velocity hazard class each cell reached (Australian Rainfall and Runoff)",
             hazardMap, hazardLegend);
    page.table({"class", "area, km²"}, hazardRows);

    const std::vector<MonitorSeries> gauges = groupMonitorSamples(summary.monitorSamples);
    if (!gauges.empty()) {
        page.heading("Monitor points");
        if (gauges.size() > reportedGauges) {
            page.paragraph("The first " + std::to_string(reportedGauges) + " of " +
                           std::to_string(gauges.size()) + " points; monitors.csv holds them all.");
        }
        for (std::size_t g = 0; g < std::min(gauges.size(), reportedGauges); ++g) {
            const MonitorSeries& gauge = gauges[g];
            ReportPage::Series depth{"depth, m", "#2166ac", {}};
            ReportPage::Series speed{"speed, m/s", "#d6604d", {}};
            for (std::size_t i = 0; i < gauge.time.size(); ++i) {
                depth.points.emplace_back(gauge.time[i] / 60.0, gauge.depth[i]);
                speed.points.emplace_back(gauge.time[i] / 60.0, gauge.speed[i]);
            }
            page.chart("Point " + std::to_string(gauge.point) + " at (" + fixed(gauge.x, 1) + ", " +
                           fixed(gauge.y, 1) + ")",
                       "simulated time, min", "depth m, speed m/s", {depth, speed});
        }
    }

    page.heading("Volume balance");
    ReportPage::Series released{"released by the breach", "#333333", {}};
    ReportPage::Series onGrid{"on the grid", "#2166ac", {}};
    ReportPage::Series residual{"still in the reservoir", "#1b7837", {}};
    for (const FloodVolumeRow& row : summary.rows) {
        released.points.emplace_back(row.time / 60.0, row.released);
        onGrid.points.emplace_back(row.time / 60.0, row.onGrid);
        residual.points.emplace_back(row.time / 60.0, row.residual);
    }
    page.chart("Water of the run", "simulated time, min", "volume, m³", {released, onGrid, residual});
    if (!summary.rows.empty()) {
        const FloodVolumeRow& last = summary.rows.back();
        page.table({"at the last result", "m³"},
                   {{"released by the breach", fixed(last.released, 0)},
                    {"on the grid", fixed(last.onGrid, 0)},
                    {"taken off by the excess-volume guard", fixed(last.trimmed, 0)},
                    {"still in the reservoir", fixed(last.residual, 0)}});
    }

    if (!exposure.empty()) {
        page.heading("Places");
        std::vector<std::vector<std::string>> placeRows;
        for (const PlaceExposure& place : exposure) {
            if (!place.onGrid) {
                placeRows.push_back({place.name, "off the grid", "", "", "", ""});
            } else if (!place.reached) {
                placeRows.push_back({place.name, "not reached", "", "", "", ""});
            } else {
                placeRows.push_back({place.name, "reached", minutesText(place.arrivalSeconds),
                                     fixed(place.maxDepth, 2), fixed(place.maxSpeed, 2),
                                     "H" + std::to_string(place.hazardClass)});
            }
        }
        page.table({"place", "status", "first arrival", "greatest depth, m", "greatest speed, m/s", "hazard"},
                   placeRows);
    }
    html = page.html();
    return true;
}
