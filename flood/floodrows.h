#pragma once

// The stages of the flood step as the engine's threads run them over bands of rows. One kernel does the
// work, built once for each instruction set it can use; all of them give the same flood, bit for bit.
#include <cstdint>

#include "cafloodnew.h"

namespace floodrows {

// Border, outbreak and no-data cells all have this ground; no stage updates them.
constexpr float kNoDataGround = 9999.0f;

// The state the step works on: every field of the cells of a row that a step reads or changes in an
// array of its own, seven floats and the settling rule and share as bytes, so that each stage is a loop
// along contiguous values. The grid's cells catch up from here when they are read. A cell's old and new
// fluxes are the same between steps (continuity makes the new ones old), so one array holds both: the
// fluxes of a cell are only ever read as old by the cell itself, before it replaces them. Whether a cell
// is wet follows from its surface, and whether it is an outbreak cell from its ground (see
// copyFieldsToCells and applyContinuity).
enum FloatField { kGround, kManning, kSurfaceNew, kSurfaceOld, kFluxX, kFluxY, kSpeed, kFloatFields };
enum ByteField { kRule, kShare, kByteFields };

// Each row's arrays start a whole number of 64-byte lines apart.
inline long long fieldStride(int columns) {
    return (static_cast<long long>(columns) + 15) / 16 * 16;
}

struct Fields {
    float* floats;        // field f of row r at floats + (r * kFloatFields + f) * stride
    std::uint8_t* bytes;  // field f of row r at bytes + (r * kByteFields + f) * stride
    long long stride;

    float* row(int r, FloatField field) const {
        return floats + (r * static_cast<long long>(kFloatFields) + field) * stride;
    }
    std::uint8_t* row(int r, ByteField field) const {
        return bytes + (r * static_cast<long long>(kByteFields) + field) * stride;
    }
};

// Copies `rows` rows of `columns` cells into the fields, and back from fields laid out as Fields: what a
// step changes, and whether the cell is wet.
void copyCellsToFields(const FloodCell* const* cells, int rows, int columns, const Fields& fields);
void copyFieldsToCells(const float* floats, const std::uint8_t* bytes, int rows, int columns,
                       FloodCell* const* cells);

// The grid and the figures of the step under way, the same for every thread.
struct StepGrid {
    Fields fields;
    int rows;
    int columns;
    int lastColumn;  // the last column the stages update
    float dt;
    float dx;
    float depthPerFlux;  // dt / dx: the depth a face flux moves over the step
    float gravityStep;   // dt g
    float slopeScale;    // dt g / dx
    bool drying;
    double* rowDepthSums;  // per row, the depths after the step in kRowSumLanes sums (see settle)
};

// A row's water adds up in this many sums, column c in sum (c - 1) % kRowSumLanes, added in pairs at
// the end: ((0 + 1) + (2 + 3)) + ((4 + 5) + (6 + 7)). Summed in double: over millions of cells a float
// sum would drift by more than the excess-volume tolerance.
constexpr int kRowSumLanes = 8;

// What one thread's share of the step adds up besides the row sums.
struct StepTally {
    int trimBudget = 0;  // cells the excess-volume trim may still lower
    double trimmed = 0.0;
    float deepest = 0.0f;
};

// The stages of a step. A stage on row r needs the stage before it done on rows r - 1 to r + 1, so in
// one pass over the rows each stage runs this many rows behind the first, and every stage finds the rows
// it reads complete and not yet changed by a later stage: the limit of row r scales the south faces of
// row r - 1, continuity of row r needs the limits of rows r - 1 to r + 1, the rules of row r the depths
// after continuity of rows r - 1 to r + 1, the settling of row r their rules, and surfaceNew of row r
// takes the settled surface once rows r - 1 to r + 1 have settled.
enum Stage { kFluxes, kLimit, kContinuity, kDecide, kSettle, kFinish, kStageCount };
constexpr int kStageLag[kStageCount] = {0, 0, 1, 2, 3, 4};

// The rows each stage works on in one pass: stage s on rows first[s] to last[s].
struct StageRows {
    int first[kStageCount];
    int last[kStageCount];

    bool has(int stage, int row) const { return row >= first[stage] && row <= last[stage]; }
};

// One thread's room for what a pass works out per column: scratchFloats and scratchInts of the grid's
// columns.
struct Scratch {
    float* floats;
    std::int32_t* ints;
};
inline long long scratchFloats(int columns) {
    return fieldStride(columns);
}
inline long long scratchInts(int columns) {
    return 2 * fieldStride(columns);
}

// Runs the stages of `rows` in one pass.
using RunStages = void (*)(const StepGrid& grid, const StageRows& rows, StepTally& tally, Scratch scratch);

// The kernel built for `set`, which the processor must run.
RunStages kernel(FloodInstructionSet set);

// The kernel built for each set; only call one the processor runs.
void runStagesBaseline(const StepGrid& grid, const StageRows& rows, StepTally& tally, Scratch scratch);
void runStagesAvx2(const StepGrid& grid, const StageRows& rows, StepTally& tally, Scratch scratch);
void runStagesAvx512(const StepGrid& grid, const StageRows& rows, StepTally& tally, Scratch scratch);

}  // namespace floodrows
