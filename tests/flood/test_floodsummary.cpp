// The flood run's summary: maxima, arrival times and the volume balance, written and read back by GDAL.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <sstream>

#include "cafloodnew.h"
#include "floodrun.h"
#include "floodsummary.h"
#include "floodtestdata.h"
#include "floodtick.h"
#include "monitorpoints.h"
#include "monitorseries.h"
#include "testrasters.h"

namespace {

// A valley of 20 x 40 cells of 10 m falling 1 % toward the south, its border closed: a basin the
// flood runs down and cannot leave.
struct SummarisedValley {
    QTemporaryDir folder;
    ValleyShape shape{20, 40, 10.0f, 0.05f, 0.01f};
    CAFlood engine;
    FloodSummary summary;
    std::string base = folder.path().toStdString();
    // Depth of every cell at every recorded result.
    std::vector<std::vector<float>> depthsOfResults;

    explicit SummarisedValley(float capacity) {
        // The breach at the head of the valley floor, in the second row from the top.
        const std::vector<std::string> inputs = writeValley(base, shape, {{9, shape.nrows - 2}});
        ready = startFloodRun(engine, inputs, smallBreach(capacity)) == FloodRunStart::Ready;
        summary.start(engine);
    }
    void runResults(int count) {
        for (int number = 1; number <= count; ++number) {
            for (int step = 0; step < floodStepsPerResult; ++step) {
                engine.step();
            }
            summary.record(engine, number);
            std::vector<float> depths;
            for (int r = 0; r < shape.nrows; ++r) {
                for (int c = 0; c < shape.ncols; ++c) {
                    depths.push_back(cellDepth(engine, r, c));
                }
            }
            depthsOfResults.push_back(depths);
        }
    }
    bool ready = false;
};

std::vector<std::vector<double>> readCsvRows(const std::string& path, std::string& header) {
    std::ifstream file(path);
    std::getline(file, header);
    std::vector<std::vector<double>> rows;
    for (std::string line; std::getline(file, line);) {
        std::vector<double> row;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) {
            row.push_back(std::stod(field));
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(FloodSummaryTest, RastersLieOnTheGridAndHoldMaximaArrivalAndNoData) {
    SummarisedValley valley(2e4f);
    ASSERT_TRUE(valley.ready);
    // Early enough that the water has not yet reached the foot of the valley.
    valley.runResults(40);
    const std::string folder = valley.base + "/results_summary";
    std::string problem;
    ASSERT_TRUE(valley.summary.write(folder, problem)) << problem;

    const std::optional<RasterContents> maxDepth = readRaster(folder + "/maxDepth.tif");
    const std::optional<RasterContents> maxSpeed = readRaster(folder + "/maxSpeed.tif");
    const std::optional<RasterContents> arrival = readRaster(folder + "/arrivalTime.tif");
    ASSERT_TRUE(maxDepth && maxSpeed && arrival);
    const ValleyShape& shape = valley.shape;
    for (const RasterContents* raster : {&*maxDepth, &*maxSpeed, &*arrival}) {
        EXPECT_EQ(raster->width, shape.ncols);
        EXPECT_EQ(raster->height, shape.nrows);
        const std::array<double, 6> grid = {0.0, 10.0, 0.0, shape.nrows * 10.0, 0.0, -10.0};
        EXPECT_EQ(raster->geoTransform, grid);
        ASSERT_TRUE(raster->noData);
        EXPECT_EQ(*raster->noData, summaryNoData);
        EXPECT_EQ(raster->projection, "") << "no .prj beside the grid";
    }

    int reached = 0;
    int dry = 0;
    for (int r = 0; r < shape.nrows; ++r) {
        for (int c = 0; c < shape.ncols; ++c) {
            SCOPED_TRACE("row " + std::to_string(r) + ", column " + std::to_string(c));
            float deepest = 0.0f;
            for (const std::vector<float>& depths : valley.depthsOfResults) {
                deepest = std::max(deepest, depths[static_cast<std::size_t>(r) * shape.ncols + c]);
            }
            if (deepest > 0.0f) {
                ++reached;
                ASSERT_EQ(maxDepth->at(r, c), deepest);
                ASSERT_GE(maxSpeed->at(r, c), 0.0f);
            } else {
                ++dry;
                ASSERT_EQ(maxDepth->at(r, c), summaryNoData);
                ASSERT_EQ(maxSpeed->at(r, c), summaryNoData);
                ASSERT_EQ(arrival->at(r, c), summaryNoData);
            }
            if (deepest <= defaultArrivalDepth) {
                ASSERT_EQ(arrival->at(r, c), summaryNoData);
            } else {
                ASSERT_GT(arrival->at(r, c), 0.0f);
            }
        }
    }
    EXPECT_GT(reached, 20);
    EXPECT_GT(dry, 20) << "the run ends before the flood fills the valley";

    // Down the valley floor from the breach, the flood arrives later and later; the foot is not
    // reached yet.
    const int floor = 9;
    float previous = 0.0f;
    int floorCellsReached = 0;
    for (int r = 3; r < shape.nrows - 1; ++r) {
        const float time = arrival->at(r, floor);
        if (time == summaryNoData) {
            for (int below = r; below < shape.nrows - 1; ++below) {
                EXPECT_EQ(arrival->at(below, floor), summaryNoData) << "row " << below;
            }
            break;
        }
        EXPECT_GE(time, previous) << "row " << r;
        previous = time;
        ++floorCellsReached;
    }
    EXPECT_GT(floorCellsReached, 5);
    EXPECT_GT(previous, arrival->at(3, floor)) << "the flood takes time to run down the valley";
    EXPECT_EQ(arrival->at(shape.nrows - 2, floor), summaryNoData);
}

TEST(FloodSummaryTest, VolumeBalanceOfAClosedBasinHoldsInEveryRow) {
    SummarisedValley valley(5e4f);
    ASSERT_TRUE(valley.ready);
    // Past the end of the hydrograph, so that the rows cover the rising, falling and still flood.
    const int results =
        static_cast<int>(valley.engine.hydrographDuration() / (10 * valley.engine.stepSeconds())) + 20;
    valley.runResults(results);
    std::string problem;
    ASSERT_TRUE(valley.summary.write(valley.base + "/summary", problem)) << problem;

    std::string header;
    const std::vector<std::vector<double>> rows = readCsvRows(valley.base + "/summary/volume.csv", header);
    EXPECT_EQ(header, "result,time_s,released_m3,on_grid_m3,trimmed_m3,residual_storage_m3");
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(results));
    double previousTime = 0.0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        const std::vector<double>& row = rows[i];
        ASSERT_EQ(row.size(), 6u);
        EXPECT_EQ(row[0], static_cast<double>(i + 1));
        EXPECT_GT(row[1], previousTime);
        previousTime = row[1];
        const double released = row[2];
        const double onGrid = row[3];
        ASSERT_GT(released, 0.0);
        // The grid keeps what the breach let out: float rounding of the surfaces is all that may differ.
        EXPECT_NEAR(onGrid, released, 0.005 * released);
        EXPECT_EQ(row[4], 0.0) << "the guard trim never fires in a basin this shallow";
        EXPECT_NEAR(released + row[5], valley.engine.releaseVolume(), 1.0);
    }
    EXPECT_EQ(rows.back()[5], 0.0) << "the reservoir is empty after the hydrograph";
}

TEST(FloodSummaryTest, MonitorSeriesFollowTheCellUnderEachPoint) {
    SummarisedValley valley(2e4f);
    ASSERT_TRUE(valley.ready);
    // On the valley floor below the breach (the corner of row 6, column 9), and far off the grid.
    const std::string pointsFile = valley.base + "/monitors.geojson";
    writeTextFile(
        pointsFile,
        R"({"type": "FeatureCollection", "features": [)"
        R"({"type": "Feature", "properties": {}, "geometry": {"type": "Point", "coordinates": [90, 340]}},)"
        R"({"type": "Feature", "properties": {}, "geometry": {"type": "Point", "coordinates": [5000, 5000]}}]})");
    MonitorPoints monitors;
    ASSERT_TRUE(monitors.load(pointsFile));
    valley.summary.start(valley.engine, defaultArrivalDepth, &monitors);
    const int results = 30;
    valley.runResults(results);
    std::string problem;
    ASSERT_TRUE(valley.summary.write(valley.base + "/summary", problem)) << problem;

    std::string header;
    const std::vector<std::vector<double>> rows = readCsvRows(valley.base + "/summary/monitors.csv", header);
    EXPECT_EQ(header, "result,time_s,point,x,y,depth_m,speed_m_s,flow_m2_s");
    ASSERT_EQ(rows.size(), 2u * results);
    const std::size_t floorCell = 6 * static_cast<std::size_t>(valley.shape.ncols) + 9;
    for (int number = 1; number <= results; ++number) {
        SCOPED_TRACE("result " + std::to_string(number));
        const std::vector<double>& onFloor = rows[2 * (number - 1)];
        const std::vector<double>& offGrid = rows[2 * (number - 1) + 1];
        EXPECT_EQ(onFloor[0], number);
        EXPECT_EQ(onFloor[2], 1);
        EXPECT_EQ(onFloor[3], 90);
        EXPECT_EQ(onFloor[4], 340);
        EXPECT_NEAR(onFloor[5], valley.depthsOfResults[number - 1][floorCell], 1e-4);
        EXPECT_EQ(offGrid[2], 2);
        EXPECT_EQ(offGrid[5], 0.0);
        EXPECT_EQ(offGrid[6], 0.0);
    }
    EXPECT_GT(rows[2 * (results - 1)][5], 0.0) << "the flood reaches the point";
    EXPECT_GT(rows[2 * (results - 1)][6], 0.0);

    // The plots read the file back as the series the run recorded, to the digits written.
    std::vector<MonitorSeries> readBack;
    ASSERT_TRUE(readMonitorsCsv(valley.base + "/summary/monitors.csv", readBack, problem)) << problem;
    const std::vector<MonitorSeries> recorded = groupMonitorSamples(valley.summary.monitorSamples);
    ASSERT_EQ(readBack.size(), recorded.size());
    for (std::size_t p = 0; p < recorded.size(); ++p) {
        EXPECT_EQ(readBack[p].point, recorded[p].point);
        EXPECT_EQ(readBack[p].result, recorded[p].result);
        for (std::size_t k = 0; k < recorded[p].result.size(); ++k) {
            EXPECT_NEAR(readBack[p].time[k], recorded[p].time[k], 1e-3);
            EXPECT_NEAR(readBack[p].depth[k], recorded[p].depth[k], 1e-4);
            EXPECT_NEAR(readBack[p].speed[k], recorded[p].speed[k], 1e-4);
            EXPECT_NEAR(readBack[p].flow[k], recorded[p].flow[k], 1e-4);
        }
    }
}

TEST(FloodSummaryTest, SummaryFolderLiesBesideTheResultFolder) {
    const struct {
        const char* results;
        const char* summary;
    } cases[] = {
        {"/data/run one", "/data/run one_summary"},
        {"/data/run one/", "/data/run one_summary"},
        {"relative//", "relative_summary"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(summaryFolderOf(c.results), c.summary) << c.results;
    }
}

TEST(FloodSummaryTest, WriteIntoAnUnusableFolderSaysSo) {
    SummarisedValley valley(2e4f);
    ASSERT_TRUE(valley.ready);
    valley.runResults(2);
    writeTextFile(valley.base + "/file", "x");
    std::string problem;
    EXPECT_FALSE(valley.summary.write(valley.base + "/file/summary", problem));
    EXPECT_NE(problem.find("cannot create the summary folder"), std::string::npos) << problem;

    FloodSummary unstarted;
    EXPECT_FALSE(unstarted.write(valley.base + "/other", problem));
    EXPECT_FALSE(QDir(QString::fromStdString(valley.base + "/other")).exists());
}

}  // namespace
