// The flood engine against reference solutions on a uniform channel: the depth of the established flow
// against Manning's normal depth, and the advance of the front against a 1-D shallow-water solver.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

#include "cafloodnew.h"
#include "floodrun.h"
#include "floodtestdata.h"

namespace {

constexpr double kGravity = 9.8;
constexpr double kSlope = 0.01;
constexpr float kCellSize = 10.0f;
constexpr double kChannelWidth = 20.0;  // two rows of cells

// Manning's normal depth of a wide channel falling by `slope` and carrying q m^2/s: q = h^(5/3) sqrt(S) / n.
double normalDepth(double q, double roughness, double slope = kSlope) {
    return std::pow(roughness * q / std::sqrt(slope), 0.6);
}

// A 1-D shallow-water solver for the same channel, independent of the engine's scheme: finite volumes
// of 5 m with the HLL flux, the bed slope through hydrostatic reconstruction (which keeps depths
// positive at the dry front) and Manning friction taken semi-implicitly, a prescribed discharge entering
// at x = 0 and a dry bed ahead.
class ChannelReference {
public:
    explicit ChannelReference(double roughness) : roughness(roughness) {
        for (int i = 0; i < kCells; ++i) {
            bed[i] = -kSlope * (i + 0.5) * kDx;
        }
    }

    // Advances to `until` seconds with `inflow` m^2/s entering.
    void runTo(double until, double inflow) {
        const double entryDepth = normalDepth(inflow, roughness);
        while (time < until) {
            double fastest = inflow / entryDepth + std::sqrt(kGravity * entryDepth);
            for (int i = 0; i < kCells; ++i) {
                if (depth[i] > 0.0) {
                    fastest = std::max(fastest,
                                       std::fabs(discharge[i] / depth[i]) + std::sqrt(kGravity * depth[i]));
                }
            }
            const double dt = std::min(0.45 * kDx / fastest, until - time);
            // Fluxes leaving cell i through its east face (left) and entering cell i + 1 (right).
            const double wallDepth = depth[0] > 1e-3 ? depth[0] : entryDepth;
            massIn[0] = inflow;
            momentumIn[0] = inflow * inflow / wallDepth + 0.5 * kGravity * wallDepth * wallDepth;
            for (int i = 0; i + 1 < kCells; ++i) {
                const double crest = std::max(bed[i], bed[i + 1]);
                const double left = std::max(0.0, depth[i] + bed[i] - crest);
                const double right = std::max(0.0, depth[i + 1] + bed[i + 1] - crest);
                double mass = 0.0;
                double momentum = 0.0;
                hll(left, velocity(i), right, velocity(i + 1), mass, momentum);
                massOut[i] = mass;
                momentumOut[i] = momentum + 0.5 * kGravity * (depth[i] * depth[i] - left * left);
                massIn[i + 1] = mass;
                momentumIn[i + 1] = momentum + 0.5 * kGravity * (depth[i + 1] * depth[i + 1] - right * right);
            }
            const int last = kCells - 1;
            massOut[last] = depth[last] * velocity(last);
            momentumOut[last] = massOut[last] * velocity(last) + 0.5 * kGravity * depth[last] * depth[last];
            for (int i = 0; i < kCells; ++i) {
                depth[i] -= dt / kDx * (massOut[i] - massIn[i]);
                discharge[i] -= dt / kDx * (momentumOut[i] - momentumIn[i]);
                if (depth[i] < 1e-8) {
                    depth[i] = 0.0;
                    discharge[i] = 0.0;
                } else {
                    discharge[i] /= 1.0 + dt * kGravity * roughness * roughness * std::fabs(discharge[i]) /
                                              std::pow(depth[i], 7.0 / 3.0);
                }
            }
            time += dt;
        }
    }

    // The furthest point down the channel with more than `threshold` metres of water.
    double front(double threshold) const {
        for (int i = kCells - 1; i >= 0; --i) {
            if (depth[i] > threshold) {
                return (i + 1) * kDx;
            }
        }
        return 0.0;
    }

private:
    static constexpr int kCells = 1000;
    static constexpr double kDx = 5.0;

    double velocity(int i) const { return depth[i] > 1e-8 ? discharge[i] / depth[i] : 0.0; }

    static void hll(double hl, double ul, double hr, double ur, double& mass, double& momentum) {
        if (hl <= 0.0 && hr <= 0.0) {
            mass = momentum = 0.0;
            return;
        }
        const double cl = std::sqrt(kGravity * hl);
        const double cr = std::sqrt(kGravity * hr);
        double sl = std::min(ul - cl, ur - cr);
        double sr = std::max(ul + cl, ur + cr);
        if (hr <= 0.0) {
            sl = ul - cl;
            sr = ul + 2.0 * cl;
        } else if (hl <= 0.0) {
            sl = ur - 2.0 * cr;
            sr = ur + cr;
        }
        const double massL = hl * ul;
        const double massR = hr * ur;
        const double momentumL = hl * ul * ul + 0.5 * kGravity * hl * hl;
        const double momentumR = hr * ur * ur + 0.5 * kGravity * hr * hr;
        if (sl >= 0.0) {
            mass = massL;
            momentum = momentumL;
        } else if (sr <= 0.0) {
            mass = massR;
            momentum = momentumR;
        } else {
            mass = (sr * massL - sl * massR + sl * sr * (hr - hl)) / (sr - sl);
            momentum = (sr * momentumL - sl * momentumR + sl * sr * (massR - massL)) / (sr - sl);
        }
    }

    double roughness;
    double time = 0.0;
    double bed[kCells] = {};
    double depth[kCells] = {};
    double discharge[kCells] = {};
    double massIn[kCells] = {};
    double massOut[kCells] = {};
    double momentumIn[kCells] = {};
    double momentumOut[kCells] = {};
};

// A channel of two rows of 10 m cells and 5 km falling east by 1 %, walled by the grid border. One
// outbreak cell at its head lets a breach of 1e7 m^3 from a 22.21 m by 1 m total break into both rows:
// about 20.6 m^3/s, 1.03 m^2/s over the channel's 20 m, falling by under 0.2 % in the half hour the
// test runs.
struct Channel {
    static constexpr int kColumns = 502;
    QTemporaryDir folder;
    CAFlood engine;
    bool ready = false;

    explicit Channel(float roughness, double slope = kSlope) {
        const int nrows = 4;
        std::vector<float> ground(static_cast<std::size_t>(kColumns) * nrows);
        for (int r = 0; r < nrows; ++r) {
            for (int c = 0; c < kColumns; ++c) {
                ground[static_cast<std::size_t>(r) * kColumns + c] =
                    100.0f + static_cast<float>(slope) * static_cast<float>(kColumns - c) * kCellSize;
            }
        }
        const std::string base = folder.path().toStdString();
        const std::vector<std::string> inputs = {base + "/n.asc", base + "/dem.asc", base + "/outbreak.txt"};
        writeAsciiGrid(inputs[0], kColumns, nrows, std::vector<float>(ground.size(), roughness), kCellSize);
        writeAsciiGrid(inputs[1], kColumns, nrows, ground, kCellSize);
        // Grid row 1, column 1: its east face opens into row 1, its south face into row 2.
        writeOutbreakFile(inputs[2], {{1, nrows - 1}});
        FloodRunSettings settings;
        settings.capacity = 1e7f;
        settings.width = 22.21f;
        settings.height = 1.0f;
        ready = startFloodRun(engine, inputs, settings) == FloodRunStart::Ready;
    }

    // Discharge per metre of channel width the breach lets in now, m^2/s.
    double unitDischarge() const { return engine.outflowRate() / kChannelWidth; }

    // Mean depth over both rows of the cells whose centres lie between `from` and `to` metres down the
    // channel (x = 0 at the outbreak cell's east face).
    double meanDepth(double from, double to) const {
        double sum = 0.0;
        int count = 0;
        for (int c = 2; c < kColumns - 1; ++c) {
            const double x = (c - 1.5) * kCellSize;
            if (x >= from && x <= to) {
                sum += cellDepth(engine, 1, c) + cellDepth(engine, 2, c);
                count += 2;
            }
        }
        return sum / count;
    }

    // The furthest point down the channel with more than `threshold` metres of water in either row.
    double front(double threshold) const {
        for (int c = kColumns - 2; c >= 2; --c) {
            if (cellDepth(engine, 1, c) > threshold || cellDepth(engine, 2, c) > threshold) {
                return (c - 1) * kCellSize;
            }
        }
        return 0.0;
    }
};

// Far enough below the inflow, the flow in the channel is uniform and its depth is Manning's normal
// depth for the discharge the breach lets in. A flood that advances its clock by twice the time over
// which its water moves carries twice the discharge for its clock, 52 % too deep; 5 % leaves room for
// the slow fall of the outflow and for the face depths of the scheme.
TEST(FloodReferenceTest, UniformChannelFlowsAtManningsNormalDepth) {
    for (const float roughness : {0.03f, 0.06f}) {
        SCOPED_TRACE("roughness " + std::to_string(roughness));
        Channel channel(roughness);
        ASSERT_TRUE(channel.ready);
        runUntil(channel.engine, 1000.0f);
        const double expected = normalDepth(channel.unitDischarge(), roughness);
        ASSERT_GT(channel.front(0.01), 1000.0) << "the flow is established at the probe";
        EXPECT_NEAR(channel.meanDepth(500.0, 700.0), expected, 0.05 * expected);
    }
}

// The front advances as the 1-D reference has it, within the two cells its position is read to and a
// few per cent for the front's shape near critical flow (Froude number 0.95 at n = 0.03). A scheme that
// leaves out the advection of momentum grows short waves behind the front there that carry it ahead of
// the reference; a clock running twice as fast as the water leaves the front a third behind.
TEST(FloodReferenceTest, FrontAdvancesAsTheShallowWaterReference) {
    for (const float roughness : {0.03f, 0.06f}) {
        SCOPED_TRACE("roughness " + std::to_string(roughness));
        Channel channel(roughness);
        ASSERT_TRUE(channel.ready);
        ChannelReference reference(roughness);
        for (const float checkpoint : {500.0f, 750.0f, 1000.0f}) {
            runUntil(channel.engine, checkpoint);
            reference.runTo(channel.engine.simulatedTime(), channel.unitDischarge());
            SCOPED_TRACE("at " + std::to_string(channel.engine.simulatedTime()) + " s");
            const double expected = reference.front(0.01);
            ASSERT_GT(expected, 300.0);
            EXPECT_NEAR(channel.front(0.01), expected, 0.05 * expected);
        }
    }
}

// Uniform flow at any Froude number: slow, just above critical and twice critical. Established flow
// stands at Manning's normal depth, and nowhere in the channel does the water run at more than twice the
// normal velocity; an unstable scheme on steep ground gives surges several times too deep and speeds of
// tens of metres a second, a stable one the established flow within a few per cent.
TEST(FloodReferenceTest, UniformChannelFlowsAtNormalDepthAtAnyFroudeNumber) {
    const float roughness = 0.03f;
    const struct {
        double froude;
        double slope;
    } cases[] = {{0.5, 0.0027}, {1.3, 0.02}, {2.0, 0.052}};
    for (const auto& item : cases) {
        SCOPED_TRACE("Froude number " + std::to_string(item.froude));
        Channel channel(roughness, item.slope);
        ASSERT_TRUE(channel.ready);
        double fastest = 0.0;
        for (float checkpoint = 20.0f; checkpoint <= 1000.0f; checkpoint += 20.0f) {
            runUntil(channel.engine, checkpoint);
            for (int r = 1; r <= 2; ++r) {
                for (int c = 2; c < Channel::kColumns - 1; ++c) {
                    fastest = std::max<double>(fastest, channel.engine.cellRows()[r][c].speed);
                }
            }
        }
        const double q = channel.unitDischarge();
        const double expected = normalDepth(q, roughness, item.slope);
        const double velocity = q / expected;
        ASSERT_NEAR(velocity / std::sqrt(kGravity * expected), item.froude, 0.05) << "the case's Froude number";
        ASSERT_GT(channel.front(0.01), 1000.0) << "the flow is established at the probe";
        EXPECT_NEAR(channel.meanDepth(500.0, 700.0), expected, 0.05 * expected);
        EXPECT_LE(fastest, 2.0 * velocity);
    }
}

}  // namespace
