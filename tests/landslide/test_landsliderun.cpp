// The landslide computation on generated rasters: the centreline samples, the statistics, the sheet's
// size and thickness, the raising, the trail, and the inputs a run refuses.
#include <gtest/gtest.h>

#include <gdal_priv.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <limits>
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

TEST_F(LandslideRunTest, RefusesRastersOfValuesNoTerrainHasAndRastersOffTheMosaic) {
    const std::string base = folder.path().toStdString() + "/";
    const auto mosaicWith = [&](float value) {
        std::vector<float> values = scene.mosaic;
        values[cell(7, 30)] = value;
        return values;
    };
    const auto shifted = [&](double east, double north) {
        GeoTransform transform = scene.mosaicTransform;
        transform[0] += east;
        transform[3] += north;
        return transform;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    writeTestRaster(base + "inf.tif", design.width, design.height, scene.mosaicTransform, {mosaicWith(inf)});
    writeTestRaster(base + "nan post.tif", design.width, design.height, scene.mosaicTransform, {mosaicWith(nan)},
                    -9999.0);
    writeTestRaster(base + "undeclared.tif", design.width, design.height, scene.mosaicTransform,
                    {mosaicWith(-3.4e38f)});
    // Cells of no data are no elevation, whatever value marks them.
    writeTestRaster(base + "declared.tif", design.width, design.height, scene.mosaicTransform,
                    {mosaicWith(-3.4e38f)}, -3.4e38f);
    std::vector<float> body(25, 4.0f);
    body[12] = nan;
    writeTestRaster(base + "nan body.tif", 5, 5, scene.mosaicTransform, {body});
    body[12] = 1e30f;
    writeTestRaster(base + "deep body.tif", 5, 5, scene.mosaicTransform, {body});
    writeTestRaster(base + "1x1.tif", 1, 1, scene.mosaicTransform, {{800.0f}});
    writeTestRaster(base + "10x10.tif", 10, 10, scene.mosaicTransform, {std::vector<float>(100, 800.0f)});
    writeTestRaster(base + "far.tif", design.width, design.height, shifted(1e6, 0), {scene.postDem}, -9999.0);
    writeTestRaster(base + "half a cell.tif", design.width, design.height, shifted(0, 5), {scene.postDem},
                    -9999.0);
    GeoTransform coarse = scene.mosaicTransform;
    coarse[1] *= 2;
    coarse[5] *= 2;
    writeTestRaster(base + "coarse.tif", design.width, design.height, coarse, {scene.postDem}, -9999.0);
    const struct {
        const char* what;
        std::string LandslideInputs::*input;
        std::string file;
        const char* reason;  // empty: the run takes it
    } cases[] = {
        {"inf in the mosaic", &LandslideInputs::mosaic, base + "inf.tif", "holds inf at row 7, column 30"},
        {"an undeclared no-data value", &LandslideInputs::mosaic, base + "undeclared.tif",
         "holds -3.4e+38 at row 7, column 30, which is no elevation"},
        {"a declared no-data value", &LandslideInputs::mosaic, base + "declared.tif", ""},
        {"nan in the post-disaster DEM", &LandslideInputs::postDem, base + "nan post.tif", "holds nan at row 7"},
        {"nan in the body", &LandslideInputs::body, base + "nan body.tif", "holds nan at row 2, column 2"},
        {"a body 1e30 m thick", &LandslideInputs::body, base + "deep body.tif",
         "holds 1e+30 at row 2, column 2, which is no thickness"},
        {"a post-disaster DEM of one cell", &LandslideInputs::postDem, base + "1x1.tif",
         "(1 x 1 cells of 10 x 10 from (500000, 3000000)) does not cover the mosaicked DEM (140 x 40 cells"},
        {"a post-disaster DEM of 10 x 10 cells", &LandslideInputs::postDem, base + "10x10.tif",
         "does not cover"},
        {"a post-disaster DEM 1000 km east", &LandslideInputs::postDem, base + "far.tif", "does not cover"},
        {"a post-disaster DEM half a cell north", &LandslideInputs::postDem, base + "half a cell.tif",
         "does not cover"},
        {"a post-disaster DEM of coarser cells", &LandslideInputs::postDem, base + "coarse.tif", "does not cover"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LandslideInputs inputs = scene.inputs;
        inputs.*c.input = c.file;
        std::string problem;
        EXPECT_EQ(run.prepare(inputs, problem), *c.reason == '\0') << problem;
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
        if (*c.reason != '\0') {
            EXPECT_NE(problem.find(c.file), std::string::npos) << problem;
        }
    }
}

TEST_F(LandslideRunTest, ADepositWestAndNorthOfThePathIsReadWhereItLies) {
    prepare();
    ASSERT_EQ(run.depositAtLastCentre, 1.0f);
    run.computeStep(100);
    const std::vector<float> expected = run.surface;
    // The deposit on a grid that starts 3 rows north and 5 columns west of the slide path's: the end of
    // the centreline lies 3 rows and 5 columns further into it. Read 3 rows and 5 columns short, as an
    // absolute offset would, it falls beside the path, where nothing lies.
    const int rowsNorth = 3;
    const int columnsWest = 5;
    const int width = design.width + columnsWest;
    const int height = design.height + rowsNorth;
    std::vector<float> deposit(static_cast<std::size_t>(width) * height, 0.0f);
    for (int r = 0; r < design.height; ++r) {
        for (int c = design.lastColumn - design.depositColumns + 1; c < design.width; ++c) {
            deposit[static_cast<std::size_t>(r + rowsNorth) * width + c + columnsWest] = onPath(r, c) ? 1.0f : 0.0f;
        }
    }
    GeoTransform transform = scene.mosaicTransform;
    transform[0] -= columnsWest * design.cellSize;
    transform[3] += rowsNorth * design.cellSize;
    scene.inputs.deposit = folder.path().toStdString() + "/north-west deposit.tif";
    writeTestRaster(scene.inputs.deposit, width, height, transform, {deposit});
    prepare();
    EXPECT_EQ(run.depositRowOffset, -rowsNorth);
    EXPECT_EQ(run.depositColOffset, -columnsWest);
    EXPECT_EQ(run.depositAtLastCentre, 1.0f);
    run.computeStep(100);
    EXPECT_EQ(run.surface, expected);
}

TEST_F(LandslideRunTest, RastersAreCheckedAgainstTheirFilesAndTheRunsMemoryBeforeAnythingIsRead) {
    const std::string base = folder.path().toStdString() + "/";
    // 96 bytes declaring 196 million cells.
    writeTextFile(base + "tiny.asc",
                  "ncols 14000\nnrows 14000\nxllcorner 500000\nyllcorner 2999600\ncellsize 10\n"
                  "NODATA_value -9999\n1 2 3\n");
    GDALAllRegister();
    const auto create = [&](const std::string& name, int size, const char* option) {
        const char* options[] = {"TILED=YES", "COMPRESS=DEFLATE", option, nullptr};
        GDALDataset* dataset = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            (base + name).c_str(), size, size, 1, GDT_Byte, const_cast<char**>(options));
        ASSERT_NE(dataset, nullptr);
        double transform[6];
        std::copy(scene.mosaicTransform.begin(), scene.mosaicTransform.end(), transform);
        dataset->SetGeoTransform(transform);
        if (std::string(option) != "SPARSE_OK=TRUE") {
            ASSERT_EQ(dataset->GetRasterBand(1)->Fill(1.0), CE_None);
        }
        GDALClose(dataset);
    };
    // A sparse GeoTIFF of 400 million cells in a few kilobytes, and a compressed one of 144 million cells
    // that holds them but, as a mosaic, would need 2.7 GiB.
    create("sparse.tif", 20000, "SPARSE_OK=TRUE");
    create("large.tif", 12000, "BLOCKXSIZE=512");
    ASSERT_EQ(::mkfifo((base + "pipe.tif").c_str(), 0600), 0);
    std::filesystem::copy_file(scene.inputs.mosaic, base + "beside a pipe.tif");
    ASSERT_EQ(::mkfifo((base + "beside a pipe.tif.aux.xml").c_str(), 0600), 0);
    const struct {
        const char* what;
        std::string LandslideInputs::*input;
        std::string file;
        std::string reason;
    } cases[] = {
        {"an ASCII grid declaring more than it holds", &LandslideInputs::mosaic, base + "tiny.asc",
         "\"" + base + "tiny.asc\" declares 14000 x 14000 cells but holds only 96 bytes"},
        {"a sparse GeoTIFF", &LandslideInputs::deposit, base + "sparse.tif", "declares 20000 x 20000 cells"},
        {"a mosaic beyond the run's memory", &LandslideInputs::mosaic, base + "large.tif",
         "the seven inputs would take 2"},
        {"a pipe", &LandslideInputs::body, base + "pipe.tif", "pipe.tif\" is not a regular file"},
        {"a pipe beside", &LandslideInputs::mosaic, base + "beside a pipe.tif",
         "beside a pipe.tif.aux.xml\", beside"},
    };
    ::alarm(120);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LandslideInputs inputs = scene.inputs;
        inputs.*c.input = c.file;
        std::string problem;
        EXPECT_FALSE(run.prepare(inputs, problem));
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
    }
    ::alarm(0);
}

}  // namespace
