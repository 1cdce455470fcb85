// The landslide computation on generated rasters: the centreline samples, the statistics, the sheet's
// size and thickness, the raising, the trail, and the inputs a run refuses.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <sstream>

#include "landslidetestdata.h"
#include "testfiles.h"

namespace {

// What every raising adds besides the thickness: gaussNoise(0, 0.3) always gives 0.3 × 0.5731527.
constexpr double noisePerRaise = 0.1719458;

std::vector<Point> line(int count, double firstElevation = 1000.0, double fall = 1.0) {
    std::vector<Point> points;
    for (int i = 0; i < count; ++i) {
        points.push_back({i, 2 * i, firstElevation - fall * i});
    }
    return points;
}

TEST(LandslideCentreline, SamplesOnePointPerStepIndex) {
    const struct {
        int points;
        bool accepted;
        std::size_t samples;
        int tnum;
        int first;  // the point of the first sample
    } cases[] = {
        {150, true, 101, 0, 0}, {101, true, 101, 0, 0}, {5000, true, 101, 0, 48}, {30, true, 119, 4, 0},
        {99, true, 197, 2, 0},  {1, false, 0, 0, 0},    {50, false, 0, 0, 0},     {20, false, 0, 0, 0},
        {100, false, 0, 0, 0},  {0, false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.points) + " points");
        const std::vector<Point> points = line(c.points);
        std::vector<Point> samples = line(3);  // what a list held before is replaced
        int tnum = -1;
        std::string problem;
        EXPECT_EQ(LandslideRun::sampleCentreline(points, samples, tnum, problem), c.accepted);
        EXPECT_EQ(samples.size(), c.samples);
        if (!c.accepted) {
            EXPECT_FALSE(problem.empty());
            continue;
        }
        EXPECT_EQ(tnum, c.tnum);
        EXPECT_EQ(samples.front().row, c.first);
        EXPECT_EQ(samples.back().row, c.points - 1) << "the last sample is the last point";
        // Along the line without skipping a point; fewer than 100 points come Tnum times each, the first
        // once less.
        std::vector<int> repeats(static_cast<std::size_t>(c.points), 0);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            ++repeats[static_cast<std::size_t>(samples[i].row)];
            if (i > 0) {
                ASSERT_LE(samples[i - 1].row, samples[i].row);
                ASSERT_LE(samples[i].row - samples[i - 1].row, c.points / 100 + 1);
            }
        }
        if (c.tnum > 0) {
            EXPECT_EQ(repeats.front(), c.tnum - 1);
            EXPECT_EQ(std::count(repeats.begin() + 1, repeats.end(), c.tnum), c.points - 1);
        }
    }
}

TEST(LandslideCentreline, RunsFromTheHighEndToTheLowEnd) {
    const struct {
        double firstElevation;
        double fall;
        bool reversed;
    } cases[] = {{1000, 1, false}, {1000, -1, true}, {1000, 0, true}};
    for (const auto& c : cases) {
        std::vector<Point> points = line(5, c.firstElevation, c.fall);
        LandslideRun::orientCentreline(points);
        EXPECT_EQ(points.front().row, c.reversed ? 4 : 0) << "fall " << c.fall;
    }
}

TEST(LandslideNoise, IsAlwaysTheSameDeviate) {
    LandslideRun run;
    for (const auto& [mean, sd] : {std::pair{0.0, 0.3}, {0.0, 0.3}, {5.0, 2.0}, {-1.0, 0.0}, {0.0, 1.0}}) {
        EXPECT_NEAR(run.gaussNoise(mean, sd), mean + 0.5731527 * sd, 1e-7) << mean << ", " << sd;
    }
}

class LandslideRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        scene = writeSlideScene(folder.path().toStdString(), design);
    }

    void prepare() {
        std::string problem;
        ASSERT_TRUE(run.prepare(scene.inputs, problem)) << problem;
    }

    std::size_t cell(int row, int col) const { return static_cast<std::size_t>(row) * design.width + col; }

    bool onPath(int row, int col) const {
        return col >= design.firstColumn - design.pathHalfWidth &&
               col <= design.lastColumn + design.pathHalfWidth &&
               std::abs(row - slideCentreRow(design, col)) <= design.pathHalfWidth;
    }

    // The candidate cells of radius R around step k's centre, by the rule itself: a window whose upper
    // edges are exclusive, and a truncated distance within R.
    std::vector<std::size_t> candidates(int k, int radius) const {
        const Point& centre = run.pointVec[static_cast<std::size_t>(k)];
        std::vector<std::size_t> cells;
        for (int r = std::max(centre.row - radius, 0); r < std::min(design.height, centre.row + radius);
             ++r) {
            for (int c = std::max(centre.col - radius, 0); c < std::min(design.width, centre.col + radius);
                 ++c) {
                const double distance = std::sqrt(double(r - centre.row) * (r - centre.row) +
                                                  double(c - centre.col) * (c - centre.col));
                if (static_cast<int>(distance) <= radius && onPath(r, c)) {
                    cells.push_back(cell(r, c));
                }
            }
        }
        return cells;
    }

    QTemporaryDir folder;
    SlideDesign design;
    SlideScene scene;
    LandslideRun run;
};

TEST_F(LandslideRunTest, PreparationCountsTheBodyAndDepositAndSamplesTheCentreline) {
    std::ostringstream diagnostics;
    std::string problem;
    ASSERT_TRUE(run.prepare(scene.inputs, problem, &diagnostics)) << problem;
    int bodyCells = 0;
    int depositCells = 0;
    for (int r = 0; r < design.height; ++r) {
        for (int c = 0; c < design.width; ++c) {
            bodyCells += onPath(r, c) && c < design.firstColumn + design.bodyColumns;
            depositCells += onPath(r, c) && c > design.lastColumn - design.depositColumns;
        }
    }
    EXPECT_EQ(run.bodyCells, static_cast<float>(bodyCells));
    EXPECT_FLOAT_EQ(run.bodyVolume, bodyCells * design.bodyThickness);
    EXPECT_EQ(run.depositCells, depositCells);
    EXPECT_EQ(diagnostics.str(), "lineXSize: 120  lineYSize: 40\n");

    // 120 centreline columns from the west (high) end, offset into the mosaic by the raster's origin.
    ASSERT_EQ(run.pointVec.size(), 101u);
    EXPECT_EQ(run.pointVec.front().col, design.firstColumn);
    EXPECT_EQ(run.pointVec.back().col, design.lastColumn);
    for (const Point& point : run.pointVec) {
        ASSERT_EQ(point.row, slideCentreRow(design, point.col));
        ASSERT_FLOAT_EQ(static_cast<float>(point.elevation), slideGround(design, point.row, point.col));
    }
    EXPECT_EQ(run.nextStep(), 1);
    EXPECT_EQ(run.mosaicWidth, design.width);
    EXPECT_DOUBLE_EQ(run.originY, design.originY);
    EXPECT_EQ(run.surface, scene.mosaic);
}

TEST_F(LandslideRunTest, EachStepRaisesAboutTheTargetAreaByTwiceTheThicknessAndTheNoise) {
    prepare();
    for (int k = 1; k <= 99; ++k) {
        const LandslideStepFigures figures = run.computeStep(k);
        SCOPED_TRACE("step " + std::to_string(k) + ": T " + std::to_string(figures.targetCells) + ", R " +
                     std::to_string(figures.radius) + ", N " + std::to_string(figures.cells));
        ASSERT_EQ(figures.step, k);
        EXPECT_EQ(
            figures.targetCells,
            static_cast<int>((float(run.depositCells) - run.bodyCells) * float(k) / 100.0f + run.bodyCells));
        // The disc's count is the one the rule gives for its radius, the closest to the target of any radius.
        const std::vector<std::size_t> sheet = candidates(k, figures.radius);
        ASSERT_EQ(static_cast<int>(sheet.size()), figures.cells);
        ASSERT_GT(figures.cells, 0);
        for (const int other : {figures.radius - 1, figures.radius + 1}) {
            const int count = static_cast<int>(candidates(k, other).size());
            EXPECT_LE(std::abs(figures.cells - figures.targetCells), std::abs(count - figures.targetCells))
                << "radius " << other << " holds " << count;
        }
        EXPECT_FLOAT_EQ(figures.thickness, run.bodyVolume / static_cast<float>(figures.cells));
        const double raise = 2.0 * figures.thickness + 2.0 * noisePerRaise;
        for (const std::size_t i : sheet) {
            ASSERT_NEAR(run.surface[i] - run.baseSurface[i], raise, 2e-4) << "cell " << i;
        }
        run.restoreSurface();
    }
}

TEST_F(LandslideRunTest, TheLastStepRaisesOnceUnlessTheDepositLiesUnderItsCentre) {
    for (const bool depositUnderCentre : {true, false}) {
        SCOPED_TRACE(depositUnderCentre ? "deposit under the centre" : "no deposit under the centre");
        if (!depositUnderCentre) {
            // The deposit on the mosaic's grid, without the cell where the centreline ends.
            std::vector<float> deposit(scene.mosaic.size(), 0.0f);
            for (int r = 0; r < design.height; ++r) {
                for (int c = design.lastColumn - design.depositColumns + 1; c < design.width; ++c) {
                    deposit[cell(r, c)] = onPath(r, c) ? 1.0f : 0.0f;
                }
            }
            deposit[cell(slideCentreRow(design, design.lastColumn), design.lastColumn)] = 0.0f;
            scene.inputs.deposit = folder.path().toStdString() + "/deposit without its end.tif";
            writeTestRaster(scene.inputs.deposit, design.width, design.height, scene.mosaicTransform,
                            {deposit});
        }
        prepare();
        const LandslideStepFigures figures = run.computeStep(100);
        const double raise = (depositUnderCentre ? 2.0 : 1.0) * (figures.thickness + noisePerRaise);
        for (const std::size_t i : candidates(100, figures.radius)) {
            ASSERT_NEAR(run.surface[i] - run.baseSurface[i], raise, 2e-4);
        }
    }
}

TEST_F(LandslideRunTest, TheTrailKeepsEachCellAtItsLastRaisedHeight) {
    // A long slope: the sheet moves about four cells a step and leaves its rear edge behind.
    design.width = 460;
    design.lastColumn = 449;
    scene = writeSlideScene(folder.path().toStdString(), design);
    prepare();
    std::vector<float> step3;
    for (int k = 1; k <= 4; ++k) {
        const LandslideStepFigures figures = run.computeStep(k);
        if (k < 4) {
            step3 = run.surface;
            run.restoreSurface();
            continue;
        }
        const std::vector<std::size_t> sheet4 = candidates(4, figures.radius);
        int trailCells = 0;
        for (std::size_t i = 0; i < run.surface.size(); ++i) {
            const bool inSheet4 = std::find(sheet4.begin(), sheet4.end(), i) != sheet4.end();
            if (step3[i] != run.baseSurface[i] && !inSheet4) {
                ASSERT_EQ(run.surface[i], step3[i]) << "cell " << i << " left behind at step 4";
                ++trailCells;
            }
            if (step3[i] == run.baseSurface[i] && !inSheet4) {
                ASSERT_EQ(run.surface[i], run.baseSurface[i]) << "cell " << i << " never raised";
            }
        }
        EXPECT_GT(trailCells, 0) << "the sheet moved on between steps 3 and 4";
    }
    run.restoreSurface();
    EXPECT_EQ(run.surface, scene.mosaic);
}

TEST_F(LandslideRunTest, ATargetBeyondTheSlidePathCoversAllOfItAndNoStepDividesByZero) {
    // A deposit of every cell: at the last steps the target exceeds the slide path.
    const std::string deposit = folder.path().toStdString() + "/everywhere.tif";
    writeTestRaster(deposit, design.width, design.height, scene.mosaicTransform,
                    {std::vector<float>(static_cast<std::size_t>(design.width) * design.height, 1.0f)});
    scene.inputs.deposit = deposit;
    prepare();
    int pathCells = 0;
    for (int r = 0; r < design.height; ++r) {
        for (int c = 0; c < design.width; ++c) {
            pathCells += onPath(r, c);
        }
    }
    const LandslideStepFigures figures = run.computeStep(100);
    EXPECT_GT(figures.targetCells, pathCells);
    EXPECT_EQ(figures.cells, pathCells);
    EXPECT_TRUE(std::isfinite(figures.thickness));
    EXPECT_FLOAT_EQ(figures.thickness, run.bodyVolume / static_cast<float>(pathCells));
}

TEST_F(LandslideRunTest, EveryPreparationStartsAFreshRun) {
    prepare();
    const LandslideRun first = run;
    for (int k = 1; k <= 3; ++k) {
        run.computeStep(k);
        run.restoreSurface();
        run.advanceStepCounter();
    }
    prepare();
    EXPECT_EQ(run.nextStep(), 1);
    EXPECT_EQ(run.pointVec.size(), first.pointVec.size());
    EXPECT_EQ(run.bodyCells, first.bodyCells);
    EXPECT_EQ(run.bodyVolume, first.bodyVolume);
    EXPECT_EQ(run.depositCells, first.depositCells);
    EXPECT_EQ(run.trailSurface, scene.mosaic);
}

TEST_F(LandslideRunTest, RefusesUnusableInputsNamingThem) {
    const std::string base = folder.path().toStdString() + "/";
    writeTextFile(base + "text.tif", "not a raster\n");
    // A slide path one column narrower than the mosaic.
    writeTestRaster(base + "narrow path.tif", design.width - 1, design.height, scene.mosaicTransform,
                    {std::vector<float>(static_cast<std::size_t>(design.width - 1) * design.height, 1.0f)});
    // A centreline of 50 cells, a count that divides 100.
    std::vector<float> fifty(static_cast<std::size_t>(design.width) * design.height, -9999.0f);
    for (int c = 20; c < 70; ++c) {
        fifty[cell(slideCentreRow(design, c), c)] = 1.0f;
    }
    writeTestRaster(base + "fifty.tif", design.width, design.height, scene.mosaicTransform, {fifty}, -9999.0);
    writeTestRaster(base + "empty line.tif", design.width, design.height, scene.mosaicTransform,
                    {std::vector<float>(fifty.size(), -9999.0f)}, -9999.0);
    // A deposit raster far west of the centreline's end.
    writeTestRaster(base + "west deposit.tif", 5, 5, scene.mosaicTransform, {std::vector<float>(25, 1.0f)});
    writeTestRaster(base + "no body.tif", 5, 5, scene.mosaicTransform, {std::vector<float>(25, -9999.0f)},
                    -9999.0);
    writeTestRaster(base + "no path.tif", design.width, design.height, scene.mosaicTransform,
                    {std::vector<float>(fifty.size(), 10000.0f)});

    const struct {
        const char* what;
        std::string LandslideInputs::*input;
        std::string file;
        const char* named;  // the input the message names
        const char* reason;
    } cases[] = {
        {"missing post-disaster DEM", &LandslideInputs::postDem, base + "nothing.tif", "灾后dem",
         "does not open"},
        {"missing image", &LandslideInputs::image, base + "nothing.tif", "灾后影像", "does not open"},
        {"text as mosaic", &LandslideInputs::mosaic, base + "text.tif", "镶嵌后dem", "does not open"},
        {"narrow slide path", &LandslideInputs::path, base + "narrow path.tif", "滑坡道", "smaller than"},
        {"slide path of no cell", &LandslideInputs::path, base + "no path.tif", "滑坡道",
         "no slide-path cell"},
        {"missing body", &LandslideInputs::body, base + "nothing.tif", "滑坡体", "does not open"},
        {"body without thickness", &LandslideInputs::body, base + "no body.tif", "滑坡体", "no cell thicker"},
        {"fifty centreline points", &LandslideInputs::centreline, base + "fifty.tif", "中心线",
         "only 99 of the 101"},
        {"no centreline point", &LandslideInputs::centreline, base + "empty line.tif", "中心线",
         "no centreline cell"},
        {"missing deposit", &LandslideInputs::deposit, base + "nothing.tif", "堆积体", "does not open"},
        {"deposit off the end", &LandslideInputs::deposit, base + "west deposit.tif", "堆积体",
         "does not cover the end of the centreline"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LandslideInputs inputs = scene.inputs;
        inputs.*c.input = c.file;
        std::string problem;
        EXPECT_FALSE(run.prepare(inputs, problem));
        EXPECT_NE(problem.find(c.named), std::string::npos) << problem;
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
        EXPECT_NE(problem.find(c.file), std::string::npos) << problem;
        EXPECT_FALSE(run.prepared());
        EXPECT_TRUE(run.finished());
        EXPECT_EQ(run.computeStep(1).step, 0);
    }
}

}  // namespace
