// A debris-flow run from its input files: the setup and its refusals, the release, the frame figures, the
// end of the run, and stepping without allocation.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "allocationprobe.h"
#include "debrisrun.h"
#include "debristestdata.h"
#include "terrainheights.h"
#include "testrasters.h"

namespace {

// Field by field, every value the same to the last bit.
bool samePacket(const FlowPacket& a, const FlowPacket& b) {
    for (double FlowPacket::*field :
         {&FlowPacket::vxPrev,  &FlowPacket::vyPrev, &FlowPacket::vx,          &FlowPacket::vy,
          &FlowPacket::dx,      &FlowPacket::dy,     &FlowPacket::fracX,       &FlowPacket::fracY,
          &FlowPacket::x,       &FlowPacket::y,      &FlowPacket::frictionX,   &FlowPacket::frictionY,
          &FlowPacket::slopeX,  &FlowPacket::slopeY, &FlowPacket::flowDepth,   &FlowPacket::manningN,
          &FlowPacket::density, &FlowPacket::chezy,  &FlowPacket::yieldStress, &FlowPacket::viscosity}) {
        if (std::memcmp(&(a.*field), &(b.*field), sizeof(double)) != 0) {
            return false;
        }
    }
    return a.stopped == b.stopped && a.row == b.row && a.col == b.col;
}

// Cell `index` (counted row by row) of two grids, with its depth.
bool sameCell(const DebrisGrid& one, const DebrisGrid& other, int index) {
    const DebrisCell& a = one[0][index];
    const DebrisCell& b = other[0][index];
    for (double DebrisCell::*field :
         {&DebrisCell::elevation, &DebrisCell::momentum, &DebrisCell::speed, &DebrisCell::meanVx,
          &DebrisCell::meanVy, &DebrisCell::sumSpeedSq, &DebrisCell::sumVx, &DebrisCell::sumVy,
          &DebrisCell::kineticEnergy, &DebrisCell::momentumAtPeak, &DebrisCell::peakSpeed,
          &DebrisCell::peakDepth, &DebrisCell::energyAtPeak, &DebrisCell::presentDepth}) {
        if (std::memcmp(&(a.*field), &(b.*field), sizeof(double)) != 0) {
            return false;
        }
    }
    return std::memcmp(&one.depths(0)[index], &other.depths(0)[index], sizeof(double)) == 0 &&
           a.packetCount == b.packetCount;
}

constexpr int valleyRows = 30;
constexpr int valleyCols = 60;

class DebrisRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A valley of 10 m cells falling eastwards by 5 %, its floor along row 15.
        debristest::writeGrid(
            grid(), valleyRows, valleyCols, 10,
            [](int r, int c) { return 800 - 0.5 * c + 0.2 * std::abs(r - 15); }, 500000, 3300000);
        debristest::writeBreach(breach(), {{15, 3}});
    }
    std::string path(const std::string& name) const {
        return folder.filePath(QString::fromStdString(name)).toStdString();
    }
    std::string grid() const { return path("valley.asc"); }
    std::string breach() const { return path("breach.txt"); }

    // The form's parameters with the total volume of `packets` packets of 40 m³.
    static std::vector<double> withPackets(int packets) {
        std::vector<double> values = debristest::formDefaults();
        values[0] = packets * 40.0;
        return values;
    }

    QTemporaryDir folder;
    DebrisRun run;
    std::string problem;
};

TEST_F(DebrisRunTest, DefaultsGiveTheFormsRun) {
    ASSERT_TRUE(run.setup(debristest::formDefaults(), grid(), breach(), problem)) << problem;
    EXPECT_NEAR(run.concentration, 0.53333, 1e-5);
    EXPECT_NEAR(run.debrisYieldStress, 2.546, 0.0005);
    EXPECT_NEAR(run.debrisViscosity, 0.02497, 0.000005);
    EXPECT_EQ(run.releaseAngle, 0);
    EXPECT_EQ(run.packetCapacity, 51000);
    EXPECT_EQ(run.packets.size(), 51000u);
    EXPECT_EQ(run.releasePerTick, 8);
    // 8.73 packets a step release the 51000 in 5842 steps.
    EXPECT_DOUBLE_EQ(run.releaseDuration, 5842 * 0.6);
    EXPECT_EQ(run.frameStride, 50);
    EXPECT_EQ(run.gridRows, valleyRows);
    EXPECT_EQ(run.gridCols, valleyCols);
    EXPECT_EQ(run.gridCellSize, 10);
    EXPECT_EQ(run.gridMinX, 500000);
    EXPECT_EQ(run.gridMaxX, 500000 + valleyCols * 10);
    EXPECT_EQ(run.gridMaxY, 3300000 + valleyRows * 10);
    EXPECT_EQ(run.colourLow, 0);
    EXPECT_EQ(run.colourHigh, 10);
    EXPECT_EQ(run.debrisElapsed, 0);

    // P = 8.73 packets per breach cell and step: packets k = 0 … 7.
    run.advance();
    EXPECT_NEAR(run.releasePerCell, 8.73, 1e-9);
    EXPECT_EQ(run.debrisPacketCount, 8);
    EXPECT_EQ(run.debrisStepCount, 1);
    EXPECT_EQ(run.releaseVx, 11.64);
    EXPECT_EQ(run.releaseVy, 0);
    for (int k = 0; k < 8; ++k) {
        EXPECT_GT(run.packets[k].vx, 0);
        EXPECT_EQ(run.packets[k].vy, 0);
    }

    // Two breach cells: the table is sized for trunc(2 × 8.73) = 17 a step, while each cell releases 8,
    // its packets k ÷ 9 of a cell apart and taking the same first step.
    debristest::writeBreach(breach(), {{14, 3}, {16, 3}});
    ASSERT_TRUE(run.setup(debristest::formDefaults(), grid(), breach(), problem)) << problem;
    EXPECT_EQ(run.releasePerTick, 17);
    run.advance();
    ASSERT_EQ(run.debrisPacketCount, 16);
    for (int k = 1; k < 8; ++k) {
        EXPECT_NEAR(run.packets[k].x - run.packets[0].x, k * 10.0 / 9, 1e-9);
        EXPECT_NEAR(run.packets[8 + k].x - run.packets[8].x, k * 10.0 / 9, 1e-9);
    }
}

// The breach file's leading number is kept as the direction but does not turn the release.
// Packets start in their breach cell and find their cells on the map as the terrain grid has them, also
// when the cell size is not a whole number of metres (a size cut to 12 m would start a packet of column
// 40 twenty metres west of its cell).
TEST_F(DebrisRunTest, PacketsLieInTheirCellsOnTheMapAtAnyCellSize) {
    for (const double cellSize : {10.0, 12.5, 30.48}) {
        SCOPED_TRACE("cell size " + std::to_string(cellSize));
        debristest::writeGrid(
            grid(), valleyRows, valleyCols, cellSize,
            [](int r, int c) { return 800 - 0.5 * c + 0.2 * std::abs(r - 15); }, 500000, 3300000);
        debristest::writeBreach(breach(), {{15, 40}});
        DebrisRun fresh;
        ASSERT_TRUE(fresh.setup(debristest::formDefaults(), grid(), breach(), problem)) << problem;
        for (int step = 0; step < 20; ++step) {
            fresh.advance();
        }
        ASSERT_GT(fresh.debrisPacketCount, 0);
        for (int k = 0; k < fresh.debrisPacketCount; ++k) {
            const FlowPacket& packet = fresh.packets[k];
            const double column = std::floor((packet.x - fresh.gridMinX) / cellSize);
            const double rowFromTop = valleyRows - 1 - std::floor((packet.y - fresh.gridMinY) / cellSize);
            ASSERT_EQ(packet.col, column) << "packet " << k << " at x " << packet.x;
            ASSERT_EQ(packet.row, rowFromTop) << "packet " << k << " at y " << packet.y;
        }
    }
}

TEST_F(DebrisRunTest, LeadingNumberOfTheBreachFileDoesNotTurnTheRelease) {
    debristest::writeBreach(breach(), {{15, 3}}, 90);
    ASSERT_TRUE(run.setup(withPackets(400), grid(), breach(), problem)) << problem;
    EXPECT_EQ(run.releaseDirection, 90);
    EXPECT_EQ(run.releaseAngle, 0);
    run.advance();
    EXPECT_EQ(run.releaseVx, 11.64);
    EXPECT_EQ(run.releaseVy, 0);
}

// Each breach cell releases P packets a step on average, the fractions carried over, until the table holds
// the N packets of the total volume: the packets released make up V within one packet per breach cell.
// Dropping the fraction every step (8 of 8.73 packets) leaves V 8 % short.
TEST_F(DebrisRunTest, ReleaseAddsUpToTheTotalVolumeAndNeverOverfillsTheTable) {
    const struct {
        const char* name;
        std::vector<BreachCell> breachCells;
        double volume;  // m³
    } cases[] = {
        {"one breach cell", {{15, 3}}, 1000 * 40.0 + 25.0},
        {"three breach cells, the form's volume", {{14, 3}, {15, 3}, {16, 3}}, 2040000},
        // 3 × 8.73 = 26.19 packets a step: the last step has more than the table can take.
        {"three breach cells, a volume the last step overshoots", {{14, 3}, {15, 3}, {16, 3}}, 1001 * 40.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        debristest::writeBreach(breach(), c.breachCells);
        std::vector<double> values = debristest::formDefaults();
        values[0] = c.volume;
        ASSERT_TRUE(run.setup(values, grid(), breach(), problem)) << problem;
        const int breachCells = static_cast<int>(c.breachCells.size());
        int steps = 0;
        while (run.debrisElapsed < run.releaseDuration + 10 * run.timeStep) {
            const int before = run.debrisPacketCount;
            run.advance();
            ++steps;
            if (run.debrisPacketCount > before) {
                EXPECT_LT(run.debrisElapsed, run.releaseDuration);
            }
            // Every breach cell has released floor(steps × P) packets so far, until the table is full.
            const int expected =
                std::min(run.packetCapacity,
                         breachCells * static_cast<int>(std::floor(steps * run.releasePerCell + 1e-9)));
            if (run.debrisElapsed < run.releaseDuration) {
                ASSERT_EQ(run.debrisPacketCount, expected) << "step " << steps;
            }
            run.advanceClock();
        }
        EXPECT_LE(run.debrisPacketCount, run.packetCapacity);
        EXPECT_NEAR(run.debrisPacketCount * run.packetVolume, c.volume, breachCells * run.packetVolume);
    }
}

// The debris on the grid now is what the released packets carry, at every step: the motion sees no
// trace of packets gone by, which the cells keep only for the display.
TEST_F(DebrisRunTest, DebrisOnTheGridIsWhatThePacketsCarry) {
    debristest::writeBreach(breach(), {{14, 3}, {15, 3}, {16, 3}});
    ASSERT_TRUE(run.setup(withPackets(6000), grid(), breach(), problem)) << problem;
    double trace = 0;
    for (int step = 1; step <= 1000; ++step) {
        run.advance();
        run.advanceClock();
        if (step % 50 == 0) {
            SCOPED_TRACE("step " + std::to_string(step));
            const double carried = run.debrisPacketCount * run.packetVolume;
            EXPECT_NEAR(run.debrisVolumeOnGrid(), carried, 1e-6 * carried);
            trace = 0;
            for (int r = 0; r < run.gridRows; ++r) {
                for (int c = 0; c < run.gridCols; ++c) {
                    trace += run.debrisGrid.depths(r)[c] * run.gridCellSize * run.gridCellSize;
                }
            }
        }
    }
    EXPECT_EQ(run.debrisPacketCount, 6000);
    EXPECT_GT(trace, 1.05 * run.debrisVolumeOnGrid()) << "the cells keep the trace of the flow";

    run.resetClock();
    EXPECT_EQ(run.debrisVolumeOnGrid(), 0);
}

// Braking distance of a packet on flat ground by the resistance law: it slows by
// g (a + b v + c v²) with a = τB / (ρm h), b = 2 μ / (ρm h²), c = 1 / (C² h), h the flow depth of 4 m;
// from u0 to the stopping speed of 0.05 m/s it runs ∫ v dv / (g (a + b v + c v²)).
double brakingDistance(const DebrisRun& run, double releaseSpeed) {
    const double h = 4.0;
    const double chezy = std::pow(h, 1.0 / 6.0) / run.roughnessN;
    const double a = run.debrisYieldStress / (run.debrisDensity * h);
    const double b = 2 * run.debrisViscosity / (run.debrisDensity * h * h);
    const double c = 1 / (chezy * chezy * h);
    const int intervals = 10000;
    const double from = 0.05;
    const double width = (releaseSpeed - from) / intervals;
    double distance = 0;
    for (int i = 0; i < intervals; ++i) {
        const double v = from + (i + 0.5) * width;
        distance += v / (CADebrisFlow::gravity * (a + b * v + c * v * v)) * width;
    }
    return distance;
}

// A single packet released on flat ground stops within the braking distance of its release speed
// (about 43 m for the form's material at 11.64 m/s; the step's explicit braking only shortens it). A
// packet that sees the trace it leaves behind is pushed on along it, hundreds of metres.
TEST_F(DebrisRunTest, PacketOnFlatGroundStopsWithinItsBrakingDistance) {
    debristest::writeGrid(grid(), 40, 120, 10, [](int, int) { return 100.0; });
    debristest::writeBreach(breach(), {{20, 5}});
    // One packet of 250 m³: 1.4 packets a step, so the single packet leaves at the first step.
    std::vector<double> values = debristest::formDefaults();
    values[0] = 250;
    values[7] = 250;
    ASSERT_TRUE(run.setup(values, grid(), breach(), problem)) << problem;
    run.advance();
    ASSERT_EQ(run.debrisPacketCount, 1);
    const double start = run.gridMinX + 5 * 10;
    const double y = run.packets[0].y;
    while (!run.packets[0].stopped && run.debrisStepCount < 2000) {
        run.advanceClock();
        run.advance();
    }
    ASSERT_TRUE(run.packets[0].stopped);
    const double travelled = run.packets[0].x - start;
    const double braking = brakingDistance(run, run.releaseSpeed);
    EXPECT_GT(braking, 40.0);
    EXPECT_LT(braking, 46.0);
    EXPECT_GT(travelled, 0.25 * braking);
    EXPECT_LE(travelled, braking);
    EXPECT_EQ(run.packets[0].y, y) << "it runs straight east";
}

TEST_F(DebrisRunTest, RefusesRunsThatCannotStart) {
    const std::vector<double> defaults = debristest::formDefaults();
    auto with = [&](int index, double value) {
        std::vector<double> values = defaults;
        values[index] = value;
        return values;
    };
    const std::string smallGridHeader = "ncols 5\nnrows 4\nxllcorner 0\nyllcorner 0\ncellsize ";
    const std::string smallGridHeights = "\nNODATA_value -9999\n1 1 1 1 1\n1 1 1 1 1\n1 1 1 1 1\n1 1 1 1 1\n";
    const struct {
        const char* what;
        std::vector<double> values;
        std::string gridText;    // replaces the valley when not empty; "-": no grid file
        std::string breachText;  // replaces the breach file when not empty; "-": no breach file
        const char* reason;
    } cases[] = {
        {"fourteen parameters", std::vector<double>(defaults.begin(), defaults.end() - 1), "", "",
         "takes 15 parameters, not 14"},
        {"parameter not a number", with(1, NAN), "", "", "parameter 1 is not a finite number"},
        {"time step 0", with(12, 0), "", "", "time step must be greater than 0 s"},
        {"packet volume 0", with(7, 0), "", "", "packet volume must be greater than 0"},
        {"solid as light as water", with(4, 1000), "", "", "no finite yield stress and viscosity"},
        {"colour range beyond an int", with(14, 1e10), "", "", "colour range"},
        {"missing breach file", defaults, "", "-", "cannot open the breach file"},
        {"missing grid", defaults, "-", "", "cannot open the terrain grid"},
        {"empty breach list", defaults, "", "0 0\n", "lists no breach cells"},
        {"breach cell in row 0", defaults, "", "0 1 0 3\n", "(row 0, column 3) lies on the outer ring"},
        {"breach cell in the last row", defaults, "", "0 1 29 3\n",
         "(row 29, column 3) lies on the outer ring"},
        {"breach cell in column 0", defaults, "", "0 1 15 0\n", "lies on the outer ring"},
        {"breach cell in the last column", defaults, "", "0 1 15 59\n", "lies on the outer ring"},
        {"second breach cell outside", defaults, "", "0 2 15 3 -4 3\n",
         "breach cell 2 (row -4, column 3) lies outside"},
        {"breach cell beyond the last column", defaults, "", "0 1 15 75\n", "lies outside the grid"},
        {"cell size 0", defaults, smallGridHeader + "0" + smallGridHeights, "0 1 2 2\n",
         "cellsize 0 is not a plausible cell size"},
        {"breach cell without data", defaults,
         smallGridHeader + "10\nNODATA_value -9999\n1 1 1 1 1\n1 1 -9999 1 1\n1 1 1 1 1\n1 1 1 1 1\n",
         "0 1 1 2\n", "breach cell 1 (row 1, column 2) lies on a cell of the terrain grid without data"},
        {"roughness 0", with(11, 0), "", "", "the roughness n must be greater than 0, not 0"},
        {"negative roughness", with(11, -0.25), "", "", "the roughness n must be greater than 0, not -0.25"},
        {"no whole packet per step", with(1, 0.001), "", "", "release gives no whole packet per time step"},
        {"volume below one packet", with(0, 39), "", "", "makes 0 packets"},
        {"volume below one step's release", with(0, 7 * 40.0), "", "",
         "one time step releases 8 packets, more than the 7"},
        // Four breach cells at 0.873 packets each: 3 packets per step in all, but none from any one cell.
        {"no packet from any one cell", with(1, 0.5), "", "0 4 14 3 15 3 16 3 17 3\n",
         "each breach cell would release"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string gridPath = grid();
        std::string breachPath = breach();
        if (c.gridText == "-") {
            gridPath = path("missing.asc");
        } else if (!c.gridText.empty()) {
            gridPath = path("case.asc");
            writeTextFile(gridPath, c.gridText);
        }
        if (c.breachText == "-") {
            breachPath = path("missing.txt");
        } else if (!c.breachText.empty()) {
            breachPath = path("case.txt");
            writeTextFile(breachPath, c.breachText);
        }
        problem.clear();
        testing::internal::CaptureStdout();
        EXPECT_FALSE(run.setup(c.values, gridPath, breachPath, problem));
        testing::internal::GetCapturedStdout();
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
        // A refused run is empty, and advancing it does nothing harmful.
        EXPECT_EQ(run.packetCapacity, 0);
        EXPECT_EQ(run.breachCount, 0);
        EXPECT_EQ(run.gridRows, 0);
        run.advance();
        EXPECT_EQ(run.debrisPacketCount, 0);
        EXPECT_FALSE(run.frameDue());
    }
}

TEST_F(DebrisRunTest, FramesFollowTheTimeStep) {
    const struct {
        double timeStep;
        int frameStride;
    } cases[] = {{0.2, 200}, {0.4, 100}, {0.6, 50}, {0.8, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.timeStep);
        std::vector<double> values = withPackets(400);
        values[12] = c.timeStep;
        ASSERT_TRUE(run.setup(values, grid(), breach(), problem)) << problem;
        EXPECT_EQ(run.frameStride, c.frameStride);
        double clockAtFirstFrame = -1;
        for (int step = 1; step <= c.frameStride; ++step) {
            run.advance();
            EXPECT_EQ(run.frameDue(), step == c.frameStride);
            if (run.frameDue()) {
                clockAtFirstFrame = run.debrisElapsed;
                EXPECT_EQ(run.frameHud().elapsedTime, static_cast<float>(run.debrisElapsed));
            }
            run.advanceClock();
        }
        // The figures of a frame are taken before the clock moves on: (K - 1) × dt at step K.
        EXPECT_NEAR(clockAtFirstFrame, (c.frameStride - 1) * c.timeStep, 1e-9);
    }
}

// A run lasts 6402 s of simulated time whatever the packets do: 10670 steps at 0.6 s, 213 frames.
TEST_F(DebrisRunTest, RunEndsAt6402Seconds) {
    ASSERT_TRUE(run.setup(withPackets(80), grid(), breach(), problem)) << problem;
    int frames = 0;
    while (!run.finished() && run.debrisStepCount < 20000) {
        run.advance();
        frames += run.frameDue() ? 1 : 0;
        run.advanceClock();
    }
    EXPECT_TRUE(run.finished());
    EXPECT_EQ(run.debrisStepCount, 10670);
    EXPECT_EQ(frames, 213);
    EXPECT_EQ(run.movingPacketCount(), 0);

    run.resetClock();
    EXPECT_EQ(run.debrisElapsed, 0);
    EXPECT_EQ(run.debrisStepCount, 0);
    EXPECT_EQ(run.debrisPacketCount, 0);
    EXPECT_FALSE(run.finished());
    run.advance();
    EXPECT_EQ(run.debrisPacketCount, 8);
    EXPECT_EQ(run.movingPacketCount(), 8);
}

// The largest speed of a frame leaves out row 0, the southern row and the eastern column.
TEST_F(DebrisRunTest, FrameSpeedLeavesOutTheBorderRowsAndTheEasternColumn) {
    std::vector<double> values = withPackets(400);
    values[13] = -2;
    values[14] = 7;
    ASSERT_TRUE(run.setup(values, grid(), breach(), problem)) << problem;
    EXPECT_EQ(run.frameHud().maxSpeed, 0);
    run.debrisGrid[0][10].speed = 90;
    run.debrisGrid[valleyRows - 1][10].speed = 80;
    run.debrisGrid[10][valleyCols - 1].speed = 70;
    run.debrisGrid[1][0].speed = 3.25;
    run.debrisGrid[valleyRows - 2][valleyCols - 2].speed = 5.5;
    const DebrisHud hud = run.frameHud();
    EXPECT_EQ(hud.maxSpeed, 5.5f);
    EXPECT_EQ(hud.rangeLower, -2);
    EXPECT_EQ(hud.rangeUpper, 7);
}

// Stepping the moving packets in groups, with the slopes and resistance terms remembered per pass, gives
// exactly the packets of stepping each one on its own, also for packets of different materials.
TEST_F(DebrisRunTest, GroupedSteppingMatchesSteppingOneByOne) {
    ASSERT_TRUE(run.setup(withPackets(2000), grid(), breach(), problem)) << problem;
    for (int step = 0; step < 120; ++step) {
        run.advance();
        run.advanceClock();
    }
    std::vector<int> moving;
    for (int j = 0; j < run.debrisPacketCount; ++j) {
        if (!run.packets[j].stopped) {
            moving.push_back(j);
        }
    }
    ASSERT_GT(moving.size(), 100u);
    // Packets of two materials, mixed within the groups.
    for (std::size_t i = 0; i < moving.size(); i += 3) {
        run.packets[moving[i]].manningN = 0.1;
    }
    PacketTable grouped = run.packets;
    PacketTable single = run.packets;
    for (int pass = 0; pass < 3; ++pass) {
        StepMemo memo;
        memo.resize(run.debrisGrid);
        memo.startPass();
        std::vector<int> list = moving;
        const int left =
            run.model.stepPackets(grouped, list.data(), static_cast<int>(list.size()), run.debrisGrid,
                                  run.gridCellSize, run.timeStep, run.gridMinX, run.gridMinY, run.gridMaxX,
                                  run.gridMaxY, run.gridRows, run.gridCols, memo);
        std::vector<int> stillMoving;
        for (const int j : moving) {
            run.model.stepPacket(single, j, run.debrisGrid, run.gridCellSize, run.timeStep, run.gridMinX,
                                 run.gridMinY, run.gridMaxX, run.gridMaxY, run.gridRows, run.gridCols);
            if (!single[j].stopped) {
                stillMoving.push_back(j);
            }
        }
        list.resize(left);
        EXPECT_EQ(list, stillMoving);
        moving = stillMoving;
    }
    for (std::size_t j = 0; j < single.size(); ++j) {
        ASSERT_TRUE(samePacket(grouped[j], single[j])) << "packet " << j;
    }
}

// Stepping in groups, on whatever vector instructions the processor offers, gives bit for bit the packets
// of the public sub-steps applied in order to each packet alone: packets of the run in full and partial
// groups, of two materials, and packets placed where a step meets the border and the ring.
TEST_F(DebrisRunTest, GroupedSteppingMatchesTheSubStepsInOrder) {
    ASSERT_TRUE(run.setup(withPackets(2000), grid(), breach(), problem)) << problem;
    for (int step = 0; step < 60; ++step) {
        run.advance();
        run.advanceClock();
    }
    PacketTable packets(run.packets.begin(), run.packets.begin() + run.debrisPacketCount);
    // Where in their cells (fractions from its western and southern edges) and how fast the placed packets
    // start: towards each ring, past the eastern edge, thrown off the grid, slow, and (with no velocity
    // given) heading uphill at the speed the slope takes away in one step, so that it comes to rest.
    struct Placed {
        int row, col;
        double fracX, fracY, vx, vy;
    };
    const Placed placed[] = {{15, 58, 0.95, 0.5, 5, 0},  {15, 1, 0.05, 0.5, -5, 1}, {1, 30, 0.5, 0.95, 1, 5},
                             {28, 30, 0.5, 0.05, -1, -5}, {15, 58, 2.5, 0.5, 3, 0},  {10, 20, 0.5, 0.5, 1e308, -1e308},
                             {15, 30, 0.5, 0.5, 0.01, -0.01}, {15, 40, 0.5, 0.5, 0, 0}};
    for (const Placed& at : placed) {
        FlowPacket packet = packets[0];
        packet.stopped = false;
        packet.row = at.row;
        packet.col = at.col;
        packet.x = run.gridMinX + (at.col + at.fracX) * 10;
        packet.y = run.gridMinY + (valleyRows - 1 - at.row + at.fracY) * 10;
        packet.vx = packet.vxPrev = at.vx;
        packet.vy = packet.vyPrev = at.vy;
        if (at.vx == 0 && at.vy == 0) {
            FlowPacket probe = packet;
            run.model.slopeAcceleration(probe, run.debrisGrid, run.gridCellSize);
            packet.vx = packet.vxPrev = -probe.slopeX * run.timeStep;
            packet.vy = packet.vyPrev = -probe.slopeY * run.timeStep;
        }
        packets.push_back(packet);
    }
    std::vector<int> moving;
    for (int j = 0; j < static_cast<int>(packets.size()); ++j) {
        if (!packets[j].stopped) {
            packets[j].manningN = moving.size() % 3 == 0 ? 0.1 : packets[j].manningN;
            moving.push_back(j);
        }
    }
    // The last group a partial one.
    if (moving.size() % 8 == 0) {
        moving.erase(moving.begin());
    }
    PacketTable grouped = packets;
    StepMemo memo;
    memo.resize(run.debrisGrid);
    memo.startPass();
    std::vector<int> list = moving;
    run.model.stepPackets(grouped, list.data(), static_cast<int>(list.size()), run.debrisGrid, run.gridCellSize,
                          run.timeStep, run.gridMinX, run.gridMinY, run.gridMaxX, run.gridMaxY, run.gridRows,
                          run.gridCols, memo);
    int stopped = 0;
    for (const int j : moving) {
        FlowPacket alone = packets[j];
        // The fixed flow depth and the Chezy coefficient of the material, as the step sets them.
        alone.flowDepth = grouped[j].flowDepth;
        alone.chezy = grouped[j].chezy;
        run.model.slopeAcceleration(alone, run.debrisGrid, run.gridCellSize);
        run.model.frictionDeceleration(alone);
        run.model.updateVelocity(alone, run.timeStep);
        run.model.advancePosition(alone, run.timeStep);
        run.model.reflectAtBorder(alone, run.gridMinX, run.gridMinY, run.gridMaxX, run.gridMaxY);
        run.model.locateCell(alone, run.gridCellSize, run.gridMinX, run.gridMinY, run.gridRows, run.gridCols);
        run.model.cellFraction(alone, run.gridCellSize, run.gridMinX, run.gridMinY, run.gridRows);
        alone.vxPrev = alone.vx;
        alone.vyPrev = alone.vy;
        ASSERT_TRUE(samePacket(grouped[j], alone)) << "packet " << j;
        stopped += alone.stopped;
    }
    EXPECT_GE(stopped, 7) << "the placed packets that leave the grid stop on its ring, the last at rest";
    EXPECT_TRUE(grouped.back().stopped && grouped.back().col == 40);
}

// The threads share each pass over the moving packets in stretches of the list and share the slopes
// they work out; the run is the same, bit for bit, for any number of them: every packet, every cell and
// the list of the packets still moving.
TEST_F(DebrisRunTest, ThreadCountDoesNotChangeTheRun) {
    debristest::writeBreach(breach(), {{14, 3}, {15, 3}, {16, 3}});
    const int threadCounts[] = {1, 2, 3};
    DebrisRun runs[3];
    for (int i = 0; i < 3; ++i) {
        runs[i].setThreadCount(threadCounts[i]);
        ASSERT_TRUE(runs[i].setup(withPackets(3000), grid(), breach(), problem)) << problem;
    }
    int mostMoving = 0;
    for (int step = 0; step < 400; ++step) {
        for (DebrisRun& each : runs) {
            each.advance();
            each.advanceClock();
        }
        const DebrisRun& one = runs[0];
        mostMoving = std::max(mostMoving, one.movingPacketCount());
        for (int i = 1; i < 3; ++i) {
            const DebrisRun& other = runs[i];
            ASSERT_EQ(other.movingPacketCount(), one.movingPacketCount()) << threadCounts[i] << " threads";
            for (int cell = 0; cell < valleyRows * valleyCols; ++cell) {
                ASSERT_TRUE(sameCell(one.debrisGrid, other.debrisGrid, cell))
                    << threadCounts[i] << " threads, step " << step << ", cell " << cell;
            }
            for (int j = 0; j < one.debrisPacketCount; ++j) {
                ASSERT_TRUE(samePacket(one.packets[j], other.packets[j]))
                    << threadCounts[i] << " threads, step " << step << ", packet " << j;
            }
        }
    }
    // Enough packets moved for every thread to take a stretch of its own.
    EXPECT_GT(mostMoving, 3 * 100);
}

// The terrain as a GeoTIFF of the same heights gives the same run, bit for bit, and its coordinate
// system goes with the run.
TEST_F(DebrisRunTest, GeoTiffTerrainGivesTheSameRun) {
    writePrjFile(path("valley.prj"), 32648);
    asciiGridToGeoTiff(grid(), path("valley.tif"));
    std::remove(path("valley.prj").c_str());
    DebrisRun runs[2];
    const std::string grids[2] = {grid(), path("valley.tif")};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(runs[i].setup(withPackets(1500), grids[i], breach(), problem)) << problem;
    }
    EXPECT_EQ(runs[0].projection, "");
    EXPECT_TRUE(isSameCoordinateSystem(runs[1].projection, 32648)) << runs[1].projection;
    for (int step = 0; step < 300; ++step) {
        for (DebrisRun& each : runs) {
            each.advance();
            each.advanceClock();
        }
    }
    ASSERT_GT(runs[0].debrisPacketCount, 1000);
    for (int cell = 0; cell < valleyRows * valleyCols; ++cell) {
        ASSERT_TRUE(sameCell(runs[0].debrisGrid, runs[1].debrisGrid, cell)) << "cell " << cell;
    }
    for (int j = 0; j < runs[0].debrisPacketCount; ++j) {
        ASSERT_TRUE(samePacket(runs[0].packets[j], runs[1].packets[j])) << "packet " << j;
    }
    EXPECT_EQ(readTerrainHeights(grids[1]), readTerrainHeights(grids[0]));
}

// Every step works on storage allocated by the setup, while releasing and while flowing.
TEST_F(DebrisRunTest, AdvanceAllocatesNothing) {
    ASSERT_TRUE(run.setup(withPackets(800), grid(), breach(), problem)) << problem;
    const long long before = allocationprobe::count();
    float largestSpeed = 0;
    for (int step = 0; step < 300; ++step) {
        run.advance();
        if (run.frameDue()) {
            largestSpeed = std::max(largestSpeed, run.frameHud().maxSpeed);
        }
        run.advanceClock();
    }
    EXPECT_EQ(allocationprobe::count(), before);
    EXPECT_EQ(run.debrisPacketCount, 800);
    EXPECT_GT(largestSpeed, 0);

    // A copy of a run steps without allocating too.
    DebrisRun copy = run;
    const long long beforeCopy = allocationprobe::count();
    copy.resetClock();
    for (int step = 0; step < 20; ++step) {
        copy.advance();
        copy.advanceClock();
    }
    EXPECT_EQ(allocationprobe::count(), beforeCopy);
}

}  // namespace
