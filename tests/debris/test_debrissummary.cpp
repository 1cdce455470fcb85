// The debris-flow run's summary: the peak results the model keeps in its cells and the volume balance,
// written and read back by GDAL.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "debrisrun.h"
#include "debrissummary.h"
#include "debristestdata.h"
#include "summaryfiles.h"
#include "testfiles.h"
#include "testrasters.h"

namespace {

TEST(DebrisSummaryTest, RastersHoldThePeakResultsOnTheGridInItsCoordinateSystem) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string base = folder.path().toStdString();
    // A valley of 10 m cells falling eastwards by 5 %, its floor along row 15.
    const int rows = 30;
    const int cols = 60;
    debristest::writeGrid(
        base + "/valley.asc", rows, cols, 10,
        [](int r, int c) { return 800 - 0.5 * c + 0.2 * std::abs(r - 15); }, 500000, 3300000);
    writePrjFile(base + "/valley.prj", 32648);
    debristest::writeBreach(base + "/breach.txt", {{15, 3}, {14, 3}});
    std::vector<double> values = debristest::formDefaults();
    values[0] = 8000;
    DebrisRun run;
    std::string problem;
    ASSERT_TRUE(run.setup(values, base + "/valley.asc", base + "/breach.txt", problem)) << problem;

    DebrisSummary summary;
    summary.start(run);
    int frames = 0;
    while (run.debrisStepCount < 300) {
        run.advance();
        if (run.frameDue()) {
            summary.record(run, ++frames, run.frameHud().elapsedTime);
        }
        run.advanceClock();
    }
    ASSERT_GT(frames, 3);
    ASSERT_TRUE(summary.write(run, base + "/run_summary", problem)) << problem;

    struct Layer {
        const char* file;
        double DebrisCell::*field;  // none: the trace depth
    };
    const Layer layers[] = {{"peakDepth.tif", &DebrisCell::peakDepth},
                            {"peakSpeed.tif", &DebrisCell::peakSpeed},
                            {"momentumAtPeak.tif", &DebrisCell::momentumAtPeak},
                            {"energyAtPeak.tif", &DebrisCell::energyAtPeak},
                            {"finalTrace.tif", nullptr}};
    for (const Layer& layer : layers) {
        SCOPED_TRACE(layer.file);
        const std::optional<RasterContents> raster = readRaster(base + "/run_summary/" + layer.file);
        ASSERT_TRUE(raster);
        EXPECT_EQ(raster->width, cols);
        EXPECT_EQ(raster->height, rows);
        const std::array<double, 6> grid = {500000, 10, 0, 3300000 + rows * 10.0, 0, -10};
        EXPECT_EQ(raster->geoTransform, grid);
        EXPECT_TRUE(isSameCoordinateSystem(raster->projection, 32648)) << raster->projection;
        int reached = 0;
        int untouched = 0;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                const DebrisCell& cell = run.debrisGrid[r][c];
                if (cell.peakDepth > 0.0) {
                    ++reached;
                    const double value = layer.field ? cell.*(layer.field) : run.debrisGrid.depths(r)[c];
                    ASSERT_FLOAT_EQ(raster->at(r, c), static_cast<float>(value))
                        << "row " << r << ", column " << c;
                } else {
                    ++untouched;
                    ASSERT_EQ(raster->at(r, c), summaryNoData) << "row " << r << ", column " << c;
                }
            }
        }
        EXPECT_GT(reached, 10);
        EXPECT_GT(untouched, 100) << "the flow has not yet spread over the whole grid";
        if (layer.field == &DebrisCell::peakSpeed) {
            EXPECT_GT(*std::max_element(raster->values.begin(), raster->values.end()), 1.0f);
        }
    }

    // The debris on the grid is what the packets carry, frame by frame.
    std::ifstream csv(base + "/run_summary/volume.csv");
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "frame,time_s,released_m3,on_grid_m3");
    int row = 0;
    double previousTime = 0;
    while (std::getline(csv, line)) {
        ++row;
        SCOPED_TRACE(line);
        int frame = 0;
        double time = 0;
        double released = 0;
        double onGrid = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d,%lf,%lf,%lf", &frame, &time, &released, &onGrid), 4);
        EXPECT_EQ(frame, row);
        EXPECT_GT(time, previousTime);
        previousTime = time;
        EXPECT_GT(released, 0.0);
        EXPECT_NEAR(onGrid, released, 0.005 * released);
    }
    EXPECT_EQ(row, frames);

    // The report: the peak depth and speed over the relief, one curve per volume column, no hazard.
    const std::string report = readTextFile(base + "/run_summary/report.html");
    std::size_t pictures = 0;
    for (std::size_t at = report.find("src=\"data:image/png;base64,"); at != std::string::npos;
         at = report.find("src=\"data:image/png;base64,", at + 1)) {
        ++pictures;
    }
    EXPECT_EQ(pictures, 2u);
    std::size_t curves = 0;
    for (std::size_t at = report.find("<polyline"); at != std::string::npos; at = report.find("<polyline", at + 1)) {
        ++curves;
    }
    EXPECT_EQ(curves, 2u);
    EXPECT_EQ(report.find("Hazard"), std::string::npos);
}

}  // namespace
