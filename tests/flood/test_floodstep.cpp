// The engine's step, which does both sweeps in one pass over the grid and skips work whose outcome is
// known, gives bit for bit the numbers of the scheme done plainly: a whole flux sweep, then a whole
// continuity sweep, every cell of the interior in file order, every rule evaluated in full.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstring>

#include "cafloodnew.h"
#include "floodrun.h"
#include "floodtestdata.h"

namespace {

constexpr float kWall = 9999.0f;

// The scheme done plainly on a copy of the engine's grid.
class PlainFlood {
public:
    explicit PlainFlood(const CAFlood& engine)
        : ncols(engine.columnCount()),
          nrows(engine.rowCount()),
          dx(engine.cellSize()),
          dt(engine.stepSeconds()),
          sources(engine.outbreakCells()) {
        for (int r = 0; r < nrows; ++r) {
            grid.insert(grid.end(), engine.cellRows()[r], engine.cellRows()[r] + ncols);
        }
    }

    // One step with the outflow, clock and tracked volume the engine had for it.
    void step(float outflow, float time, bool overVolume) {
        for (const auto& [c, rowFromBottom] : sources) {
            FloodCell& cell = at(nrows - rowFromBottom, c);
            const float flux = outflow * 2.0f * dt / (2.0f * static_cast<float>(sources.size()) * dx * dt);
            cell.fluxXOld = cell.fluxXNew = cell.fluxYOld = cell.fluxYNew = flux;
        }
        for (int r = 1; r < nrows - 1; ++r) {
            for (int c = 1; c < ncols - 1; ++c) {
                if (swept(r, c) && !at(r, c).source) {
                    fluxes(r, c);
                }
            }
        }
        depthSum = 0.0;
        for (int r = 1; r < nrows - 1; ++r) {
            for (int c = 1; c < ncols - 1; ++c) {
                if (swept(r, c)) {
                    continuity(r, c, time, overVolume);
                }
            }
        }
        budget = static_cast<int>(12000.0f / (dx * dx));
    }

    FloodCell& at(int r, int c) { return grid[static_cast<std::size_t>(r) * ncols + c]; }
    double depthSum = 0.0;

private:
    // Cells without data are left out of both sweeps.
    bool swept(int r, int c) { return at(r, c).ground != kWall || at(r, c).source; }

    // The new flux through the face from `k` to its east or south neighbour `n`, with the flux `along`
    // that face and `across` it at the last step, their depths `h` and `hAcross`; `velocity` is set to the
    // velocity along the face where the face is open.
    float faceFlux(const FloodCell& k, const FloodCell& n, float h, float hAcross, float along, float across,
                   float& velocity) const {
        const float dK = k.surfaceOld - k.ground;
        const float dN = n.surfaceOld - n.ground;
        if (h <= 1e-5f || (n.ground > k.surfaceOld && dN <= 1e-5f) ||
            (k.ground > n.surfaceOld && dK <= 1e-5f)) {
            return 0.0f;
        }
        velocity = along / h;
        float f = 0.0f;
        if (std::fabs(velocity) >= 1e-5f) {
            const float velocityAcross = hAcross <= 1e-5f ? 0.0f : across / hAcross;
            const float n2 = k.manning * k.manning;
            f = dt * 9.8f * n2 * velocity * std::sqrt(velocity * velocity + velocityAcross * velocityAcross) /
                std::pow(h, 0.33333334f);
        }
        if (std::fabs(along) < std::fabs(f)) {
            f = along;
        }
        return along - (f - dt * 9.8f * h * (k.surfaceOld - n.surfaceOld) / dx);
    }

    void fluxes(int r, int c) {
        FloodCell& k = at(r, c);
        const FloodCell& e = at(r, c + 1);
        const FloodCell& s = at(r + 1, c);
        const float dK = k.surfaceOld - k.ground;
        const float dE = e.surfaceOld - e.ground;
        const float dS = s.surfaceOld - s.ground;
        const float hx = 0.5f * (dK + dE);
        const float hy = 0.5f * (dK + dS);
        float u = 0.0f;
        float v = 0.0f;
        k.fluxXNew = faceFlux(k, e, hx, hy, k.fluxXOld, k.fluxYOld, u);
        k.fluxYNew = faceFlux(k, s, hy, hx, k.fluxYOld, k.fluxXOld, v);
        const float held = dK * dx;
        const float out = k.fluxYNew + k.fluxXNew;
        if (out * dt > held) {
            const float ratio = (held / dt) / out;
            k.fluxYNew *= ratio;
            k.fluxXNew *= ratio;
        }
        FloodCell& west = at(r, c - 1);
        FloodCell& north = at(r - 1, c);
        const float in = west.fluxXNew + north.fluxYNew;
        if (-in * dt > held) {
            const float ratio = (held / dt) / -in;
            north.fluxYNew *= ratio;
            west.fluxXNew *= ratio;
        }
        k.speed = std::sqrt(u * u + v * v);
        k.fluxXOld = k.fluxXNew;
        k.fluxYOld = k.fluxYNew;
    }

    void continuity(int r, int c, float time, bool overVolume) {
        FloodCell& k = at(r, c);
        if (!k.source) {
            k.surfaceNew =
                k.surfaceOld +
                (at(r, c - 1).fluxXNew - k.fluxXNew + at(r - 1, c).fluxYNew - k.fluxYNew) * dt / dx;
            k.wet = !(k.ground >= k.surfaceNew);
            if (!k.wet) {
                k.surfaceNew = k.ground;
            }
            const int around[8][2] = {{0, 1}, {1, 0}, {0, -1}, {-1, 0}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
            int wetAround = 0;
            float sum = 0.0f;
            for (const auto& offset : around) {
                const FloodCell& neighbour = at(r + offset[0], c + offset[1]);
                const float depth = neighbour.surfaceNew - neighbour.ground;
                wetAround += depth > 0.0f ? 1 : 0;
                sum += depth;
            }
            const float own = k.surfaceNew - k.ground;
            if (time > 10.0f && wetAround <= 2 && own > 0.0f && sum < 1.0f) {
                k.surfaceNew = k.ground;
                k.wet = false;
            }
            if (wetAround >= 7 && own == 0.0f) {
                k.surfaceNew = k.ground + 0.1f;
                k.wet = true;
            }
            if (overVolume && budget > 0 && k.surfaceNew - k.ground > 5.0f) {
                k.surfaceNew -= 0.5f;
                --budget;
            }
            k.surfaceOld = k.surfaceNew;
            k.fluxXOld = k.fluxXNew;
            k.fluxYOld = k.fluxYNew;
        }
        depthSum += k.surfaceNew - k.ground;
    }

    int ncols;
    int nrows;
    float dx;
    float dt;
    std::vector<std::pair<int, int>> sources;
    std::vector<FloodCell> grid;
    int budget = 0;
};

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The first field of a cell that differs, or null.
const char* firstDifference(const FloodCell& a, const FloodCell& b) {
    if (a.wet != b.wet) {
        return "wet";
    }
    if (a.source != b.source) {
        return "source";
    }
    const std::pair<const char*, float FloodCell::*> fields[] = {{"ground", &FloodCell::ground},
                                                                 {"manning", &FloodCell::manning},
                                                                 {"surfaceNew", &FloodCell::surfaceNew},
                                                                 {"surfaceOld", &FloodCell::surfaceOld},
                                                                 {"fluxXNew", &FloodCell::fluxXNew},
                                                                 {"fluxYNew", &FloodCell::fluxYNew},
                                                                 {"fluxXOld", &FloodCell::fluxXOld},
                                                                 {"fluxYOld", &FloodCell::fluxYOld},
                                                                 {"speed", &FloodCell::speed}};
    for (const auto& [name, field] : fields) {
        if (!sameBits(a.*field, b.*field)) {
            return name;
        }
    }
    return nullptr;
}

TEST(FloodStepTest, OnePassStepMatchesThePlainSweepsBitForBit) {
    const struct {
        const char* name;
        ValleyShape shape;
        int latticeSpacing;  // 0: one outbreak cell near the head of the valley
        bool holesAndPits;   // a block of no-data cells and two cells reading -9999
        FloodRunSettings settings;
        int steps;
    } cases[] = {
        // Runs long enough for the flood to fill the foot of the valley and the excess trim to act.
        {"one breach, deep lake", {30, 60, 10.0f, 0.05f, 0.01f}, 0, false, {1e6f, 20.0f, 10.0f}, 5000},
        {"breaches all over, walls and pits",
         {64, 48, 10.0f, 0.01f, 0.001f},
         8,
         true,
         {1e8f, 60.0f, 30.0f, "三分之一溃"},
         600},
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
        std::vector<std::string> inputs = writeValley(folder.path().toStdString(), shape, outbreak);
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

        int trimmedSteps = 0;
        for (int n = 1; n <= item.steps; ++n) {
            const float time = engine.simulatedTime();
            const bool overVolume = engine.volumeOnGridAndInReservoir() > engine.releaseVolume() + 6000.0f;
            trimmedSteps += overVolume ? 1 : 0;
            engine.step();
            plain.step(engine.outflowRate(), time, overVolume);
            ASSERT_EQ(
                engine.volumeOnGridAndInReservoir(),
                static_cast<float>(plain.depthSum * (static_cast<double>(shape.cellsize) * shape.cellsize) +
                                   engine.residualVolume()))
                << "step " << n;
            for (int r = 0; r < shape.nrows; ++r) {
                for (int c = 0; c < shape.ncols; ++c) {
                    const char* field = firstDifference(engine.cellRows()[r][c], plain.at(r, c));
                    ASSERT_EQ(field, nullptr)
                        << field << " of row " << r << ", column " << c << " at step " << n;
                }
            }
        }
        EXPECT_GT(engine.simulatedTime(), 10.0f) << "the wet-dry settling has dried cells";
        if (item.latticeSpacing == 0) {
            EXPECT_GT(trimmedSteps, 0) << "the excess-volume trim has acted";
        }
    }
}

}  // namespace
