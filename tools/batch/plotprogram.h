#pragma once

#include <string>

// Draws the monitor plots of a summary folder with vantorel-plot, the program beside this one (the batch
// command links no widget library, and charts need one). False, with the reason in `problem`, when the
// program is missing, does not start or fails.
bool drawMonitorPlots(const std::string& summaryFolder, std::string& problem);
