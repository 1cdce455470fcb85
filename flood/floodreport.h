#pragma once

#include <string>
#include <vector>

#include "floodexposure.h"

class FloodSummary;

// The flood run's report, "report.html": its inputs and figures, the maximum depth and the hazard class
// over the shaded relief, the monitor points' gauges, the volume balance and the exposure of the places.
// False, with the reason in `problem`, when its maps cannot be drawn.
bool floodReportHtml(const FloodSummary& summary, const std::vector<PlaceExposure>& exposure,
                     std::string& html, std::string& problem);
