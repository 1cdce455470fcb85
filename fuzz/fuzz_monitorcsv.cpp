// The "monitors.csv" of a flood summary, which the replay's dock and the plotting program read back.
#include <cstdint>
#include <string_view>

#include "monitorseries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<MonitorSeries> series;
    std::string problem;
    if (parseMonitorsCsv(std::string_view(reinterpret_cast<const char*>(data), size), series, problem)) {
        // What is read holds one value of each quantity per result, and a replay can cut it anywhere.
        for (const MonitorSeries& record : series) {
            const std::size_t results = record.result.size();
            if (record.time.size() != results || record.depth.size() != results ||
                record.speed.size() != results || record.flow.size() != results) {
                __builtin_trap();
            }
        }
        const std::vector<MonitorSeries> cut = seriesUpToResult(series, 3);
        if (cut.size() != series.size()) {
            __builtin_trap();
        }
    } else if (!series.empty() || problem.empty()) {
        __builtin_trap();
    }
    return 0;
}
