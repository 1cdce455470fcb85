// The engine's step, which runs its stages in one pass over the grid, in bands shared by threads and
// built for several instruction sets, gives bit for bit the numbers of the scheme done plainly: every
// stage a whole sweep of its own over the interior in file order (the raw fluxes of all cells from the
// state before the step, before any outflow limit). The speed of a cell is worked out from the fluxes
// and depths when the cells are read, the same code for both, so it is compared between engines only.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "cafloodnew.h"
#include "floodrun.h"
#include "floodtestdata.h"
#include "inversecuberoot.h"

namespace {

constexpr float kWall = 9999.0f;

// The smallest change a float surface can take: the spacing of the floats at its value (2^-126 for
// values that small and below).
float quantum(float surface) {
    if (surface == 0.0f) {
        return std::ldexp(1.0f, -126);
    }
    int exponent = 0;
    std::frexp(surface, &exponent);
    return std::ldexp(1.0f, std::max(exponent - 24, -126));
}

// `depth` cut toward zero (or rounded to the nearest) to whole multiples of `step`.
float cutToMultiple(float depth, float step) {
    const float multiples = depth / step;
    return std::fabs(multiples) < 8388608.0f ? std::trunc(multiples) * step : depth;
}
float roundToMultiple(float depth, float step) {
    const float multiples = depth / step;
    return std::fabs(multiples) < 8388608.0f ? std::round(multiples) * step : depth;
}

// The scheme done plainly on a copy of the engine's grid.
class PlainFlood {
public:
    explicit PlainFlood(const CAFlood& engine)
        : ncols(engine.columnCount()),
          nrows(engine.rowCount()),
          dx(engine.cellSize()),
          dt(2.0f * engine.stepSeconds()) {
        for (int r = 0; r < nrows; ++r) {
            grid.insert(grid.end(), engine.cellRows()[r], engine.cellRows()[r] + ncols);
        }
    }

    // One step with the outbreak fluxes the engine imposed in its step and its tracked volume from before
    // it.
    void step(const CAFlood& engine, bool overVolume) {
        for (int r = 0; r < nrows; ++r) {
            for (int c = 0; c < ncols; ++c) {
                if (at(r, c).source) {
                    at(r, c).fluxXOld = at(r, c).fluxXNew = engine.cellRows()[r][c].fluxXNew;
                    at(r, c).fluxYOld = at(r, c).fluxYNew = engine.cellRows()[r][c].fluxYNew;
                }
            }
        }
        old = grid;
        sweep(&PlainFlood::rawFluxes);
        sweep(&PlainFlood::limitOutflow);
        sweep(&PlainFlood::continuity);
        budget = overVolume ? static_cast<int>(12000.0f / (dx * dx)) : 0;
        trimmed = 0.0;
        rowSums.assign(nrows, RowSum{});
        sweep(&PlainFlood::finish);
        depthSum = 0.0;
        for (int r = 1; r < nrows - 1; ++r) {
            const double* s = rowSums[r].lanes;
            depthSum += ((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7]));
        }
    }

    FloodCell& at(int r, int c) { return grid[static_cast<std::size_t>(r) * ncols + c]; }
    double depthSum = 0.0;
    double trimmed = 0.0;

private:
    void sweep(void (PlainFlood::*stage)(int, int)) {
        for (int r = 1; r < nrows - 1; ++r) {
            for (int c = 1; c < ncols - 1; ++c) {
                if (at(r, c).ground != kWall) {
                    (this->*stage)(r, c);
                }
            }
        }
    }

    // The state at the start of the step; cells beyond the grid are walls.
    const FloodCell& before(int r, int c) const {
        static const FloodCell wall = [] {
            FloodCell cell;
            cell.ground = cell.surfaceOld = cell.surfaceNew = kWall;
            return cell;
        }();
        return r < 0 || c < 0 || r >= nrows || c >= ncols ? wall : old[static_cast<std::size_t>(r) * ncols + c];
    }

    static float faceDepth(const FloodCell& a, const FloodCell& b) {
        return std::max(a.surfaceOld, b.surfaceOld) - std::max(a.ground, b.ground);
    }

    // The water's velocity across a face, at most three gravity waves.
    static float velocity(float flux, float depth) {
        if (!(depth > 1e-5f)) {
            return 0.0f;
        }
        const float largest = 3.0f * std::sqrt(9.8f * depth);
        return std::clamp(flux / depth, -largest, largest);
    }

    // Momentum a cell carries: the flux of the face its water comes in by, times that face's velocity.
    static float carried(float fluxIn, float velocityIn, float fluxOut, float velocityOut) {
        return fluxIn + fluxOut >= 0.0f ? fluxIn * velocityIn : fluxOut * velocityOut;
    }

    float eastVelocity(int r, int c) const {
        return velocity(before(r, c).fluxXOld, faceDepth(before(r, c), before(r, c + 1)));
    }
    float southVelocity(int r, int c) const {
        return velocity(before(r, c).fluxYOld, faceDepth(before(r, c), before(r + 1, c)));
    }
    float carriedEast(int r, int c) const {
        if (before(r, c).ground == kWall) {
            return 0.0f;
        }
        return carried(before(r, c - 1).fluxXOld, eastVelocity(r, c - 1), before(r, c).fluxXOld,
                       eastVelocity(r, c));
    }
    float carriedSouth(int r, int c) const {
        if (before(r, c).ground == kWall) {
            return 0.0f;
        }
        return carried(before(r - 1, c).fluxYOld, southVelocity(r - 1, c), before(r, c).fluxYOld,
                       southVelocity(r, c));
    }

    // The semi-implicit update of one face, with the constants and the order of operations the engine
    // takes (friction divides by h^(4/3) through inverseCubeRoot, checked on its own below).
    float faceFlux(const FloodCell& k, const FloodCell& n, float h, float weighted, float momentum,
                   float speed) const {
        if (!(h > 1e-5f)) {
            return 0.0f;
        }
        const float driven = (weighted - (dt / dx) * momentum) + h * (k.surfaceOld - n.surfaceOld) * (dt * 9.8f / dx);
        const float brake = (dt * 9.8f) * (k.manning * k.manning) * speed * (inverseCubeRoot(h) / h);
        return driven / (1.0f + brake);
    }

    void rawFluxes(int r, int c) {
        const FloodCell& k = before(r, c);
        const float u = eastVelocity(r, c);
        const float v = southVelocity(r, c);
        const float speed = std::sqrt(u * u + v * v);
        const float share = 0.5f * (1.0f - 0.7f);
        // An outbreak cell's imposed inflow takes no part in the weighting.
        const auto beside = [](const FloodCell& giver) { return giver.ground == kWall ? 0.0f : giver.fluxXOld; };
        const auto besideY = [](const FloodCell& giver) { return giver.ground == kWall ? 0.0f : giver.fluxYOld; };
        const float weightedX = 0.7f * k.fluxXOld + share * (beside(before(r, c - 1)) + beside(before(r, c + 1)));
        const float weightedY = 0.7f * k.fluxYOld + share * (besideY(before(r - 1, c)) + besideY(before(r + 1, c)));
        at(r, c).fluxXNew = faceFlux(k, before(r, c + 1), faceDepth(k, before(r, c + 1)), weightedX,
                                     carriedEast(r, c + 1) - carriedEast(r, c), speed);
        at(r, c).fluxYNew = faceFlux(k, before(r + 1, c), faceDepth(k, before(r + 1, c)), weightedY,
                                     carriedSouth(r + 1, c) - carriedSouth(r, c), speed);
    }

    // All faces through which the cell gives water, scaled by one factor to what it holds.
    void limitOutflow(int r, int c) {
        FloodCell& k = at(r, c);
        float* faces[4] = {&k.fluxXNew, &k.fluxYNew, &at(r, c - 1).fluxXNew, &at(r - 1, c).fluxYNew};
        const float sign[4] = {1.0f, 1.0f, -1.0f, -1.0f};
        float out[4];
        for (int i = 0; i < 4; ++i) {
            out[i] = std::max(sign[i] * *faces[i], 0.0f);
        }
        const float given = (out[0] + out[1]) + (out[2] + out[3]);
        const float held = (k.surfaceOld - k.ground) * dx;
        if (given * dt > held) {
            const float factor = (held / dt) / given;
            for (int i = 0; i < 4; ++i) {
                if (out[i] > 0.0f) {
                    *faces[i] *= factor;
                }
            }
        }
    }

    // The depth a face moves: a whole number of the coarser quantum of its two cells, or of the
    // receiving cell's alone (rounded) when it comes from an outbreak cell.
    float moved(const FloodCell& k, const FloodCell& other, float flux) const {
        const float depth = flux * (dt / dx);
        if (other.source) {
            return roundToMultiple(depth, quantum(k.surfaceOld));
        }
        return cutToMultiple(depth, std::max(quantum(k.surfaceOld), quantum(other.surfaceOld)));
    }

    void continuity(int r, int c) {
        FloodCell& k = at(r, c);
        const FloodCell& west = at(r, c - 1);
        const FloodCell& north = at(r - 1, c);
        const float in = (moved(k, west, west.fluxXNew) - moved(k, at(r, c + 1), k.fluxXNew)) +
                         (moved(k, north, north.fluxYNew) - moved(k, at(r + 1, c), k.fluxYNew));
        k.surfaceNew = k.surfaceOld + in;
        if (k.ground >= k.surfaceNew) {
            k.surfaceNew = k.ground;
        }
    }

    void finish(int r, int c) {
        FloodCell& k = at(r, c);
        k.surfaceOld = k.surfaceNew;
        if (budget > 0 && k.surfaceOld - k.ground > 5.0f) {
            k.surfaceOld -= 0.5f;
            k.surfaceNew = k.surfaceOld;
            --budget;
            trimmed += 0.5 * dx * dx;
        }
        k.wet = k.surfaceOld > k.ground;
        k.fluxXOld = k.fluxXNew;
        k.fluxYOld = k.fluxYNew;
        rowSums[r].lanes[(c - 1) % 8] += k.surfaceOld - k.ground;
    }

    int ncols;
    int nrows;
    float dx;
    float dt;
    std::vector<FloodCell> grid;
    std::vector<FloodCell> old;
    // The water on the grid adds up row by row, each row in eight sums taking every eighth column from
    // the first, second, ... column on, added in pairs.
    struct RowSum {
        double lanes[8] = {};
    };
    std::vector<RowSum> rowSums;
    int budget = 0;
};

TEST(FloodStepTest, OnePassStepMatchesThePlainSweepsBitForBit) {
    const struct {
        const char* name;
        ValleyShape shape;
        int latticeSpacing;  // 0: one outbreak cell near the head of the valley
        bool holesAndPits;   // a block of no-data cells and two cells reading -9999
        FloodRunSettings settings;
        int steps;
        // After this step the breach is prepared anew with a tenth of its volume, which leaves more
        // water on the grid than the new breach releases: the excess-volume trim then acts.
        int shrinkBreachAfter;
        // Columns of dry high land east of the valley, which the step skips along with the dry valley
        // ahead of the front.
        int dryColumns;
    } cases[] = {
        {"one breach, deep lake", {30, 60, 10.0f, 0.05f, 0.01f}, 0, false, {1e6f, 20.0f, 10.0f}, 5000, 4000, 0},
        {"breaches all over, walls and pits",
         {64, 48, 10.0f, 0.01f, 0.001f},
         8,
         true,
         {1e8f, 60.0f, 30.0f, "三分之一溃"},
         600,
         0,
         0},
        {"one breach beside dry land", {20, 70, 10.0f, 0.05f, 0.02f}, 0, false, {2e5f, 20.0f, 10.0f}, 1500, 0, 50},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const ValleyShape& shape = item.shape;
        const std::vector<std::pair<int, int>> outbreak =
            item.latticeSpacing > 0
                ? outbreakLattice(shape, item.latticeSpacing)
                : std::vector<std::pair<int, int>>{{shape.ncols / 2 - 1, shape.nrows - 3}};
        std::vector<std::string> inputs =
            writeValleyBesideHighLand(folder.path().toStdString(), shape, item.dryColumns, outbreak);
        const int columns = shape.ncols + item.dryColumns;
        if (item.holesAndPits) {
            std::vector<float> ground = valleyGround(shape);
            for (int r = 20; r < 26; ++r) {
                for (int c = 30; c < 40; ++c) {
                    ground[r * shape.ncols + c] = kWall;
                }
            }
            ground[30 * shape.ncols + 10] = -9999.0f;
            ground[12 * shape.ncols + 50] = -9999.0f;
            writeAsciiGrid(inputs[1], shape.ncols, shape.nrows, ground, shape.cellsize);
        }
        CAFlood engine;
        testing::internal::CaptureStderr();
        ASSERT_EQ(startFloodRun(engine, inputs, item.settings), FloodRunStart::Ready);
        testing::internal::GetCapturedStderr();
        PlainFlood plain(engine);

        int drained = 0;
        int trimmedSteps = 0;
        double leastWork = 1.0;
        for (int n = 1; n <= item.steps; ++n) {
            if (n == item.shrinkBreachAfter) {
                engine.setBreachParameters(item.settings.capacity / 10.0f, item.settings.width,
                                           item.settings.height, 0.0f, 0.0f, 1.0f, true);
                ASSERT_TRUE(engine.prepareHydrograph());
            }
            const bool overVolume = engine.volumeOnGridAndInReservoir() > engine.releaseVolume() + 6000.0f;
            const double trimmedBefore = engine.trimmedVolume();
            std::vector<bool> wetBefore;
            for (int i = 0; i < columns * shape.nrows; ++i) {
                wetBefore.push_back(engine.cellRows()[0][i].wet);
            }
            engine.step();
            plain.step(engine, overVolume);
            leastWork = std::min(leastWork, engine.workedShare());
            trimmedSteps += engine.trimmedVolume() > trimmedBefore ? 1 : 0;
            ASSERT_EQ(engine.trimmedVolume() - trimmedBefore, plain.trimmed) << "step " << n;
            ASSERT_EQ(engine.waterOnGrid(),
                      plain.depthSum * (static_cast<double>(shape.cellsize) * shape.cellsize))
                << "step " << n;
            for (int r = 0; r < shape.nrows; ++r) {
                for (int c = 0; c < columns; ++c) {
                    const char* field = firstDifference(engine.cellRows()[r][c], plain.at(r, c));
                    ASSERT_EQ(field, nullptr)
                        << field << " of row " << r << ", column " << c << " at step " << n;
                    drained += wetBefore[r * columns + c] && !engine.cellRows()[r][c].wet ? 1 : 0;
                }
            }
        }
        EXPECT_GT(drained, 0) << "the outflow limit has emptied cells";
        if (item.dryColumns > 0) {
            EXPECT_LT(leastWork, 0.5) << "the step has skipped the dry land";
        }
        if (item.shrinkBreachAfter > 0) {
            EXPECT_GT(trimmedSteps, 0) << "the excess-volume trim has acted";
        }
    }
}

// The cube root of the friction term, from the float's bits and three Newton steps, is within three
// units in the last place of the exact value over every depth a face can have.
TEST(FloodStepTest, InverseCubeRootIsWithinThreeUnitsInTheLastPlace) {
    for (float depth = 1e-5f; depth < 1e7f; depth *= 1.0003f) {
        const double exact = 1.0 / std::cbrt(static_cast<double>(depth));
        const float nearest = static_cast<float>(exact);
        const double unit = std::nextafter(nearest, 1e30f) - nearest;
        const double units = std::fabs(inverseCubeRoot(depth) - exact) / unit;
        ASSERT_LT(units, 3.0) << "depth " << depth;
    }
}

// A valley with walls and a pit that falls toward the north, so that thin fronts cross the seams
// between bands giving water through their north faces (where the outflow limit of a band's first row
// scales a flux of the band above), with outbreak cells every `spacing` cells and `dryColumns` columns of
// dry high land east of it, written into `folder`; returns the inputs and the grid's columns.
std::vector<std::string> northFallingValley(const QTemporaryDir& folder, int spacing, int dryColumns,
                                            ValleyShape& shape, int& columns) {
    shape = ValleyShape{48, 96, 10.0f, 0.01f, -0.004f};
    columns = shape.ncols + dryColumns;
    std::vector<std::string> inputs = writeValleyBesideHighLand(folder.path().toStdString(), shape, dryColumns,
                                                                outbreakLattice(shape, spacing));
    std::vector<float> ground = groundBesideHighLand(shape, dryColumns);
    for (int r = 40; r < 47; ++r) {
        for (int c = 10; c < 20; ++c) {
            ground[r * columns + c] = kWall;
        }
    }
    ground[25 * columns + 30] = -9999.0f;
    writeAsciiGrid(inputs[1], columns, shape.nrows, ground, shape.cellsize);
    return inputs;
}

struct StepSettings {
    int threads;
    FloodInstructionSet instructionSet;
};

void expectTheSameFlood(const std::vector<StepSettings>& settings, int spacing, int dryColumns);

// Steps engines with each of `settings` 500 times, fronts running over dry ground across the bands;
// the flood must be the same, bit for bit, in every one: every cell, the water on the grid and the clock.
// The valley is wet all over from breaches every 8 cells, or from a few breaches beside dry land, where
// the bands share out the rows with water.
void expectTheSameFlood(const std::vector<StepSettings>& settings) {
    for (const auto& [spacing, dryColumns] : {std::pair<int, int>{8, 0}, std::pair<int, int>{40, 60}}) {
        SCOPED_TRACE("breaches every " + std::to_string(spacing) + " cells, " + std::to_string(dryColumns) +
                     " columns of dry land");
        expectTheSameFlood(settings, spacing, dryColumns);
    }
}

void expectTheSameFlood(const std::vector<StepSettings>& settings, int spacing, int dryColumns) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ValleyShape shape;
    int columns = 0;
    const std::vector<std::string> inputs = northFallingValley(folder, spacing, dryColumns, shape, columns);
    std::vector<std::unique_ptr<CAFlood>> engines;
    for (const StepSettings& setting : settings) {
        engines.push_back(std::make_unique<CAFlood>());
        engines.back()->setThreadCount(setting.threads);
        ASSERT_TRUE(engines.back()->setInstructionSet(setting.instructionSet));
        testing::internal::CaptureStderr();
        ASSERT_EQ(startFloodRun(*engines.back(), inputs, FloodRunSettings{1e8f, 60.0f, 30.0f, "三分之一溃"}),
                  FloodRunStart::Ready);
        testing::internal::GetCapturedStderr();
    }
    const int cellCount = columns * shape.nrows;
    int wetted = 0;
    for (int n = 1; n <= 500; ++n) {
        std::vector<bool> wetBefore;
        for (int i = 0; i < cellCount; ++i) {
            wetBefore.push_back(engines.front()->cellRows()[0][i].wet);
        }
        testing::internal::CaptureStderr();
        // Spans of one to three steps, whose sub-steps the engines choose alike.
        for (const auto& engine : engines) {
            engine->advance(1 + n % 3);
        }
        testing::internal::GetCapturedStderr();
        const CAFlood& one = *engines.front();
        for (std::size_t i = 1; i < engines.size(); ++i) {
            const CAFlood& other = *engines[i];
            const std::string which = std::to_string(settings[i].threads) + " threads, instruction set " +
                                      std::to_string(static_cast<int>(settings[i].instructionSet)) +
                                      ", step " + std::to_string(n);
            for (int cell = 0; cell < cellCount; ++cell) {
                const char* field = firstDifference(one.cellRows()[0][cell], other.cellRows()[0][cell]);
                ASSERT_EQ(field, nullptr) << field << " of cell " << cell << ", " << which;
                ASSERT_TRUE(sameBits(one.cellRows()[0][cell].speed, other.cellRows()[0][cell].speed)) << which;
            }
            ASSERT_EQ(one.waterOnGrid(), other.waterOnGrid()) << which;
            ASSERT_EQ(one.simulatedTime(), other.simulatedTime()) << which;
        }
        for (int i = 0; i < cellCount; ++i) {
            wetted += !wetBefore[i] && one.cellRows()[0][i].wet ? 1 : 0;
        }
    }
    EXPECT_GT(wetted, 0) << "fronts have run over dry ground";
    EXPECT_GT(engines.front()->waterOnGrid(), 1e5);
}

// The threads of a step share the rows in bands and finish the seams between them afterwards; the flood
// is the same for any number of them.
TEST(FloodStepTest, ThreadCountDoesNotChangeTheFlood) {
    const FloodInstructionSet widest = widestFloodInstructionSet();
    expectTheSameFlood({{1, widest}, {2, widest}, {3, widest}});
}

// The step is built for several instruction sets and takes the widest the processor has; each of them
// gives the same flood. (Sets this processor lacks are left out; the baseline is always there.)
TEST(FloodStepTest, EveryInstructionSetGivesTheSameFlood) {
    std::vector<StepSettings> settings;
    for (const FloodInstructionSet set :
         {FloodInstructionSet::Baseline, FloodInstructionSet::Avx2, FloodInstructionSet::Avx512}) {
        if (floodInstructionSetAvailable(set)) {
            settings.push_back({1, set});
            settings.push_back({2, set});
        }
    }
    ASSERT_GE(settings.size(), 2u);
    expectTheSameFlood(settings);

    CAFlood engine;
    EXPECT_EQ(engine.instructionSet(), widestFloodInstructionSet());
    for (const FloodInstructionSet set : {FloodInstructionSet::Avx2, FloodInstructionSet::Avx512}) {
        EXPECT_EQ(engine.setInstructionSet(set), floodInstructionSetAvailable(set));
    }
}

}  // namespace
