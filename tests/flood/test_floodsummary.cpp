// The flood run's summary: maxima, arrival times and the volume balance, written and read back by GDAL.
#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "cafloodnew.h"
#include "floodhazard.h"
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
            engine.advance(floodStepsPerResult);
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

TEST(FloodSummaryTest, SummaryFilesAreTheNamesASummaryWrites) {
    const struct {
        const char* name;
        bool summary;
    } cases[] = {
        {"volume.csv", true},       {"maxDepth.tif", true},         {"finalTrace.tif", true},
        {"monitors.csv", true},     {"monitor_12.png", true},       {".volume.csv.partial-a8Bc3d", true},
        {"monitor_0.png", false},   {"monitor_012.png", false},     {"monitor_.png", false},
        {"monitor_1.png.bak", false}, {"Volume.csv", false},         {"volume.csv.partial", false},
        {"notes.txt", false},       {"1.tif", false},               {".notes.txt.partial-a8Bc3d", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isSummaryFileName(c.name), c.summary) << c.name;
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

// Each layer of a GeoPackage as text, feature by feature: what a GIS tool reads of it (its bytes carry the
// time it was made).
std::string packageFeatures(const std::string& path) {
    GDALAllRegister();
    std::unique_ptr<GDALDataset> package(
        GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!package) {
        return "(unreadable)";
    }
    std::string text;
    for (OGRLayer* layer : package->GetLayers()) {
        text += std::string(layer->GetName()) + "\n";
        for (const auto& feature : *layer) {
            char* wkt = nullptr;
            if (feature->GetGeometryRef() != nullptr) {
                feature->GetGeometryRef()->exportToWkt(&wkt);
            }
            text += (wkt ? std::string(wkt) : std::string("no geometry")) + " " +
                    feature->GetFieldAsString(0) + "\n";
            CPLFree(wkt);
        }
    }
    return text;
}

// With a second thread the flood lines are traced while the rasters and the report are made: the files
// are those of one thread, and a file that cannot be written (a folder in its way) stops the summary at
// the same file, named alike, with the files after it not written.
TEST(FloodSummaryTest, ASecondThreadWritesTheSameFilesAndStopsAtTheSameFile) {
    SummarisedValley valley(2e4f);
    ASSERT_TRUE(valley.ready);
    valley.runResults(40);
    valley.summary.isochroneMinutes = valley.summary.rows.back().time / 60.0 / 4.0;
    std::map<std::string, std::string> files[2];
    std::string features[2];
    for (const int threads : {1, 2}) {
        const std::string folder = valley.base + "/summary" + std::to_string(threads);
        std::string problem;
        ASSERT_TRUE(valley.summary.write(folder, problem, threads)) << problem;
        files[threads - 1] = readFolderFiles(folder);
        features[threads - 1] = packageFeatures(folder + "/floodlines.gpkg");
        files[threads - 1].erase("floodlines.gpkg");
    }
    ASSERT_GE(files[0].size(), 7u);
    for (const auto& [name, bytes] : files[0]) {
        EXPECT_TRUE(files[1].count(name) == 1 && files[1].at(name) == bytes) << name;
    }
    EXPECT_EQ(features[0], features[1]);
    EXPECT_NE(features[0].find("POLYGON"), std::string::npos) << features[0];
    EXPECT_NE(features[0].find("LINESTRING"), std::string::npos) << features[0];

    const struct {
        const char* blocked;
        const char* writtenBefore;  // a file before the blocked one, or none
        const char* notAfter;       // a file after it
    } cases[] = {
        {"maxDepth.tif", nullptr, "floodlines.gpkg"},
        {"floodlines.gpkg", "volume.csv", "report.html"},
        {"report.html", "floodlines.gpkg", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blocked);
        std::string problems[2];
        for (const int threads : {1, 2}) {
            const std::string folder = valley.base + "/blocked " + c.blocked + std::to_string(threads);
            ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder + "/" + c.blocked)));
            std::string problem;
            EXPECT_FALSE(valley.summary.write(folder, problem, threads));
            // The problem without the folder, which differs.
            for (std::size_t at = problem.find(folder); at != std::string::npos; at = problem.find(folder)) {
                problem.replace(at, folder.size(), "FOLDER");
            }
            problems[threads - 1] = problem;
            const std::map<std::string, std::string> written = readFolderFiles(folder);
            EXPECT_TRUE(c.writtenBefore == nullptr || written.count(c.writtenBefore) == 1) << threads;
            EXPECT_TRUE(c.notAfter == nullptr || written.count(c.notAfter) == 0) << threads;
        }
        EXPECT_NE(problems[0].find(std::string("FOLDER/") + c.blocked), std::string::npos) << problems[0];
        EXPECT_EQ(problems[1], problems[0]);
    }
}

// The depth-velocity classes of Australian Rainfall and Runoff: a pair on a limit belongs to the lower
// class, a hair beyond it to the next class up that admits it.
TEST(FloodSummaryTest, HazardClassOfDepthAndSpeedOnEveryLimit) {
    const struct {
        float depth, speed;
        int hazardClass;
    } cases[] = {
        {0.0f, 3.0f, 0},  {0.3f, 1.0f, 1},  {0.1f, 2.0f, 1},  {0.31f, 0.1f, 2}, {0.3f, 1.01f, 2},
        {0.5f, 1.2f, 2},  {0.6f, 1.0f, 3},  {1.2f, 0.5f, 3},  {0.5f, 1.21f, 4}, {1.21f, 0.1f, 4},
        {2.0f, 0.5f, 4},  {0.1f, 2.01f, 5}, {2.01f, 0.1f, 5}, {1.0f, 4.0f, 5},  {4.0f, 1.0f, 5},
        {4.01f, 0.1f, 6}, {0.1f, 4.01f, 6}, {1.1f, 3.7f, 6},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(floodHazardClass(c.depth, c.speed), c.hazardClass) << c.depth << " m at " << c.speed << " m/s";
    }
}

// Deep and slow water at one result (1.5 m at 0.3 m/s, H4) and shallow and fast at another (0.2 m at
// 3 m/s, H5): the cell is H5, while its maxima together (1.5 m at 3 m/s) would make it H6.
TEST(FloodSummaryTest, HazardIsTheHighestClassOfAnyResultNotTheClassOfTheMaxima) {
    SummarisedValley valley(2e4f);
    ASSERT_TRUE(valley.ready);
    const std::size_t cell = 5 * valley.shape.ncols + 3;
    valley.summary.recordCell(cell, 1.5f, 0.3f, 60.0);
    valley.summary.recordCell(cell, 0.2f, 3.0f, 120.0);
    const std::string folder = valley.base + "/summary";
    std::string problem;
    ASSERT_TRUE(valley.summary.write(folder, problem)) << problem;

    const std::optional<RasterContents> velocity = readRaster(folder + "/maxDepthVelocity.tif");
    ASSERT_TRUE(velocity);
    EXPECT_FLOAT_EQ(velocity->at(5, 3), 0.6f);
    EXPECT_EQ(velocity->at(6, 3), summaryNoData);

    GDALAllRegister();
    std::unique_ptr<GDALDataset> hazard(
        GDALDataset::Open((folder + "/hazard.tif").c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    ASSERT_TRUE(hazard);
    // Read as GIS tools read it, the grid's place first: GDAL 3.6 reads the side file with it.
    double grid[6] = {};
    ASSERT_EQ(hazard->GetGeoTransform(grid), CE_None);
    EXPECT_EQ(grid[3], valley.shape.nrows * 10.0);
    GDALRasterBand* band = hazard->GetRasterBand(1);
    EXPECT_EQ(band->GetRasterDataType(), GDT_Byte);
    std::uint8_t classes[2] = {};
    ASSERT_EQ(band->RasterIO(GF_Read, 3, 5, 1, 2, classes, 1, 2, GDT_Byte, 0, 0), CE_None);
    EXPECT_EQ(classes[0], 5);
    EXPECT_EQ(classes[1], 0) << "a cell no water reached has no class";
    // GIS tools show the class names and colours the file carries.
    char** names = band->GetCategoryNames();
    ASSERT_EQ(CSLCount(names), 7);
    for (int value = 1; value <= 6; ++value) {
        EXPECT_EQ(std::string(names[value]).substr(0, 2), "H" + std::to_string(value));
    }
    ASSERT_NE(band->GetColorTable(), nullptr);
    EXPECT_NE(band->GetColorTable()->GetColorEntry(1)->c1, band->GetColorTable()->GetColorEntry(6)->c1);
}

// The extent polygons cover exactly the cells the flood reached, and every vertex of an arrival line
// lies where the arrival raster, read between cell centres as the lines are drawn, equals its time.
TEST(FloodSummaryTest, GeoPackageHoldsTheFloodExtentAndItsArrivalLines) {
    SummarisedValley valley(2e4f);
    ASSERT_TRUE(valley.ready);
    valley.runResults(40);
    // Lines every fifth of the run's time.
    const double interval = valley.summary.rows.back().time / 60.0 / 5.0;
    valley.summary.isochroneMinutes = interval;
    const std::string folder = valley.base + "/summary";
    std::string problem;
    ASSERT_TRUE(valley.summary.write(folder, problem)) << problem;
    const std::optional<RasterContents> depth = readRaster(folder + "/maxDepth.tif");
    const std::optional<RasterContents> arrival = readRaster(folder + "/arrivalTime.tif");
    ASSERT_TRUE(depth && arrival);

    GDALAllRegister();
    std::unique_ptr<GDALDataset> package(
        GDALDataset::Open((folder + "/floodlines.gpkg").c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    ASSERT_TRUE(package);
    OGRLayer* extent = package->GetLayerByName("extent");
    OGRLayer* isochrones = package->GetLayerByName("isochrones");
    ASSERT_TRUE(extent && isochrones);

    const double cellArea = 100.0;
    double wetArea = 0.0;
    for (const float value : depth->values) {
        wetArea += value != summaryNoData && value > defaultArrivalDepth ? cellArea : 0.0;
    }
    double polygonArea = 0.0;
    int rings = 0;
    for (const auto& feature : *extent) {
        const OGRPolygon* polygon = feature->GetGeometryRef()->toPolygon();
        polygonArea += polygon->get_Area();
        rings += 1 + polygon->getNumInteriorRings();
    }
    EXPECT_GT(wetArea, 20 * cellArea);
    EXPECT_NEAR(polygonArea, wetArea, rings * cellArea);

    // Minutes from the raster at map point (x, y), between the centres of the four cells around it.
    const auto minutesAt = [&arrival](double x, double y) {
        const double column = x / 10.0 - 0.5;
        const double row = (arrival->height * 10.0 - y) / 10.0 - 0.5;
        const int c = std::clamp(static_cast<int>(std::floor(column)), 0, arrival->width - 2);
        const int r = std::clamp(static_cast<int>(std::floor(row)), 0, arrival->height - 2);
        const double fc = column - c;
        const double fr = row - r;
        const double weights[4] = {(1 - fc) * (1 - fr), fc * (1 - fr), (1 - fc) * fr, fc * fr};
        const float values[4] = {arrival->at(r, c), arrival->at(r, c + 1), arrival->at(r + 1, c),
                                 arrival->at(r + 1, c + 1)};
        double seconds = 0.0;
        for (int i = 0; i < 4; ++i) {
            if (weights[i] > 1e-6 && values[i] == summaryNoData) {
                // The rim of the flood, where the lines close on the edge of the cells it reached.
                return std::optional<double>();
            }
            seconds += weights[i] * values[i];
        }
        return std::optional<double>(seconds / 60.0);
    };
    int lines = 0;
    int vertices = 0;
    for (const auto& feature : *isochrones) {
        const double minutes = feature->GetFieldAsDouble("minutes");
        EXPECT_NEAR(std::remainder(minutes, interval), 0.0, 1e-6) << minutes;
        const OGRLineString* line = feature->GetGeometryRef()->toLineString();
        for (int i = 0; i < line->getNumPoints(); ++i) {
            if (const std::optional<double> read = minutesAt(line->getX(i), line->getY(i))) {
                ASSERT_NEAR(*read, minutes, 1e-3) << "at (" << line->getX(i) << ", " << line->getY(i) << ")";
                ++vertices;
            }
        }
        ++lines;
    }
    EXPECT_GE(lines, 2);
    EXPECT_GT(vertices, 10);
}

}  // namespace
