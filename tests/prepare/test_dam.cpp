// The dam on the grid: whichever way the valley runs, a point dam reaches across it, and the flood engine
// fed by its outbreak cells puts water below the dam only.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>

#include "cafloodnew.h"
#include "dam.h"
#include "demgrid.h"
#include "floodrun.h"
#include "georaster.h"
#include "testfiles.h"

namespace {

constexpr int size = 41;
constexpr double cell = 10;

// A V-shaped valley through the grid centre whose floor falls 2 % toward (downX, downY) and whose sides
// rise 10 % across it, in UTM zone 48N.
DemGrid valley(double downX, double downY) {
    DemGrid dem;
    dem.frame.width = size;
    dem.frame.height = size;
    dem.frame.geoTransform = {500000, cell, 0, 3300000 + size * cell, 0, -cell};
    dem.heights.resize(size * size);
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            const double x = dem.centreX(column) - dem.centreX(size / 2);
            const double y = dem.centreY(row) - dem.centreY(size / 2);
            const double along = x * downX + y * downY;
            const double across = -x * downY + y * downX;
            dem.heights[row * size + column] =
                static_cast<float>(300 - 0.02 * along + 0.1 * std::fabs(across));
        }
    }
    return dem;
}

TEST(Dam, PointDamReachesAcrossTheValleyAndTheFloodRunsDownstreamOnly) {
    const double diagonal = std::sqrt(0.5);
    const struct {
        const char* name;
        double downX, downY;
    } valleys[] = {{"north", 0, 1},
                   {"south", 0, -1},
                   {"east", 1, 0},
                   {"west", -1, 0},
                   {"north-west", -diagonal, diagonal},
                   {"south-east", diagonal, -diagonal}};
    for (const auto& v : valleys) {
        SCOPED_TRACE(v.name);
        const DemGrid dem = valley(v.downX, v.downY);
        DamSpec spec;
        const double damX = dem.centreX(size / 2);
        const double damY = dem.centreY(size / 2);
        spec.points = {{damX, damY}};
        spec.breachWidth = 30;
        spec.breachHeight = 5;
        DamCells dam;
        std::string problem;
        ASSERT_TRUE(placeDam(dem, spec, dam, problem)) << problem;
        EXPECT_NEAR(dam.downstreamX, v.downX, 0.01);
        EXPECT_NEAR(dam.downstreamY, v.downY, 0.01);
        EXPECT_NEAR(dam.crest, 305, 1.5);
        // The sides rise 5 m in 50 m: the dam reaches some 50 m to either side, across the valley.
        const double reach[2] = {std::hypot(dam.startX - damX, dam.startY - damY),
                                 std::hypot(dam.endX - damX, dam.endY - damY)};
        for (const double r : reach) {
            EXPECT_NEAR(r, 50, 12);
        }
        const double acrossStart = -(dam.startX - damX) * v.downY + (dam.startY - damY) * v.downX;
        const double acrossEnd = -(dam.endX - damX) * v.downY + (dam.endY - damY) * v.downX;
        EXPECT_LT(acrossStart * acrossEnd, 0);
        EXPECT_NEAR(std::fabs(acrossStart) + std::fabs(acrossEnd), 100, 25);
        ASSERT_FALSE(dam.outbreak.empty());
        for (const GridCell& outbreak : dam.outbreak) {
            EXPECT_LE(std::hypot(dem.centreX(outbreak.second) - damX, dem.centreY(outbreak.first) - damY),
                      15 + 1.5 * cell)
                << outbreak.first << ", " << outbreak.second;
        }

        // The engine on these inputs: water appears below the dam and nowhere above it.
        QTemporaryDir folder;
        const std::string base = folder.path().toStdString();
        std::vector<float> ground = dem.heights;
        for (const auto& [row, column] : dam.walls) {
            ground[row * size + column] = DemGrid::noData;
        }
        ASSERT_TRUE(writeGeoTiff(base + "/dem.tif", dem.frame, ground, DemGrid::noData, problem)) << problem;
        ASSERT_TRUE(writeGeoTiff(base + "/n.tif", dem.frame, std::vector<float>(size * size, 0.035f),
                                 std::nullopt, problem));
        writeTextFile(base + "/outbreak.txt", outbreakFileText(dem, dam));
        CAFlood engine;
        FloodRunSettings breach;
        breach.capacity = 2e5f;
        breach.width = 30;
        breach.height = 5;
        ASSERT_EQ(startFloodRun(engine, {base + "/n.tif", base + "/dem.tif", base + "/outbreak.txt"}, breach),
                  FloodRunStart::Ready);
        for (int step = 0; step < 300; ++step) {
            engine.step();
        }
        int wet = 0;
        for (int row = 1; row < size - 1; ++row) {
            for (int column = 1; column < size - 1; ++column) {
                const FloodCell& c = engine.cellRows()[row][column];
                if (c.source || c.ground == 9999.0f || !(c.surfaceOld - c.ground > 1e-3f)) {
                    continue;
                }
                ++wet;
                const double along =
                    (dem.centreX(column) - damX) * v.downX + (dem.centreY(row) - damY) * v.downY;
                EXPECT_GT(along, -cell) << "water above the dam at " << row << ", " << column;
            }
        }
        EXPECT_GT(wet, 10);
    }
}

TEST(Dam, DamsThatCannotBePlacedSayWhy) {
    const DemGrid dem = valley(1, 0);
    const double x = dem.centreX(size / 2);
    const double y = dem.centreY(size / 2);
    const struct {
        const char* name;
        std::vector<std::pair<double, double>> points;
        double height;
        const char* reason;
    } dams[] = {
        {"point west of the grid", {{499000, y}}, 5, "lies outside the DEM (x from 500000.00 to 500410.00"},
        {"line end north of the grid",
         {{x, y}, {x, 3400000}},
         5,
         "(500205.00, 3400000.00) lies outside the DEM"},
        {"point on the edge", {{500001, y}}, 5, "on the DEM's edge"},
        {"terrain never rising high enough", {{x, y}}, 80, "does not rise 80 m above it on both sides"},
        {"three points", {{x, y}, {x, y}, {x, y}}, 5, "one point or the two ends of a line"},
    };
    for (const auto& d : dams) {
        DamSpec spec;
        spec.points = d.points;
        spec.breachHeight = d.height;
        DamCells dam;
        std::string problem;
        EXPECT_FALSE(placeDam(dem, spec, dam, problem)) << d.name;
        EXPECT_NE(problem.find(d.reason), std::string::npos) << d.name << ": " << problem;
    }
}

}  // namespace
