#pragma once

#include <cstdint>
#include <cstring>

// 1 / cbrt(x) for the positive depths of the flood's friction term, without the library's power
// function: a first guess from the float's bits (a third of its exponent), then three Newton steps
// y <- y (4 - x y^3) / 3, each of which about doubles the correct digits. From 1e-5 to 1e7 it is
// within 3 units in the last place of the exact value, as close as 1 / powf(x, 0.33333334f).
// Internal to each file that includes it: the flood step builds it for several instruction sets, and no
// build for a wider one may stand in for another's.
static inline float inverseCubeRoot(float x) {
    std::uint32_t bits = 0;
    __builtin_memcpy(&bits, &x, sizeof bits);
    bits = 0x54a23200u - bits / 3u;
    float y = 0.0f;
    __builtin_memcpy(&y, &bits, sizeof y);
    // Written out, so that a loop over cells calling it has no inner loop and can be vectorised.
    y = y * (1.3333334f - 0.33333334f * x * y * y * y);
    y = y * (1.3333334f - 0.33333334f * x * y * y * y);
    y = y * (1.3333334f - 0.33333334f * x * y * y * y);
    return y;
}
