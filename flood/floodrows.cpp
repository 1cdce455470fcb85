#include "floodrows.h"

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
                                             fields.row(r, kFluxX),      fields.row(r, kFluxY),
                                             fields.row(r, kSpeed)};
        std::uint8_t* const bytes[kByteFields] = {fields.row(r, kRule), fields.row(r, kShare)};
        for (int c = 0; c < columns; ++c) {
            const FloodCell& cell = row[c];
            floats[kGround][c] = cell.ground;
            floats[kManning][c] = cell.manning;
            floats[kSurfaceNew][c] = cell.surfaceNew;
            floats[kSurfaceOld][c] = cell.surfaceOld;
            floats[kFluxX][c] = cell.fluxXNew;
            floats[kFluxY][c] = cell.fluxYNew;
            floats[kSpeed][c] = cell.speed;
            bytes[kRule][c] = cell.settleRule;
            bytes[kShare][c] = cell.settleShare;
        }
    }
}

void copyFieldsToCells(const float* floats, const std::uint8_t* bytes, int rows, int columns,
                       FloodCell* const* cells) {
    const long long stride = fieldStride(columns);
    const auto floatRow = [&](int r, FloatField field) {
        return floats + (r * static_cast<long long>(kFloatFields) + field) * stride;
    };
    const auto byteRow = [&](int r, ByteField field) {
        return bytes + (r * static_cast<long long>(kByteFields) + field) * stride;
    };
    for (int r = 0; r < rows; ++r) {
        FloodCell* row = cells[r];
        const float* const from[kFloatFields] = {
            floatRow(r, kGround), floatRow(r, kManning), floatRow(r, kSurfaceNew), floatRow(r, kSurfaceOld),
            floatRow(r, kFluxX),  floatRow(r, kFluxY),   floatRow(r, kSpeed)};
        const std::uint8_t* const fromBytes[kByteFields] = {byteRow(r, kRule), byteRow(r, kShare)};
        for (int c = 0; c < columns; ++c) {
            FloodCell& cell = row[c];
            cell.settleRule = fromBytes[kRule][c];
            cell.settleShare = fromBytes[kShare][c];
            cell.surfaceNew = from[kSurfaceNew][c];
            cell.surfaceOld = from[kSurfaceOld][c];
            cell.fluxXNew = from[kFluxX][c];
            cell.fluxYNew = from[kFluxY][c];
            cell.fluxXOld = from[kFluxX][c];
            cell.fluxYOld = from[kFluxY][c];
            cell.speed = from[kSpeed][c];
            // A cell the step updates is wet while its surface is above its ground (continuity and the
            // settling leave it so); the others (border, outbreak and no-data cells, whose ground is the
            // no-data value) keep what they were given.
            if (cell.ground != kNoDataGround) {
                cell.wet = cell.surfaceOld > cell.ground;
            }
        }
    }
}

}  // namespace floodrows
