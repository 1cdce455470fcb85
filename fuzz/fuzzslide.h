#pragma once

#include "landslidetestdata.h"

// The slide whose rasters the landslide fuzz target reads, small enough for thousands of runs a second:
// 40 x 20 cells, a centreline of 30 points.
inline SlideDesign fuzzSlideDesign() {
    SlideDesign design;
    design.width = 40;
    design.height = 20;
    design.pathHalfWidth = 2;
    design.firstColumn = 5;
    design.lastColumn = 34;
    design.bodyColumns = 5;
    design.depositColumns = 8;
    return design;
}
