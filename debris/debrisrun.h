#pragma once

#include <string>
#include <vector>

#include "cadebrisflow.h"
#include "debrishud.h"

// What the debris-flow form hands to a run: the values the user sets, and the material the form fixes.
struct DebrisRunSettings {
    double totalVolume = 0;          // V, m³
    double outletDepth = 5;          // h0, m
    double packetVolume = 40;        // Vp, m³
    double timeStep = 0.6;           // dt, s
    int colourLow = 0;               // colour range of the depth display, m
    int colourHigh = 10;
    double releaseDirection = 0;     // θ, degrees
    double debrisDensity = 1880;     // ρm, kg/m³
    double solidDensity = 2650;      // ρs, kg/m³
    double yieldConcentration = 0.36;  // Cy
    double waterDensity = 1000;      // ρw, kg/m³
    double limitConcentration = 0.593;  // Cm
    double releaseSpeed = 11.64;     // u0, m/s
    double roughnessN = 0.25;        // n

    // The parameters in the order DebrisRun::setup takes them.
    std::vector<double> parameters() const;
};

// The state of one debris-flow run: the parameters, the constants derived from them, the grid, the breach
// cells, the packet table and the run clock. The window and the batch command drive it the same way:
//
//     run.advance();
//     if (run.frameDue()) { ... show or store run.frameHud() ... }
//     run.advanceClock();
//     if (run.finished()) { ... end of the run ... }
class DebrisRun {
public:
    // Number of run parameters, in this order: V, h0, θ, ρm, ρs, Cy, (unused), Vp, ρw, Cm, u0, n, dt,
    // colour range low, colour range high.
    static constexpr int parameterCount = 15;
    // The run ends once half the simulated time reaches this many seconds (6402 s in all).
    static constexpr double endHalfTime = 3201;
    // Largest packet table a run allocates.
    static constexpr int maxPacketCapacity = 10'000'000;

    // Reads the grid and the breach file and derives the run constants. On success the run is ready to
    // advance from time 0; otherwise `problem` says why and the run is left empty.
    bool setup(const std::vector<double>& values, const std::string& gridPath, const std::string& breachPath,
               std::string& problem);

    // One model step: release while the release lasts, step the moving packets, accumulate, count the step.
    void advance();
    // True when the step just done is one whose frame is rendered and stored.
    bool frameDue() const;
    // The figures of the frame of the step just done (time before the clock moves on).
    DebrisHud frameHud() const;
    // Moves the clock on by one time step.
    void advanceClock();
    // True once the simulated time has reached the end of a run.
    bool finished() const;
    // Sets the clock and the packet count back to the start (end of a run, stop command); the grid keeps
    // the trace of the flow.
    void resetClock();

    // Threads that share the packet steps, 0 for one per core (the default; passes too small to gain from
    // threads then run on one). The run is the same, bit for bit, whatever the number.
    void setThreadCount(int count) { threads = count > 0 ? count : 0; }

    int movingPacketCount() const { return movingCount; }
    // The debris on the grid now, m³: the present depth of every cell over its area. It equals the
    // released packets times their volume.
    double debrisVolumeOnGrid() const;

    CADebrisFlow model;

    // Parameters.
    double totalVolume = 0;         // V, m³
    double outletDepth = 0;         // h0, m
    double releaseDirection = 0;    // θ, degrees; the breach file's leading number lands here after setup
    double debrisDensity = 0;       // ρm, kg/m³
    double solidDensity = 0;        // ρs, kg/m³
    double yieldConcentration = 0;  // Cy
    double packetVolume = 0;        // Vp, m³
    double waterDensity = 0;        // ρw, kg/m³
    double limitConcentration = 0;  // Cm
    double releaseSpeed = 0;        // u0, m/s
    double roughnessN = 0;          // n
    double timeStep = 0;            // dt, s
    int colourLow = 0;              // colour range of the depth display, m
    int colourHigh = 0;

    // Derived constants.
    double releaseAngle = 0;       // θr, radians
    double concentration = 0;      // Cv
    double debrisYieldStress = 0;  // τB, Pa
    double debrisViscosity = 0;    // μ, Pa·s
    double releasePerCell = 0;     // P, set at every release step
    double releaseVx = 0;          // m/s, set at every release step
    double releaseVy = 0;
    int packetCapacity = 0;  // N
    int releasePerTick = 0;
    // Long enough for the breach cells, each releasing P packets a step on average, to release N.
    double releaseDuration = 0;  // s of simulated time
    int frameStride = 0;         // steps between two rendered frames

    // Grid geometry.
    int gridRows = 0;
    int gridCols = 0;
    double gridMinX = 0;
    double gridMinY = 0;
    double gridMaxX = 0;
    double gridMaxY = 0;
    double cellSize = 0;      // cell size of the file, m
    double gridCellSize = 0;  // cell size of every step computation: the file's, not cut to whole metres
    // The coordinate system (WKT) of the ".prj" file beside the terrain grid; empty without one.
    std::string projection;

    BreachList breachCells;
    int breachCount = 0;
    DebrisGrid debrisGrid;
    PacketTable packets;  // packetCapacity entries; the first debrisPacketCount are released

    // Run clock.
    double debrisElapsed = 0;  // s of simulated time
    int debrisStepCount = 0;
    int debrisPacketCount = 0;
    // The fraction of a packet each breach cell has released beyond its whole packets so far; it makes
    // up a packet at a later step.
    double releaseCarry = 0;

private:
    void clear();
    // The steps of the setup, in order.
    bool takeParameters(const std::vector<double>& values, std::string& problem);
    bool deriveConstants(std::string& problem);
    bool readInputs(const std::string& gridPath, const std::string& breachPath, std::string& problem);
    bool sizeRelease(std::string& problem);
    void release();

    // Table indices of the packets that still move, in table order: the first movingCount entries of a
    // list sized for the whole table, so that stepping never allocates (also in a copy of the run).
    std::vector<int> movingPackets;
    int movingCount = 0;
    StepMemo stepMemo;
    int threads = 0;
};
