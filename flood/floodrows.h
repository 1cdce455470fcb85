#pragma once

// The stages of the flood step as the engine's threads run them over bands of rows. One kernel does the
// work, built once for each instruction set it can use; all of them give the same flood, bit for bit.
#include <cstdint>

#include "cafloodnew.h"
#include "floodspans.h"

namespace floodrows {

// Border, outbreak and no-data cells all have this ground; no stage updates them.
constexpr float kNoDataGround = 9999.0f;

// The state the step works on: every field of the cells of a row that a step reads or changes in an
// array of its own, six floats, so that each stage is a loop along contiguous values. The grid's cells
// catch up from here when they are read. A cell's old and new fluxes are the same between steps
// (continuity makes the new ones old), so one array holds both; the flux stage keeps the old values of
// the rows around the one it replaces in rows of its own. Whether a cell is wet follows from its surface,
// whether it is an outbreak cell from its ground, and its speed from the fluxes and depths of its faces
// (see copyFieldsToCells).
enum FloatField { kGround, kManning, kSurfaceNew, kSurfaceOld, kFluxX, kFluxY, kFloatFields };

// Each row's arrays start a whole number of 64-byte lines apart, with at least one column to spare
// after the grid's: it holds the no-data ground, so that the faces of the last column close.
inline long long fieldStride(int columns) {
    return (static_cast<long long>(columns) + 16) / 16 * 16;
}

struct Fields {
    float* floats;  // field f of row r at floats + (r * kFloatFields + f) * stride
    long long stride;

    float* row(int r, FloatField field) const {
        return floats + (r * static_cast<long long>(kFloatFields) + field) * stride;
    }
};

// Copies `rows` rows of `columns` cells into the fields, and back from fields laid out as Fields: what a
// step changes, whether the cell is wet and how fast its water runs (`depthPerFlux`: dt / dx of the last
// step), and its depth into `depths` (rows of `columns`), over the columns `changed[r]` of each row r, on
// `threads` threads. Every other cell must have stayed at rest since it was last copied back: dry, its
// speed 0.
void copyCellsToFields(const FloodCell* const* cells, int rows, int columns, const Fields& fields);
void copyFieldsToCells(const float* floats, int rows, int columns, float depthPerFlux, const ColumnSpan* changed,
                       int threads, float* depths, FloodCell* const* cells);

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
    double* rowDepthSums;  // per row, the depths after the step in kRowSumLanes sums (see finish)
    const RowWork* rowWork;  // per row
    // Per row, written by the step: the columns it leaves not at rest (empty when all are).
    ColumnSpan* unsettled;
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
    // The fastest wave in a cell before the step: its fastest water plus a gravity wave in it, m/s.
    float fastestWave = 0.0f;
};

// The stages of a step. In one pass over the rows each stage runs this many rows behind the first, so
// that every stage finds the rows it reads complete and not yet changed by a later stage: the fluxes of
// row r read the surfaces of rows r - 1 to r + 2, the limit of row r scales the south faces of row r - 1,
// continuity of row r needs the limits of rows r - 1 to r + 1, and row r takes its new surface once
// continuity of rows r - 1 to r + 1 and the fluxes of rows r - 2 to r + 1 have read the old one.
enum Stage { kFluxes, kLimit, kContinuity, kFinish, kStageCount };
constexpr int kStageLag[kStageCount] = {0, 0, 1, 2};

// The rows each stage works on in one pass: stage s on rows first[s] to last[s].
struct StageRows {
    int first[kStageCount];
    int last[kStageCount];

    bool has(int stage, int row) const { return row >= first[stage] && row <= last[stage]; }
};

// One thread's room for what a pass works out per column: scratchFloats and scratchInts of the grid's
// columns. A band's pass also reads the old south fluxes of the rows just outside it, which the
// neighbouring bands replace while it runs: the step keeps them before the bands start, in
// `southFluxAbove` (the row above the band's first) and `southFluxBelow` (the row below its last); null
// where there is no band on that side and the grid's own row is read.
struct Scratch {
    float* floats;
    std::int32_t* ints;
    const float* southFluxAbove;
    const float* southFluxBelow;
};
constexpr int kScratchFloatRows = 7;
inline long long scratchFloats(int columns) {
    return kScratchFloatRows * fieldStride(columns);
}
inline long long scratchInts(int columns) {
    return fieldStride(columns);
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
