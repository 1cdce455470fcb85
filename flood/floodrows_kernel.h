// The stages of the flood step over a band of rows: breach fluxes are already in place; here the face
// fluxes with the outflow limiter, continuity and the wet-dry settling. Every stage of a cell reads only
// what earlier stages wrote, never a value that a neighbour writes in the same stage, so the order in
// which the cells are visited does not change the result, and a terrain mirrored about the diagonal
// gives the mirrored flood. Sums over a neighbourhood are taken in pairs that the mirror only swaps, for
// the same reason.
//
// The stages work on the fields of floodrows.h, each a loop along a row without branches that the
// compiler turns into vector instructions. The file is compiled once per instruction set, with
// FLOOD_ROWS_RUN_STAGES naming the function it defines; everything else in it has internal linkage, so that
// no copy built for a wider set can stand in for the baseline one. It calls no library function: the
// compiler's builtins only.
#include <cstdint>

#include "cafloodnew.h"
#include "floodrows.h"
#include "inversecuberoot.h"

#ifndef FLOOD_ROWS_RUN_STAGES
#error "define FLOOD_ROWS_RUN_STAGES before including floodrows_kernel.h"
#endif

// Before a loop over the columns of held rows: its iterations are independent. Each stage writes other
// arrays than it reads, or the same column only, which the compiler cannot see through the pointers.
#if defined(__GNUC__) && !defined(__clang__)
#define FLOOD_ROWS_INDEPENDENT_COLUMNS _Pragma("GCC ivdep")
#else
#define FLOOD_ROWS_INDEPENDENT_COLUMNS
#endif

namespace floodrows {
namespace {

constexpr float kDryDepth = 1e-5f;  // depths and speeds at or below it count as zero
constexpr float kTrimDepth = 5.0f;
constexpr float kTrimAmount = 0.5f;
constexpr float kFilmDepthSum = 1.0f;  // a film dries while its wet neighbours hold less than this
constexpr float kWettingDepth = 0.1f;
// A wet face neighbour gives a wetting cell kWettingDepth / (its wet face neighbours, at least 3), and
// it has at most four such cells around it: it needs this much water to give without running dry.
constexpr float kWettingDonorDepth = 4.0f * kWettingDepth / 3.0f;
constexpr float kNoData = kNoDataGround;
// Quanta counts from here on are whole already: a float this large has no fraction.
constexpr float kWholeQuanta = 8388608.0f;

enum SettleRule : std::int32_t {
    kKeeps = 0,
    kDries = 1,  // a thin film hands its water to its wet neighbours
    kWets = 2,   // a dry cell amid water takes kWettingDepth from its wet face neighbours
};

// One row of the grid, field by field.
struct RowFields {
    RowFields(const Fields& fields, int r)
        : ground(fields.row(r, kGround)),
          manning(fields.row(r, kManning)),
          surfaceNew(fields.row(r, kSurfaceNew)),
          surfaceOld(fields.row(r, kSurfaceOld)),
          fluxX(fields.row(r, kFluxX)),
          fluxY(fields.row(r, kFluxY)),
          speed(fields.row(r, kSpeed)),
          rule(fields.row(r, kRule)),
          share(fields.row(r, kShare)) {}

    float* __restrict ground;
    float* __restrict manning;
    float* __restrict surfaceNew;
    float* __restrict surfaceOld;
    float* __restrict fluxX;  // the old fluxes until computeFluxes replaces them
    float* __restrict fluxY;
    float* __restrict speed;
    std::uint8_t* __restrict rule;
    std::uint8_t* __restrict share;

    float depth(int c) const { return surfaceNew[c] - ground[c]; }
};

inline std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    __builtin_memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float floatOf(std::uint32_t bits) {
    float value;
    __builtin_memcpy(&value, &bits, sizeof value);
    return value;
}

inline float outward(float flux) {
    return flux > 0.0f ? flux : 0.0f;
}

// The spacing of the floats around a water surface, the smallest depth the cell can gain or lose, as
// the exponent field of that power of two: a float with exponent field e is a multiple of 2^(e - 150),
// and below e = 24 the spacing is 2^-126.
inline std::uint32_t quantumExponent(float surface) {
    const std::uint32_t exponent = (bitsOf(surface) >> 23) & 0xffu;
    return exponent > 24u ? exponent - 23u : 1u;
}

// `value` cut toward zero to a whole number, for values below kWholeQuanta in size (larger ones are whole
// already). Processors without a rounding instruction round through 2^23: the sum's float has no
// fraction, and what it rounded up is taken back.
inline float cutTowardZero(float value) {
#ifdef __SSE4_1__
    return __builtin_truncf(value);
#else
    const float size = __builtin_fabsf(value);
    const float nearest = (size + kWholeQuanta) - kWholeQuanta;
    const float cut = nearest > size ? nearest - 1.0f : nearest;
    return value < 0.0f ? -cut : cut;
#endif
}

// Water moves between two cells in whole numbers of the coarser quantum of their surfaces, so that both
// cells take the move exactly and their water together stays what it was (a float surface cannot gain
// or lose less than its quantum: smaller moves would vanish at one cell and arrive at the other). Cut
// toward zero, a move never exceeds what the limiter or a rule allowed. An outbreak cell keeps no water,
// so what it lets into a cell only has to fit that cell's quantum; it is rounded to the nearest quantum,
// which over the steps neither loses nor adds water.
inline float inWholeQuanta(float depth, std::uint32_t exponent, bool nearest) {
    const float size = floatOf(exponent << 23);
    const float inverse = floatOf((254u - exponent) << 23);
    const float quanta = depth * inverse;
    const float rounded = nearest ? quanta + (quanta < 0.0f ? -0.5f : 0.5f) : quanta;
    // Adding +0 makes a cut -0 a +0, as a conversion through a whole number would.
    const float whole = (cutTowardZero(rounded) + 0.0f) * size;
    return __builtin_fabsf(quanta) < kWholeQuanta ? whole : depth;
}

inline float cutToQuanta(float depth, float surfaceA, float surfaceB) {
    const std::uint32_t a = quantumExponent(surfaceA);
    const std::uint32_t b = quantumExponent(surfaceB);
    return inWholeQuanta(depth, a > b ? a : b, false);
}

// 1 when the face between a cell and its east or south neighbour carries water this step, else 0: not
// when the face is dry, nor when a dry cell lies above the other's surface. (Whole numbers rather than
// bools, which the vectoriser handles in every combination.)
inline std::int32_t faceOpen(float ground, float surface, float depth, float groundAcross,
                             float surfaceAcross, float depthAcross, float faceDepth) {
    const std::int32_t wetFace = faceDepth > kDryDepth ? 1 : 0;
    const std::int32_t dryAbove = (groundAcross > surface ? 1 : 0) & (depthAcross <= kDryDepth ? 1 : 0);
    const std::int32_t dryAboveAcross = (ground > surfaceAcross ? 1 : 0) & (depth <= kDryDepth ? 1 : 0);
    return wetFace & (dryAbove ^ 1) & (dryAboveAcross ^ 1);
}

// The new flux through an open face: the old flux braked by Manning friction and driven by the surface
// slope. `velocity` is the old flux over the face depth, `speed` the magnitude of the cell's velocity,
// `frictionScale` dt g n^2 and `slopeScale` dt g / dx.
inline float openFaceFlux(float flux, float velocity, float speed, float depth, float surfaceDrop,
                          float frictionScale, float slopeScale) {
    float friction = __builtin_fabsf(velocity) >= kDryDepth
                         ? frictionScale * velocity * speed * inverseCubeRoot(depth)
                         : 0.0f;
    friction = __builtin_fabsf(flux) < __builtin_fabsf(friction) ? flux : friction;
    return flux - (friction - depth * surfaceDrop * slopeScale);
}

// Stage 1 on a row: the new east and south fluxes of each cell, before any outflow limit, and its speed.
// The velocities are the old fluxes over the face depths; an open face is braked by friction with the
// speed of both, while the speed of the cell counts the open faces only. (Each stage takes the arrays it
// works on into local pointers: the compiler then knows that its stores change none of them.)
void computeFluxes(const StepGrid& grid, const RowFields& k, const RowFields& s) {
    const float* __restrict ground = k.ground;
    const float* __restrict surfaceOld = k.surfaceOld;
    const float* __restrict manning = k.manning;
    const float* __restrict southGround = s.ground;
    const float* __restrict southSurface = s.surfaceOld;
    float* __restrict fluxX = k.fluxX;
    float* __restrict fluxY = k.fluxY;
    float* __restrict speeds = k.speed;
    const float gravityStep = grid.gravityStep;
    const float slopeScale = grid.slopeScale;
    const int last = grid.lastColumn;
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = 1; c <= last; ++c) {
        const float surface = surfaceOld[c];
        const float depth = surface - ground[c];
        const float eastDepth = surfaceOld[c + 1] - ground[c + 1];
        const float southDepth = southSurface[c] - southGround[c];
        const float hx = 0.5f * (depth + eastDepth);
        const float hy = 0.5f * (depth + southDepth);
        const std::int32_t eastOpen =
            faceOpen(ground[c], surface, depth, ground[c + 1], surfaceOld[c + 1], eastDepth, hx);
        const std::int32_t southOpen =
            faceOpen(ground[c], surface, depth, southGround[c], southSurface[c], southDepth, hy);
        const float oldX = fluxX[c];
        const float oldY = fluxY[c];
        const float u = hx > kDryDepth ? oldX / (hx > kDryDepth ? hx : 1.0f) : 0.0f;
        const float v = hy > kDryDepth ? oldY / (hy > kDryDepth ? hy : 1.0f) : 0.0f;
        // u^2 + v^2 is the same float sum for both faces.
        const float speed = __builtin_sqrtf(u * u + v * v);
        const float frictionScale = gravityStep * (manning[c] * manning[c]);
        const float east = eastOpen != 0 ? openFaceFlux(oldX, u, speed, hx, surface - surfaceOld[c + 1],
                                                        frictionScale, slopeScale)
                                         : 0.0f;
        const float south = southOpen != 0 ? openFaceFlux(oldY, v, speed, hy, surface - southSurface[c],
                                                          frictionScale, slopeScale)
                                           : 0.0f;
        const float oneFaceSpeed = __builtin_sqrtf(eastOpen != 0 ? u * u : v * v);
        const float cellSpeed =
            (eastOpen & southOpen) != 0 ? speed : ((eastOpen | southOpen) != 0 ? oneFaceSpeed : 0.0f);
        const bool updated = ground[c] != kNoData;
        fluxX[c] = updated ? east : oldX;
        fluxY[c] = updated ? south : oldY;
        speeds[c] = updated ? cellSpeed : speeds[c];
    }
}

// Stage 2 on a row: keeps each cell from giving more water than it holds. All the faces through which it
// gives water in this step (its east and south faces with a positive flux, its west and north faces with
// a negative one) are scaled by one factor. Each face has one giver, so each flux is scaled by one cell
// only, and what a cell gives does not depend on the factors of its neighbours: the factors of the row
// first, then the faces.
void limitOutflow(const StepGrid& grid, const RowFields& n, const RowFields& k, float* __restrict factors,
                  std::int32_t* __restrict limited) {
    const float* __restrict ground = k.ground;
    const float* __restrict surfaceOld = k.surfaceOld;
    float* __restrict fluxX = k.fluxX;
    float* __restrict fluxY = k.fluxY;
    float* __restrict northFluxY = n.fluxY;
    const int last = grid.lastColumn;
    const float dt = grid.dt;
    const float dx = grid.dx;
    limited[0] = 0;
    limited[last + 1] = 0;
    factors[0] = 1.0f;
    factors[last + 1] = 1.0f;
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = 1; c <= last; ++c) {
        const float given =
            (outward(fluxX[c]) + outward(fluxY[c])) + (outward(-fluxX[c - 1]) + outward(-northFluxY[c]));
        // The water the cell holds per metre of face.
        const float held = (surfaceOld[c] - ground[c]) * dx;
        const bool limit = (ground[c] != kNoData) & (given * dt > held);
        limited[c] = limit ? 1 : 0;
        factors[c] = limit ? (held / dt) / (limit ? given : 1.0f) : 1.0f;
    }
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = 0; c <= last; ++c) {
        // The face between columns c and c + 1: c gives through it when positive, c + 1 when negative.
        const float flux = fluxX[c];
        const bool scaled = ((flux > 0.0f) & (limited[c] != 0)) | ((flux < 0.0f) & (limited[c + 1] != 0));
        fluxX[c] = scaled ? flux * (flux > 0.0f ? factors[c] : factors[c + 1]) : flux;
    }
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = 1; c <= last; ++c) {
        const bool limit = limited[c] != 0;
        const float south = fluxY[c];
        fluxY[c] = (limit & (south > 0.0f)) ? south * factors[c] : south;
        const float north = northFluxY[c];
        northFluxY[c] = (limit & (north < 0.0f)) ? north * factors[c] : north;
    }
}

// The depth a face flux moves into or out of a cell whose surface has quanta of `own`, from a neighbour
// with `otherSurface` and `otherGround`. A face from an outbreak cell is counted in the receiving cell's
// quantum only: the outbreak cell keeps no water of its own. Outbreak cells are the only cells with the
// no-data ground whose faces carry water: border and no-data cells never get a flux, and a face into
// any of them stays closed.
inline float movedAcross(float flux, float depthPerFlux, std::uint32_t own, float otherSurface,
                         float otherGround) {
    const std::uint32_t other = quantumExponent(otherSurface);
    const bool source = otherGround == kNoData;
    const std::uint32_t exponent = source ? own : (own > other ? own : other);
    const float moved = inWholeQuanta(flux * depthPerFlux, exponent, source);
    return flux == 0.0f ? 0.0f : moved;
}

// Stage 3 on a row: the surface of each cell from the balance of its four faces; a cell whose water is
// gone is dry, its surface on its ground.
void applyContinuity(const StepGrid& grid, const RowFields& n, const RowFields& k, const RowFields& s) {
    const float* __restrict ground = k.ground;
    const float* __restrict surfaceOld = k.surfaceOld;
    const float* __restrict fluxX = k.fluxX;
    const float* __restrict fluxY = k.fluxY;
    const float* __restrict northGround = n.ground;
    const float* __restrict northSurface = n.surfaceOld;
    const float* __restrict northFluxY = n.fluxY;
    const float* __restrict southGround = s.ground;
    const float* __restrict southSurface = s.surfaceOld;
    float* __restrict surfaceNew = k.surfaceNew;
    const float depthPerFlux = grid.depthPerFlux;
    const int last = grid.lastColumn;
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = 1; c <= last; ++c) {
        const float surface = surfaceOld[c];
        const std::uint32_t own = quantumExponent(surface);
        const float fromWest = movedAcross(fluxX[c - 1], depthPerFlux, own, surfaceOld[c - 1], ground[c - 1]);
        const float fromNorth =
            movedAcross(northFluxY[c], depthPerFlux, own, northSurface[c], northGround[c]);
        const float toEast = movedAcross(fluxX[c], depthPerFlux, own, surfaceOld[c + 1], ground[c + 1]);
        const float toSouth = movedAcross(fluxY[c], depthPerFlux, own, southSurface[c], southGround[c]);
        const float raised = surface + ((fromWest - toEast) + (fromNorth - toSouth));
        const bool dry = ground[c] >= raised;
        const bool updated = ground[c] != kNoData;
        surfaceNew[c] = updated ? (dry ? ground[c] : raised) : surfaceNew[c];
    }
}

// 1 when a wet face neighbour (depth and surface after continuity) cannot give a wetting cell its
// share, else 0: it has too little water, or would fall below the wetted cell's new surface.
inline std::int32_t refusesWetting(float depth, float surface, float newSurface) {
    const std::int32_t wet = depth > 0.0f ? 1 : 0;
    const std::int32_t shallow = depth < kWettingDonorDepth ? 1 : 0;
    const std::int32_t wouldSink = surface - kWettingDonorDepth < newSurface ? 1 : 0;
    return wet & (shallow | wouldSink);
}

// Stage 4 on a row: the settling rule of each cell from the depths after continuity of its 3 x 3
// neighbourhood; the water it moves is taken from or given to the neighbours, never made or deleted.
// Dries: after the first seconds, a wet cell with one or two wet neighbours holding less than
// kFilmDepthSum together hands its water to them in equal shares. Wets: a dry cell with at least seven
// wet neighbours takes kWettingDepth from its wet face neighbours in equal shares, where each of them has
// that water to give and keeps its surface above the cell's new one (a cell on a rim or an island above
// the water around it stays dry instead of being wetted and drained again at every step). The
// neighbours in the order E, S, W, N, NW, SE, SW, NE: sums over them pair the cells the diagonal mirror
// swaps.
void decideSettling(const StepGrid& grid, const RowFields& n, const RowFields& k, const RowFields& s) {
    const float* __restrict northGround = n.ground;
    const float* __restrict northSurface = n.surfaceNew;
    const float* __restrict ground = k.ground;
    const float* __restrict surface = k.surfaceNew;
    const float* __restrict southGround = s.ground;
    const float* __restrict southSurface = s.surfaceNew;
    std::uint8_t* __restrict rule = k.rule;
    std::uint8_t* __restrict share = k.share;
    const bool drying = grid.drying;
    const int last = grid.lastColumn;
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = 1; c <= last; ++c) {
        const float own = surface[c] - ground[c];
        const float east = surface[c + 1] - ground[c + 1];
        const float south = southSurface[c] - southGround[c];
        const float west = surface[c - 1] - ground[c - 1];
        const float north = northSurface[c] - northGround[c];
        const float northWest = northSurface[c - 1] - northGround[c - 1];
        const float southEast = southSurface[c + 1] - southGround[c + 1];
        const float southWest = southSurface[c - 1] - southGround[c - 1];
        const float northEast = northSurface[c + 1] - northGround[c + 1];
        const std::int32_t wetFaces =
            (east > 0.0f ? 1 : 0) + (south > 0.0f ? 1 : 0) + (west > 0.0f ? 1 : 0) + (north > 0.0f ? 1 : 0);
        const std::int32_t wetNeighbours = wetFaces + (northWest > 0.0f ? 1 : 0) +
                                           (southEast > 0.0f ? 1 : 0) + (southWest > 0.0f ? 1 : 0) +
                                           (northEast > 0.0f ? 1 : 0);
        const float around =
            ((east + south) + (west + north)) + ((northWest + southEast) + (southWest + northEast));
        const bool dries =
            drying & (own > 0.0f) & (wetNeighbours >= 1) & (wetNeighbours <= 2) & (around < kFilmDepthSum);
        // A wet face neighbour that cannot give the water stops the wetting.
        const float newSurface = ground[c] + kWettingDepth;
        const std::int32_t refused = refusesWetting(east, surface[c + 1], newSurface) |
                                     refusesWetting(south, southSurface[c], newSurface) |
                                     refusesWetting(west, surface[c - 1], newSurface) |
                                     refusesWetting(north, northSurface[c], newSurface);
        const bool wets = !(own > 0.0f) & (wetNeighbours >= 7) & (refused == 0);
        const bool updated = ground[c] != kNoData;
        const std::int32_t newRule = dries ? kDries : (wets ? kWets : kKeeps);
        const std::int32_t newShare = dries ? wetNeighbours : (wets ? wetFaces : 0);
        rule[c] = updated ? static_cast<std::uint8_t>(newRule) : rule[c];
        share[c] = updated ? static_cast<std::uint8_t>(newShare) : share[c];
    }
}

// A neighbour of a cell in a held row: the cell at column `column` of `row`.
struct Neighbour {
    const RowFields& row;
    int column;

    float depth() const { return row.depth(column); }
    float surface() const { return row.surfaceNew[column]; }
    std::int32_t rule() const { return row.rule[column]; }
    std::int32_t share() const { return row.share[column]; }
};

// What a drying `giver` hands to its wet neighbour `receiver`: an equal share of its depth.
inline float driedShare(const Neighbour& giver, const Neighbour& receiver) {
    return cutToQuanta(giver.depth() / static_cast<float>(giver.share()), giver.surface(),
                       receiver.surface());
}

// What a wetting `taker` takes from its wet face neighbour `donor`.
inline float wettingShare(const Neighbour& taker, const Neighbour& donor) {
    return cutToQuanta(kWettingDepth / static_cast<float>(taker.share()), taker.surface(), donor.surface());
}

// How much the settling of its neighbourhood raises (or lowers) the surface of cell k, one of the few
// with a rule of its own or a neighbour's to follow: what dries into it or what it takes to get wet,
// less what it hands on. Shares are whole quanta: a remainder too small to move stays where it is.
float settlingChange(const RowFields& n, const RowFields& row, const RowFields& s, int c) {
    const Neighbour k{row, c};
    const Neighbour all[8] = {{row, c + 1}, {s, c},     {row, c - 1}, {n, c},
                              {n, c - 1},   {s, c + 1}, {s, c - 1},   {n, c + 1}};
    const auto mirrorSum = [](const float v[8]) {
        return ((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7]));
    };
    if (k.rule() == kWets) {
        float taken[4];
        for (int i = 0; i < 4; ++i) {
            taken[i] = all[i].depth() > 0.0f ? wettingShare(k, all[i]) : 0.0f;
        }
        return (taken[0] + taken[1]) + (taken[2] + taken[3]);
    }
    if (!(k.depth() > 0.0f)) {
        return 0.0f;
    }
    float received[8];
    float handed[8];
    for (int i = 0; i < 8; ++i) {
        received[i] = all[i].rule() == kDries ? driedShare(all[i], k) : 0.0f;
        handed[i] = k.rule() == kDries && all[i].depth() > 0.0f ? driedShare(k, all[i]) : 0.0f;
    }
    float given = 0.0f;
    if (k.rule() == kDries) {
        given = mirrorSum(handed);
    } else {
        float toWetting[4];
        for (int i = 0; i < 4; ++i) {
            toWetting[i] = all[i].rule() == kWets ? wettingShare(all[i], k) : 0.0f;
        }
        given = (toWetting[0] + toWetting[1]) + (toWetting[2] + toWetting[3]);
    }
    return mirrorSum(received) - given;
}

// Stage 5 on a row: the settled surface of each cell into surfaceOld (surfaceNew keeps what continuity
// left until its neighbours have settled too), the excess-volume trim, and the row's water. Most cells
// have no rule around them and keep their surface; the others follow settlingChange one by one.
void settle(const StepGrid& grid, StepTally& tally, const RowFields& n, const RowFields& k,
            const RowFields& s, std::int32_t* __restrict unsettled, int row) {
    const std::uint8_t* __restrict northRule = n.rule;
    const std::uint8_t* __restrict rule = k.rule;
    const std::uint8_t* __restrict southRule = s.rule;
    const float* __restrict ground = k.ground;
    const float* __restrict surfaceNew = k.surfaceNew;
    float* __restrict surfaceOld = k.surfaceOld;
    const int last = grid.lastColumn;
    std::int32_t anyUnsettled = 0;
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = 1; c <= last; ++c) {
        const std::int32_t rules = (northRule[c - 1] | northRule[c] | northRule[c + 1]) |
                                   (rule[c - 1] | rule[c] | rule[c + 1]) |
                                   (southRule[c - 1] | southRule[c] | southRule[c + 1]);
        const bool updated = ground[c] != kNoData;
        unsettled[c] = (updated & (rules != kKeeps)) ? 1 : 0;
        anyUnsettled |= unsettled[c];
        surfaceOld[c] = updated ? surfaceNew[c] : surfaceOld[c];
    }
    if (anyUnsettled != 0) {
        for (int c = 1; c <= last; ++c) {
            if (unsettled[c] == 0) {
                continue;
            }
            const float change = settlingChange(n, k, s, c);
            if (change != 0.0f) {
                const float surface = surfaceNew[c] + change;
                surfaceOld[c] = surface > ground[c] ? surface : ground[c];
            }
        }
    }
    if (tally.trimBudget > 0) {
        for (int c = 1; c <= last; ++c) {
            if (tally.trimBudget > 0 && ground[c] != kNoData && surfaceOld[c] - ground[c] > kTrimDepth) {
                surfaceOld[c] -= kTrimAmount;
                --tally.trimBudget;
                tally.trimmed += static_cast<double>(kTrimAmount) * grid.dx * grid.dx;
            }
        }
    }
    // The deepest water: for depths of zero and more the order of the floats is that of their bits as
    // whole numbers, which the compiler compares in vectors.
    std::int32_t deepest = static_cast<std::int32_t>(bitsOf(tally.deepest));
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = 1; c <= last; ++c) {
        const float depth = surfaceOld[c] - ground[c];
        const std::int32_t bits =
            ((ground[c] != kNoData) & (depth >= 0.0f)) ? static_cast<std::int32_t>(bitsOf(depth)) : 0;
        deepest = bits > deepest ? bits : deepest;
    }
    tally.deepest = floatOf(static_cast<std::uint32_t>(deepest));
    // The row's water in kRowSumLanes sums, column c in sum (c - 1) % kRowSumLanes, added in pairs at
    // the end. A cell that is not updated adds +0, which leaves a sum as it is.
    double sums[kRowSumLanes] = {};
    int c = 1;
    for (; c + kRowSumLanes - 1 <= last; c += kRowSumLanes) {
        for (int lane = 0; lane < kRowSumLanes; ++lane) {
            const int column = c + lane;
            sums[lane] += ground[column] != kNoData ? surfaceOld[column] - ground[column] : 0.0f;
        }
    }
    for (; c <= last; ++c) {
        sums[(c - 1) % kRowSumLanes] += ground[c] != kNoData ? surfaceOld[c] - ground[c] : 0.0f;
    }
    static_assert(kRowSumLanes == 8, "the sums are added in pairs");
    grid.rowDepthSums[row] =
        ((sums[0] + sums[1]) + (sums[2] + sums[3])) + ((sums[4] + sums[5]) + (sums[6] + sums[7]));
}

// Stage 6 on a row: surfaceNew takes the settled surface.
void finish(const StepGrid& grid, const RowFields& k) {
    const float* __restrict ground = k.ground;
    const float* __restrict surfaceOld = k.surfaceOld;
    float* __restrict surfaceNew = k.surfaceNew;
    const int last = grid.lastColumn;
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = 1; c <= last; ++c) {
        surfaceNew[c] = ground[c] != kNoData ? surfaceOld[c] : surfaceNew[c];
    }
}

// Asks for the fields of row r ahead of the pass: it reaches them from main memory one row ahead of its
// first stage, over more arrays at once than the processor follows by itself.
void prefetchRow(const Fields& fields, int r) {
    const char* floats = reinterpret_cast<const char*>(fields.row(r, FloatField(0)));
    const char* bytes = reinterpret_cast<const char*>(fields.row(r, ByteField(0)));
    const long long floatBytes = kFloatFields * fields.stride * static_cast<long long>(sizeof(float));
    const long long byteCount = kByteFields * fields.stride;
    for (long long offset = 0; offset < floatBytes; offset += 64) {
        __builtin_prefetch(floats + offset, 1, 2);
    }
    for (long long offset = 0; offset < byteCount; offset += 64) {
        __builtin_prefetch(bytes + offset, 1, 2);
    }
}

}  // namespace

// One pass over the rows of `rows`, each stage its lag behind the first, reading the grid from memory
// once.
void FLOOD_ROWS_RUN_STAGES(const StepGrid& grid, const StageRows& rows, StepTally& tally, Scratch scratch) {
    int begin = 0x7fffffff;
    int end = -begin;
    for (int stage = 0; stage < kStageCount; ++stage) {
        if (rows.first[stage] <= rows.last[stage]) {
            begin =
                rows.first[stage] + kStageLag[stage] < begin ? rows.first[stage] + kStageLag[stage] : begin;
            end = rows.last[stage] + kStageLag[stage] > end ? rows.last[stage] + kStageLag[stage] : end;
        }
    }
    float* factors = scratch.floats;
    std::int32_t* limited = scratch.ints;
    std::int32_t* unsettled = scratch.ints + fieldStride(grid.columns);
    const auto row = [&grid](int r) { return RowFields(grid.fields, r); };
    for (int i = begin; i <= end; ++i) {
        if (i + 2 < grid.rows) {
            prefetchRow(grid.fields, i + 2);
        }
        if (rows.has(kFluxes, i)) {
            computeFluxes(grid, row(i), row(i + 1));
        }
        if (rows.has(kLimit, i)) {
            limitOutflow(grid, row(i - 1), row(i), factors, limited);
        }
        int r = i - kStageLag[kContinuity];
        if (rows.has(kContinuity, r)) {
            applyContinuity(grid, row(r - 1), row(r), row(r + 1));
        }
        r = i - kStageLag[kDecide];
        if (rows.has(kDecide, r)) {
            decideSettling(grid, row(r - 1), row(r), row(r + 1));
        }
        r = i - kStageLag[kSettle];
        if (rows.has(kSettle, r)) {
            settle(grid, tally, row(r - 1), row(r), row(r + 1), unsettled, r);
        }
        r = i - kStageLag[kFinish];
        if (rows.has(kFinish, r)) {
            finish(grid, row(r));
        }
    }
}

}  // namespace floodrows
