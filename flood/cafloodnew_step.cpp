// One step of the flood engine: breach injection, flux sweep and continuity sweep. The order of the
// sweeps, of the cells within them and of the single-precision operations decides the numbers.
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

    // Flux sweep: the east and south face of every interior cell that is not an outbreak cell.
    for (const auto& [c, r] : validCells) {
        if (!isInterior(r, c)) {
            continue;
        }
        FloodCell& k = cells[r][c];
        if (k.source) {
            continue;
        }
        const FloodCell& e = cells[r][c + 1];
        const FloodCell& s = cells[r + 1][c];
        const float dK = k.surfaceOld - k.ground;
        const float dE = e.surfaceOld - e.ground;
        const float dS = s.surfaceOld - s.ground;
        const float hx = 0.5f * (dK + dE);
        const float hy = 0.5f * (dK + dS);
        const float roughnessSquared = k.manning * k.manning;
        // Velocities of the faces that are evaluated; a face closed without evaluation adds none.
        float u = 0.0f;
        float v = 0.0f;
        k.fluxXNew = faceFlux(k, e, dK, dE, hx, hy, k.fluxXOld, k.fluxYOld, roughnessSquared, dt, dx, u);
        k.fluxYNew = faceFlux(k, s, dK, dS, hy, hx, k.fluxYOld, k.fluxXOld, roughnessSquared, dt, dx, v);

        limitOutflow(r, c);
        k.speed = std::sqrt(u * u + v * v);
        k.fluxXOld = k.fluxXNew;
        k.fluxYOld = k.fluxYNew;
    }

    // Continuity sweep. The water on the grid is summed in double: over millions of cells a float sum
    // would drift by more than the excess-volume tolerance and trim water that is really there.
    double depthSum = 0.0;
    const bool overVolume = trackedVolume > breachVolume + kExcessTolerance;
    for (const auto& [c, r] : validCells) {
        if (!isInterior(r, c)) {
            continue;
        }
        FloodCell& k = cells[r][c];
        if (!k.source) {
            k.surfaceNew =
                k.surfaceOld +
                (cells[r][c - 1].fluxXNew - k.fluxXNew + cells[r - 1][c].fluxYNew - k.fluxYNew) * dt / dx;
            if (k.ground >= k.surfaceNew) {
                k.surfaceNew = k.ground;
                k.wet = false;
            } else {
                k.wet = true;
            }
            settleWetDry(r, c);
            if (overVolume && trimBudget > 0) {
                trimExcess(r, c);
            }
            k.surfaceOld = k.surfaceNew;
            k.fluxXOld = k.fluxXNew;
            k.fluxYOld = k.fluxYNew;
        }
        depthSum += k.surfaceNew - k.ground;
    }

    time += 2.0f * dt;
    trackedVolume = static_cast<float>(depthSum * (static_cast<double>(dx) * dx) + residualStorage);
    const float budget = kTrimmedAreaPerStep / (dx * dx);
    trimBudget = budget < static_cast<float>(INT_MAX) ? static_cast<int>(budget) : INT_MAX;
}

void CAFlood::limitOutflow(int r, int c) {
    const float dt = timeStep;
    FloodCell& k = cells[r][c];
    FloodCell& west = cells[r][c - 1];
    FloodCell& north = cells[r - 1][c];
    // The water the cell holds per metre of face.
    const float held = (k.surfaceOld - k.ground) * cellsize;

    const float outward = k.fluxYNew + k.fluxXNew;
    if (outward * dt > held) {
        const float allowed = held / dt;
        k.fluxYNew *= allowed / outward;
        k.fluxXNew *= allowed / outward;
    }
    // West and north faces: negative when they carry water out of the cell.
    const float inward = west.fluxXNew + north.fluxYNew;
    if (-inward * dt > held) {
        const float allowed = held / dt;
        north.fluxYNew *= allowed / -inward;
        west.fluxXNew *= allowed / -inward;
    }
}

void CAFlood::settleWetDry(int r, int c) {
    FloodCell& k = cells[r][c];
    const FloodCell* above = cells[r - 1];
    const FloodCell* here = cells[r];
    const FloodCell* below = cells[r + 1];
    const auto depth = [](const FloodCell& cell) { return cell.surfaceNew - cell.ground; };
    // E, S, W, N, NW, SW, NE, SE: the sum runs in this order.
    const float neighbours[8] = {depth(here[c + 1]),  depth(below[c]),     depth(here[c - 1]),
                                 depth(above[c]),     depth(above[c - 1]), depth(below[c - 1]),
                                 depth(above[c + 1]), depth(below[c + 1])};
    int wetNeighbours = 0;
    float neighbourDepthSum = 0.0f;
    for (const float d : neighbours) {
        wetNeighbours += d > 0.0f ? 1 : 0;
        neighbourDepthSum += d;
    }
    const float own = depth(k);
    // A thin film with hardly any wet neighbour dries; a dry cell among wet ones gets wet.
    if (time > kSettleAfterSeconds && wetNeighbours <= 2 && own > 0.0f && neighbourDepthSum < 1.0f) {
        k.surfaceNew = k.ground;
        k.wet = false;
    }
    if (wetNeighbours >= 7 && own == 0.0f) {
        k.surfaceNew = k.ground + 0.1f;
        k.wet = true;
    }
}

void CAFlood::trimExcess(int r, int c) {
    FloodCell& k = cells[r][c];
    if (k.surfaceNew - k.ground > kTrimDepth) {
        k.surfaceNew -= kTrimAmount;
        --trimBudget;
    }
}
