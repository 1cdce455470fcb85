#include "floodhazard.h"

int floodHazardClass(float depth, float speed) {
    if (!(depth > 0.0f)) {
        return 0;
    }
    struct Limits {
        double depth;  // m
        double speed;  // m/s
        double depthTimesSpeed;  // m^2/s
    };
    static constexpr Limits limits[] = {
        {0.3, 2.0, 0.3}, {0.5, 2.0, 0.6}, {1.2, 2.0, 0.6}, {2.0, 2.0, 1.0}, {4.0, 4.0, 4.0}};
    // Depths and speeds arrive as floats: a pair on a limit, such as 0.5 m at 1.2 m/s, must not fall
    // over it by the rounding of its product.
    constexpr double slack = 1e-6;
    const double d = depth;
    const double v = speed;
    for (int i = 0; i < 5; ++i) {
        if (d <= limits[i].depth + slack && v <= limits[i].speed + slack &&
            d * v <= limits[i].depthTimesSpeed + slack) {
            return i + 1;
        }
    }
    return 6;
}

const std::vector<RasterClass>& floodHazardClasses() {
    static const std::vector<RasterClass> classes = {
        {1, "H1 generally safe for people, vehicles and buildings", 0x4d, 0xac, 0x26},
        {2, "H2 unsafe for small vehicles", 0xb8, 0xe1, 0x86},
        {3, "H3 unsafe for vehicles, children and the elderly", 0xfe, 0xe0, 0x8b},
        {4, "H4 unsafe for people and vehicles", 0xfd, 0xae, 0x61},
        {5, "H5 unsafe for people and vehicles; buildings need special design", 0xe3, 0x4a, 0x33},
        {6, "H6 unsafe for people and vehicles; all buildings vulnerable", 0x99, 0x00, 0x0d}};
    return classes;
}
