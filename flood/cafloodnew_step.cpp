// One step of the flood engine: breach injection, flux sweep and continuity sweep. The order of the
// sweeps, of the cells within them and of the single-precision operations decides the numbers; the
// shortcuts below only skip work whose outcome is already known, never reorder or regroup arithmetic.
#include <algorithm>
#include <climits>
#include <cmath>

#include "cafloodnew.h"

namespace {

constexpr float kGravity = 9.8f;
constexpr float kDryDepth = 1e-5f;  // depths and speeds at or below it count as zero
constexpr float kFrictionExponent = 0.33333334f;
constexpr float kExcessTolerance = 6000.0f;  // m^3 of water the grid may hold beyond the breach volume
constexpr float kTrimDepth = 5.0f;
constexpr float kTrimAmount = 0.5f;
constexpr float kTrimmedAreaPerStep = 12000.0f;  // m^2 of cells lowered per step: 6000 m^3 at most
constexpr float kSettleAfterSeconds = 10.0f;

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
                   std::sqrt(velocity * velocity + velocityAcross * velocityAcross) /
                   std::pow(depth, kFrictionExponent);
    }
    if (std::fabs(flux) < std::fabs(friction)) {
        friction = flux;
    }
    return flux - (friction - dt * kGravity * depth * (k.surfaceOld - neighbour.surfaceOld) / dx);
}

// Keeps cell k from sending out more water than it holds: first through its own east and south faces
// (their new fluxes `east` and `south`), then through the west and north faces, whose fluxes belong to
// its west and north neighbours.
inline void limitOutflow(const FloodCell& k, float& east, float& south, FloodCell& west, FloodCell& north,
                         float dt, float dx) {
    // The water the cell holds per metre of face.
    const float held = (k.surfaceOld - k.ground) * dx;

    const float outward = south + east;
    if (outward * dt > held) {
        const float allowed = held / dt;
        south *= allowed / outward;
        east *= allowed / outward;
    }
    // West and north faces: negative when they carry water out of the cell.
    const float inward = west.fluxXNew + north.fluxYNew;
    if (-inward * dt > held) {
        const float allowed = held / dt;
        north.fluxYNew *= allowed / -inward;
        west.fluxXNew *= allowed / -inward;
    }
}

inline float newDepth(const FloodCell& cell) {
    return cell.surfaceNew - cell.ground;
}

// Wet-dry settling of the cell at column c of row `here`: a thin film with hardly any wet neighbour
// dries (once `drying` holds, after the first seconds), a dry cell among wet ones gets wet. Neighbours
// are read in the order E, S, W, N, NW, SW, NE, SE, with their latest new surface; the counting stops
// as soon as the rule that can apply is decided, and the depth sum, which runs in that order, is only
// used when all eight were read.
inline void settleWetDry(FloodCell* here, const FloodCell* above, const FloodCell* below, int c,
                         bool drying) {
    FloodCell& k = here[c];
    const float own = newDepth(k);
    const FloodCell* const east = here + c + 1;
    const FloodCell* const west = here + c - 1;
    const FloodCell* const south = below + c;
    const FloodCell* const north = above + c;
    if (own == 0.0f) {
        // Wets with at least seven wet neighbours: decided at the second dry one.
        const FloodCell* const neighbours[8] = {east,      south,     west,      north,
                                                north - 1, south - 1, north + 1, south + 1};
        int dryNeighbours = 0;
        for (const FloodCell* neighbour : neighbours) {
            if (!(newDepth(*neighbour) > 0.0f) && ++dryNeighbours > 1) {
                return;
            }
        }
        k.surfaceNew = k.ground + 0.1f;
        k.wet = true;
    } else if (drying && own > 0.0f) {
        // Dries with at most two wet neighbours holding less than 1 m together: decided at the third.
        const FloodCell* const neighbours[8] = {east,      south,     west,      north,
                                                north - 1, south - 1, north + 1, south + 1};
        int wetNeighbours = 0;
        float depthSum = 0.0f;
        for (const FloodCell* neighbour : neighbours) {
            const float depth = newDepth(*neighbour);
            if (depth > 0.0f && ++wetNeighbours > 2) {
                return;
            }
            depthSum += depth;
        }
        if (depthSum < 1.0f) {
            k.surfaceNew = k.ground;
            k.wet = false;
        }
    }
}

// Lowers a deep cell by the trim amount while the step's budget lasts.
inline void trimExcess(FloodCell& k, int& budget) {
    if (k.surfaceNew - k.ground > kTrimDepth) {
        k.surfaceNew -= kTrimAmount;
        --budget;
    }
}

// An entry of `validCells`: (column, row).
using ValidCell = std::pair<int, int>;

// What both sweeps need of the grid and the step.
struct Sweep {
    FloodCell* const* rows;
    int lastColumn;
    float dt;
    float dx;
    // Continuity only.
    bool overVolume;
    bool drying;
    int budget;
    double depthSum;
};

// Flux sweep over one row: the east and south face of every interior cell that is not an outbreak cell.
void sweepFluxes(Sweep& sweep, const ValidCell* begin, const ValidCell* end) {
    const int row = begin->second;
    FloodCell* const above = sweep.rows[row - 1];
    FloodCell* const here = sweep.rows[row];
    const FloodCell* const below = sweep.rows[row + 1];
    const float dt = sweep.dt;
    const float dx = sweep.dx;
    for (const ValidCell* entry = begin; entry != end; ++entry) {
        const int c = entry->first;
        if (c == 0 || c == sweep.lastColumn) {
            continue;
        }
        FloodCell& k = here[c];
        if (k.source) {
            continue;
        }
        const FloodCell& e = here[c + 1];
        const FloodCell& s = below[c];
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
        limitOutflow(k, east, south, here[c - 1], above[c], dt, dx);
        k.fluxXNew = east;
        k.fluxYNew = south;
        k.speed = std::sqrt(u * u + v * v);
        k.fluxXOld = east;
        k.fluxYOld = south;
    }
}

// Continuity sweep over one row: new surfaces from the balance of the four faces, wet-dry settling,
// the excess-volume trim, and the water of the row added to the depth sum.
void sweepContinuity(Sweep& sweep, const ValidCell* begin, const ValidCell* end) {
    const int row = begin->second;
    const FloodCell* const above = sweep.rows[row - 1];
    FloodCell* const here = sweep.rows[row];
    const FloodCell* const below = sweep.rows[row + 1];
    const float dt = sweep.dt;
    const float dx = sweep.dx;
    for (const ValidCell* entry = begin; entry != end; ++entry) {
        const int c = entry->first;
        if (c == 0 || c == sweep.lastColumn) {
            continue;
        }
        FloodCell& k = here[c];
        if (!k.source) {
            k.surfaceNew =
                k.surfaceOld + (here[c - 1].fluxXNew - k.fluxXNew + above[c].fluxYNew - k.fluxYNew) * dt / dx;
            if (k.ground >= k.surfaceNew) {
                k.surfaceNew = k.ground;
                k.wet = false;
            } else {
                k.wet = true;
            }
            settleWetDry(here, above, below, c, sweep.drying);
            if (sweep.overVolume && sweep.budget > 0) {
                trimExcess(k, sweep.budget);
            }
            k.surfaceOld = k.surfaceNew;
            k.fluxXOld = k.fluxXNew;
            k.fluxYOld = k.fluxYNew;
        }
        sweep.depthSum += k.surfaceNew - k.ground;
    }
}

// The end of the run of entries that share the row of `begin`.
const ValidCell* rowEnd(const ValidCell* begin, const ValidCell* end) {
    const int row = begin->second;
    while (begin != end && begin->second == row) {
        ++begin;
    }
    return begin;
}

}  // namespace

void CAFlood::step() {
    const float dt = timeStep;
    const float dx = cellsize;

    if (hydrographEnd >= time) {
        updateOutflow(time);
    }

    // Each outbreak cell pushes its share of the outflow through its east and its south face, so the
    // grid receives 2 Q dt per step: the outflow over the 2 dt that the clock advances.
    for (const auto& [c, rowFromBottom] : sources) {
        FloodCell& cell = cells[nrows - rowFromBottom][c];
        const float flux = outflow * 2.0f * dt / (2.0f * static_cast<float>(sourceCount) * dx * dt);
        cell.fluxXOld = flux;
        cell.fluxXNew = flux;
        cell.fluxYOld = flux;
        cell.fluxYNew = flux;
    }

    // The sweeps visit the valid cells of the interior rows in file order; within a row the first and
    // last column are border cells and skipped. The water on the grid is summed in double: over
    // millions of cells a float sum would drift by more than the excess-volume tolerance and trim water
    // that is really there.
    Sweep sweep{cells.data(),
                ncols - 1,
                dt,
                dx,
                trackedVolume > breachVolume + kExcessTolerance,
                time > kSettleAfterSeconds,
                trimBudget,
                0.0};
    const ValidCell* const all = validCells.data();
    const ValidCell* const allEnd = all + validCells.size();
    const ValidCell* const first =
        std::partition_point(all, allEnd, [](const ValidCell& entry) { return entry.second < 1; });
    const ValidCell* const last = std::partition_point(
        first, allEnd, [this](const ValidCell& entry) { return entry.second < nrows - 1; });

    // The whole flux sweep comes before the whole continuity sweep. Both run in one pass over the
    // grid, the continuity one row behind: the continuity of row r reads fluxes of rows r - 1 and r,
    // which are final once the flux sweep has done row r + 1 (its limiter scales the fluxes of the row
    // above), and nothing the flux sweep reads from then on is written by the continuity of row r.
    // The grid is thus read from memory once per step instead of twice.
    const ValidCell* continuityBegin = first;
    const ValidCell* continuityEnd = first == last ? last : rowEnd(first, last);
    if (first != last) {
        sweepFluxes(sweep, first, continuityEnd);
    }
    while (continuityBegin != last) {
        const ValidCell* const nextEnd = continuityEnd == last ? last : rowEnd(continuityEnd, last);
        if (continuityEnd != last) {
            sweepFluxes(sweep, continuityEnd, nextEnd);
        }
        sweepContinuity(sweep, continuityBegin, continuityEnd);
        continuityBegin = continuityEnd;
        continuityEnd = nextEnd;
    }

    time += 2.0f * dt;
    trackedVolume = static_cast<float>(sweep.depthSum * (static_cast<double>(dx) * dx) + residualStorage);
    const float nextBudget = kTrimmedAreaPerStep / (dx * dx);
    trimBudget = nextBudget < static_cast<float>(INT_MAX) ? static_cast<int>(nextBudget) : INT_MAX;
}
