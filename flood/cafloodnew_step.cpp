// One step of the flood engine: breach injection, then the stages of floodrows_kernel.h over bands of
// rows shared by the threads, and the step's sums.
#include <omp.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <iostream>

#include "cafloodnew.h"
#include "floodrows.h"

namespace {

using floodrows::kStageCount;
using floodrows::StageRows;
using floodrows::StepGrid;
using floodrows::StepTally;

constexpr float kGravity = 9.8f;
constexpr float kExcessTolerance = 6000.0f;      // m^3 of water the grid may hold beyond the breach volume
constexpr float kTrimmedAreaPerStep = 12000.0f;  // m^2 of cells lowered per step: 6000 m^3 at most
// The share of a cell a gravity wave may cross in one sub-step (from 0.6 on, waves on fast flow down steep
// ground grow into surges), and the most sub-steps one step is split into.
constexpr double kCourant = 0.5;
constexpr double kMostSubSteps = 1e6;
// A sub-step may span several steps, but never a multiple of this many: runs whose results fall on such
// multiples, as one every five steps and most result intervals do, step the grid alike whatever their
// interval, and give the same result at the same time.
constexpr long long kStepsPerSpan = 5;

// Several threads share a step in bands of rows. A band first runs every stage it can finish without
// the rows of the bands next to it; then the seam between two bands runs the stages left there. At the
// top of a band, the limit of its first row waits for the fluxes of the row above, continuity of its
// first two rows for the limits of the rows above, and the new surfaces of its first three rows for
// continuity of the rows around them. At the bottom, continuity of its last row waits for the limits of
// the band below, and the new surfaces of its last two rows for continuity of the rows around them and
// for the fluxes of the band below, which read the surfaces of the two rows above. The fluxes of a band
// read the old south fluxes of the rows next to it, which the step keeps before the bands start. A seam
// spans five rows around the boundary and reads one more on either side, so that seams of bands this
// high never meet.
constexpr int kWaitsAtTop[kStageCount] = {0, 1, 2, 3};
constexpr int kWaitsAtBottom[kStageCount] = {0, 0, 1, 2};
constexpr int kMinBandRows = 12;
// Left to choose, the step shares out only grids on which each thread gets at least this many cells:
// on smaller ones the threads spend more time waking and waiting for each other (on a busy machine, for
// whole time slices) than computing.
constexpr long long kMinCellsPerChosenBand = 1 << 16;

StageRows bandRows(int first, int last, bool bandAbove, bool bandBelow) {
    StageRows rows{};
    for (int stage = 0; stage < kStageCount; ++stage) {
        rows.first[stage] = first + (bandAbove ? kWaitsAtTop[stage] : 0);
        rows.last[stage] = last - (bandBelow ? kWaitsAtBottom[stage] : 0);
    }
    return rows;
}

// The seam below the band that ends with row `last`.
StageRows seamRows(int last) {
    StageRows rows{};
    for (int stage = 0; stage < kStageCount; ++stage) {
        rows.first[stage] = last + 1 - kWaitsAtBottom[stage];
        rows.last[stage] = last + kWaitsAtTop[stage];
    }
    return rows;
}

}  // namespace

namespace {

floodrows::Fields fieldsOf(std::vector<float>& floats, int columns) {
    return floodrows::Fields{floats.data(), floodrows::fieldStride(columns)};
}

}  // namespace

void CAFlood::fillFields() {
    const long long stride = floodrows::fieldStride(ncols);
    fieldFloats.assign(static_cast<std::size_t>(stride * nrows * floodrows::kFloatFields), 0.0f);
    floodrows::copyCellsToFields(cells.data(), nrows, ncols, fieldsOf(fieldFloats, ncols));
    depthStorage.resize(cellStorage.size());
    for (std::size_t i = 0; i < cellStorage.size(); ++i) {
        depthStorage[i] = cellStorage[i].surfaceOld - cellStorage[i].ground;
    }
    cellsBehind = false;
    // Nothing is at rest before the first step (the new surfaces are not yet on the ground): it works on
    // every inner cell and finds out where the water is.
    constexpr floodrows::ColumnSpan none{1, 0};
    unsettledColumns.assign(static_cast<std::size_t>(nrows), floodrows::ColumnSpan{1, ncols - 2});
    unsettledColumns.front() = none;
    unsettledColumns.back() = none;
    outbreakColumns.assign(static_cast<std::size_t>(nrows), none);
    for (const OutbreakFaces& faces : outbreakFaces) {
        floodrows::ColumnSpan& span = outbreakColumns[static_cast<std::size_t>(faces.row)];
        span = span.empty() ? floodrows::ColumnSpan{faces.column, faces.column}
                            : floodrows::ColumnSpan{std::min(span.first, faces.column),
                                                    std::max(span.last, faces.column)};
    }
    rowWork.assign(static_cast<std::size_t>(nrows), floodrows::RowWork{none, none});
    behindColumns.assign(static_cast<std::size_t>(nrows), none);
}

void CAFlood::catchUpCells() const {
    if (!cellsBehind) {
        return;
    }
    // The cells only show the state, so a const engine brings them up to date through the rows' pointers:
    // those the steps have worked on since, as the others stayed at rest.
    long long behind = 0;
    for (const floodrows::ColumnSpan& span : behindColumns) {
        behind += span.empty() ? 0 : span.last - span.first + 1;
    }
    floodrows::copyFieldsToCells(fieldFloats.data(), nrows, ncols, lastDepthPerFlux, behindColumns.data(),
                                 threadsFor(behind), depthStorage.data(), cells.data());
    std::fill(behindColumns.begin(), behindColumns.end(), floodrows::ColumnSpan{1, 0});
    cellsBehind = false;
}

bool CAFlood::setInstructionSet(FloodInstructionSet set) {
    if (!floodInstructionSetAvailable(set)) {
        return false;
    }
    stepInstructionSet = set;
    return true;
}

int CAFlood::threadCount() const {
    return threads > 0 ? threads : std::max(1, omp_get_num_procs());
}

int CAFlood::threadsFor(long long cells) const {
    if (threads > 0) {
        return threads;
    }
    return static_cast<int>(std::max(1LL, std::min<long long>(threadCount(), cells / kMinCellsPerChosenBand)));
}

int CAFlood::bandCount(int rowCount, long long workCells, bool overVolume) const {
    if (overVolume || rowCount < 2 * kMinBandRows) {
        return 1;
    }
    return std::max(1, std::min(threadsFor(workCells), rowCount / kMinBandRows));
}

namespace {

floodrows::ColumnSpan unite(floodrows::ColumnSpan a, floodrows::ColumnSpan b) {
    if (a.empty()) {
        return b;
    }
    if (b.empty()) {
        return a;
    }
    return floodrows::ColumnSpan{std::min(a.first, b.first), std::max(a.last, b.last)};
}

int width(floodrows::ColumnSpan span) {
    return span.empty() ? 0 : span.last - span.first + 1;
}

}  // namespace

long long CAFlood::planWork(int& firstRow, int& lastRow) {
    // A cell may change in a step only if it or a cell next to it (east, south, west or north) is not at
    // rest, or an outbreak cell feeds it (see floodspans.h): the work of a row spans the columns not at
    // rest in it and in the rows above and below, one column wider on either side.
    const int lastColumn = ncols - 2;
    const auto unsettled = [this](int r) {
        return unite(unsettledColumns[static_cast<std::size_t>(r)], outbreakColumns[static_cast<std::size_t>(r)]);
    };
    constexpr floodrows::ColumnSpan none{1, 0};
    long long cells = 0;
    firstRow = nrows;
    lastRow = -1;
    for (int r = 1; r + 1 < nrows; ++r) {
        floodrows::ColumnSpan span = unite(unite(unsettled(r - 1), unsettled(r)), unsettled(r + 1));
        if (!span.empty()) {
            span.first = std::max(1, span.first - 1);
            span.last = std::min(lastColumn, span.last + 1);
        }
        rowWork[static_cast<std::size_t>(r)].work = span.empty() ? none : span;
        cells += width(span);
        if (!span.empty()) {
            firstRow = std::min(firstRow, r);
            lastRow = r;
        }
    }
    // What the flux stage works out for the two rows below covers their work too.
    for (int r = 1; r + 1 < nrows; ++r) {
        floodrows::ColumnSpan carry = rowWork[static_cast<std::size_t>(r)].work;
        for (int below = r + 1; below <= std::min(r + 2, nrows - 2); ++below) {
            carry = unite(carry, rowWork[static_cast<std::size_t>(below)].work);
        }
        rowWork[static_cast<std::size_t>(r)].carry = carry;
    }
    return cells;
}

void CAFlood::shareRows(int firstRow, int lastRow, int bands) {
    // A row costs its work and a little more for the row itself.
    constexpr long long kRowCost = 16;
    long long total = 0;
    for (int r = firstRow; r <= lastRow; ++r) {
        total += width(rowWork[static_cast<std::size_t>(r)].work) + kRowCost;
    }
    bandStarts.assign(static_cast<std::size_t>(bands + 1), lastRow + 1);
    bandStarts[0] = firstRow;
    long long done = 0;
    int band = 1;
    for (int r = firstRow; r <= lastRow && band < bands; ++r) {
        done += width(rowWork[static_cast<std::size_t>(r)].work) + kRowCost;
        while (band < bands && done * bands >= total * band) {
            bandStarts[static_cast<std::size_t>(band++)] = r + 1;
        }
    }
    // Every band at least kMinBandRows high, so that the seams between them never meet.
    for (band = 1; band < bands; ++band) {
        int& start = bandStarts[static_cast<std::size_t>(band)];
        start = std::max(start, bandStarts[static_cast<std::size_t>(band - 1)] + kMinBandRows);
        start = std::min(start, lastRow + 1 - (bands - band) * kMinBandRows);
    }
}

void CAFlood::advance(int steps) {
    // The clock ends on a whole step, so that results keep their times. Between, no gravity wave carried
    // by the fastest water may cross more than kCourant of a cell in one sub-step: each span of steps is
    // taken in equal sub-steps as long as the water of the last one allows, shorter than a step where it
    // is deep or fast and longer where it is shallow and slow. Before any water moves (the breach's first
    // inflow), one step at a time.
    const long long target = stepsTaken + std::max(steps, 0);
    while (stepsTaken < target) {
        const long long spanSteps = std::min(target - stepsTaken, kStepsPerSpan - stepsTaken % kStepsPerSpan);
        const double end = static_cast<double>(stepsTaken + spanSteps) * secondsPerStep;
        double subStart = time;
        while (subStart < end) {
            const double rest = end - subStart;
            // The deepest water after the last sub-step as well: where the breach's inflow deepens a cell
            // within a sub-step, its wave is faster than it was as the sub-step began.
            const double wave = std::max(static_cast<double>(fastestWave),
                                         std::sqrt(static_cast<double>(kGravity) * deepestWater));
            const double stable = wave > 0.0 ? kCourant * cellsize / wave : secondsPerStep;
            const double longest = std::min(rest, std::max(stable, secondsPerStep / kMostSubSteps));
            const double pieces = std::ceil(rest / longest);
            const double subEnd = pieces > 1.0 ? subStart + rest / pieces : end;
            subStep(subStart, subEnd);
            ++subStepsTaken;
            subStart = subEnd;
        }
        cellsBehind = true;
        time = end;
        stepsTaken += spanSteps;
    }
}

void CAFlood::advanceUntil(double seconds) {
    if (!(secondsPerStep > 0.0) || !(seconds - 0.5 * secondsPerStep > time)) {
        return;
    }
    // The clock after n more steps is (stepsTaken + n) times a step, computed as advance computes it.
    const double wanted = seconds - 0.5 * secondsPerStep;
    const double estimate = std::ceil(wanted / secondsPerStep) - static_cast<double>(stepsTaken);
    long long steps = static_cast<long long>(std::clamp(estimate, 1.0, static_cast<double>(INT_MAX)));
    while (steps > 1 && static_cast<double>(stepsTaken + steps - 1) * secondsPerStep >= wanted) {
        --steps;
    }
    while (steps < INT_MAX && static_cast<double>(stepsTaken + steps) * secondsPerStep < wanted) {
        ++steps;
    }
    advance(static_cast<int>(steps));
}

void CAFlood::subStep(double from, double until) {
    const float dt = static_cast<float>(until - from);
    const float dx = cellsize;
    lastDepthPerFlux = dt / dx;

    // The open outbreak faces share the water the hydrograph lets out over the step.
    const double inflow = updateOutflow(from, until);
    const float faceFlux = openOutbreakFaces > 0
                               ? static_cast<float>(inflow / (static_cast<double>(dt) * dx *
                                                              static_cast<double>(openOutbreakFaces)))
                               : 0.0f;
    const floodrows::Fields fields = fieldsOf(fieldFloats, ncols);
    for (const OutbreakFaces& faces : outbreakFaces) {
        const int c = faces.column;
        fields.row(faces.row, floodrows::kFluxX)[c] = faces.east ? faceFlux : 0.0f;
        fields.row(faces.row, floodrows::kFluxY)[c] = faces.south ? faceFlux : 0.0f;
    }

    const StepGrid grid{fields,
                        nrows,
                        ncols,
                        ncols - 2,
                        dt,
                        dx,
                        dt / dx,
                        dt * kGravity,
                        dt * kGravity / dx,
                        rowDepthSums.data(),
                        rowWork.data(),
                        unsettledColumns.data()};
    int firstRow = 1;
    int lastRow = 0;
    const long long workCells = planWork(firstRow, lastRow);
    for (int r = 0; r < nrows; ++r) {
        floodrows::ColumnSpan& behind = behindColumns[static_cast<std::size_t>(r)];
        behind = unite(unite(behind, rowWork[static_cast<std::size_t>(r)].work),
                       outbreakColumns[static_cast<std::size_t>(r)]);
    }
    const long long innerCells = static_cast<long long>(std::max(0, nrows - 2)) * std::max(0, ncols - 2);
    workShare = innerCells > 0 ? static_cast<double>(workCells) / static_cast<double>(innerCells) : 0.0;
    const int rowCount = std::max(0, lastRow - firstRow + 1);
    // The excess-volume trim lowers the first deep cells in file order, so a step in which it may act
    // runs as one band.
    const bool overVolume = trackedVolume > breachVolume + kExcessTolerance;
    const int bands = bandCount(rowCount, workCells, overVolume);
    shareRows(firstRow, lastRow, bands);
    const floodrows::RunStages runStages = floodrows::kernel(stepInstructionSet);
    const long long floatsPerBand = floodrows::scratchFloats(ncols);
    const long long intsPerBand = floodrows::scratchInts(ncols);
    if (bandScratchFloats.size() < static_cast<std::size_t>(bands * floatsPerBand)) {
        bandScratchFloats.resize(static_cast<std::size_t>(bands * floatsPerBand));
        bandScratchInts.resize(static_cast<std::size_t>(bands * intsPerBand));
    }
    const long long stride = floodrows::fieldStride(ncols);
    const auto bandFirst = [&](int band) { return bandStarts[static_cast<std::size_t>(band)]; };
    // The old south fluxes of the two rows at each boundary between bands, which the band on either side
    // reads and the band it belongs to replaces.
    bandEdgeSouthFluxes.resize(static_cast<std::size_t>(2 * (bands - 1) * stride));
    for (int band = 1; band < bands; ++band) {
        for (int side = 0; side < 2; ++side) {
            const float* from = fields.row(bandFirst(band) - 1 + side, floodrows::kFluxY);
            std::copy(from, from + stride, bandEdgeSouthFluxes.data() + (2 * (band - 1) + side) * stride);
        }
    }
    const auto scratch = [&](int band) {
        const float* edges = bandEdgeSouthFluxes.data();
        return floodrows::Scratch{bandScratchFloats.data() + band * floatsPerBand,
                                  bandScratchInts.data() + band * intsPerBand,
                                  band > 0 ? edges + 2 * (band - 1) * stride : nullptr,
                                  band < bands - 1 ? edges + (2 * band + 1) * stride : nullptr};
    };
    StepTally whole;
    whole.trimBudget = overVolume ? trimBudget : 0;
    if (bands == 1) {
        if (rowCount > 0) {
            runStages(grid, bandRows(firstRow, lastRow, false, false), whole, scratch(0));
        }
    } else {
        float deepest = 0.0f;
        float fastest = 0.0f;
#pragma omp parallel num_threads(bands) reduction(max : deepest, fastest)
        {
            StepTally tally;
#pragma omp for schedule(static)
            for (int band = 0; band < bands; ++band) {
                runStages(grid,
                          bandRows(bandFirst(band), bandFirst(band + 1) - 1, band > 0, band < bands - 1),
                          tally, scratch(band));
            }
#pragma omp for schedule(static)
            for (int seam = 0; seam < bands - 1; ++seam) {
                runStages(grid, seamRows(bandFirst(seam + 1) - 1), tally,
                          floodrows::Scratch{scratch(seam).floats, scratch(seam).ints, nullptr, nullptr});
            }
            deepest = tally.deepest;
            fastest = tally.fastestWave;
        }
        whole.deepest = deepest;
        whole.fastestWave = fastest;
    }

    // The water on the grid, added row by row in file order whatever the bands (a row without work holds
    // none).
    double depthSum = 0.0;
    for (int r = 1; r + 1 < nrows; ++r) {
        depthSum += rowDepthSums[r];
    }

    deepestWater = whole.deepest;
    fastestWave = whole.fastestWave;
    gridVolume = depthSum * (static_cast<double>(dx) * dx);
    trimmed += whole.trimmed;
    trackedVolume = static_cast<float>(gridVolume + residualStorage);
    const float nextBudget = kTrimmedAreaPerStep / (dx * dx);
    trimBudget = nextBudget < static_cast<float>(INT_MAX) ? static_cast<int>(nextBudget) : INT_MAX;
}
