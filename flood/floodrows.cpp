#include "floodrows.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

bool floodInstructionSetAvailable(FloodInstructionSet set) {
#ifdef VANTOREL_FLOOD_WIDE_KERNELS
    __builtin_cpu_init();
    switch (set) {
        case FloodInstructionSet::Baseline:
            return true;
        case FloodInstructionSet::Avx2:
            return __builtin_cpu_supports("avx2");
        case FloodInstructionSet::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
    }
    return false;
#else
    return set == FloodInstructionSet::Baseline;
#endif
}

FloodInstructionSet widestFloodInstructionSet() {
    static const FloodInstructionSet widest =
        floodInstructionSetAvailable(FloodInstructionSet::Avx512) ? FloodInstructionSet::Avx512
        : floodInstructionSetAvailable(FloodInstructionSet::Avx2) ? FloodInstructionSet::Avx2
                                                                  : FloodInstructionSet::Baseline;
    return widest;
}

namespace floodrows {

RunStages kernel(FloodInstructionSet set) {
#ifdef VANTOREL_FLOOD_WIDE_KERNELS
    switch (set) {
        case FloodInstructionSet::Avx2:
            return runStagesAvx2;
        case FloodInstructionSet::Avx512:
            return runStagesAvx512;
        case FloodInstructionSet::Baseline:
            break;
    }
#else
    (void)set;
#endif
    return runStagesBaseline;
}

}  // namespace floodrows

namespace floodrows {

void copyCellsToFields(const FloodCell* const* cells, int rows, int columns, const Fields& fields) {
    for (int r = 0; r < rows; ++r) {
        const FloodCell* row = cells[r];
        float* const floats[kFloatFields] = {fields.row(r, kGround),     fields.row(r, kManning),
                                             fields.row(r, kSurfaceNew), fields.row(r, kSurfaceOld),
                                             fields.row(r, kFluxX),      fields.row(r, kFluxY)};
        for (int c = 0; c < columns; ++c) {
            const FloodCell& cell = row[c];
            floats[kGround][c] = cell.ground;
            floats[kManning][c] = cell.manning;
            floats[kSurfaceNew][c] = cell.surfaceNew;
            floats[kSurfaceOld][c] = cell.surfaceOld;
            floats[kFluxX][c] = cell.fluxXNew;
            floats[kFluxY][c] = cell.fluxYNew;
        }
        // The columns past the grid's are walls, as the border is.
        for (long long c = columns; c < fields.stride; ++c) {
            for (const FloatField field : {kGround, kSurfaceNew, kSurfaceOld}) {
                floats[field][c] = kNoDataGround;
            }
            floats[kManning][c] = 0.0f;
            floats[kFluxX][c] = 0.0f;
            floats[kFluxY][c] = 0.0f;
        }
    }
}

namespace {

// The depth of water over the face between two cells, as the step takes it: the higher surface above
// the higher ground.
float faceDepth(float groundA, float surfaceA, float groundB, float surfaceB) {
    return std::max(surfaceA, surfaceB) - std::max(groundA, groundB);
}

// The spacing of the floats above a water surface's size: the least depth a step can move into or out of
// it. A float of exponent field e is a multiple of 2^(e - 150); below e = 24 that power is subnormal, and
// no size has a spacing below 2^-149. Worked out from the bits: a call of nextafter for each face of
// every wet cell took a third of the work of bringing the cells up to date. The same as nextafter for
// every float.
float quantum(float surface) {
    const float size = std::fabs(surface);
    std::uint32_t bits;
    std::memcpy(&bits, &size, sizeof bits);
    const std::uint32_t exponent = bits >> 23;
    // Above the largest float lies infinity.
    const std::uint32_t spacing = bits == 0x7f7fffffu ? 0x7f800000u
                                  : exponent >= 24u   ? (exponent - 23u) << 23
                                  : exponent == 0u    ? 1u
                                                      : 1u << (exponent - 1u);
    float result;
    std::memcpy(&result, &spacing, sizeof result);
    return exponent == 255u ? size - size : result;
}

// The flux of a face between cells of surfaces `surfaceA` and `surfaceB` as far as it moved water in the
// last step: a step moves water in whole quanta of the coarser surface, and a flux too small to move one
// (a film on a slope high above sea level, the last slow swirl of a lake) moves none. Its water does not
// run, however large the flux left from earlier steps.
float movingFlux(float flux, float surfaceA, float surfaceB, float depthPerFlux) {
    return std::fabs(flux) * depthPerFlux < std::max(quantum(surfaceA), quantum(surfaceB)) ? 0.0f : flux;
}

// The mean velocity of those of two opposite faces that hold water, m/s.
float meanFaceVelocity(float fluxA, float depthA, float fluxB, float depthB) {
    constexpr float kDryDepth = 1e-5f;
    const bool openA = depthA > kDryDepth;
    const bool openB = depthB > kDryDepth;
    const float sum = (openA ? fluxA / depthA : 0.0f) + (openB ? fluxB / depthB : 0.0f);
    return openA && openB ? 0.5f * sum : sum;
}

}  // namespace

void copyFieldsToCells(const float* floats, int rows, int columns, float depthPerFlux, const ColumnSpan* changed,
                       int threads, float* depths, FloodCell* const* cells) {
    const long long stride = fieldStride(columns);
    const auto floatRow = [&](int r, FloatField field) {
        return floats + (r * static_cast<long long>(kFloatFields) + field) * stride;
    };
    // Each cell on its own: the threads share the rows in any way and give the same cells. The speed of a
    // cell: that of the mean velocity of its faces holding water, east-west and north-south, so that
    // water entering a cell at a front counts as fully as water running through it. A dry cell, and any
    // cell the step does not update, has none; nor has water that no longer moves. It is worked out from
    // the fields, which hold the cells' state beside the columns brought up to date as well, so that the
    // cells are written in one pass.
#pragma omp parallel for schedule(dynamic, 16) num_threads(threads)
    for (int r = 0; r < rows; ++r) {
        FloodCell* row = cells[r];
        float* depthRow = depths + static_cast<std::size_t>(r) * static_cast<std::size_t>(columns);
        const float* ground = floatRow(r, kGround);
        const float* surface = floatRow(r, kSurfaceOld);
        const float* surfaceNew = floatRow(r, kSurfaceNew);
        const float* fluxX = floatRow(r, kFluxX);
        const float* fluxY = floatRow(r, kFluxY);
        const bool inner = r > 0 && r < rows - 1;
        const float* northGround = inner ? floatRow(r - 1, kGround) : nullptr;
        const float* northSurface = inner ? floatRow(r - 1, kSurfaceOld) : nullptr;
        const float* northFluxY = inner ? floatRow(r - 1, kFluxY) : nullptr;
        const float* southGround = inner ? floatRow(r + 1, kGround) : nullptr;
        const float* southSurface = inner ? floatRow(r + 1, kSurfaceOld) : nullptr;
        for (int c = std::max(0, changed[r].first); c <= std::min(columns - 1, changed[r].last); ++c) {
            FloodCell& cell = row[c];
            depthRow[c] = surface[c] - cell.ground;
            cell.surfaceNew = surfaceNew[c];
            cell.surfaceOld = surface[c];
            cell.fluxXNew = fluxX[c];
            cell.fluxYNew = fluxY[c];
            cell.fluxXOld = fluxX[c];
            cell.fluxYOld = fluxY[c];
            // A cell the step updates is wet while its surface is above its ground; the others (border,
            // outbreak and no-data cells, whose ground is the no-data value) keep what they were given.
            const bool updated = cell.ground != kNoDataGround;
            if (updated) {
                cell.wet = cell.surfaceOld > cell.ground;
            }
            if (!inner || c < 1 || c > columns - 2) {
                continue;
            }
            if (!updated || !(cell.surfaceOld > cell.ground)) {
                cell.speed = updated ? 0.0f : cell.speed;
                continue;
            }
            const float u =
                meanFaceVelocity(movingFlux(fluxX[c - 1], surface[c - 1], surface[c], depthPerFlux),
                                 faceDepth(ground[c - 1], surface[c - 1], ground[c], surface[c]),
                                 movingFlux(fluxX[c], surface[c], surface[c + 1], depthPerFlux),
                                 faceDepth(ground[c], surface[c], ground[c + 1], surface[c + 1]));
            const float v =
                meanFaceVelocity(movingFlux(northFluxY[c], northSurface[c], surface[c], depthPerFlux),
                                 faceDepth(northGround[c], northSurface[c], ground[c], surface[c]),
                                 movingFlux(fluxY[c], surface[c], southSurface[c], depthPerFlux),
                                 faceDepth(ground[c], surface[c], southGround[c], southSurface[c]));
            cell.speed = std::sqrt(u * u + v * v);
        }
    }
}

}  // namespace floodrows
