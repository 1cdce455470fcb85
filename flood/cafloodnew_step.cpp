// One step of the flood engine: breach injection, face fluxes with the outflow limiter, continuity,
// wet-dry settling. Every stage of a cell reads only what earlier stages wrote, never a value that a
// neighbour writes in the same stage, so the order in which the cells are visited does not change the
// result, and a terrain mirrored about the diagonal gives the mirrored flood. Sums over a neighbourhood
// are taken in pairs that the mirror only swaps, for the same reason.
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

// The new flux through the face between cell k and its east or south neighbour: zero when the face is
// dry or a dry cell lies above the other's surface; otherwise the old flux braked by Manning friction
// and driven by the surface slope. `depth` and `across` are the face depths along and across the flow,
// `fluxAcross` the old flux of k's other face; `velocity` receives the velocity along an evaluated face.
inline float faceFlux(const FloodCell& k, const FloodCell& neighbour, float depthK, float depthNeighbour,
                      float depth, float across, float flux, float fluxAcross, float roughnessSquared,
                      float dt, float dx, float& velocity) {
    if (depth <= kDryDepth || (neighbour.ground > k.surfaceOld && depthNeighbour <= kDryDepth) ||
        (k.ground > neighbour.surfaceOld && depthK <= kDryDepth)) {
        return 0.0f;
    }
    velocity = flux / depth;
    float friction = 0.0f;
    if (std::fabs(velocity) >= kDryDepth) {
        const float velocityAcross = across <= kDryDepth ? 0.0f : fluxAcross / across;
        // u^2 + v^2 is the same float sum whichever face is evaluated.
        friction = dt * kGravity * roughnessSquared * velocity *
                   std::sqrt(velocity * velocity + velocityAcross * velocityAcross) * inverseCubeRoot(depth);
    }
    if (std::fabs(flux) < std::fabs(friction)) {
        friction = flux;
    }
    return flux - (friction - depth * (k.surfaceOld - neighbour.surfaceOld) * (dt * kGravity / dx));
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

// The grid and the figures of the step under way.
struct Sweep {
    FloodCell* const* rows;
    float dt;
    float dx;
    float depthPerFlux;  // dt / dx: the depth a face flux moves over the step
    bool drying;
    bool overVolume;
    int budget;
    double depthSum;
    double trimmed;
    float deepest;

    Neighbourhood around(int r, int c) const { return Neighbourhood(rows[r - 1], rows[r], rows[r + 1], c); }
};

// Stage 1: the new east and south fluxes of cell (r, c), which limits the faces it gives through (its
// west and north faces belong to the neighbours there).
inline void computeFluxes(const Sweep& sweep, int r, int c) {
    FloodCell& k = sweep.rows[r][c];
    const FloodCell& e = sweep.rows[r][c + 1];
    const FloodCell& s = sweep.rows[r + 1][c];
    const float dt = sweep.dt;
    const float dx = sweep.dx;
    const float dK = k.surfaceOld - k.ground;
    const float dE = e.surfaceOld - e.ground;
    const float dS = s.surfaceOld - s.ground;
    const float hx = 0.5f * (dK + dE);
    const float hy = 0.5f * (dK + dS);
    // Velocities of the faces that are evaluated; a face closed without evaluation adds none. With both
    // faces dry neither is evaluated.
    float u = 0.0f;
    float v = 0.0f;
    float east = 0.0f;
    float south = 0.0f;
    if (hx > kDryDepth || hy > kDryDepth) {
        const float roughnessSquared = k.manning * k.manning;
        east = faceFlux(k, e, dK, dE, hx, hy, k.fluxXOld, k.fluxYOld, roughnessSquared, dt, dx, u);
        south = faceFlux(k, s, dK, dS, hy, hx, k.fluxYOld, k.fluxXOld, roughnessSquared, dt, dx, v);
    }
    limitOutflow(k, east, south, sweep.rows[r][c - 1].fluxXNew, sweep.rows[r - 1][c].fluxYNew, dt, dx);
    k.fluxXNew = east;
    k.fluxYNew = south;
    k.speed = std::sqrt(u * u + v * v);
}

// Stage 2: the surface of cell (r, c) from the balance of its four faces. A face from an outbreak cell is
// counted in the receiving cell's quantum only: the outbreak cell keeps no water of its own.
inline void applyContinuity(const Sweep& sweep, int r, int c) {
    FloodCell& k = sweep.rows[r][c];
    const float depthPerFlux = sweep.depthPerFlux;
    const SurfaceQuantum own(k.surfaceOld);
    const auto across = [&](const FloodCell& other, float flux) {
        if (flux == 0.0f) {
            return 0.0f;
        }
        const float depth = flux * depthPerFlux;
        return other.source ? nearestQuanta(depth, own)
                            : wholeQuanta(depth, SurfaceQuantum(own, SurfaceQuantum(other.surfaceOld)));
    };
    const FloodCell& west = sweep.rows[r][c - 1];
    const FloodCell& north = sweep.rows[r - 1][c];
    const float fromWest = across(west, west.fluxXNew);
    const float fromNorth = across(north, north.fluxYNew);
    const float toEast = across(sweep.rows[r][c + 1], k.fluxXNew);
    const float toSouth = across(sweep.rows[r + 1][c], k.fluxYNew);
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

// Stage 4: the settled surface of cell (r, c) into surfaceOld (surfaceNew keeps what continuity left
// until its neighbours have settled too), the excess-volume trim, and the cell's water in the sum.
inline void settle(Sweep& sweep, int r, int c) {
    FloodCell& k = sweep.rows[r][c];
    const float change = settlingChange(k, sweep.around(r, c));
    if (change == 0.0f) {
        k.surfaceOld = k.surfaceNew;
    } else {
        k.surfaceOld = k.surfaceNew + change;
        k.wet = k.surfaceOld > k.ground;
        if (!k.wet) {
            k.surfaceOld = k.ground;
        }
    }
    if (sweep.overVolume && sweep.budget > 0 && k.surfaceOld - k.ground > kTrimDepth) {
        k.surfaceOld -= kTrimAmount;
        --sweep.budget;
        sweep.trimmed += static_cast<double>(kTrimAmount) * sweep.dx * sweep.dx;
    }
    const float depth = k.surfaceOld - k.ground;
    sweep.depthSum += depth;
    sweep.deepest = depth > sweep.deepest ? depth : sweep.deepest;
}

}  // namespace

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

    // The five stages run in one pass over the rows, each a row behind the one before, so that every
    // stage finds the rows it reads complete and not yet changed by a later stage: continuity of row r
    // needs the fluxes of row r + 1, whose limiter scales the south faces of row r; the rules of row r
    // need the depths after continuity of rows r - 1 to r + 1; the settling of row r needs their rules;
    // and surfaceNew of row r takes the settled surface once row r + 1 has settled. The grid is read from
    // memory once per step. The water on the grid is summed in double: over millions of cells a float
    // sum would drift by more than the excess-volume tolerance.
    Sweep sweep{cells.data(),
                dt,
                dx,
                dt / dx,
                time > kSettleAfterSeconds,
                trackedVolume > breachVolume + kExcessTolerance,
                trimBudget,
                0.0,
                0.0,
                0.0f};
    const int lastRow = nrows - 2;
    const int lastColumn = ncols - 2;
    // Calls stage(c) for every interior cell of row r that the stages update.
    const auto forRow = [&](int r, auto stage) {
        if (r < 1 || r > lastRow) {
            return;
        }
        const FloodCell* const row = cells[r];
        for (int c = 1; c <= lastColumn; ++c) {
            if (row[c].ground != kNoData) {
                stage(c);
            }
        }
    };
    for (int r = 1; r <= lastRow + 4; ++r) {
        forRow(r, [&](int c) { computeFluxes(sweep, r, c); });
        forRow(r - 1, [&](int c) { applyContinuity(sweep, r - 1, c); });
        forRow(r - 2, [&](int c) { decideSettling(cells[r - 2][c], sweep.around(r - 2, c), sweep.drying); });
        forRow(r - 3, [&](int c) { settle(sweep, r - 3, c); });
        forRow(r - 4, [&](int c) { cells[r - 4][c].surfaceNew = cells[r - 4][c].surfaceOld; });
    }

    const float stableDepth = dx * dx / (2.0f * kGravity * dt * dt);
    if (sweep.deepest > stableDepth && !deepWaterReported) {
        deepWaterReported = true;
        std::cerr << "flood: water " << sweep.deepest << " m deep at " << nextTime << " s; steps of " << dt
                  << " s on cells of " << dx << " m stay stable only up to " << stableDepth
                  << " m, so the flood from here on may oscillate\n";
    }

    time = nextTime;
    gridVolume = sweep.depthSum * (static_cast<double>(dx) * dx);
    trimmed += sweep.trimmed;
    trackedVolume = static_cast<float>(gridVolume + residualStorage);
    const float nextBudget = kTrimmedAreaPerStep / (dx * dx);
    trimBudget = nextBudget < static_cast<float>(INT_MAX) ? static_cast<int>(nextBudget) : INT_MAX;
}
