// vantorel-plot: draws the monitor points of a flood run's summary folder as PNG files. It stands apart
// from vantorel-batch, which links no widget library, and the charts need one.
#include <QApplication>
#include <iostream>

#include "monitorcharts.h"

namespace {

const char* const usage =
    "usage: vantorel-plot SUMMARY_DIR\n"
    "\n"
    "Reads SUMMARY_DIR/monitors.csv, written by a flood run with monitor points, and writes\n"
    "SUMMARY_DIR/monitor_N.png for every point N: its depth, speed and flow against time.\n"
    "Needs no display.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::cout << usage;
        return argc == 2 ? 0 : 2;
    }
    // Charts are drawn into images, so no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const std::string folder = argv[1];
    std::vector<MonitorSeries> series;
    std::string problem;
    if (!readMonitorsCsv(folder + "/monitors.csv", series, problem)) {
        std::cerr << "vantorel-plot: " << problem << "\n";
        return 1;
    }
    if (!writeMonitorPlots(series, folder, problem)) {
        std::cerr << "vantorel-plot: " << problem << "\n";
        return 1;
    }
    std::cout << "plotted " << series.size() << " monitor points in " << folder << "\n";
    return 0;
}
