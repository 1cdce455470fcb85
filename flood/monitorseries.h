#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "floodsummary.h"

// The record of one monitor point over a run: depth, speed and flow at every result, in result order.
// The live run builds it from its summary's samples, the replay and the plotting program from the
// summary's "monitors.csv".
struct MonitorSeries {
    int point = 0;  // from 1, in the order of the monitor file
    double x = 0.0;
    double y = 0.0;
    std::vector<int> result;
    std::vector<float> time;   // simulated time, s
    std::vector<float> depth;  // m
    std::vector<float> speed;  // m/s
    std::vector<float> flow;   // m^2/s
};

// Largest "monitors.csv" read back: a thousand points over ten thousand results take about 700 MB, far
// beyond any run; a larger file is not one the program wrote.
constexpr std::size_t maxMonitorsCsvBytes = std::size_t(256) << 20;

// One series per point, in point order, from samples in result order.
std::vector<MonitorSeries> groupMonitorSamples(const std::vector<FloodSummary::MonitorSample>& samples);

// The series of a "monitors.csv" text (its header, then result, time, point, x, y, depth, speed and flow
// per row). A row that is not of that form, a point numbered outside 1 to MonitorPoints::maxPoints or
// results going backwards for a point leave `series` empty and return false, with the line in `problem`.
bool parseMonitorsCsv(std::string_view text, std::vector<MonitorSeries>& series, std::string& problem);
// The same for a file; a missing file is a problem too.
bool readMonitorsCsv(const std::string& path, std::vector<MonitorSeries>& series, std::string& problem);

// The series cut after result `lastResult`, for a replay that has shown that far.
std::vector<MonitorSeries> seriesUpToResult(const std::vector<MonitorSeries>& series, int lastResult);
