// The time step of one flow packet: the slope of the debris surface under it, the resistance, the new
// velocity and position, and the cell it lands in.
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "cadebrisflow.h"

namespace {

constexpr double g = CADebrisFlow::gravity;

// The resistance law works with a fixed flow depth of 4 m at every step; its sixth root enters the Chezy
// coefficient of every packet, so it is taken once.
constexpr double fixedFlowDepth = 4.0;
const double fixedFlowDepthSixthRoot = std::pow(fixedFlowDepth, 1.0 / 6.0);

// Speeds within this band on both axes count as standing still, m/s.
constexpr double stopSpeed = 0.05;

// +1, -1 or 0; without branches, as the sign of a lateral velocity changes often (selects, which a loop
// over several packets also turns into vector instructions).
inline double signOf(double w) {
    return w > 0 ? 1.0 : (w < 0 ? -1.0 : 0.0);
}

// The surface the packets slide on: the terrain and the debris on it now. The trace that the cells keep
// of packets gone by would push each packet on along its own trail.
double surface(const DebrisCell& cell) {
    return cell.elevation + cell.presentDepth;
}

// Acceleration along a surface whose Sobel difference over the 3 × 3 stencil is `difference`:
// g·sin(atan(|D| ÷ 8s)) carrying the sign of D.
double surfaceAcceleration(double difference, double cellSize) {
    if (difference > 0) {
        return g * std::sin(std::atan(difference / (8 * cellSize)));
    }
    if (difference < 0) {
        return -(g * std::sin(std::atan(-difference / (8 * cellSize))));
    }
    return 0;
}

double chezyOf(double manningN) {
    return (1 / manningN) * fixedFlowDepthSixthRoot;
}

ResistanceTerms resistanceTerms(const FlowPacket& packet) {
    const double h = packet.flowDepth;
    const double rho = packet.density;
    const double c = packet.chezy;
    ResistanceTerms terms;
    terms.yieldTerm = packet.yieldStress / (rho * h);
    terms.twoViscosity = 2 * packet.viscosity;
    terms.viscousDivisor = rho * h * h;
    terms.turbulentFactor = g / (c * c);
    terms.gravityDepth = g * h;
    return terms;
}

// The grid and time step a packet moves in.
struct StepFrame {
    double cellSize;
    double timeStep;
    double minX;
    double minY;
    double maxX;
    double maxY;
    int rows;
    int cols;
};

// The sub-steps, one definition each: the public sub-steps call them, and the whole step inlines them.
namespace substep {

inline void slopeAcceleration(FlowPacket& packet, const DebrisGrid& grid, double cellSize) {
    const int c = packet.col;
    const DebrisCell* north = grid[packet.row - 1];
    const DebrisCell* here = grid[packet.row];
    const DebrisCell* south = grid[packet.row + 1];
    // Sobel differences: west minus east, south minus north.
    packet.dx = (2 * surface(here[c - 1]) + surface(north[c - 1]) + surface(south[c - 1])) -
                (2 * surface(here[c + 1]) + surface(north[c + 1]) + surface(south[c + 1]));
    packet.dy = (2 * surface(south[c]) + surface(south[c - 1]) + surface(south[c + 1])) -
                (2 * surface(north[c]) + surface(north[c - 1]) + surface(north[c + 1]));
    packet.slopeX = surfaceAcceleration(packet.dx, cellSize);
    packet.slopeY = surfaceAcceleration(packet.dy, cellSize);
}

// The arithmetic of the sub-steps on single values, shared by the sub-steps of one packet below and the
// group step further down, so that a packet moves the same whichever way it is stepped.

// Resistance deceleration g × (τB ÷ (ρm h) sgn(w) + 2 μ w ÷ (ρm h²) + (g ÷ C²) w |v| ÷ (g h)) of velocity
// component w, with |v| the speed at the start of the step.
inline double friction(double yieldTerm, double twoViscosity, double viscousDivisor, double turbulentFactor,
                       double gravityDepth, double w, double v) {
    return g * (yieldTerm * signOf(w) + twoViscosity * w / viscousDivisor +
                turbulentFactor * w * v / gravityDepth);
}

inline double newVelocity(double slope, double friction, double previous, double timeStep) {
    return (slope - friction) * timeStep + previous;
}

inline bool atRest(double vx, double vy) {
    return std::fabs(vx) <= stopSpeed && std::fabs(vy) <= stopSpeed;
}

inline double displacement(double previous, double velocity, double timeStep) {
    return (previous + velocity) * 0.5 * timeStep;
}

// Velocity component w after the border: beyond it and still heading out, it turns back at half its size.
// Only the velocity turns back; the position stays where the step took it.
inline double turnedAtBorder(double w, double position, double low, double high) {
    const bool out = (low > position && w < 0) || (position > high && w > 0);
    return out ? -w / 2 : w;
}

// Row or column index (a whole number, or not a number) placed on the grid: indices from `last` on and
// not above 0 land on the ring. Worked in doubles so that a position far outside the grid (or not a
// number at all) lands on the ring instead of overflowing an int.
inline bool offGrid(double index, double last) {
    return !(index > 0) || !(index < last);
}
inline double placedIndex(double index, double last) {
    return !(index > 0) ? 0.0 : (!(index < last) ? last : index);
}
inline double rowOf(double y, double minY, double cellSize, int rows) {
    return rows - std::trunc((y - minY) / cellSize) - 1;
}
inline double colOf(double x, double minX, double cellSize) {
    return std::trunc((x - minX) / cellSize);
}

// Position inside the cell, 0..1, from the coordinate and the cell's lower edge counted in cells from
// the grid's.
inline double fraction(double position, double low, double cellsFromLow, double cellSize) {
    return (position - low - cellsFromLow * cellSize) / cellSize;
}

inline void frictionDeceleration(FlowPacket& packet, const ResistanceTerms& terms) {
    const double v = std::sqrt(packet.vx * packet.vx + packet.vy * packet.vy);
    packet.frictionX = friction(terms.yieldTerm, terms.twoViscosity, terms.viscousDivisor,
                                terms.turbulentFactor, terms.gravityDepth, packet.vx, v);
    packet.frictionY = friction(terms.yieldTerm, terms.twoViscosity, terms.viscousDivisor,
                                terms.turbulentFactor, terms.gravityDepth, packet.vy, v);
}

inline void updateVelocity(FlowPacket& packet, double timeStep) {
    packet.vx = newVelocity(packet.slopeX, packet.frictionX, packet.vxPrev, timeStep);
    packet.vy = newVelocity(packet.slopeY, packet.frictionY, packet.vyPrev, timeStep);
    // A packet that comes to rest still completes the step it stopped in.
    if (atRest(packet.vx, packet.vy)) {
        packet.stopped = true;
    }
}

inline void advancePosition(FlowPacket& packet, double timeStep) {
    packet.dx = displacement(packet.vxPrev, packet.vx, timeStep);
    packet.dy = displacement(packet.vyPrev, packet.vy, timeStep);
    packet.x += packet.dx;
    packet.y += packet.dy;
}

inline void reflectAtBorder(FlowPacket& packet, double minX, double minY, double maxX, double maxY) {
    if (packet.stopped) {
        return;
    }
    packet.vx = turnedAtBorder(packet.vx, packet.x, minX, maxX);
    packet.vy = turnedAtBorder(packet.vy, packet.y, minY, maxY);
}

inline void locateCell(FlowPacket& packet, double cellSize, double minX, double minY, int rows, int cols) {
    const double row = rowOf(packet.y, minY, cellSize, rows);
    const double col = colOf(packet.x, minX, cellSize);
    if (offGrid(row, rows - 1) || offGrid(col, cols - 1)) {
        packet.stopped = true;
    }
    packet.row = static_cast<int>(placedIndex(row, rows - 1));
    packet.col = static_cast<int>(placedIndex(col, cols - 1));
}

inline void cellFraction(FlowPacket& packet, double cellSize, double minX, double minY, int rows) {
    packet.fracX = fraction(packet.x, minX, packet.col, cellSize);
    packet.fracY = fraction(packet.y, minY, rows - 1 - packet.row, cellSize);
}

}  // namespace substep
}  // namespace

struct CADebrisFlow::MaterialMemo {
    bool known = false;
    double manningN = 0;
    double yieldStress = 0;
    double viscosity = 0;
    double density = 0;
    double chezy = 0;
    ResistanceTerms resistance;
};

void StepMemo::resize(const DebrisGrid& grid) {
    slopes.assign(static_cast<std::size_t>(grid.rows()) * grid.cols(), Slope());
    currentPass = 0;
}

inline ResistanceTerms CADebrisFlow::beginStep(FlowPacket& packet, const DebrisGrid& grid, double cellSize,
                                               StepMemo& memo, MaterialMemo& material,
                                               bool rememberSlopes) const {
    packet.flowDepth = fixedFlowDepth;
    if (!material.known || packet.manningN != material.manningN ||
        packet.yieldStress != material.yieldStress || packet.viscosity != material.viscosity ||
        packet.density != material.density) {
        packet.chezy = chezyOf(packet.manningN);
        material.known = true;
        material.manningN = packet.manningN;
        material.yieldStress = packet.yieldStress;
        material.viscosity = packet.viscosity;
        material.density = packet.density;
        material.chezy = packet.chezy;
        material.resistance = resistanceTerms(packet);
    }
    packet.chezy = material.chezy;
    if (!rememberSlopes) {
        substep::slopeAcceleration(packet, grid, cellSize);
        return material.resistance;
    }
    StepMemo::Slope& slope = memo.slopes[static_cast<std::size_t>(packet.row) * grid.cols() + packet.col];
    const unsigned long long storing = 2 * memo.currentPass;
    const unsigned long long stored = storing + 1;
    unsigned long long state = slope.state.load(std::memory_order_acquire);
    if (state == stored) {
        packet.dx = slope.dx;
        packet.dy = slope.dy;
        packet.slopeX = slope.slopeX;
        packet.slopeY = slope.slopeY;
        return material.resistance;
    }
    substep::slopeAcceleration(packet, grid, cellSize);
    if (state < storing && slope.state.compare_exchange_strong(state, storing, std::memory_order_relaxed)) {
        slope.dx = packet.dx;
        slope.dy = packet.dy;
        slope.slopeX = packet.slopeX;
        slope.slopeY = packet.slopeY;
        slope.state.store(stored, std::memory_order_release);
    }
    return material.resistance;
}

void CADebrisFlow::stepPacket(PacketTable& packets, int index, const DebrisGrid& grid, double cellSize,
                              double timeStep, double minX, double minY, double maxX, double maxY, int rows,
                              int cols) const {
    // A memo made for no grid remembers no slopes: every value is worked out for this packet.
    StepMemo fresh;
    int list[1] = {index};
    stepPackets(packets, list, 1, grid, cellSize, timeStep, minX, minY, maxX, maxY, rows, cols, fresh);
}

namespace {

// The most threads a pass is shared among, and the fewest packets each takes: below that, waking the
// threads costs more than the steps. Left to choose, a pass is shared only when each thread gets many.
constexpr int maxPacketThreads = 64;
constexpr int minPacketsPerThread = 32;
constexpr int minPacketsPerChosenThread = 2048;

}  // namespace

int CADebrisFlow::stepPackets(PacketTable& packets, int* indices, int count, const DebrisGrid& grid,
                              double cellSize, double timeStep, double minX, double minY, double maxX,
                              double maxY, int rows, int cols, StepMemo& memo, int threadCount) const {
    const int wanted = threadCount > 0 ? threadCount : std::max(1, omp_get_num_procs());
    const int perThread = threadCount > 0 ? minPacketsPerThread : minPacketsPerChosenThread;
    const int threads = std::min({wanted, maxPacketThreads, count / perThread});
    if (threads <= 1) {
        return stepPacketRun(packets, indices, count, grid, cellSize, timeStep, minX, minY, maxX, maxY, rows,
                             cols, memo);
    }
    // Each thread steps one stretch of the list and keeps its moving packets at the stretch's start; the
    // stretches are then closed up in order.
    const auto stretchStart = [&](int stretch) {
        return static_cast<int>(static_cast<long long>(count) * stretch / threads);
    };
    int kept[maxPacketThreads];
#pragma omp parallel for num_threads(threads) schedule(static)
    for (int stretch = 0; stretch < threads; ++stretch) {
        const int first = stretchStart(stretch);
        kept[stretch] = stepPacketRun(packets, indices + first, stretchStart(stretch + 1) - first, grid,
                                      cellSize, timeStep, minX, minY, maxX, maxY, rows, cols, memo);
    }
    int moving = kept[0];
    for (int stretch = 1; stretch < threads; ++stretch) {
        std::memmove(indices + moving, indices + stretchStart(stretch), sizeof(int) * kept[stretch]);
        moving += kept[stretch];
    }
    return moving;
}

namespace {

// The packets of one group, field by field: each sub-step is then one loop over the group that the
// compiler turns into vector instructions, so that the divisions of several packets run at once.
// `stopped` is 1 or 0, a double like the rest, so that the loops select without branches.
constexpr int groupSize = 8;
struct alignas(64) PacketGroup {
    double vx[groupSize], vy[groupSize], vxPrev[groupSize], vyPrev[groupSize];
    double x[groupSize], y[groupSize], dx[groupSize], dy[groupSize];
    double slopeX[groupSize], slopeY[groupSize], frictionX[groupSize], frictionY[groupSize];
    double yieldTerm[groupSize], twoViscosity[groupSize], viscousDivisor[groupSize];
    double turbulentFactor[groupSize], gravityDepth[groupSize];
    double row[groupSize], col[groupSize], fracX[groupSize], fracY[groupSize];
    double stopped[groupSize];
};

// The sub-steps after the slope, for every lane of the group (lanes past the live ones hold copies).
// Built once more for processors with wider vectors; without fused products both give the same packets.
__attribute__((target_clones("avx", "default"))) void stepGroup(PacketGroup& p, const StepFrame& f) {
    using namespace substep;
    // In locals, so that the stores into the group cannot be taken to change them.
    const double dt = f.timeStep;
    const double minX = f.minX;
    const double minY = f.minY;
    const double maxX = f.maxX;
    const double maxY = f.maxY;
    const double cellSize = f.cellSize;
    const int rows = f.rows;
    for (int k = 0; k < groupSize; ++k) {
        const double v = std::sqrt(p.vx[k] * p.vx[k] + p.vy[k] * p.vy[k]);
        p.frictionX[k] = friction(p.yieldTerm[k], p.twoViscosity[k], p.viscousDivisor[k], p.turbulentFactor[k],
                                  p.gravityDepth[k], p.vx[k], v);
        p.frictionY[k] = friction(p.yieldTerm[k], p.twoViscosity[k], p.viscousDivisor[k], p.turbulentFactor[k],
                                  p.gravityDepth[k], p.vy[k], v);
    }
    for (int k = 0; k < groupSize; ++k) {
        const double vx = newVelocity(p.slopeX[k], p.frictionX[k], p.vxPrev[k], dt);
        const double vy = newVelocity(p.slopeY[k], p.frictionY[k], p.vyPrev[k], dt);
        const double stopped = atRest(vx, vy) ? 1.0 : p.stopped[k];
        p.dx[k] = displacement(p.vxPrev[k], vx, dt);
        p.dy[k] = displacement(p.vyPrev[k], vy, dt);
        const double x = p.x[k] + p.dx[k];
        const double y = p.y[k] + p.dy[k];
        p.vx[k] = stopped != 0 ? vx : turnedAtBorder(vx, x, minX, maxX);
        p.vy[k] = stopped != 0 ? vy : turnedAtBorder(vy, y, minY, maxY);
        p.x[k] = x;
        p.y[k] = y;
        p.stopped[k] = stopped;
    }
    const double lastRow = f.rows - 1;
    const double lastCol = f.cols - 1;
    for (int k = 0; k < groupSize; ++k) {
        const double row = rowOf(p.y[k], minY, cellSize, rows);
        const double col = colOf(p.x[k], minX, cellSize);
        p.stopped[k] = offGrid(row, lastRow) || offGrid(col, lastCol) ? 1.0 : p.stopped[k];
        p.row[k] = placedIndex(row, lastRow);
        p.col[k] = placedIndex(col, lastCol);
    }
    for (int k = 0; k < groupSize; ++k) {
        p.fracX[k] = fraction(p.x[k], minX, p.col[k], cellSize);
        p.fracY[k] = fraction(p.y[k], minY, lastRow - p.row[k], cellSize);
    }
}

}  // namespace

int CADebrisFlow::stepPacketRun(PacketTable& packets, int* indices, int count, const DebrisGrid& grid,
                                double cellSize, double timeStep, double minX, double minY, double maxX,
                                double maxY, int rows, int cols, StepMemo& memo) const {
    const StepFrame frame{cellSize, timeStep, minX, minY, maxX, maxY, rows, cols};
    // Slopes are remembered only in a memo made for this grid.
    const bool rememberSlopes = memo.slopes.size() == static_cast<std::size_t>(grid.rows()) * grid.cols();
    MaterialMemo material;
    PacketGroup p;
    int moving = 0;
    for (int first = 0; first < count; first += groupSize) {
        const int size = count - first < groupSize ? count - first : groupSize;
        // The packets of the next group are fetched while this one is stepped: the list skips the packets
        // that stopped, which defeats the processor's own guess of what comes next.
        const int next = std::min(count, first + 2 * groupSize);
        for (int j = first + groupSize; j < next; ++j) {
            const char* bytes = reinterpret_cast<const char*>(&packets[indices[j]]);
            for (std::size_t offset = 0; offset < sizeof(FlowPacket); offset += 64) {
                __builtin_prefetch(bytes + offset);
            }
            __builtin_prefetch(bytes + sizeof(FlowPacket) - 1);
        }
        for (int k = 0; k < groupSize; ++k) {
            FlowPacket& packet = packets[indices[first + (k < size ? k : 0)]];
            if (k < size) {
                const ResistanceTerms terms = beginStep(packet, grid, cellSize, memo, material, rememberSlopes);
                p.yieldTerm[k] = terms.yieldTerm;
                p.twoViscosity[k] = terms.twoViscosity;
                p.viscousDivisor[k] = terms.viscousDivisor;
                p.turbulentFactor[k] = terms.turbulentFactor;
                p.gravityDepth[k] = terms.gravityDepth;
            } else {
                p.yieldTerm[k] = p.yieldTerm[0];
                p.twoViscosity[k] = p.twoViscosity[0];
                p.viscousDivisor[k] = p.viscousDivisor[0];
                p.turbulentFactor[k] = p.turbulentFactor[0];
                p.gravityDepth[k] = p.gravityDepth[0];
            }
            p.vx[k] = packet.vx;
            p.vy[k] = packet.vy;
            p.vxPrev[k] = packet.vxPrev;
            p.vyPrev[k] = packet.vyPrev;
            p.x[k] = packet.x;
            p.y[k] = packet.y;
            p.slopeX[k] = packet.slopeX;
            p.slopeY[k] = packet.slopeY;
            p.stopped[k] = packet.stopped ? 1.0 : 0.0;
        }
        stepGroup(p, frame);
        for (int k = 0; k < size; ++k) {
            FlowPacket& packet = packets[indices[first + k]];
            packet.vx = packet.vxPrev = p.vx[k];
            packet.vy = packet.vyPrev = p.vy[k];
            packet.x = p.x[k];
            packet.y = p.y[k];
            packet.dx = p.dx[k];
            packet.dy = p.dy[k];
            packet.frictionX = p.frictionX[k];
            packet.frictionY = p.frictionY[k];
            packet.row = static_cast<int>(p.row[k]);
            packet.col = static_cast<int>(p.col[k]);
            packet.fracX = p.fracX[k];
            packet.fracY = p.fracY[k];
            packet.stopped = p.stopped[k] != 0;
            // The list shrinks behind the group being read, so it can be rewritten in place.
            if (!packet.stopped) {
                indices[moving++] = indices[first + k];
            }
        }
    }
    return moving;
}

void CADebrisFlow::slopeAcceleration(FlowPacket& packet, const DebrisGrid& grid, double cellSize) const {
    substep::slopeAcceleration(packet, grid, cellSize);
}

void CADebrisFlow::frictionDeceleration(FlowPacket& packet) const {
    substep::frictionDeceleration(packet, resistanceTerms(packet));
}

void CADebrisFlow::updateVelocity(FlowPacket& packet, double timeStep) const {
    substep::updateVelocity(packet, timeStep);
}

void CADebrisFlow::advancePosition(FlowPacket& packet, double timeStep) const {
    substep::advancePosition(packet, timeStep);
}

void CADebrisFlow::reflectAtBorder(FlowPacket& packet, double minX, double minY, double maxX,
                                   double maxY) const {
    substep::reflectAtBorder(packet, minX, minY, maxX, maxY);
}

void CADebrisFlow::locateCell(FlowPacket& packet, double cellSize, double minX, double minY, int rows,
                              int cols) const {
    substep::locateCell(packet, cellSize, minX, minY, rows, cols);
}

void CADebrisFlow::cellFraction(FlowPacket& packet, double cellSize, double minX, double minY,
                                int rows) const {
    substep::cellFraction(packet, cellSize, minX, minY, rows);
}
