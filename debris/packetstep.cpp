// The time step of one flow packet: the slope of the debris surface under it, the resistance, the new
// velocity and position, and the cell it lands in.
#include <omp.h>

#include <algorithm>
#include <cmath>
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

// +1, -1 or 0; without branches, as the sign of a lateral velocity changes often.
double signOf(double w) {
    return static_cast<double>((w > 0) - (w < 0));
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

// Resistance deceleration g × (τB ÷ (ρm h) sgn(v) + 2 μ v ÷ (ρm h²) + (g ÷ C²) v |v| ÷ (g h)) on each axis,
// with |v| the speed at the start of the step.
inline void frictionDeceleration(FlowPacket& packet, const ResistanceTerms& terms) {
    const double v = std::sqrt(packet.vx * packet.vx + packet.vy * packet.vy);
    packet.frictionX =
        g * (terms.yieldTerm * signOf(packet.vx) + terms.twoViscosity * packet.vx / terms.viscousDivisor +
             terms.turbulentFactor * packet.vx * v / terms.gravityDepth);
    packet.frictionY =
        g * (terms.yieldTerm * signOf(packet.vy) + terms.twoViscosity * packet.vy / terms.viscousDivisor +
             terms.turbulentFactor * packet.vy * v / terms.gravityDepth);
}

inline void updateVelocity(FlowPacket& packet, double timeStep) {
    packet.vx = (packet.slopeX - packet.frictionX) * timeStep + packet.vxPrev;
    packet.vy = (packet.slopeY - packet.frictionY) * timeStep + packet.vyPrev;
    // A packet that comes to rest still completes the step it stopped in.
    if (std::fabs(packet.vx) <= stopSpeed && std::fabs(packet.vy) <= stopSpeed) {
        packet.stopped = true;
    }
}

inline void advancePosition(FlowPacket& packet, double timeStep) {
    packet.dx = (packet.vxPrev + packet.vx) * 0.5 * timeStep;
    packet.dy = (packet.vyPrev + packet.vy) * 0.5 * timeStep;
    packet.x += packet.dx;
    packet.y += packet.dy;
}

inline void reflectAtBorder(FlowPacket& packet, double minX, double minY, double maxX, double maxY) {
    if (packet.stopped) {
        return;
    }
    // Only the velocity turns back, at half its size; the position stays where the step took it.
    if (minX > packet.x && packet.vx < 0) {
        packet.vx = -packet.vx / 2;
    } else if (packet.x > maxX && packet.vx > 0) {
        packet.vx = -packet.vx / 2;
    }
    if (minY > packet.y && packet.vy < 0) {
        packet.vy = -packet.vy / 2;
    } else if (packet.y > maxY && packet.vy > 0) {
        packet.vy = -packet.vy / 2;
    }
}

inline void locateCell(FlowPacket& packet, double cellSize, double minX, double minY, int rows, int cols) {
    // Worked in doubles and clamped before the conversion, so that a position far outside the grid (or
    // not a number at all) lands on the ring instead of overflowing an int.
    const double row = rows - std::trunc((packet.y - minY) / cellSize) - 1;
    const double col = std::trunc((packet.x - minX) / cellSize);
    if (!(row > 0)) {
        packet.row = 0;
        packet.stopped = true;
    } else if (!(row < rows - 1)) {
        packet.row = rows - 1;
        packet.stopped = true;
    } else {
        packet.row = static_cast<int>(row);
    }
    if (!(col > 0)) {
        packet.col = 0;
        packet.stopped = true;
    } else if (!(col < cols - 1)) {
        packet.col = cols - 1;
        packet.stopped = true;
    } else {
        packet.col = static_cast<int>(col);
    }
}

inline void cellFraction(FlowPacket& packet, double cellSize, double minX, double minY, int rows) {
    packet.fracX = (packet.x - minX - packet.col * cellSize) / cellSize;
    packet.fracY = (packet.y - minY - (rows - 1 - packet.row) * cellSize) / cellSize;
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

int CADebrisFlow::stepPacketRun(PacketTable& packets, int* indices, int count, const DebrisGrid& grid,
                                double cellSize, double timeStep, double minX, double minY, double maxX,
                                double maxY, int rows, int cols, StepMemo& memo) const {
    const StepFrame frame{cellSize, timeStep, minX, minY, maxX, maxY, rows, cols};
    // Each sub-step runs over a small group of packets before the next one starts, so that the long
    // divisions of several packets overlap.
    constexpr int groupSize = 8;
    // Slopes are remembered only in a memo made for this grid.
    const bool rememberSlopes = memo.slopes.size() == static_cast<std::size_t>(grid.rows()) * grid.cols();
    MaterialMemo material;
    FlowPacket* group[groupSize];
    ResistanceTerms terms[groupSize];
    int moving = 0;
    for (int first = 0; first < count; first += groupSize) {
        const int size = count - first < groupSize ? count - first : groupSize;
        for (int k = 0; k < size; ++k) {
            group[k] = &packets[indices[first + k]];
            terms[k] = beginStep(*group[k], grid, cellSize, memo, material, rememberSlopes);
        }
        for (int k = 0; k < size; ++k) {
            substep::frictionDeceleration(*group[k], terms[k]);
        }
        for (int k = 0; k < size; ++k) {
            substep::updateVelocity(*group[k], frame.timeStep);
            substep::advancePosition(*group[k], frame.timeStep);
            substep::reflectAtBorder(*group[k], frame.minX, frame.minY, frame.maxX, frame.maxY);
        }
        for (int k = 0; k < size; ++k) {
            substep::locateCell(*group[k], frame.cellSize, frame.minX, frame.minY, frame.rows, frame.cols);
        }
        for (int k = 0; k < size; ++k) {
            substep::cellFraction(*group[k], frame.cellSize, frame.minX, frame.minY, frame.rows);
            group[k]->vxPrev = group[k]->vx;
            group[k]->vyPrev = group[k]->vy;
            // The list shrinks behind the group being read, so it can be rewritten in place.
            if (!group[k]->stopped) {
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
