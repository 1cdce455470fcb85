// One step of the flood engine: breach injection, face fluxes with the outflow limiter, continuity,
// wet-dry settling. Every stage of a cell reads only what earlier stages wrote, never a value that a
// neighbour writes in the same stage, so the order in which the cells are visited does not change the
// result, and a terrain mirrored about the diagonal gives the mirrored flood. Sums over a neighbourhood
// are taken in pairs that the mirror only swaps, for the same reason.
#include <omp.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <iostream>

#include "cafloodnew.h"
#include "inversecuberoot.h"

namespace {

constexpr float kGravity = 9.8f;
constexpr float kDryDepth = 1e-5f;           // depths and speeds at or below it count as zero
constexpr float kExcessTolerance = 6000.0f;  // m^3 of water the grid may hold beyond the breach volume
constexpr float kTrimDepth = 5.0f;
constexpr float kTrimAmount = 0.5f;
constexpr float kTrimmedAreaPerStep = 12000.0f;  // m^2 of cells lowered per step: 6000 m^3 at most
constexpr float kSettleAfterSeconds = 10.0f;
constexpr float kFilmDepthSum = 1.0f;  // a film dries while its wet neighbours hold less than this
constexpr float kWettingDepth = 0.1f;
// A wet face neighbour gives a wetting cell kWettingDepth / (its wet face neighbours, at least 3), and
// it has at most four such cells around it: it needs this much water to give without running dry.
constexpr float kWettingDonorDepth = 4.0f * kWettingDepth / 3.0f;

enum SettleRule : std::uint8_t {
    kKeeps = 0,
    kDries = 1,  // a thin film hands its water to its wet neighbours
    kWets = 2,   // a dry cell amid water takes kWettingDepth from its wet face neighbours
};

// Whether the face between cell k and its east or south neighbour carries water this step: not when the
// face is dry, nor when a dry cell lies above the other's surface.
inline bool faceOpen(const FloodCell& k, const FloodCell& neighbour, float depthK, float depthNeighbour,
                     float depth) {
    return depth > kDryDepth && !(neighbour.ground > k.surfaceOld && depthNeighbour <= kDryDepth) &&
           !(k.ground > neighbour.surfaceOld && depthK <= kDryDepth);
}

// The new flux through an open face: the old flux braked by Manning friction and driven by the surface
// slope. `velocity` is the old flux over the face depth, `speed` the magnitude of the cell's velocity,
// `frictionScale` dt g n^2 and `slopeScale` dt g / dx.
inline float openFaceFlux(float flux, float velocity, float speed, float depth, float surfaceDrop,
                          float frictionScale, float slopeScale) {
    float friction = 0.0f;
    if (std::fabs(velocity) >= kDryDepth) {
        friction = frictionScale * velocity * speed * inverseCubeRoot(depth);
    }
    if (std::fabs(flux) < std::fabs(friction)) {
        friction = flux;
    }
    return flux - (friction - depth * surfaceDrop * slopeScale);
}

inline float outward(float flux) {
    return flux > 0.0f ? flux : 0.0f;
}

// Keeps cell k from giving more water than it holds: all the faces through which it gives water in
// this step (its east and south faces with a positive flux, its west and north faces with a negative
// one) are scaled by one factor. Each face has one giver, so each flux is scaled by one cell only, and
// a cell reads only the faces it gives through: the order of the cells does not matter.
inline void limitOutflow(const FloodCell& k, float& east, float& south, float& west, float& north, float dt,
                         float dx) {
    const float given = (outward(east) + outward(south)) + (outward(-west) + outward(-north));
    // The water the cell holds per metre of face.
    const float held = (k.surfaceOld - k.ground) * dx;
    if (given * dt > held) {
        const float factor = (held / dt) / given;
        east = east > 0.0f ? east * factor : east;
        south = south > 0.0f ? south * factor : south;
        west = west < 0.0f ? west * factor : west;
        north = north < 0.0f ? north * factor : north;
    }
}

inline float newDepth(const FloodCell& cell) {
    return cell.surfaceNew - cell.ground;
}

// The spacing of the floats around a water surface: the smallest depth the cell can gain or lose.
struct SurfaceQuantum {
    float size;     // a power of two
    float inverse;  // 1 / size, exact

    explicit SurfaceQuantum(float surface) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &surface, sizeof bits);
        // A float with exponent field e is a multiple of 2^(e - 150); below e = 24 take 2^-126.
        const std::uint32_t exponent = (bits >> 23) & 0xffu;
        const std::uint32_t sizeExponent = exponent > 24u ? exponent - 23u : 1u;
        const std::uint32_t sizeBits = sizeExponent << 23;
        const std::uint32_t inverseBits = (254u - sizeExponent) << 23;
        std::memcpy(&size, &sizeBits, sizeof size);
        std::memcpy(&inverse, &inverseBits, sizeof inverse);
    }
    SurfaceQuantum(const SurfaceQuantum& a, const SurfaceQuantum& b)
        : size(a.size > b.size ? a.size : b.size), inverse(a.size > b.size ? a.inverse : b.inverse) {}
};

// Water moves between two cells in whole numbers of the coarser quantum of their surfaces, so that both
// cells take the move exactly and their water together stays what it was (a float surface cannot
// gain or lose less than its quantum: smaller moves would vanish at one cell and arrive at the other).
// Cut toward zero, a move never exceeds what the limiter or a rule allowed.
inline float wholeQuanta(float depth, const SurfaceQuantum& quantum) {
    const float quanta = depth * quantum.inverse;
    if (!(std::fabs(quanta) < 8388608.0f)) {
        return depth;  // already a whole number of quanta
    }
    return static_cast<float>(static_cast<int>(quanta)) * quantum.size;
}

// An outbreak cell keeps no water, so what it lets into a cell only has to fit that cell's quantum; it
// is rounded to the nearest quantum, which over the steps neither loses nor adds water.
inline float nearestQuanta(float depth, const SurfaceQuantum& quantum) {
    const float quanta = depth * quantum.inverse;
    if (!(std::fabs(quanta) < 8388608.0f)) {
        return depth;
    }
    return static_cast<float>(static_cast<int>(quanta + (quanta < 0.0f ? -0.5f : 0.5f))) * quantum.size;
}

inline SurfaceQuantum quantumBetween(const FloodCell& a, const FloodCell& b) {
    return SurfaceQuantum(SurfaceQuantum(a.surfaceNew), SurfaceQuantum(b.surfaceNew));
}

// The eight neighbours of a cell: the four faces (E, S, W, N), then the corners paired with the corner
// the diagonal mirror swaps them with (NW and SE stay; SW and NE swap).
struct Neighbourhood {
    const FloodCell* east;
    const FloodCell* south;
    const FloodCell* west;
    const FloodCell* north;
    const FloodCell* northWest;
    const FloodCell* southEast;
    const FloodCell* southWest;
    const FloodCell* northEast;

    Neighbourhood(const FloodCell* above, const FloodCell* here, const FloodCell* below, int c)
        : east(here + c + 1),
          south(below + c),
          west(here + c - 1),
          north(above + c),
          northWest(above + c - 1),
          southEast(below + c + 1),
          southWest(below + c - 1),
          northEast(above + c + 1) {}
};

// Sum of eight values given in Neighbourhood order, in pairs that the diagonal mirror maps onto each
// other.
inline float mirrorSum(const float v[8]) {
    return ((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7]));
}

// The settling rule of cell k from the depths after continuity of its 3 x 3 neighbourhood; the water it
// moves is taken from or given to the neighbours, never made or deleted. Dries: after the first
// seconds, a wet cell with one or two wet neighbours holding less than kFilmDepthSum together hands its
// water to them in equal shares. Wets: a dry cell with at least seven wet neighbours takes
// kWettingDepth from its wet face neighbours in equal shares, where each of them has that water to give
// and keeps its surface above the cell's new one (a cell on a rim or an island above the water around
// it stays dry instead of being wetted and drained again at every step). Shares are whole quanta: a
// remainder too small to move stays where it is.
inline void decideSettling(FloodCell& k, const Neighbourhood& around, bool drying) {
    k.settleRule = kKeeps;
    k.settleShare = 0;
    const float own = newDepth(k);
    const FloodCell* const all[8] = {around.east,      around.south,     around.west,      around.north,
                                     around.northWest, around.southEast, around.southWest, around.northEast};
    if (own > 0.0f) {
        if (!drying) {
            return;
        }
        float depths[8];
        int wetNeighbours = 0;
        for (int i = 0; i < 8; ++i) {
            depths[i] = newDepth(*all[i]);
            if (depths[i] > 0.0f && ++wetNeighbours > 2) {
                return;
            }
        }
        if (wetNeighbours > 0 && mirrorSum(depths) < kFilmDepthSum) {
            k.settleRule = kDries;
            k.settleShare = static_cast<std::uint8_t>(wetNeighbours);
        }
        return;
    }
    // Wets with at least seven wet neighbours: decided at the second dry one.
    int dryNeighbours = 0;
    for (const FloodCell* neighbour : all) {
        if (!(newDepth(*neighbour) > 0.0f) && ++dryNeighbours > 1) {
            return;
        }
    }
    const float newSurface = k.ground + kWettingDepth;
    int donors = 0;
    for (int i = 0; i < 4; ++i) {
        const float depth = newDepth(*all[i]);
        if (depth > 0.0f) {
            if (depth < kWettingDonorDepth || all[i]->surfaceNew - kWettingDonorDepth < newSurface) {
                return;
            }
            ++donors;
        }
    }
    k.settleRule = kWets;
    k.settleShare = static_cast<std::uint8_t>(donors);
}

// What a drying `giver` hands to its wet neighbour `receiver`: an equal share of its depth.
inline float driedShare(const FloodCell& giver, const FloodCell& receiver) {
    return wholeQuanta(newDepth(giver) / static_cast<float>(giver.settleShare),
                       quantumBetween(giver, receiver));
}

inline float driedShareIfDrying(const FloodCell& giver, const FloodCell& receiver) {
    return giver.settleRule == kDries ? driedShare(giver, receiver) : 0.0f;
}

inline float driedShareIfWet(const FloodCell& giver, const FloodCell& receiver) {
    return newDepth(receiver) > 0.0f ? driedShare(giver, receiver) : 0.0f;
}

// What a wetting `taker` takes from its wet face neighbour `donor`.
inline float wettingShare(const FloodCell& taker, const FloodCell& donor) {
    return wholeQuanta(kWettingDepth / static_cast<float>(taker.settleShare), quantumBetween(taker, donor));
}

inline float wettingShareIfWetting(const FloodCell& taker, const FloodCell& donor) {
    return taker.settleRule == kWets ? wettingShare(taker, donor) : 0.0f;
}

inline float wettingShareIfWet(const FloodCell& taker, const FloodCell& donor) {
    return newDepth(donor) > 0.0f ? wettingShare(taker, donor) : 0.0f;
}

// How much the settling of its neighbourhood raises (or lowers) the surface of cell k: what dries into
// it or what it takes to get wet, less what it hands on.
inline float settlingChange(const FloodCell& k, const Neighbourhood& around) {
    if (k.settleRule == kWets) {
        return (wettingShareIfWet(k, *around.east) + wettingShareIfWet(k, *around.south)) +
               (wettingShareIfWet(k, *around.west) + wettingShareIfWet(k, *around.north));
    }
    if (!(newDepth(k) > 0.0f)) {
        return 0.0f;
    }
    const std::uint8_t nearby = around.east->settleRule | around.south->settleRule | around.west->settleRule |
                                around.north->settleRule | around.northWest->settleRule |
                                around.southEast->settleRule | around.southWest->settleRule |
                                around.northEast->settleRule;
    if ((nearby | k.settleRule) == kKeeps) {
        return 0.0f;
    }
    float received = 0.0f;
    if ((nearby & kDries) != 0) {
        const float shares[8] = {
            driedShareIfDrying(*around.east, k),      driedShareIfDrying(*around.south, k),
            driedShareIfDrying(*around.west, k),      driedShareIfDrying(*around.north, k),
            driedShareIfDrying(*around.northWest, k), driedShareIfDrying(*around.southEast, k),
            driedShareIfDrying(*around.southWest, k), driedShareIfDrying(*around.northEast, k)};
        received = mirrorSum(shares);
    }
    float given = 0.0f;
    if (k.settleRule == kDries) {
        const float shares[8] = {
            driedShareIfWet(k, *around.east),      driedShareIfWet(k, *around.south),
            driedShareIfWet(k, *around.west),      driedShareIfWet(k, *around.north),
            driedShareIfWet(k, *around.northWest), driedShareIfWet(k, *around.southEast),
            driedShareIfWet(k, *around.southWest), driedShareIfWet(k, *around.northEast)};
        given = mirrorSum(shares);
    } else if ((nearby & kWets) != 0) {
        given = (wettingShareIfWetting(*around.east, k) + wettingShareIfWetting(*around.south, k)) +
                (wettingShareIfWetting(*around.west, k) + wettingShareIfWetting(*around.north, k));
    }
    return received - given;
}

// Border, outbreak and no-data cells all have the no-data elevation as ground; no stage updates them.
constexpr float kNoData = 9999.0f;

// The grid and the figures of the step under way, the same for every thread.
struct StepGrid {
    FloodCell* const* rows;
    int lastColumn;  // the last column the stages update
    float dt;
    float dx;
    float depthPerFlux;  // dt / dx: the depth a face flux moves over the step
    float gravityStep;   // dt g
    float slopeScale;    // dt g / dx
    bool drying;
    double* rowDepthSums;  // per row, the depths after the step summed from west to east

    Neighbourhood around(int r, int c) const { return Neighbourhood(rows[r - 1], rows[r], rows[r + 1], c); }
};

// What one thread's share of the step adds up besides the row sums.
struct StepTally {
    int trimBudget = 0;  // cells the excess-volume trim may still lower
    double trimmed = 0.0;
    float deepest = 0.0f;
};

// Stage 1: the new east and south fluxes of cell k, before any outflow limit, and its speed. The
// velocities are the old fluxes over the face depths; an open face is braked by friction with the
// speed of both, while the speed of the cell counts the open faces only.
inline void computeFluxes(const StepGrid& grid, FloodCell& k, const FloodCell& e, const FloodCell& s,
                          float& east, float& south) {
    const float dK = k.surfaceOld - k.ground;
    const float dE = e.surfaceOld - e.ground;
    const float dS = s.surfaceOld - s.ground;
    const float hx = 0.5f * (dK + dE);
    const float hy = 0.5f * (dK + dS);
    const bool eastOpen = faceOpen(k, e, dK, dE, hx);
    const bool southOpen = faceOpen(k, s, dK, dS, hy);
    east = 0.0f;
    south = 0.0f;
    if (!eastOpen && !southOpen) {
        k.speed = 0.0f;
        return;
    }
    const float u = hx > kDryDepth ? k.fluxXOld / hx : 0.0f;
    const float v = hy > kDryDepth ? k.fluxYOld / hy : 0.0f;
    // u^2 + v^2 is the same float sum for both faces.
    const float speed = std::sqrt(u * u + v * v);
    const float frictionScale = grid.gravityStep * (k.manning * k.manning);
    if (eastOpen) {
        east = openFaceFlux(k.fluxXOld, u, speed, hx, k.surfaceOld - e.surfaceOld, frictionScale,
                            grid.slopeScale);
    }
    if (southOpen) {
        south = openFaceFlux(k.fluxYOld, v, speed, hy, k.surfaceOld - s.surfaceOld, frictionScale,
                             grid.slopeScale);
    }
    k.speed = eastOpen && southOpen ? speed : std::sqrt(eastOpen ? u * u : v * v);
}

// Stages 1 and 2 of cell (r, c) at once: its fluxes, then the limit on the faces it gives through (its
// west and north faces belong to the neighbours there, whose fluxes are already new).
inline void fluxesAndLimit(const StepGrid& grid, int r, int c) {
    FloodCell* const row = grid.rows[r];
    FloodCell& k = row[c];
    float east = 0.0f;
    float south = 0.0f;
    computeFluxes(grid, k, row[c + 1], grid.rows[r + 1][c], east, south);
    limitOutflow(k, east, south, row[c - 1].fluxXNew, grid.rows[r - 1][c].fluxYNew, grid.dt, grid.dx);
    k.fluxXNew = east;
    k.fluxYNew = south;
}

inline void fluxesOnly(const StepGrid& grid, int r, int c) {
    FloodCell* const row = grid.rows[r];
    FloodCell& k = row[c];
    computeFluxes(grid, k, row[c + 1], grid.rows[r + 1][c], k.fluxXNew, k.fluxYNew);
}

inline void limitOnly(const StepGrid& grid, int r, int c) {
    FloodCell* const row = grid.rows[r];
    FloodCell& k = row[c];
    limitOutflow(k, k.fluxXNew, k.fluxYNew, row[c - 1].fluxXNew, grid.rows[r - 1][c].fluxYNew, grid.dt,
                 grid.dx);
}

// Stage 3: the surface of cell (r, c) from the balance of its four faces. A face from an outbreak cell is
// counted in the receiving cell's quantum only: the outbreak cell keeps no water of its own.
inline void applyContinuity(const StepGrid& grid, int r, int c) {
    FloodCell& k = grid.rows[r][c];
    const float depthPerFlux = grid.depthPerFlux;
    const SurfaceQuantum own(k.surfaceOld);
    const auto across = [&](const FloodCell& other, float flux) {
        if (flux == 0.0f) {
            return 0.0f;
        }
        const float depth = flux * depthPerFlux;
        return other.source ? nearestQuanta(depth, own)
                            : wholeQuanta(depth, SurfaceQuantum(own, SurfaceQuantum(other.surfaceOld)));
    };
    const FloodCell& west = grid.rows[r][c - 1];
    const FloodCell& north = grid.rows[r - 1][c];
    const float fromWest = across(west, west.fluxXNew);
    const float fromNorth = across(north, north.fluxYNew);
    const float toEast = across(grid.rows[r][c + 1], k.fluxXNew);
    const float toSouth = across(grid.rows[r + 1][c], k.fluxYNew);
    k.surfaceNew = k.surfaceOld + ((fromWest - toEast) + (fromNorth - toSouth));
    if (k.ground >= k.surfaceNew) {
        k.surfaceNew = k.ground;
        k.wet = false;
    } else {
        k.wet = true;
    }
    k.fluxXOld = k.fluxXNew;
    k.fluxYOld = k.fluxYNew;
}

// Stage 5: the settled surface of cell (r, c) into surfaceOld (surfaceNew keeps what continuity left
// until its neighbours have settled too) and the excess-volume trim. Returns the cell's depth.
inline float settle(const StepGrid& grid, StepTally& tally, int r, int c) {
    FloodCell& k = grid.rows[r][c];
    const float change = settlingChange(k, grid.around(r, c));
    if (change == 0.0f) {
        k.surfaceOld = k.surfaceNew;
    } else {
        k.surfaceOld = k.surfaceNew + change;
        k.wet = k.surfaceOld > k.ground;
        if (!k.wet) {
            k.surfaceOld = k.ground;
        }
    }
    if (tally.trimBudget > 0 && k.surfaceOld - k.ground > kTrimDepth) {
        k.surfaceOld -= kTrimAmount;
        --tally.trimBudget;
        tally.trimmed += static_cast<double>(kTrimAmount) * grid.dx * grid.dx;
    }
    const float depth = k.surfaceOld - k.ground;
    tally.deepest = depth > tally.deepest ? depth : tally.deepest;
    return depth;
}

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

// Calls stage(c) for every cell of row r that the stages update.
template <typename StageOfCell>
inline void forRow(const StepGrid& grid, int r, StageOfCell stage) {
    const FloodCell* const row = grid.rows[r];
    for (int c = 1; c <= grid.lastColumn; ++c) {
        if (row[c].ground != kNoData) {
            stage(c);
        }
    }
}

// One pass over the rows of `rows`, each stage its lag behind the first, reading the grid from memory
// once.
void runStages(const StepGrid& grid, const StageRows& rows, StepTally& tally) {
    int begin = INT_MAX;
    int end = INT_MIN;
    for (int stage = 0; stage < kStageCount; ++stage) {
        if (rows.first[stage] <= rows.last[stage]) {
            begin = std::min(begin, rows.first[stage] + kStageLag[stage]);
            end = std::max(end, rows.last[stage] + kStageLag[stage]);
        }
    }
    for (int i = begin; i <= end; ++i) {
        const bool fluxes = rows.has(kFluxes, i);
        const bool limit = rows.has(kLimit, i);
        if (fluxes && limit) {
            forRow(grid, i, [&](int c) { fluxesAndLimit(grid, i, c); });
        } else if (fluxes) {
            forRow(grid, i, [&](int c) { fluxesOnly(grid, i, c); });
        } else if (limit) {
            forRow(grid, i, [&](int c) { limitOnly(grid, i, c); });
        }
        int r = i - kStageLag[kContinuity];
        if (rows.has(kContinuity, r)) {
            forRow(grid, r, [&](int c) { applyContinuity(grid, r, c); });
        }
        r = i - kStageLag[kDecide];
        if (rows.has(kDecide, r)) {
            forRow(grid, r, [&](int c) { decideSettling(grid.rows[r][c], grid.around(r, c), grid.drying); });
        }
        r = i - kStageLag[kSettle];
        if (rows.has(kSettle, r)) {
            double rowSum = 0.0;
            forRow(grid, r, [&](int c) { rowSum += settle(grid, tally, r, c); });
            grid.rowDepthSums[r] = rowSum;
        }
        r = i - kStageLag[kFinish];
        if (rows.has(kFinish, r)) {
            FloodCell* const row = grid.rows[r];
            forRow(grid, r, [&](int c) { row[c].surfaceNew = row[c].surfaceOld; });
        }
    }
}

// Several threads share a step in bands of rows. A band first runs every stage it can finish without
// the rows of the bands next to it; then the seam between two bands runs the stages left there: at the
// top of a band, the limit of its first row waits for the fluxes of the row above, and each later stage
// one row more; at the bottom, continuity of its last row waits for the limits of the band below, and
// each later stage one row more. A seam spans ten rows (below[s] and above[s] of each stage around the
// boundary) and reads one more on either side, so that seams of bands this high never meet.
constexpr int kWaitsAtTop[kStageCount] = {0, 1, 2, 3, 4, 5};
constexpr int kWaitsAtBottom[kStageCount] = {0, 0, 1, 2, 3, 4};
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

int CAFlood::threadCount() const {
    return threads > 0 ? threads : std::max(1, omp_get_num_procs());
}

int CAFlood::bandCount(int rowCount, bool overVolume) const {
    if (overVolume || rowCount < 2 * kMinBandRows) {
        return 1;
    }
    long long wanted = threadCount();
    if (threads == 0) {
        wanted = std::min(wanted, static_cast<long long>(rowCount) * ncols / kMinCellsPerChosenBand);
    }
    return static_cast<int>(std::max(1LL, std::min(wanted, static_cast<long long>(rowCount / kMinBandRows))));
}

void CAFlood::step() {
    // The step covers twice the time step: the clock, the fluxes, the continuity and the breach inflow
    // all use this one duration. The explicit scheme stays stable while a gravity wave needs at least
    // sqrt(2) steps to cross a cell, that is up to depths of (cellsize / timeStep)^2 / (8 g): 127 m with
    // the usual divisor of 100, far deeper than a breach flood runs; deeper water is reported.
    const float dt = 2.0f * timeStep;
    const float dx = cellsize;
    const float nextTime = time + dt;

    // The open outbreak faces share the water the hydrograph lets out over the step.
    const double inflow = updateOutflow(time, nextTime);
    const float faceFlux = openOutbreakFaces > 0
                               ? static_cast<float>(inflow / (static_cast<double>(dt) * dx *
                                                              static_cast<double>(openOutbreakFaces)))
                               : 0.0f;
    for (const OutbreakFaces& faces : outbreakFaces) {
        FloodCell& cell = cells[faces.row][faces.column];
        cell.fluxXOld = cell.fluxXNew = faces.east ? faceFlux : 0.0f;
        cell.fluxYOld = cell.fluxYNew = faces.south ? faceFlux : 0.0f;
    }

    const StepGrid grid{cells.data(),
                        ncols - 2,
                        dt,
                        dx,
                        dt / dx,
                        dt * kGravity,
                        dt * kGravity / dx,
                        time > kSettleAfterSeconds,
                        rowDepthSums.data()};
    const int firstRow = 1;
    const int lastRow = nrows - 2;
    const int rowCount = lastRow - firstRow + 1;
    // The excess-volume trim lowers the first deep cells in file order, so a step in which it may act
    // runs as one band.
    const bool overVolume = trackedVolume > breachVolume + kExcessTolerance;
    const int bands = bandCount(rowCount, overVolume);
    StepTally whole;
    whole.trimBudget = overVolume ? trimBudget : 0;
    if (bands == 1) {
        if (rowCount > 0) {
            runStages(grid, bandRows(firstRow, lastRow, false, false), whole);
        }
    } else {
        const auto bandFirst = [&](int band) { return firstRow + band * rowCount / bands; };
        float deepest = 0.0f;
#pragma omp parallel num_threads(bands) reduction(max : deepest)
        {
            StepTally tally;
#pragma omp for schedule(static)
            for (int band = 0; band < bands; ++band) {
                runStages(grid,
                          bandRows(bandFirst(band), bandFirst(band + 1) - 1, band > 0, band < bands - 1),
                          tally);
            }
#pragma omp for schedule(static)
            for (int seam = 0; seam < bands - 1; ++seam) {
                runStages(grid, seamRows(bandFirst(seam + 1) - 1), tally);
            }
            deepest = tally.deepest;
        }
        whole.deepest = deepest;
    }

    // The water on the grid, added row by row in file order whatever the bands. Summed in double: over
    // millions of cells a float sum would drift by more than the excess-volume tolerance.
    double depthSum = 0.0;
    for (int r = firstRow; r <= lastRow; ++r) {
        depthSum += rowDepthSums[r];
    }

    const float stableDepth = dx * dx / (2.0f * kGravity * dt * dt);
    if (whole.deepest > stableDepth && !deepWaterReported) {
        deepWaterReported = true;
        std::cerr << "flood: water " << whole.deepest << " m deep at " << nextTime << " s; steps of " << dt
                  << " s on cells of " << dx << " m stay stable only up to " << stableDepth
                  << " m, so the flood from here on may oscillate\n";
    }

    time = nextTime;
    gridVolume = depthSum * (static_cast<double>(dx) * dx);
    trimmed += whole.trimmed;
    trackedVolume = static_cast<float>(gridVolume + residualStorage);
    const float nextBudget = kTrimmedAreaPerStep / (dx * dx);
    trimBudget = nextBudget < static_cast<float>(INT_MAX) ? static_cast<int>(nextBudget) : INT_MAX;
}
