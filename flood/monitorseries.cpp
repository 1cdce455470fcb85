#include "monitorseries.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "fileio.h"
#include "monitorpoints.h"
#include "texttokens.h"

namespace {

constexpr std::string_view kHeader = "result,time_s,point,x,y,depth_m,speed_m_s,flow_m2_s";

void append(MonitorSeries& series, int result, float time, float depth, float speed, float flow) {
    series.result.push_back(result);
    series.time.push_back(time);
    series.depth.push_back(depth);
    series.speed.push_back(speed);
    series.flow.push_back(flow);
}

// The comma-separated fields of a line.
std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        parts.push_back(
            line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) {
            return parts;
        }
        start = comma + 1;
    }
}

bool fitsFloat(double value) {
    return std::fabs(value) <= 3.0e38;
}

}  // namespace

std::vector<MonitorSeries> groupMonitorSamples(const std::vector<FloodSummary::MonitorSample>& samples) {
    std::map<int, MonitorSeries> byPoint;
    for (const FloodSummary::MonitorSample& sample : samples) {
        MonitorSeries& series = byPoint[sample.point];
        series.point = sample.point;
        series.x = sample.x;
        series.y = sample.y;
        append(series, sample.result, sample.time, sample.depth, sample.speed, sample.flow);
    }
    std::vector<MonitorSeries> grouped;
    grouped.reserve(byPoint.size());
    for (auto& entry : byPoint) {
        grouped.push_back(std::move(entry.second));
    }
    return grouped;
}

bool parseMonitorsCsv(std::string_view text, std::vector<MonitorSeries>& series, std::string& problem) {
    series.clear();
    std::map<int, MonitorSeries> byPoint;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (lineNumber == 1) {
            if (line != kHeader) {
                problem = "line 1 is not the header \"" + std::string(kHeader) + "\"";
                return false;
            }
            continue;
        }
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string_view> parts = fields(line);
        long long result = 0;
        long long point = 0;
        double values[6] = {};
        bool valid = parts.size() == 8 && parseWholeNumber(parts[0], 1, 100000000, result) &&
                     parseWholeNumber(parts[2], 1, static_cast<long long>(MonitorPoints::maxPoints), point);
        const int valueField[6] = {1, 3, 4, 5, 6, 7};
        for (int i = 0; valid && i < 6; ++i) {
            valid = parseDecimal(parts[valueField[i]], values[i]) && fitsFloat(values[i]);
        }
        if (!valid) {
            problem = "line " + std::to_string(lineNumber) + " is not a monitor row: " + printableToken(line);
            return false;
        }
        MonitorSeries& record = byPoint[static_cast<int>(point)];
        if (!record.result.empty() && record.result.back() >= result) {
            problem = "line " + std::to_string(lineNumber) + ": result " + std::to_string(result) +
                      " of point " + std::to_string(point) + " comes after result " +
                      std::to_string(record.result.back());
            return false;
        }
        record.point = static_cast<int>(point);
        record.x = values[1];
        record.y = values[2];
        append(record, static_cast<int>(result), static_cast<float>(values[0]), static_cast<float>(values[3]),
               static_cast<float>(values[4]), static_cast<float>(values[5]));
    }
    if (lineNumber == 0) {
        problem = "the file is empty";
        return false;
    }
    for (auto& entry : byPoint) {
        series.push_back(std::move(entry.second));
    }
    return true;
}

bool readMonitorsCsv(const std::string& path, std::vector<MonitorSeries>& series, std::string& problem) {
    series.clear();
    std::string text;
    if (readRegularFile(path, maxMonitorsCsvBytes, text, problem) != FileReadStatus::ok) {
        return false;
    }
    if (!parseMonitorsCsv(text, series, problem)) {
        problem = path + ": " + problem;
        return false;
    }
    return true;
}

std::vector<MonitorSeries> seriesUpToResult(const std::vector<MonitorSeries>& series, int lastResult) {
    std::vector<MonitorSeries> cut = series;
    for (MonitorSeries& record : cut) {
        const std::size_t kept = static_cast<std::size_t>(
            std::upper_bound(record.result.begin(), record.result.end(), lastResult) - record.result.begin());
        record.result.resize(kept);
        record.time.resize(kept);
        record.depth.resize(kept);
        record.speed.resize(kept);
        record.flow.resize(kept);
    }
    return cut;
}
