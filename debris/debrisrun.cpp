#include "debrisrun.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <new>
#include <optional>

#include "gridreader.h"

namespace {

// Degrees to radians with the value of π the model has always used.
constexpr double modelPi = 3.1415926;

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

void DebrisRun::clear() {
    const int keptThreads = threads;
    *this = DebrisRun();
    threads = keptThreads;
}

std::vector<double> DebrisRunSettings::parameters() const {
    return {totalVolume,  outletDepth,        releaseDirection, debrisDensity, solidDensity,
            yieldConcentration, 0,            packetVolume,     waterDensity,  limitConcentration,
            releaseSpeed, roughnessN,         timeStep,         static_cast<double>(colourLow),
            static_cast<double>(colourHigh)};
}

bool DebrisRun::setup(const std::vector<double>& values, const std::string& gridPath,
                      const std::string& breachPath, std::string& problem) {
    clear();
    if (!takeParameters(values, problem) || !readInputs(gridPath, breachPath, problem) ||
        !sizeRelease(problem)) {
        clear();
        return false;
    }
    std::string projectionProblem;
    projection = gridCoordinateSystem(gridPath, projectionProblem);
    if (!projectionProblem.empty()) {
        std::cerr << "debris inputs: " << projectionProblem << "; the rasters carry no coordinate system\n";
    }
    return true;
}

bool DebrisRun::takeParameters(const std::vector<double>& values, std::string& problem) {
    if (values.size() != parameterCount) {
        problem = "a debris-flow run takes " + std::to_string(parameterCount) + " parameters, not " +
                  std::to_string(values.size());
        return false;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!std::isfinite(values[i])) {
            problem = "parameter " + std::to_string(i) + " is not a finite number";
            return false;
        }
    }
    totalVolume = values[0];
    outletDepth = values[1];
    releaseDirection = values[2];
    debrisDensity = values[3];
    solidDensity = values[4];
    yieldConcentration = values[5];
    packetVolume = values[7];
    waterDensity = values[8];
    limitConcentration = values[9];
    releaseSpeed = values[10];
    roughnessN = values[11];
    timeStep = values[12];
    if (std::fabs(values[13]) > INT_MAX || std::fabs(values[14]) > INT_MAX) {
        problem = "the colour range " + number(values[13]) + " .. " + number(values[14]) + " is out of range";
        return false;
    }
    colourLow = static_cast<int>(values[13]);
    colourHigh = static_cast<int>(values[14]);
    return deriveConstants(problem);
}

bool DebrisRun::readInputs(const std::string& gridPath, const std::string& breachPath, std::string& problem) {
    double leadingValue = 0;
    std::optional<BreachList> breach = model.readBreachFile(breachPath, breachCount, leadingValue, problem);
    if (!breach) {
        return false;
    }
    breachCells = std::move(*breach);
    // The breach file's leading number is kept as the direction, but the release angle was derived from
    // the parameter before, so it does not turn the release.
    releaseDirection = leadingValue;

    std::optional<DebrisGrid> grid =
        model.readGrid(gridPath, gridRows, gridCols, gridMinX, gridMinY, cellSize, problem);
    if (!grid) {
        return false;
    }
    debrisGrid = std::move(*grid);
    gridMaxX = gridCols * cellSize + gridMinX;
    gridMaxY = gridRows * cellSize + gridMinY;
    if (!(cellSize > 0) || cellSize >= 2147483648.0) {
        problem = "the cell size " + number(cellSize) + " of the terrain grid is " +
                  (cellSize > 0 ? "too large" : "not above 0");
        return false;
    }
    // The packets find their cells with the cell size the grid's extent is made of; a size cut to whole
    // metres (12 m for 12.5 m) would place them ever further from where the terrain has them.
    gridCellSize = cellSize;

    if (breachCount == 0) {
        problem = "the breach file lists no breach cells";
        return false;
    }
    // A breach cell needs all eight neighbours for the slope of its packets' first step, and terrain to
    // release from.
    for (int i = 0; i < breachCount; ++i) {
        const BreachCell& cell = breachCells[i];
        const std::string name = "breach cell " + std::to_string(i + 1) + " (row " +
                                 std::to_string(cell.row) + ", column " + std::to_string(cell.col) +
                                 ") lies ";
        if (cell.row <= 0 || cell.row >= gridRows - 1 || cell.col <= 0 || cell.col >= gridCols - 1) {
            const bool outside = cell.row < 0 || cell.row >= gridRows || cell.col < 0 || cell.col >= gridCols;
            problem = name + (outside ? "outside the grid" : "on the outer ring of the grid") + " of " +
                      std::to_string(gridRows) + " rows and " + std::to_string(gridCols) + " columns";
            return false;
        }
        if (debrisGrid[cell.row][cell.col].elevation == CADebrisFlow::noDataElevation) {
            problem = name + "on a cell of the terrain grid without data";
            return false;
        }
    }
    return true;
}

bool DebrisRun::sizeRelease(std::string& problem) {
    frameStride = timeStep == 0.2 ? 200 : (timeStep == 0.4 ? 100 : 50);

    const double capacity = std::trunc(totalVolume / packetVolume);
    if (capacity < 1 || capacity > maxPacketCapacity) {
        problem = "the total volume " + number(totalVolume) + " m³ makes " + number(capacity) +
                  " packets of " + number(packetVolume) + " m³; a run takes 1 to " +
                  std::to_string(maxPacketCapacity);
        return false;
    }
    packetCapacity = static_cast<int>(capacity);

    const double perTick = std::trunc(
        breachCount * (std::fabs(releaseSpeed) * cellSize * outletDepth / packetVolume * timeStep));
    if (!(perTick >= 1)) {
        problem = "the release gives no whole packet per time step (outlet depth " + number(outletDepth) +
                  " m, packet volume " + number(packetVolume) + " m³, " + std::to_string(breachCount) +
                  " breach cells)";
        return false;
    }
    if (perTick > packetCapacity) {
        problem = "one time step releases " + number(perTick) + " packets, more than the " +
                  std::to_string(packetCapacity) + " the total volume holds, so nothing would be released";
        return false;
    }
    releasePerTick = static_cast<int>(perTick);
    // The rate of releaseRate, with the whole-metre cell size.
    const double perCell = std::fabs(releaseSpeed) * gridCellSize * outletDepth / packetVolume * timeStep;
    if (!(perCell > 1)) {
        problem = "each breach cell would release no packet: its rate of " + number(perCell) +
                  " packets per step must be above 1";
        return false;
    }
    // After this many steps the breach cells have released breachCount × floor(steps × P) packets, at
    // least N less one per breach cell; the release stops once the table holds N.
    releaseDuration = std::ceil(packetCapacity / (breachCount * perCell)) * timeStep;

    try {
        packets.resize(packetCapacity);
        movingPackets.assign(packetCapacity, 0);
        stepMemo.resize(debrisGrid);
    } catch (const std::bad_alloc&) {
        problem = "a table of " + std::to_string(packetCapacity) + " packets does not fit in memory";
        return false;
    }
    return true;
}

bool DebrisRun::deriveConstants(std::string& problem) {
    if (!(timeStep > 0)) {
        problem = "the time step must be greater than 0 s, not " + number(timeStep);
        return false;
    }
    if (!(roughnessN > 0)) {
        problem = "the roughness n must be greater than 0, not " + number(roughnessN);
        return false;
    }
    if (!(packetVolume > 0)) {
        problem = "the packet volume must be greater than 0 m³, not " + number(packetVolume);
        return false;
    }
    releaseAngle = releaseDirection / 180 * modelPi;
    concentration = (debrisDensity - waterDensity) / (solidDensity - waterDensity);
    debrisYieldStress = model.yieldStress(yieldConcentration, limitConcentration);
    debrisViscosity = model.viscosity(concentration, limitConcentration);
    if (!std::isfinite(concentration) || !std::isfinite(debrisYieldStress) ||
        !std::isfinite(debrisViscosity)) {
        problem = "the densities and concentrations give no finite yield stress and viscosity (Cv " +
                  number(concentration) + ", yield stress " + number(debrisYieldStress) + " Pa, viscosity " +
                  number(debrisViscosity) + " Pa·s)";
        return false;
    }
    return true;
}

void DebrisRun::release() {
    const double s = gridCellSize;
    model.releaseRate(releaseSpeed, s, packetVolume, releasePerCell, outletDepth, debrisGrid, breachCells,
                      breachCount, timeStep);
    model.releaseVelocity(releaseSpeed, releaseVx, releaseVy, releaseAngle);
    const int wholePerCell = static_cast<int>(releasePerCell);
    // Each breach cell releases P packets a step on average: the whole packets of its rate and of the
    // fractions carried over from earlier steps.
    releaseCarry += releasePerCell;
    const double released = std::floor(releaseCarry);
    releaseCarry -= released;
    const int perCell = static_cast<int>(released);
    for (int i = 0; i < breachCount; ++i) {
        for (int k = 0; k < perCell; ++k) {
            // The release ends with the table full: the last step releases only what is left of N (the
            // clock, a sum of time steps, may also allow one release step more than planned).
            if (debrisPacketCount >= packetCapacity) {
                return;
            }
            packets[debrisPacketCount] = model.createPacket(
                breachCount, wholePerCell, debrisYieldStress, debrisViscosity, outletDepth, debrisDensity,
                releaseVx, releaseVy, breachCells, s, gridMinX, gridMinY, gridRows, i, k, roughnessN);
            movingPackets[movingCount++] = debrisPacketCount;
            ++debrisPacketCount;
        }
    }
}

void DebrisRun::advance() {
    if (releaseDuration > debrisElapsed) {
        release();
    }
    // Stopped packets never move again, so only the moving ones are stepped.
    stepMemo.startPass();
    movingCount =
        model.stepPackets(packets, movingPackets.data(), movingCount, debrisGrid, gridCellSize, timeStep,
                          gridMinX, gridMinY, gridMaxX, gridMaxY, gridRows, gridCols, stepMemo, threads);
    model.accumulate(packets, debrisGrid, gridCellSize, packetVolume, debrisDensity, debrisPacketCount);
    ++debrisStepCount;
}

bool DebrisRun::frameDue() const {
    return frameStride > 0 && debrisStepCount > 0 && debrisStepCount % frameStride == 0;
}

DebrisHud DebrisRun::frameHud() const {
    DebrisHud hud;
    hud.elapsedTime = static_cast<float>(debrisElapsed);
    // Row 0, the southern row and the eastern column are left out of the largest speed.
    float largest = 0;
    for (int r = 1; r < gridRows - 1; ++r) {
        const DebrisCell* row = debrisGrid[r];
        for (int c = 0; c < gridCols - 1; ++c) {
            const float speed = static_cast<float>(row[c].speed);
            if (speed > largest) {
                largest = speed;
            }
        }
    }
    hud.maxSpeed = largest;
    hud.rangeLower = colourLow;
    hud.rangeUpper = colourHigh;
    return hud;
}

void DebrisRun::advanceClock() {
    debrisElapsed += timeStep;
}

bool DebrisRun::finished() const {
    return debrisElapsed / 2 >= endHalfTime;
}

void DebrisRun::resetClock() {
    debrisElapsed = 0;
    debrisStepCount = 0;
    debrisPacketCount = 0;
    // The table entries are forgotten with the count; a later release fills them anew. No packet is on
    // the grid any more, while the cells keep the trace of the flow.
    movingCount = 0;
    releaseCarry = 0;
    model.clearPresentDepths(debrisGrid);
}

double DebrisRun::debrisVolumeOnGrid() const {
    double depthSum = 0;
    for (int r = 0; r < gridRows; ++r) {
        const DebrisCell* row = debrisGrid[r];
        for (int c = 0; c < gridCols; ++c) {
            depthSum += row[c].presentDepth;
        }
    }
    return depthSum * gridCellSize * gridCellSize;
}
