// The stages of the flood step over a band of rows: breach fluxes are already in place; here the face
// fluxes with the outflow limiter, continuity and the new surfaces. Every stage of a cell reads only what
// earlier stages wrote, never a value that a neighbour writes in the same stage, so the order in which
// the cells are visited does not change the result, and a terrain mirrored about the diagonal gives the
// mirrored flood.
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

constexpr float kDryDepth = 1e-5f;  // faces no deeper than this carry no water
constexpr float kTrimDepth = 5.0f;
constexpr float kTrimAmount = 0.5f;
constexpr float kNoData = kNoDataGround;
constexpr float kGravity = 9.8f;
// A face's new flux starts from this share of its old flux and the rest from the old fluxes of the faces
// beside it along the flow (theta weighting): the little diffusion it adds keeps the grid-scale ripples
// that the explicit update breeds from growing, and leaves a uniform flow as it is. The inflow an outbreak
// cell imposes on its faces takes no part: weighted in, it would turn a breach's inflow into a jet along
// the dam.
constexpr float kOwnFluxShare = 0.7f;
// The velocity that carries momentum across a face is at most this many times the speed of a gravity
// wave in its water: where a face drains within a step its old flux over its new depth would be a speed
// no water runs at.
constexpr float kLargestFroudeNumber = 3.0f;
// Quanta counts from here on are whole already: a float this large has no fraction.
constexpr float kWholeQuanta = 8388608.0f;

// One row of the grid, field by field.
struct RowFields {
    RowFields(const Fields& fields, int r)
        : ground(fields.row(r, kGround)),
          manning(fields.row(r, kManning)),
          surfaceNew(fields.row(r, kSurfaceNew)),
          surfaceOld(fields.row(r, kSurfaceOld)),
          fluxX(fields.row(r, kFluxX)),
          fluxY(fields.row(r, kFluxY)) {}

    float* __restrict ground;
    float* __restrict manning;
    float* __restrict surfaceNew;
    float* __restrict surfaceOld;
    float* __restrict fluxX;  // the old fluxes until computeFluxes replaces them
    float* __restrict fluxY;
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

// The depth of water over the face between two cells: the higher surface above the higher ground. On a
// slope it is the depth of the upper cell, not the mean of the two, so water running down onto dry
// ground leaves with the depth it has; a dry cell whose ground stands above the other's surface closes
// the face, and so does a border, outbreak or no-data cell (its surface is its ground, the no-data value).
inline float faceDepth(float ground, float surface, float groundAcross, float surfaceAcross) {
    const float higherSurface = surface > surfaceAcross ? surface : surfaceAcross;
    const float higherGround = ground > groundAcross ? ground : groundAcross;
    return higherSurface - higherGround;
}

// The velocity of the water across a face of `depth` carrying `flux`, no faster than
// kLargestFroudeNumber gravity waves; 0 where the face holds no water.
inline float faceVelocity(float flux, float depth) {
    const bool open = depth > kDryDepth;
    const float safeDepth = open ? depth : 1.0f;
    const float velocity = flux / safeDepth;
    const float largest = kLargestFroudeNumber * __builtin_sqrtf(kGravity * safeDepth);
    const float capped = velocity > largest ? largest : (velocity < -largest ? -largest : velocity);
    return open ? capped : 0.0f;
}

// The momentum a cell carries along one direction, m^3/s^2: the flux of the face its water comes in by
// (the upstream face, by the sign of the two faces' fluxes together) times that face's velocity. A cell
// the step does not update carries none.
inline float carriedMomentum(float fluxIn, float velocityIn, float fluxOut, float velocityOut, bool wall) {
    const float momentum = fluxIn + fluxOut >= 0.0f ? fluxIn * velocityIn : fluxOut * velocityOut;
    return wall ? 0.0f : momentum;
}

// The new flux through a face of `depth`: the theta-weighted old flux, less the momentum the flow carries
// out of the face's span, driven by the surface slope and braked by Manning friction taken
// semi-implicitly, q' = (q - dt dM/dx + dt g h dS/dx) / (1 + dt g n^2 |U| / h^(4/3)). The friction divides
// instead of subtracting, so it slows the flow toward Manning's velocity without ever reversing it,
// however shallow the face and fast the water. Carrying the momentum along with the flow keeps fast flow
// on steep ground stable: without it, waves on flow faster than 0.6 gravity waves grow into surges that
// run down a dry valley as slugs of water. `speed` is that of the water at the face, `frictionScale`
// dt g n^2, `momentumScale` dt / dx and `slopeScale` dt g / dx.
inline float faceFlux(float weightedFlux, float momentumChange, float depth, float surfaceDrop, float speed,
                      float frictionScale, float momentumScale, float slopeScale) {
    const float driven = (weightedFlux - momentumScale * momentumChange) + depth * surfaceDrop * slopeScale;
    const float brake = frictionScale * speed * (inverseCubeRoot(depth) / depth);  // dt g n^2 |U| / h^(4/3)
    return driven / (1.0f + brake);
}

// What the flux stage keeps from one row to the next within a pass: the old south fluxes of the row
// above and the velocities of the south faces of the rows above, of the row and below it.
struct FluxRows {
    float* oldSouthAbove;  // old fluxY of row r - 1
    float* spareSouth;     // room for the old fluxY of row r, before the stage replaces it
    float* velocityAbove;  // face velocities of the south faces of row r - 1
    float* velocityHere;   // of row r
    float* velocityBelow;  // of row r + 1
    float* oldEast;        // the old fluxX of row r
    float* eastVelocity;   // the velocities of row r's east faces
};

// The south-face velocities of row `a` (fluxes `flux`) over row `b`, columns `first` to `last`.
void southVelocities(int first, int last, const RowFields& a, const float* __restrict flux, const RowFields& b,
                     float* __restrict velocity) {
    const float* __restrict ground = a.ground;
    const float* __restrict surface = a.surfaceOld;
    const float* __restrict groundBelow = b.ground;
    const float* __restrict surfaceBelow = b.surfaceOld;
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = first; c <= last; ++c) {
        velocity[c] =
            faceVelocity(flux[c], faceDepth(ground[c], surface[c], groundBelow[c], surfaceBelow[c]));
    }
}

// Before the first row of a pass: the old south fluxes of the row above (`southAbove`) and the velocities
// of its south faces and those of row r, over the columns the row carries (`carry`) and one more on
// either side.
void startFluxRows(const RowFields& above, const float* southAbove, const RowFields& k, const RowFields& s,
                   ColumnSpan carry, FluxRows& rows) {
    if (carry.empty()) {
        return;
    }
    for (int c = carry.first - 1; c <= carry.last + 1; ++c) {
        rows.oldSouthAbove[c] = southAbove[c];
    }
    southVelocities(carry.first - 1, carry.last + 1, above, rows.oldSouthAbove, k, rows.velocityAbove);
    southVelocities(carry.first - 1, carry.last + 1, k, k.fluxY, s, rows.velocityHere);
}

// The old flux of a neighbouring face as the theta weighting takes it: none where the cell whose face it
// is has the no-data ground (an outbreak cell, whose faces carry the imposed inflow; border and no-data
// cells carry none anyway).
inline float besideFlux(float flux, float giverGround) {
    return giverGround == kNoData ? 0.0f : flux;
}

// Stage 1 on a row r: the new east and south fluxes of each cell of its work, before any outflow limit.
// `n`, `k`, `s` and `s2` are rows r - 1 to r + 2; `southBelow` the old south fluxes of row r + 1. A face
// that holds no water carries none. (Each stage takes the arrays it works on into local pointers: the
// compiler then knows that its stores change none of them.)
void computeFluxes(const StepGrid& grid, const RowFields& n, const RowFields& k, const RowFields& s,
                   const RowFields& s2, const float* __restrict southBelow, const RowWork& work,
                   FluxRows& rows, StepTally& tally) {
    const float* __restrict northGround = n.ground;
    const float* __restrict ground = k.ground;
    const float* __restrict surfaceOld = k.surfaceOld;
    const float* __restrict manning = k.manning;
    const float* __restrict southGround = s.ground;
    const float* __restrict southSurface = s.surfaceOld;
    float* __restrict fluxX = k.fluxX;
    float* __restrict fluxY = k.fluxY;
    float* __restrict oldEast = rows.oldEast;
    float* __restrict eastVelocity = rows.eastVelocity;
    const float* __restrict oldSouthAbove = rows.oldSouthAbove;
    float* __restrict spareSouth = rows.spareSouth;
    const float* __restrict velocityAbove = rows.velocityAbove;
    const float* __restrict velocityHere = rows.velocityHere;
    float* __restrict velocityBelow = rows.velocityBelow;
    const float gravityStep = grid.gravityStep;
    const float slopeScale = grid.slopeScale;
    const float momentumScale = grid.depthPerFlux;
    const int first = work.work.first;
    const int last = work.work.last;
    // The old values this row and the two below it read around each face, before the row's new fluxes
    // replace them.
    if (!work.carry.empty()) {
        southVelocities(work.carry.first - 1, work.carry.last + 1, s, southBelow, s2, velocityBelow);
        FLOOD_ROWS_INDEPENDENT_COLUMNS
        for (int c = work.carry.first - 1; c <= work.carry.last + 1; ++c) {
            spareSouth[c] = fluxY[c];
        }
    }
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = first - 1; c <= last + 1; ++c) {
        oldEast[c] = fluxX[c];
        eastVelocity[c] =
            faceVelocity(fluxX[c], faceDepth(ground[c], surfaceOld[c], ground[c + 1], surfaceOld[c + 1]));
    }
    // The fastest wave of the row, from before the step: in each cell the fastest water through its faces
    // plus a gravity wave in its own water, compared by the bits as in finish.
    std::int32_t fastest = static_cast<std::int32_t>(bitsOf(tally.fastestWave));
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = first; c <= last; ++c) {
        const float westSpeed = __builtin_fabsf(eastVelocity[c - 1]);
        const float eastSpeed = __builtin_fabsf(eastVelocity[c]);
        const float northSpeed = __builtin_fabsf(velocityAbove[c]);
        const float southSpeed = __builtin_fabsf(velocityHere[c]);
        const float fasterX = eastSpeed > westSpeed ? eastSpeed : westSpeed;
        const float fasterY = southSpeed > northSpeed ? southSpeed : northSpeed;
        const float depth = ground[c] != kNoData ? surfaceOld[c] - ground[c] : 0.0f;
        const float wave = (fasterX > fasterY ? fasterX : fasterY) +
                           __builtin_sqrtf(kGravity * (depth > 0.0f ? depth : 0.0f));
        const std::int32_t bits = static_cast<std::int32_t>(bitsOf(wave));
        fastest = bits > fastest ? bits : fastest;
    }
    tally.fastestWave = floatOf(static_cast<std::uint32_t>(fastest));
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = first; c <= last; ++c) {
        const float surface = surfaceOld[c];
        const float hx = faceDepth(ground[c], surface, ground[c + 1], surfaceOld[c + 1]);
        const float hy = faceDepth(ground[c], surface, southGround[c], southSurface[c]);
        const bool eastOpen = hx > kDryDepth;
        const bool southOpen = hy > kDryDepth;
        const float oldX = oldEast[c];
        const float oldY = spareSouth[c];
        const float u = eastVelocity[c];
        const float v = velocityHere[c];
        // Friction brakes each face with the speed of the water, both directions of it.
        const float speed = __builtin_sqrtf(u * u + v * v);
        const float frictionScale = gravityStep * (manning[c] * manning[c]);
        const float weightedX = kOwnFluxShare * oldX +
                                (0.5f * (1.0f - kOwnFluxShare)) * (besideFlux(oldEast[c - 1], ground[c - 1]) +
                                                                   besideFlux(oldEast[c + 1], ground[c + 1]));
        const float weightedY = kOwnFluxShare * oldY + (0.5f * (1.0f - kOwnFluxShare)) *
                                                           (besideFlux(oldSouthAbove[c], northGround[c]) +
                                                            besideFlux(southBelow[c], southGround[c]));
        // The momentum the flow carries into the east neighbour less what it carries into this cell.
        const float momentumX =
            carriedMomentum(oldEast[c], eastVelocity[c], oldEast[c + 1], eastVelocity[c + 1],
                            ground[c + 1] == kNoData) -
            carriedMomentum(oldEast[c - 1], eastVelocity[c - 1], oldEast[c], eastVelocity[c], false);
        const float momentumY =
            carriedMomentum(oldY, velocityHere[c], southBelow[c], velocityBelow[c],
                            southGround[c] == kNoData) -
            carriedMomentum(oldSouthAbove[c], velocityAbove[c], oldY, velocityHere[c], false);
        const float east = faceFlux(weightedX, momentumX, eastOpen ? hx : 1.0f, surface - surfaceOld[c + 1],
                                    speed, frictionScale, momentumScale, slopeScale);
        const float south = faceFlux(weightedY, momentumY, southOpen ? hy : 1.0f, surface - southSurface[c],
                                     speed, frictionScale, momentumScale, slopeScale);
        const bool updated = ground[c] != kNoData;
        fluxX[c] = updated ? (eastOpen ? east : 0.0f) : oldX;
        fluxY[c] = updated ? (southOpen ? south : 0.0f) : oldY;
    }
    // The next row's row above is this one.
    float* const keptSouth = rows.oldSouthAbove;
    rows.oldSouthAbove = rows.spareSouth;
    rows.spareSouth = keptSouth;
    float* const keptVelocity = rows.velocityAbove;
    rows.velocityAbove = rows.velocityHere;
    rows.velocityHere = rows.velocityBelow;
    rows.velocityBelow = keptVelocity;
}

// Stage 2 on a row: keeps each cell from giving more water than it holds. All the faces through which it
// gives water in this step (its east and south faces with a positive flux, its west and north faces with
// a negative one) are scaled by one factor. Each face has one giver, so each flux is scaled by one cell
// only, and what a cell gives does not depend on the factors of its neighbours: the factors of the row
// first, then the faces.
void limitOutflow(const StepGrid& grid, const RowFields& n, const RowFields& k, ColumnSpan work,
                  float* __restrict factors, std::int32_t* __restrict limited) {
    const float* __restrict ground = k.ground;
    const float* __restrict surfaceOld = k.surfaceOld;
    float* __restrict fluxX = k.fluxX;
    float* __restrict fluxY = k.fluxY;
    float* __restrict northFluxY = n.fluxY;
    const int first = work.first;
    const int last = work.last;
    const float dt = grid.dt;
    const float dx = grid.dx;
    if (work.empty()) {
        return;
    }
    // The cells just outside the work give nothing.
    limited[first - 1] = 0;
    limited[last + 1] = 0;
    factors[first - 1] = 1.0f;
    factors[last + 1] = 1.0f;
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = first; c <= last; ++c) {
        const float given =
            (outward(fluxX[c]) + outward(fluxY[c])) + (outward(-fluxX[c - 1]) + outward(-northFluxY[c]));
        // The water the cell holds per metre of face.
        const float held = (surfaceOld[c] - ground[c]) * dx;
        const bool limit = (ground[c] != kNoData) & (given * dt > held);
        limited[c] = limit ? 1 : 0;
        factors[c] = limit ? (held / dt) / (limit ? given : 1.0f) : 1.0f;
    }
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = first - 1; c <= last; ++c) {
        // The face between columns c and c + 1: c gives through it when positive, c + 1 when negative.
        const float flux = fluxX[c];
        const bool scaled = ((flux > 0.0f) & (limited[c] != 0)) | ((flux < 0.0f) & (limited[c + 1] != 0));
        fluxX[c] = scaled ? flux * (flux > 0.0f ? factors[c] : factors[c + 1]) : flux;
    }
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = first; c <= last; ++c) {
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
void applyContinuity(const StepGrid& grid, const RowFields& n, const RowFields& k, const RowFields& s,
                     ColumnSpan work) {
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
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = work.first; c <= work.last; ++c) {
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

// Stage 4 on a row: the new surface of each cell of the work into surfaceOld, the excess-volume trim, the
// row's water and deepest cell, and the columns the step leaves not at rest.
void finish(const StepGrid& grid, StepTally& tally, const RowFields& k, int row, ColumnSpan work) {
    const float* __restrict ground = k.ground;
    const float* __restrict surfaceNew = k.surfaceNew;
    float* __restrict surfaceOld = k.surfaceOld;
    const float* __restrict fluxX = k.fluxX;
    const float* __restrict fluxY = k.fluxY;
    const int first = work.first;
    const int last = work.last;
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = first; c <= last; ++c) {
        surfaceOld[c] = ground[c] != kNoData ? surfaceNew[c] : surfaceOld[c];
    }
    if (tally.trimBudget > 0) {
        for (int c = first; c <= last; ++c) {
            if (tally.trimBudget > 0 && ground[c] != kNoData && surfaceOld[c] - ground[c] > kTrimDepth) {
                surfaceOld[c] -= kTrimAmount;
                k.surfaceNew[c] = surfaceOld[c];
                --tally.trimBudget;
                tally.trimmed += static_cast<double>(kTrimAmount) * grid.dx * grid.dx;
            }
        }
    }
    // The deepest water: for depths of zero and more the order of the floats is that of their bits as
    // whole numbers, which the compiler compares in vectors. With it, the first and last columns not at
    // rest: wet, holding a flux (of either sign of zero), or with a new surface apart from the ground.
    std::int32_t deepest = static_cast<std::int32_t>(bitsOf(tally.deepest));
    std::int32_t firstUnsettled = 0x7fffffff;
    std::int32_t lastUnsettled = -1;
    FLOOD_ROWS_INDEPENDENT_COLUMNS
    for (int c = first; c <= last; ++c) {
        const float depth = surfaceOld[c] - ground[c];
        const bool updated = ground[c] != kNoData;
        const std::int32_t bits = (updated & (depth >= 0.0f)) ? static_cast<std::int32_t>(bitsOf(depth)) : 0;
        deepest = bits > deepest ? bits : deepest;
        const std::uint32_t groundBits = bitsOf(ground[c]);
        const bool unsettled = (bitsOf(surfaceOld[c]) != groundBits) | (bitsOf(fluxX[c]) != 0u) |
                               (bitsOf(fluxY[c]) != 0u) | (updated & (bitsOf(surfaceNew[c]) != groundBits));
        firstUnsettled = unsettled & (c < firstUnsettled) ? c : firstUnsettled;
        lastUnsettled = unsettled ? c : lastUnsettled;
    }
    tally.deepest = floatOf(static_cast<std::uint32_t>(deepest));
    grid.unsettled[row] = ColumnSpan{firstUnsettled, lastUnsettled};
    // The row's water in kRowSumLanes sums, column c in sum (c - 1) % kRowSumLanes, added in pairs at
    // the end. A cell that is not updated, or at rest outside the work, adds +0, which leaves a sum as it
    // is: the sums start at the work's first whole group of lanes.
    double sums[kRowSumLanes] = {};
    int c = 1 + (first - 1) / kRowSumLanes * kRowSumLanes;
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

// Asks for the fields of row r ahead of the pass, over the columns the row carries: it reaches them from
// main memory one row ahead of its first stage, over more arrays at once than the processor follows by
// itself.
void prefetchRow(const Fields& fields, int r, ColumnSpan carry) {
    if (carry.empty()) {
        return;
    }
    for (int field = 0; field < kFloatFields; ++field) {
        const float* values = fields.row(r, FloatField(field));
        // The rows start on whole lines (see fieldStride).
        const int firstLine = (carry.first - 1) / 16;
        const int lastLine = (carry.last + 1) / 16;
        for (int line = firstLine; line <= lastLine; ++line) {
            __builtin_prefetch(values + line * 16, 1, 2);
        }
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
    const long long stride = fieldStride(grid.columns);
    float* factors = scratch.floats;
    std::int32_t* limited = scratch.ints;
    // Scratch rows 1 to 6 keep what the flux stage carries from row to row; the east-face velocities share
    // row 0 with the limiter's factors, as the two stages never work on a row at the same time.
    const auto scratchRow = [&](int i) { return scratch.floats + i * stride; };
    FluxRows fluxRows{scratchRow(1), scratchRow(2), scratchRow(3), scratchRow(4),
                      scratchRow(5), scratchRow(6), factors};
    const auto row = [&grid](int r) { return RowFields(grid.fields, r); };
    // Rows past the grid's last are read as the last (a wall): the faces toward them close.
    const auto rowOrLast = [&grid](int r) {
        return RowFields(grid.fields, r < grid.rows ? r : grid.rows - 1);
    };
    for (int i = begin; i <= end; ++i) {
        if (i + 2 < grid.rows) {
            prefetchRow(grid.fields, i + 2, grid.rowWork[i + 2].carry);
        }
        if (rows.has(kFluxes, i)) {
            if (i == rows.first[kFluxes]) {
                const float* above = scratch.southFluxAbove ? scratch.southFluxAbove : row(i - 1).fluxY;
                startFluxRows(row(i - 1), above, row(i), row(i + 1), grid.rowWork[i].carry, fluxRows);
            }
            const float* below =
                i == rows.last[kFluxes] && scratch.southFluxBelow ? scratch.southFluxBelow : row(i + 1).fluxY;
            computeFluxes(grid, row(i - 1), row(i), row(i + 1), rowOrLast(i + 2), below, grid.rowWork[i],
                          fluxRows, tally);
        }
        if (rows.has(kLimit, i)) {
            limitOutflow(grid, row(i - 1), row(i), grid.rowWork[i].work, factors, limited);
        }
        int r = i - kStageLag[kContinuity];
        if (rows.has(kContinuity, r)) {
            applyContinuity(grid, row(r - 1), row(r), row(r + 1), grid.rowWork[r].work);
        }
        r = i - kStageLag[kFinish];
        if (rows.has(kFinish, r)) {
            finish(grid, tally, row(r), r, grid.rowWork[r].work);
        }
    }
}

}  // namespace floodrows
