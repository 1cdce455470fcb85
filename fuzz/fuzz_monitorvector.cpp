// The monitor points of a flood, read through OGR from memory ("/vsimem/") in the vector formats a user
// hands in (a shapefile comes as its three files, cut from the input), then checked against a flood
// grid. What is loaded is at most the points a flood shows, each at a position on a map; what the check
// takes lies on the grid.
#include <cpl_vsi.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>

#include "cafloodnew.h"
#include "floodrun.h"
#include "floodtestdata.h"
#include "fuzzfiles.h"
#include "monitorpoints.h"

namespace {

// A valley of 20 x 30 cells of 10 m from (0, 0).
const CAFlood& engine() {
    static const CAFlood* const loaded = [] {
        restrictGdal({"GeoJSON", "CSV", "ESRI Shapefile", "KML", "GPX", "MapInfo File", "GeoJSONSeq", "OGR_GMT"});
        auto* flood = new CAFlood;
        const ValleyShape shape{20, 30};
        if (!flood->loadInputs(writeValley(fuzzPath(""), shape, {{9, 28}}))) {
            std::abort();
        }
        return flood;
    }();
    return *loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CAFlood& flood = engine();
    if (size < 1) {
        return 0;
    }
    static const char* const extensions[] = {".geojson", ".csv", ".kml", ".gpx", ".mif", ".shp", ".json", ".gmt"};
    const std::string extension = extensions[data[0] % 8];
    const std::string path = "/vsimem/points/monitors" + extension;
    const std::uint8_t* body = data + 1;
    std::size_t length = size - 1;
    if (extension == ".shp" && length >= 4) {
        // The ".shx" and ".dbf" lengths first, then the three files.
        const std::size_t index = (std::size_t(body[0]) << 8 | body[1]) % (length - 4 + 1);
        const std::size_t table = (std::size_t(body[2]) << 8 | body[3]) % (length - 4 - index + 1);
        body += 4;
        length -= 4;
        const std::size_t shapes = length - index - table;
        writeGdalFile("/vsimem/points/monitors.shx", body + shapes, index);
        writeGdalFile("/vsimem/points/monitors.dbf", body + shapes + index, table);
        length = shapes;
    }
    writeGdalFile(path, body, length);

    MonitorPoints monitors;
    std::string problem;
    std::cout.setstate(std::ios::failbit);
    const bool loaded = monitors.load(path, problem);
    std::cout.clear();
    if (loaded) {
        if (monitors.list().size() > MonitorPoints::maxPoints) {
            __builtin_trap();
        }
        for (const PointM& point : monitors.list()) {
            if (!std::isfinite(point.x) || !std::isfinite(point.y) || !std::isfinite(point.z)) {
                __builtin_trap();
            }
        }
        if (checkMonitorPoints(flood, monitors, path, problem)) {
            for (const PointM& point : monitors.list()) {
                // On the grid: its cells reach from (0, 0) to (200, 300).
                if (!(point.x > 0 && point.x < 200 && point.y > 0 && point.y < 300)) {
                    __builtin_trap();
                }
            }
        } else if (problem.find("lies off the flood grid") == std::string::npos) {
            __builtin_trap();
        }
    } else if (problem.empty() || !monitors.empty()) {
        __builtin_trap();
    }
    VSIRmdirRecursive("/vsimem/points");
    return 0;
}
