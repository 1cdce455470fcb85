#pragma once

#include <vector>

#include "summarylayers.h"

// Flood hazard to people, vehicles and buildings from depth and speed together: the six depth-velocity
// classes of Australian Rainfall and Runoff (Smith et al. 2014).

// The class, 1 to 6, of water `depth` m deep flowing at `speed` m/s; 0 for a dry cell. A value on a
// class's limit belongs to that class.
int floodHazardClass(float depth, float speed);

// The six classes with the names and colours of the hazard map, from H1 to H6.
const std::vector<RasterClass>& floodHazardClasses();
