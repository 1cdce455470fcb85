#pragma once

// One cell of the landslide centreline: grid position in the mosaicked DEM and ground elevation there.
struct Point {
    int row = 0;
    int col = 0;
    double elevation = 0.0;
};
