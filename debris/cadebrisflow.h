#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// One cell of the debris-flow grid. Everything but `elevation` starts at zero; the accumulation after
// every step turns the packets found in the cell into its depth and mean velocity. The cell's depth (in
// the grid's depth array, DebrisGrid::depths) and the results after `sumVy` keep the trace of the last
// packets that crossed the cell (what the surface shows); `presentDepth` is the debris in the cell now,
// which is what the packets' slope sees.
struct DebrisCell {
    int packetCount = 0;   // packets counted during the accumulation under way; 0 between accumulations
    double elevation = 0;  // terrain height, m
    double momentum = 0;  // packetCount × ρm × Vp × speed of the last accumulation that found packets here
    double speed = 0;     // speed of the mean velocity, m/s
    double meanVx = 0;    // m/s
    double meanVy = 0;    // m/s
    double sumSpeedSq = 0;
    double sumVx = 0;
    double sumVy = 0;
    double kineticEnergy = 0;
    double momentumAtPeak = 0;  // momentum when peakSpeed was last raised
    double peakSpeed = 0;
    double peakDepth = 0;
    double energyAtPeak = 0;  // kineticEnergy when peakSpeed was last raised
    double presentDepth = 0;  // m: the packets found here by the last accumulation; 0 where none are
};

// A grid cell from which packets are released.
struct BreachCell {
    int row = 0;
    int col = 0;
};

// One released packet: a point mass carrying the volume Vp of debris.
struct FlowPacket {
    bool stopped = false;  // no longer moves, but is still counted into its cell
    int row = 0;
    int col = 0;
    double vxPrev = 0;  // velocity at the start of the step, m/s
    double vyPrev = 0;
    double vx = 0;  // velocity at the end of the step, m/s
    double vy = 0;
    double dx = 0;  // displacement of the last step, m (the slope differences while a step runs)
    double dy = 0;
    double fracX = 0;  // position inside the cell, 0..1 from its west edge
    double fracY = 0;  // 0..1 from its south edge
    double x = 0;      // map coordinates, m
    double y = 0;
    double frictionX = 0;  // resistance deceleration of the last step, m/s²
    double frictionY = 0;
    double slopeX = 0;  // gravity acceleration along the surface of the last step, m/s²
    double slopeY = 0;
    double flowDepth = 0;  // m
    double manningN = 0;
    double density = 0;  // ρm, kg/m³
    double chezy = 0;
    double yieldStress = 0;  // τB, Pa
    double viscosity = 0;    // μ, Pa·s
};

// The terrain grid: `rows()` rows of `cols()` cells in one block, addressed grid[row][column], row 0
// the northern-most. The debris depths of the cells lie apart in an array of their own, depths(row)[column],
// so that a scan for debris (every frame's surface) reads eight bytes a cell.
class DebrisGrid {
public:
    DebrisGrid() = default;
    DebrisGrid(int rows, int cols);

    int rows() const { return rowCount; }
    int cols() const { return colCount; }
    DebrisCell* operator[](int row) { return cells.data() + static_cast<std::size_t>(row) * colCount; }
    const DebrisCell* operator[](int row) const {
        return cells.data() + static_cast<std::size_t>(row) * colCount;
    }
    // Debris depth of the cells of a row, m: the trace of the last packets that crossed each cell.
    double* depths(int row) { return traceDepths.data() + static_cast<std::size_t>(row) * colCount; }
    const double* depths(int row) const {
        return traceDepths.data() + static_cast<std::size_t>(row) * colCount;
    }

private:
    friend class CADebrisFlow;

    int rowCount = 0;
    int colCount = 0;
    std::vector<DebrisCell> cells;
    std::vector<double> traceDepths;
    // The flat indices of the cells that received packets at the last accumulation, so that averaging
    // visits only those and the next accumulation knows which present depths to clear. Sized for every
    // cell, so that it never grows (also in a copy of the grid).
    std::vector<int> touchedCells;
    int touchedCount = 0;
};

// The parts of the resistance law that depend on a packet's material and flow depth h only, with C the
// Chezy coefficient.
struct ResistanceTerms {
    double yieldTerm = 0;        // τB ÷ (ρm h)
    double twoViscosity = 0;     // 2 μ
    double viscousDivisor = 0;   // ρm h h
    double turbulentFactor = 0;  // g ÷ C²
    double gravityDepth = 0;     // g h
};

// What one pass over the moving packets has worked out already. Within a pass the debris surface does not
// change, so every packet in a cell gets the same surface differences and accelerations. Taking them from
// here gives exactly the values a fresh computation would, whichever thread worked them out first.
class StepMemo {
public:
    // Room for every cell of a grid (allocated once per run). A memo without it remembers no slopes.
    void resize(const DebrisGrid& grid);
    // Forgets the slopes of the previous pass; call before every pass.
    void startPass() { ++currentPass; }

private:
    friend class CADebrisFlow;
    // The threads of a pass share the memo: the first to claim a cell's slope stores it, and the others
    // read it once it is marked stored (until then they work it out themselves). `state` is 2 × pass
    // while the slope of that pass is being stored and 2 × pass + 1 once it is.
    struct Slope {
        std::atomic<unsigned long long> state{0};
        double dx = 0;
        double dy = 0;
        double slopeX = 0;
        double slopeY = 0;

        Slope() = default;
        Slope(const Slope& other) { *this = other; }
        Slope& operator=(const Slope& other) {
            state.store(other.state.load(std::memory_order_relaxed), std::memory_order_relaxed);
            dx = other.dx;
            dy = other.dy;
            slopeX = other.slopeX;
            slopeY = other.slopeY;
            return *this;
        }
    };
    std::vector<Slope> slopes;
    unsigned long long currentPass = 0;
};

using BreachList = std::vector<BreachCell>;
// Sized to the run's packet capacity once; the first debrisPacketCount entries are live.
using PacketTable = std::vector<FlowPacket>;

// The debris-flow model: operations on the caller's grid, breach list and packet table. Cell sizes passed
// to the step operations are the whole-metre cell size of the run.
class CADebrisFlow {
public:
    static constexpr double gravity = 9.81;  // m/s²
    // Largest grid the readers accept, in cells. A run keeps about 170 bytes per cell (the cell, its slope
    // memo and accumulation scratch), so this is some 4 GB.
    static constexpr long long maxGridCells = 25'000'000;
    // Height of a grid cell without data (the header's NODATA_value): a wall that keeps the flow on the
    // terrain, and the value the surface drawing leaves out.
    static constexpr double noDataElevation = 9999;

    // Bingham yield stress τB (Pa) from the volume concentration Cy and the limit concentration Cm.
    double yieldStress(double yieldConcentration, double limitConcentration) const;
    // Viscosity μ (Pa·s) from the volume concentration Cv and the limit concentration Cm.
    double viscosity(double volumeConcentration, double limitConcentration) const;

    // Reads "θ count row col row col ...": tokens at blanks and line ends of any kind, each a whole decimal
    // number (θ any decimal number). Returns nothing, with the reason in `problem`, for a file that cannot
    // be opened or holds anything else or more than it announces; an empty list for a count of 0.
    std::optional<BreachList> readBreachFile(const std::string& path, int& count, double& leadingValue,
                                             std::string& problem) const;
    // Reads the terrain grid from an ESRI ASCII grid (header by keyword, asciigrid.h) or any raster GDAL
    // reads (gridreader.h). Cells holding the no-data value get noDataElevation. Returns nothing, with the
    // reason in `problem`, for a file that cannot be opened, a header that is incomplete or implausible, a
    // grid larger than maxGridCells, other than the header's number of heights (checked before the grid is
    // allocated), or a height that is not a number or lies beyond any terrain.
    std::optional<DebrisGrid> readGrid(const std::string& path, int& rows, int& cols, double& minX,
                                       double& minY, double& cellSize, std::string& problem) const;

    // Packets per breach cell and step into `perCell`; writes the outlet depth into every breach cell.
    void releaseRate(double releaseSpeed, double cellSize, double packetVolume, double& perCell,
                     double outletDepth, DebrisGrid& grid, const BreachList& breachCells, int breachCount,
                     double timeStep) const;
    // Release velocity from the release speed and direction (radians, counter-clockwise from east).
    void releaseVelocity(double releaseSpeed, double& vx0, double& vy0, double releaseAngle) const;
    // Packet `packetIndex` of this step from breach cell `breachIndex`; `wholePerCell` is trunc(perCell).
    FlowPacket createPacket(int breachCount, int wholePerCell, double yieldStressPa, double viscosityPaS,
                            double outletDepth, double density, double vx0, double vy0,
                            const BreachList& breachCells, double cellSize, double minX, double minY,
                            int rows, int breachIndex, int packetIndex, double roughness) const;

    // One time step of packet `index`: the flow depth of 4 m and the Chezy coefficient, then the seven
    // sub-steps below in this order. The packet's cell must not lie on the outer ring of the grid (a packet
    // stops when it reaches the ring).
    void stepPacket(PacketTable& packets, int index, const DebrisGrid& grid, double cellSize, double timeStep,
                    double minX, double minY, double maxX, double maxY, int rows, int cols) const;
    void slopeAcceleration(FlowPacket& packet, const DebrisGrid& grid, double cellSize) const;
    void frictionDeceleration(FlowPacket& packet) const;
    void updateVelocity(FlowPacket& packet, double timeStep) const;
    void advancePosition(FlowPacket& packet, double timeStep) const;
    void reflectAtBorder(FlowPacket& packet, double minX, double minY, double maxX, double maxY) const;
    void locateCell(FlowPacket& packet, double cellSize, double minX, double minY, int rows, int cols) const;
    void cellFraction(FlowPacket& packet, double cellSize, double minX, double minY, int rows) const;

    // stepPacket for each of the `count` packets whose table indices are listed, taking what another packet
    // of the same pass has worked out already from `memo`, in an order of sub-steps that lets several
    // packets proceed at once. Up to `threadCount` threads (0: one per core) share the packets. A step
    // reads only its own packet and the grid, so the results are those of stepping the packets one after
    // the other, for any number of threads. The list keeps the packets that still move, in their order;
    // returns how many those are.
    int stepPackets(PacketTable& packets, int* indices, int count, const DebrisGrid& grid, double cellSize,
                    double timeStep, double minX, double minY, double maxX, double maxY, int rows, int cols,
                    StepMemo& memo, int threadCount = 1) const;

    // Counts the first `packetCount` packets into their cells and turns the counts into depth, mean
    // velocity and the derived results. A cell that no packet reached keeps its previous results; its
    // present depth becomes 0.
    void accumulate(const PacketTable& packets, DebrisGrid& grid, double cellSize, double packetVolume,
                    double density, int packetCount) const;
    // Sets the present depth of every cell to 0, as when no packet is on the grid.
    void clearPresentDepths(DebrisGrid& grid) const;

private:
    // The Chezy coefficient and resistance terms of the material last stepped by one thread.
    struct MaterialMemo;
    // The start of a step: the fixed flow depth, the Chezy coefficient and the slope, taken from the memos
    // where they have them. Returns the packet's resistance terms.
    ResistanceTerms beginStep(FlowPacket& packet, const DebrisGrid& grid, double cellSize, StepMemo& memo,
                              MaterialMemo& material, bool rememberSlopes) const;
    // stepPackets on one thread.
    int stepPacketRun(PacketTable& packets, int* indices, int count, const DebrisGrid& grid, double cellSize,
                      double timeStep, double minX, double minY, double maxX, double maxY, int rows, int cols,
                      StepMemo& memo) const;
};
