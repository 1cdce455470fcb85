#include "cadebrisflow.h"

#include <cmath>

DebrisGrid::DebrisGrid(int rows, int cols)
    : rowCount(rows),
      colCount(cols),
      cells(static_cast<std::size_t>(rows) * cols),
      traceDepths(cells.size()),
      touchedCells(cells.size()) {}

double CADebrisFlow::yieldStress(double yieldConcentration, double limitConcentration) const {
    const double cm = limitConcentration;
    return 0.098 * std::exp((yieldConcentration - 1.26 * std::pow(cm, 3.2)) / cm * 8.45 + 1.5);
}

double CADebrisFlow::viscosity(double volumeConcentration, double limitConcentration) const {
    const double cv = volumeConcentration;
    const double c1 = 0.815 / (0.815 + 0.185) * cv;
    const double d = (cv - c1) / (1 - c1);
    const double r = d / limitConcentration;
    const double a = 2 * std::pow(r, 0.3);
    const double b = std::pow(1 - r, 4);
    return 0.001 * std::pow(1 - (a * b + 1) * r, -2.5) * std::pow(1 - c1 / 0.8, -2.5);
}

void CADebrisFlow::releaseRate(double releaseSpeed, double cellSize, double packetVolume, double& perCell,
                               double outletDepth, DebrisGrid& grid, const BreachList& breachCells,
                               int breachCount, double timeStep) const {
    perCell = std::fabs(releaseSpeed) * cellSize * outletDepth / packetVolume * timeStep;
    for (int i = 0; i < breachCount; ++i) {
        grid.depths(breachCells[i].row)[breachCells[i].col] = outletDepth;
    }
}

void CADebrisFlow::releaseVelocity(double releaseSpeed, double& vx0, double& vy0, double releaseAngle) const {
    vx0 = std::cos(releaseAngle) * releaseSpeed;
    vy0 = std::sin(releaseAngle) * releaseSpeed;
}

FlowPacket CADebrisFlow::createPacket(int breachCount, int wholePerCell, double yieldStressPa,
                                      double viscosityPaS, double outletDepth, double density, double vx0,
                                      double vy0, const BreachList& breachCells, double cellSize, double minX,
                                      double minY, int rows, int breachIndex, int packetIndex,
                                      double roughness) const {
    const BreachCell& breach = breachCells[breachIndex];
    FlowPacket packet;
    packet.row = breach.row;
    packet.col = breach.col;
    // Packets of one breach cell line up west to east; breach cells later in the list start further south.
    packet.fracX = static_cast<double>(packetIndex) / (wholePerCell + 1);
    packet.fracY = 1 - static_cast<double>(breachIndex) / breachCount;
    packet.x = breach.col * cellSize + minX + packet.fracX * cellSize;
    packet.y = (rows - breach.row - 1) * cellSize + minY + packet.fracY * cellSize;
    packet.vx = packet.vxPrev = vx0;
    packet.vy = packet.vyPrev = vy0;
    packet.yieldStress = yieldStressPa;
    packet.viscosity = viscosityPaS;
    packet.density = density;
    packet.manningN = roughness;
    packet.flowDepth = outletDepth;
    return packet;
}

void CADebrisFlow::accumulate(const PacketTable& packets, DebrisGrid& grid, double cellSize,
                              double packetVolume, double density, int packetCount) const {
    clearPresentDepths(grid);
    int* const touched = grid.touchedCells.data();
    int touchedCount = 0;
    DebrisCell* cells = grid.cells.data();
    double* depths = grid.traceDepths.data();
    const int cols = grid.colCount;
    for (int j = 0; j < packetCount; ++j) {
        const FlowPacket& packet = packets[j];
        const int index = packet.row * cols + packet.col;
        DebrisCell& cell = cells[index];
        if (cell.packetCount == 0) {
            touched[touchedCount++] = index;
        }
        cell.packetCount += 1;
        cell.sumSpeedSq += packet.vx * packet.vx + packet.vy * packet.vy;
        cell.sumVx += packet.vx;
        cell.sumVy += packet.vy;
    }
    // Each cell's results depend on its own sums only, so visiting the touched cells in any order gives the
    // same grid as a scan of every cell; untouched cells keep the results of their last accumulation.
    const double area = cellSize * cellSize;
    for (int i = 0; i < touchedCount; ++i) {
        DebrisCell& cell = cells[touched[i]];
        double& depth = depths[touched[i]];
        const int m = cell.packetCount;
        cell.meanVx = cell.sumVx / m;
        cell.meanVy = cell.sumVy / m;
        cell.speed = std::sqrt(cell.meanVx * cell.meanVx + cell.meanVy * cell.meanVy);
        depth = m * packetVolume / area;
        cell.presentDepth = depth;
        cell.kineticEnergy = 0.5 * density * m * packetVolume * cell.speed * cell.speed;
        cell.momentum = m * density * packetVolume * cell.speed;
        if (cell.speed > cell.peakSpeed) {
            cell.peakSpeed = cell.speed;
            cell.momentumAtPeak = cell.momentum;
            cell.energyAtPeak = cell.kineticEnergy;
        }
        if (depth > cell.peakDepth) {
            cell.peakDepth = depth;
        }
        cell.packetCount = 0;
        cell.sumSpeedSq = 0;
        cell.sumVx = 0;
        cell.sumVy = 0;
    }
    grid.touchedCount = touchedCount;
}

void CADebrisFlow::clearPresentDepths(DebrisGrid& grid) const {
    for (int i = 0; i < grid.touchedCount; ++i) {
        grid.cells[grid.touchedCells[i]].presentDepth = 0;
    }
    grid.touchedCount = 0;
}
