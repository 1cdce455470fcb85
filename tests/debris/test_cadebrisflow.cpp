// The debris-flow model on grids built in memory: the material laws, the release and the motion of
// packets over simple surfaces.
#include <gtest/gtest.h>

#include <cmath>

#include "cadebrisflow.h"

namespace {

constexpr double cellSize = 10;
constexpr double timeStep = 0.6;
constexpr double packetVolume = 40;
constexpr double density = 1880;

// A grid of `size` × `size` cells, lower-left corner at the origin, heights from height(x, y) at the
// middle of each cell.
template <typename Height>
DebrisGrid makeGrid(int size, Height height) {
    DebrisGrid grid(size, size);
    for (int r = 0; r < size; ++r) {
        for (int c = 0; c < size; ++c) {
            const double x = (c + 0.5) * cellSize;
            const double y = (size - r - 0.5) * cellSize;
            grid[r][c].elevation = height(x, y);
        }
    }
    return grid;
}

class PacketMotion : public ::testing::Test {
protected:
    // One packet of the default material in the middle of cell (row, col), with velocity (vx, vy).
    void place(const DebrisGrid& grid, int row, int col, double vx, double vy) {
        const CADebrisFlow model;
        const BreachList breach = {{row, col}};
        const double tau = model.yieldStress(0.36, 0.593);
        const double mu = model.viscosity((1880.0 - 1000) / (2650 - 1000), 0.593);
        packets = {model.createPacket(1, 1, tau, mu, 5.0, density, vx, vy, breach, cellSize, 0, 0,
                                      grid.rows(), 0, 1, 0.25)};
        // createPacket puts the first breach cell's packets on the cell's northern edge; move it inside.
        packets[0].y -= cellSize / 2;
        packets[0].fracY = 0.5;
    }
    void step(const DebrisGrid& grid) {
        const double size = grid.rows() * cellSize;
        model.stepPacket(packets, 0, grid, cellSize, timeStep, 0, 0, size, size, grid.rows(), grid.cols());
    }

    CADebrisFlow model;
    PacketTable packets;
};

// The material of the form's defaults (yield stress, viscosity) is checked through the run's setup.
TEST(DebrisMaterial, ChezyCoefficientOfAStepUsesTheFixedFlowDepth) {
    const CADebrisFlow model;
    // (1 / n) × 4^(1/6) for the fixed flow depth of 4 m.
    DebrisGrid flat(5, 5);
    PacketTable packets = {model.createPacket(1, 1, 2.546, 0.02497, 5.0, density, 1, 0, {{2, 2}}, cellSize, 0,
                                              0, 5, 0, 0, 0.25)};
    model.stepPacket(packets, 0, flat, cellSize, timeStep, 0, 0, 50, 50, 5, 5);
    EXPECT_NEAR(packets[0].chezy, 5.0397, 0.00005);
    EXPECT_EQ(packets[0].flowDepth, 4.0);
}

TEST(DebrisRelease, RateAndPacketsOfOneBreachCell) {
    const CADebrisFlow model;
    DebrisGrid grid(6, 6);
    const BreachList breach = {{2, 3}, {3, 3}};
    double perCell = 0;
    model.releaseRate(11.64, cellSize, packetVolume, perCell, 5.0, grid, breach, 2, timeStep);
    EXPECT_NEAR(perCell, 8.73, 1e-9);
    EXPECT_EQ(grid.depths(2)[3], 5.0);
    EXPECT_EQ(grid.depths(3)[3], 5.0);
    EXPECT_EQ(grid.depths(2)[2], 0.0);

    double vx0 = 0;
    double vy0 = 0;
    model.releaseVelocity(11.64, vx0, vy0, 0);
    EXPECT_EQ(vx0, 11.64);
    EXPECT_EQ(vy0, 0);
    model.releaseVelocity(11.64, vx0, vy0, 90 / 180.0 * 3.1415926);
    EXPECT_NEAR(vx0, 0, 1e-6);
    EXPECT_NEAR(vy0, 11.64, 1e-9);

    // Packet k of breach cell i: spread west to east by k ÷ (trunc(P) + 1), south by i ÷ count.
    const FlowPacket packet = model.createPacket(2, 8, 2.5, 0.025, 5.0, density, 3, -1, breach, cellSize,
                                                 1000, 2000, 6, 1, 4, 0.25);
    EXPECT_EQ(packet.row, 3);
    EXPECT_EQ(packet.col, 3);
    EXPECT_DOUBLE_EQ(packet.fracX, 4.0 / 9);
    EXPECT_DOUBLE_EQ(packet.fracY, 0.5);
    EXPECT_DOUBLE_EQ(packet.x, 3 * cellSize + 1000 + 4.0 / 9 * cellSize);
    EXPECT_DOUBLE_EQ(packet.y, 2 * cellSize + 2000 + 0.5 * cellSize);
    EXPECT_EQ(packet.vx, 3);
    EXPECT_EQ(packet.vxPrev, 3);
    EXPECT_EQ(packet.vy, -1);
    EXPECT_EQ(packet.flowDepth, 5.0);
    EXPECT_FALSE(packet.stopped);
}

// On a plane falling by 10 % towards one side, a packet at rest accelerates straight downhill.
TEST_F(PacketMotion, AcceleratesDownATiltedPlane) {
    const struct {
        const char* downhill;
        double ex, ey;
    } cases[] = {{"east", 1, 0}, {"north", 0, 1}, {"west", -1, 0}, {"south", 0, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.downhill);
        const DebrisGrid grid =
            makeGrid(21, [&](double x, double y) { return 500 - 0.1 * (c.ex * x + c.ey * y); });
        place(grid, 10, 10, 0, 0);
        const double x0 = packets[0].x;
        const double y0 = packets[0].y;
        step(grid);
        // The Sobel stencil over 8 cell sizes recovers the 10 % slope: g sin(atan(0.1)) along it.
        const double slope = 9.81 * std::sin(std::atan(0.1));
        EXPECT_NEAR(packets[0].slopeX, slope * c.ex, 1e-9);
        EXPECT_NEAR(packets[0].slopeY, slope * c.ey, 1e-9);
        double previousSpeed = 0;
        for (int i = 0; i < 10; ++i) {
            const double along = packets[0].vx * c.ex + packets[0].vy * c.ey;
            const double across = packets[0].vx * c.ey - packets[0].vy * c.ex;
            EXPECT_GT(along, previousSpeed);
            EXPECT_EQ(across, 0);
            previousSpeed = along;
            step(grid);
        }
        EXPECT_FALSE(packets[0].stopped);
        const double travelled = (packets[0].x - x0) * c.ex + (packets[0].y - y0) * c.ey;
        EXPECT_GT(travelled, cellSize);
        // Rows count southwards, columns eastwards.
        EXPECT_EQ(packets[0].col - 10, static_cast<int>(c.ex) * std::abs(packets[0].col - 10));
        EXPECT_EQ(10 - packets[0].row, static_cast<int>(c.ey) * std::abs(packets[0].row - 10));
        EXPECT_NE(packets[0].row * 100 + packets[0].col, 10 * 100 + 10);
        EXPECT_NEAR(packets[0].fracX, (packets[0].x - packets[0].col * cellSize) / cellSize, 1e-12);
        EXPECT_NEAR(packets[0].fracY, (packets[0].y - (20 - packets[0].row) * cellSize) / cellSize, 1e-12);
    }
}

TEST_F(PacketMotion, SlowsAndStopsOnAFlatBed) {
    const DebrisGrid grid = makeGrid(41, [](double, double) { return 100.0; });
    place(grid, 20, 3, 4.0, 0);
    double previousSpeed = 4.0;
    int steps = 0;
    while (!packets[0].stopped && steps < 1000) {
        step(grid);
        ++steps;
        EXPECT_LT(packets[0].vx, previousSpeed);
        EXPECT_GE(packets[0].vx, 0);
        EXPECT_EQ(packets[0].vy, 0);
        previousSpeed = packets[0].vx;
    }
    ASSERT_TRUE(packets[0].stopped);
    EXPECT_LE(std::fabs(packets[0].vx), 0.05);
    // It came to rest inside the grid, not at its edge.
    EXPECT_GT(packets[0].col, 3);
    EXPECT_LT(packets[0].col, 40);
    EXPECT_EQ(packets[0].row, 20);
}

// A packet that comes to rest still moves by the displacement of its last step and is located there.
TEST_F(PacketMotion, AStoppingPacketCompletesItsStep) {
    const DebrisGrid grid = makeGrid(9, [](double, double) { return 0.0; });
    place(grid, 4, 4, 0.052, 0);
    const double x0 = packets[0].x;
    step(grid);
    ASSERT_TRUE(packets[0].stopped);
    EXPECT_GT(packets[0].x, x0);
    EXPECT_DOUBLE_EQ(packets[0].x, x0 + (0.052 + packets[0].vx) * 0.5 * timeStep);
    EXPECT_EQ(packets[0].vxPrev, packets[0].vx);
}

// A packet running into the outer ring of cells stops there and is counted there at every later
// accumulation with its last velocity; the cells it crossed keep the depth and speed it left.
TEST_F(PacketMotion, StopsInTheOuterRingAndKeepsBeingCounted) {
    DebrisGrid grid = makeGrid(12, [](double x, double) { return 300 - 0.2 * x; });
    place(grid, 6, 7, 2.0, 0);
    const double area = cellSize * cellSize;

    model.accumulate(packets, grid, cellSize, packetVolume, density, 1);
    EXPECT_DOUBLE_EQ(grid.depths(6)[7], packetVolume / area);
    EXPECT_DOUBLE_EQ(grid[6][7].speed, 2.0);
    // What the start cell held at the last accumulation that found the packet in it.
    DebrisCell startCellLeft = grid[6][7];
    double startDepthLeft = grid.depths(6)[7];

    int steps = 0;
    while (!packets[0].stopped && steps < 100) {
        step(grid);
        model.accumulate(packets, grid, cellSize, packetVolume, density, 1);
        if (packets[0].col == 7) {
            startCellLeft = grid[6][7];
            startDepthLeft = grid.depths(6)[7];
        }
        ++steps;
    }
    ASSERT_TRUE(packets[0].stopped);
    EXPECT_EQ(packets[0].col, 11);
    EXPECT_EQ(packets[0].row, 6);
    const double lastSpeed = std::hypot(packets[0].vx, packets[0].vy);
    EXPECT_GT(lastSpeed, 0.05);

    for (int i = 0; i < 3; ++i) {
        model.accumulate(packets, grid, cellSize, packetVolume, density, 1);
        EXPECT_DOUBLE_EQ(grid.depths(6)[11], packetVolume / area);
        EXPECT_DOUBLE_EQ(grid[6][11].speed, lastSpeed);
        EXPECT_EQ(grid[6][11].packetCount, 0);
    }
    // The start cell keeps the depth and speed the packet left there, but no debris is in it now.
    EXPECT_DOUBLE_EQ(grid[6][11].presentDepth, packetVolume / area);
    EXPECT_EQ(grid[6][7].presentDepth, 0);
    EXPECT_EQ(grid.depths(6)[7], startDepthLeft);
    EXPECT_EQ(grid[6][7].speed, startCellLeft.speed);
    EXPECT_GT(grid[6][7].speed, 2.0);
    EXPECT_EQ(grid[6][7].peakSpeed, startCellLeft.speed);
    // Cells the packet never reached are untouched.
    EXPECT_EQ(grid.depths(2)[2], 0);
    EXPECT_EQ(grid[2][2].peakDepth, 0);
}

TEST(DebrisAccumulate, AveragesThePacketsOfACell) {
    const CADebrisFlow model;
    DebrisGrid grid(4, 4);
    PacketTable packets(4);
    const double velocities[4][2] = {{3, 0}, {-1, 2}, {0, 4}, {5, 5}};
    for (int j = 0; j < 4; ++j) {
        packets[j].row = j < 3 ? 1 : 2;
        packets[j].col = 2;
        packets[j].vx = velocities[j][0];
        packets[j].vy = velocities[j][1];
        packets[j].stopped = j == 1;
    }
    grid[1][2].peakSpeed = 10;
    grid[1][2].peakDepth = 0.1;
    // Only the first three packets are counted.
    model.accumulate(packets, grid, cellSize, packetVolume, density, 3);

    const DebrisCell& cell = grid[1][2];
    EXPECT_DOUBLE_EQ(cell.meanVx, 2.0 / 3);
    EXPECT_DOUBLE_EQ(cell.meanVy, 2.0);
    // The speed of the mean velocity, not the mean of the speeds.
    EXPECT_DOUBLE_EQ(cell.speed, std::hypot(2.0 / 3, 2.0));
    EXPECT_DOUBLE_EQ(grid.depths(1)[2], 3 * packetVolume / (cellSize * cellSize));
    EXPECT_DOUBLE_EQ(cell.momentum, 3 * density * packetVolume * cell.speed);
    EXPECT_DOUBLE_EQ(cell.kineticEnergy, 0.5 * density * 3 * packetVolume * cell.speed * cell.speed);
    // The peak speed was higher before, the peak depth lower.
    EXPECT_EQ(cell.peakSpeed, 10);
    EXPECT_EQ(cell.momentumAtPeak, 0);
    EXPECT_DOUBLE_EQ(cell.peakDepth, grid.depths(1)[2]);
    EXPECT_EQ(cell.packetCount, 0);
    EXPECT_EQ(cell.sumVx, 0);
    EXPECT_EQ(cell.sumVy, 0);
    EXPECT_EQ(cell.sumSpeedSq, 0);
    EXPECT_EQ(grid.depths(2)[2], 0);
}

// Positions far outside the grid, or not numbers at all, land on the ring instead of overflowing.
TEST(DebrisLocate, PositionsOutsideTheGridLandOnTheRing) {
    const CADebrisFlow model;
    const struct {
        double x, y;
        int row, col;
    } cases[] = {{55, 55, 4, 5},     {-1e300, 55, 4, 0}, {1e300, 55, 4, 9},   {55, 1e300, 0, 5},
                 {55, -1e300, 9, 5}, {NAN, NAN, 0, 0},   {9.99, 90.01, 0, 0}, {10, 89.99, 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y);
        FlowPacket packet;
        packet.x = c.x;
        packet.y = c.y;
        model.locateCell(packet, cellSize, 0, 0, 10, 10);
        EXPECT_EQ(packet.row, c.row);
        EXPECT_EQ(packet.col, c.col);
        EXPECT_EQ(packet.stopped, c.row == 0 || c.row == 9 || c.col == 0 || c.col == 9);
    }
}

TEST(DebrisReflect, TurnsAMovingPacketBackAtHalfSpeed) {
    const CADebrisFlow model;
    FlowPacket packet;
    packet.x = -1;
    packet.vx = -4;
    packet.y = 120;
    packet.vy = 2;
    model.reflectAtBorder(packet, 0, 0, 100, 100);
    EXPECT_EQ(packet.vx, 2);
    EXPECT_EQ(packet.vy, -1);
    EXPECT_EQ(packet.x, -1);
    // Already moving back inside, or stopped: unchanged.
    model.reflectAtBorder(packet, 0, 0, 100, 100);
    EXPECT_EQ(packet.vx, 2);
    EXPECT_EQ(packet.vy, -1);
    packet.vx = -4;
    packet.stopped = true;
    model.reflectAtBorder(packet, 0, 0, 100, 100);
    EXPECT_EQ(packet.vx, -4);
}

}  // namespace
