// vantorel-batch flood, run as the real program on a small generated valley.
#include <gtest/gtest.h>

#include <gdal_priv.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <memory>
#include <sstream>

#include "cafloodnew.h"
#include "floodhud.h"
#include "floodrun.h"
#include "floodtestdata.h"
#include "testrasters.h"
#include "testshapefiles.h"

namespace {

class FloodBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        for (const std::string& path :
             writeValley(folder.path().toStdString(), shape, {{9, shape.nrows - 2}})) {
            inputs << QString::fromStdString(path);
        }
    }

    // Runs "vantorel-batch flood" on the valley with these further arguments; `inputFiles` replaces the
    // roughness, elevation and outbreak options when given.
    // Waits for a file to appear, up to `timeoutMs`.
    static bool waitForFile(const QString& path, int timeoutMs) {
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            if (QFile::exists(path)) {
                return true;
            }
            QThread::msleep(20);
        }
        return false;
    }
    static ProgramRun run(const QStringList& inputFiles, const QStringList& arguments) {
        const QStringList options =
            inputFiles.isEmpty() ? QStringList() : QStringList{"--roughness", inputFiles[0], "--dem",
                                                               inputFiles[1], "--outbreak",  inputFiles[2]};
        return runProgram(VANTOREL_BATCH, QStringList{"flood"} + options + arguments);
    }
    std::string result(int number, const char* extension) const {
        return (out + "/" + QString::number(number) + extension).toStdString();
    }
    bool exists(int number, const char* extension) const {
        return QFile::exists(QString::fromStdString(result(number, extension)));
    }
    static std::vector<float> readDepths(const std::string& path) {
        GDALAllRegister();
        std::unique_ptr<GDALDataset> dataset(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)));
        if (!dataset) {
            return {};
        }
        const int width = dataset->GetRasterXSize();
        const int height = dataset->GetRasterYSize();
        std::vector<float> depths(static_cast<std::size_t>(width) * height);
        if (dataset->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, width, height, depths.data(), width, height,
                                                GDT_Float32, 0, 0) != CE_None) {
            return {};
        }
        return depths;
    }

    QTemporaryDir folder;
    const ValleyShape shape{20, 30};
    QStringList inputs;
    const QString out = folder.filePath("results/run one");
};

TEST_F(FloodBatchTest, WritesNumberedDepthRastersAndDisplayStates) {
    const ProgramRun batch = run(
        inputs, {"--capacity", "300000", "--width", "10", "--height", "5", "--results", "4", "--out", out});
    ASSERT_EQ(batch.exitCode, 0) << batch.out << batch.err;
    EXPECT_NE(batch.out.find("total breach"), std::string::npos) << batch.out;
    EXPECT_NE(batch.out.find("wrote 4 results"), std::string::npos) << batch.out;
    // The water balance: what the grid holds against what the breach has let out.
    const std::size_t balance = batch.out.find("(grid ");
    ASSERT_NE(balance, std::string::npos) << batch.out;
    EXPECT_LT(std::fabs(std::stod(batch.out.substr(balance + 6))), 0.5) << batch.out;
    EXPECT_FALSE(exists(5, ".tif"));
    EXPECT_FALSE(exists(5, ".txt"));

    // The same run in this process: five engine steps per result.
    CAFlood engine;
    std::vector<std::string> inputPaths;
    for (const QString& path : inputs) {
        inputPaths.push_back(path.toStdString());
    }
    ASSERT_EQ(startFloodRun(engine, inputPaths, smallBreach(3e5f)), FloodRunStart::Ready);
    for (int number = 1; number <= 4; ++number) {
        SCOPED_TRACE("result " + std::to_string(number));
        engine.advance(5);
        FloodHud state;
        ASSERT_TRUE(state.readState(result(number, ".txt")));
        EXPECT_FLOAT_EQ(state.time, engine.simulatedTime());
        EXPECT_NEAR(state.residual, engine.residualVolume(), 1.0);
        EXPECT_FLOAT_EQ(state.capacity, 3e5f);
        EXPECT_EQ(state.colourLow, 0);
        EXPECT_EQ(state.colourHigh, 20);

        const std::vector<float> depths = readDepths(result(number, ".tif"));
        ASSERT_EQ(depths.size(), static_cast<std::size_t>(shape.ncols) * shape.nrows);
        for (int r = 0; r < shape.nrows; ++r) {
            for (int c = 0; c < shape.ncols; ++c) {
                ASSERT_EQ(depths[static_cast<std::size_t>(r) * shape.ncols + c], cellDepth(engine, r, c));
            }
        }
    }
}

TEST_F(FloodBatchTest, RunsUntilTheSimulatedTimeWithTheFormsModeAndColourRange) {
    // Cells of 10 m: a step is 0.1 s, the clock moves 0.2 s per step and 1 s per result.
    const ProgramRun batch = run(inputs, {"--mode", "三分之一溃", "--colour-range", "2", "12", "--capacity",
                                          "3000000", "--until", "2.5", "--out", out});
    ASSERT_EQ(batch.exitCode, 0) << batch.out << batch.err;
    EXPECT_NE(batch.out.find("partial breach 1/3"), std::string::npos) << batch.out;
    EXPECT_NE(batch.out.find("released volume 1e+06 m^3"), std::string::npos) << batch.out;
    FloodHud state;
    ASSERT_TRUE(state.readState(result(3, ".txt")));
    EXPECT_NEAR(state.time, 3.0f, 1e-4f);
    EXPECT_FLOAT_EQ(state.capacity, 3e6f);
    EXPECT_EQ(state.colourLow, 2);
    EXPECT_EQ(state.colourHigh, 12);
    EXPECT_TRUE(exists(3, ".tif"));
    EXPECT_FALSE(exists(4, ".txt"));
}

TEST_F(FloodBatchTest, WritesWaterModelsAndMonitorValuesAsTheLiveRunDoes) {
    // One monitor point on the valley floor just below the breach.
    const QString monitorFile = folder.filePath("monitors.geojson");
    writeTextFile(monitorFile.toStdString(),
                  R"({"type": "FeatureCollection", "features": [{"type": "Feature", "properties": {},)"
                  R"( "geometry": {"type": "Point", "coordinates": [95, 270, 100]}}]})");
    const ProgramRun batch =
        run(inputs, {"--capacity", "300000", "--width", "10", "--height", "5", "--format", ".ive",
                     "--monitors", monitorFile, "--results", "6", "--out", out});
    ASSERT_EQ(batch.exitCode, 0) << batch.out << batch.err;
    EXPECT_EQ(batch.out.find("fileName:"), std::string::npos) << "the terminal keeps its progress line";
    for (int number = 1; number <= 6; ++number) {
        for (const char* extension : {".ive", ".txt", ".json"}) {
            EXPECT_TRUE(exists(number, extension)) << number << extension;
        }
        EXPECT_FALSE(exists(number, ".tif"));
    }
    // The monitor values parse as JSON outside the program and record the water's arrival.
    const ProgramRun python =
        runProgram("python3", {"-c",
                               "import json,sys; d=json.load(open(sys.argv[1])); p=d['Monitors'][0];"
                               " print(len(d['Monitors']), p['x'], p['y'], p['dep'] > 0, p['time'] > 0)",
                               QString::fromStdString(result(6, ".json"))});
    EXPECT_EQ(python.out, "1 95 270 True True\n") << python.err;
    // The point's series in the summary: one row per result.
    const QStringList series =
        QString::fromStdString(readTextFile((out + "_summary/monitors.csv").toStdString()))
            .split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(series.size(), 7);
    EXPECT_TRUE(series[6].startsWith("6,")) << series[6].toStdString();
    // And its plot, drawn by the plotting program beside the batch command: a whole PNG of 900 x 500.
    const std::string plot = readTextFile((out + "_summary/monitor_1.png").toStdString());
    ASSERT_GT(plot.size(), 24u) << batch.err;
    EXPECT_EQ(plot.substr(0, 8), "\x89PNG\r\n\x1a\n");
    const auto bigEndian = [&plot](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            value = (value << 8) | static_cast<unsigned char>(plot[at + i]);
        }
        return value;
    };
    EXPECT_EQ(bigEndian(16), 900u);
    EXPECT_EQ(bigEndian(20), 500u);
    EXPECT_EQ(batch.err.find("plots are not drawn"), std::string::npos) << batch.err;
}

// The threads share each step in bands of rows and the seams between them; the result files are the same,
// byte for byte, for one thread and for two. The valley's flood crosses the seam within the first
// results.
TEST_F(FloodBatchTest, WritesTheSameFilesForAnyThreadCount) {
    QTemporaryDir valley;
    ASSERT_TRUE(valley.isValid());
    const ValleyShape tall{24, 64, 10.0f, 0.01f, 0.004f};
    QStringList tallInputs;
    for (const std::string& path : writeValley(valley.path().toStdString(), tall, outbreakLattice(tall, 6))) {
        tallInputs << QString::fromStdString(path);
    }
    for (const char* format : {".ive", ".tif"}) {
        SCOPED_TRACE(format);
        std::map<std::string, std::string> files[2];
        for (const int threads : {1, 2}) {
            const QString threadOut = valley.filePath(QString("%1 threads %2").arg(threads).arg(format));
            const ProgramRun batch = run(
                tallInputs, {"--capacity", "3000000", "--width", "40", "--height", "10", "--format", format,
                             "--threads", QString::number(threads), "--results", "12", "--out", threadOut});
            ASSERT_EQ(batch.exitCode, 0) << batch.out << batch.err;
            files[threads - 1] = readFolderFiles(threadOut.toStdString());
            // The summary's rasters and volumes too (its GeoPackage and report carry the time they were
            // made).
            for (const auto& [name, bytes] : readFolderFiles((threadOut + "_summary").toStdString())) {
                if (name.size() > 4 && (name.substr(name.size() - 4) == ".tif" || name == "volume.csv")) {
                    files[threads - 1]["summary/" + name] = bytes;
                }
            }
        }
        ASSERT_GE(files[0].size(), 30u);
        for (const auto& [name, bytes] : files[0]) {
            EXPECT_TRUE(files[1].count(name) == 1 && files[1].at(name) == bytes) << name;
        }
        // The last depth raster holds water on both sides of the seam between the two bands.
        if (std::string(format) == ".tif") {
            const std::vector<float> depths =
                readDepths(valley.filePath("1 threads .tif/12.tif").toStdString());
            ASSERT_EQ(depths.size(), static_cast<std::size_t>(tall.ncols) * tall.nrows);
            float above = 0.0f;
            float below = 0.0f;
            for (int c = 0; c < tall.ncols; ++c) {
                above += depths[static_cast<std::size_t>(tall.nrows / 2 - 1) * tall.ncols + c];
                below += depths[static_cast<std::size_t>(tall.nrows / 2 + 1) * tall.ncols + c];
            }
            EXPECT_GT(above, 0.0f);
            EXPECT_GT(below, 0.0f);
        }
    }
}

// The summary beside the result folder, in the coordinate system of the ".prj" beside the elevation
// grid, as a GIS tool (gdalinfo) reads it; the result folder holds the results only, since the replay
// counts its entries.
TEST_F(FloodBatchTest, WritesTheSummaryBesideTheResultsInTheGridsCoordinateSystem) {
    writePrjFile(QFileInfo(inputs[1]).path().toStdString() + "/dem.prj", 32648);
    const int results = 12;
    const ProgramRun batch = run(inputs, {"--capacity", "300000", "--width", "10", "--height", "5",
                                          "--results", QString::number(results), "--out", out});
    ASSERT_EQ(batch.exitCode, 0) << batch.out << batch.err;
    const QString summary = out + "_summary";
    EXPECT_NE(batch.out.find("summary in " + summary.toStdString()), std::string::npos) << batch.out;
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 2 * results);
    EXPECT_EQ(QDir(summary).entryList(QDir::Files, QDir::Name),
              QStringList({"arrivalTime.tif", "floodlines.gpkg", "hazard.tif", "hazard.tif.aux.xml",
                           "maxDepth.tif", "maxDepthVelocity.tif", "maxSpeed.tif", "report.html",
                           "volume.csv"}));

    const ProgramRun info = runProgram("gdalinfo", {summary + "/maxDepth.tif"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("Size is 20, 30"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Origin = (0.000000000000000,300.000000000000000)"), std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("Pixel Size = (10.000000000000000,-10.000000000000000)"), std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("UTM zone 48N"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("NoData Value=-9999"), std::string::npos) << info.out;

    const std::optional<RasterContents> maxDepth = readRaster((summary + "/maxDepth.tif").toStdString());
    ASSERT_TRUE(maxDepth);
    EXPECT_TRUE(isSameCoordinateSystem(maxDepth->projection, 32648));
    int wet = 0;
    for (int number = 1; number <= results; ++number) {
        SCOPED_TRACE("result " + std::to_string(number));
        const std::optional<RasterContents> depths = readRaster(result(number, ".tif"));
        ASSERT_TRUE(depths);
        EXPECT_TRUE(isSameCoordinateSystem(depths->projection, 32648));
        EXPECT_EQ(depths->geoTransform, maxDepth->geoTransform);
        for (std::size_t i = 0; i < depths->values.size(); ++i) {
            if (depths->values[i] > 0.0f) {
                ++wet;
                ASSERT_GE(maxDepth->values[i], depths->values[i]) << "cell " << i;
            }
        }
    }
    EXPECT_GT(wet, 0);
}

// What a planner takes away: the exposure of the places given, the GIS layers in the grid's coordinate
// system, and a report that a real browser draws with every picture in it.
TEST_F(FloodBatchTest, SummaryListsThePlacesAndItsReportRendersInABrowser) {
    writePrjFile(QFileInfo(inputs[1]).path().toStdString() + "/dem.prj", 32648);
    const QString places = folder.filePath("places.shp");
    // Cells of 10 m, the grid's top at y = 300: the first on the valley floor below the breach, the
    // second far off the grid.
    writeVectorFile(places.toStdString(), wkbPoint, {{wkbPoint, {{95, 245, 0}}, "Floor"},
                                                      {wkbPoint, {{-5000, 245, 0}}, "Far"}});
    const ProgramRun batch =
        run(inputs, {"--capacity", "300000", "--width", "10", "--height", "5", "--results", "30", "--places",
                     places, "--isochrone-minutes", "0.1", "--out", out});
    ASSERT_EQ(batch.exitCode, 0) << batch.out << batch.err;
    const QString summary = out + "_summary";
    const std::string csv = readTextFile((summary + "/exposure.csv").toStdString());
    EXPECT_NE(csv.find("\nFloor,reached,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\nFar,off the grid,"), std::string::npos) << csv;
    const ProgramRun layers = runProgram("ogrinfo", {"-so", summary + "/floodlines.gpkg", "isochrones"});
    ASSERT_EQ(layers.exitCode, 0) << layers.err;
    EXPECT_NE(layers.out.find("UTM zone 48N"), std::string::npos) << layers.out;
    EXPECT_EQ(layers.out.find("Feature Count: 0"), std::string::npos) << layers.out;

    // The page as the browser has it once loaded, each picture's decoded width written into it.
    QTemporaryDir profile;
    const QString page = folder.filePath("report-check.html");
    const std::string html = readTextFile((summary + "/report.html").toStdString());
    writeTextFile(page.toStdString(),
                  html + "<script>window.addEventListener('load', () => document.body.setAttribute("
                         "'data-widths', [...document.images].map(i => i.naturalWidth).join(' ')));</script>");
    const QStringList browser = {"--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + profile.path()};
    const ProgramRun loaded = runProgram("chromium", browser + QStringList{"--dump-dom", "file://" + page});
    ASSERT_EQ(loaded.exitCode, 0) << "chromium (scripts/setup installs it): " << loaded.err;
    const std::size_t widths = loaded.out.find("data-widths=\"");
    ASSERT_NE(widths, std::string::npos) << loaded.out.substr(0, 2000);
    std::istringstream decoded(loaded.out.substr(widths + 13, loaded.out.find('"', widths + 13) - widths - 13));
    int pictures = 0;
    for (int width = 0; decoded >> width; ++pictures) {
        EXPECT_GT(width, 0) << "picture " << pictures << " is broken";
    }
    EXPECT_EQ(pictures, 2) << "the depth and the hazard map";

    // Drawn: the depth map, pale to dark blue over grey relief, fills much of the first screen.
    const QString shot = folder.filePath("report.png");
    const ProgramRun screenshot = runProgram(
        "chromium", browser + QStringList{"--window-size=1000,1400", "--screenshot=" + shot,
                                          "file://" + summary + "/report.html"});
    ASSERT_EQ(screenshot.exitCode, 0) << screenshot.err;
    GDALAllRegister();
    std::unique_ptr<GDALDataset> image(static_cast<GDALDataset*>(GDALOpen(shot.toUtf8().constData(), GA_ReadOnly)));
    ASSERT_TRUE(image);
    const int width = image->GetRasterXSize();
    const int height = image->GetRasterYSize();
    std::vector<std::uint8_t> rgb(3 * static_cast<std::size_t>(width) * height);
    ASSERT_EQ(image->RasterIO(GF_Read, 0, 0, width, height, rgb.data(), width, height, GDT_Byte, 3, nullptr, 0, 0,
                              0, nullptr),
              CE_None);
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    std::size_t relief = 0;
    std::size_t water = 0;
    for (std::size_t i = 0; i < pixels; ++i) {
        const int red = rgb[i];
        const int blue = rgb[2 * pixels + i];
        relief += red > 40 && red < 235 && red >= blue && red - blue < 40;
        water += blue > red + 30;
    }
    EXPECT_GT(relief, pixels / 20);
    EXPECT_GT(water, pixels / 500);
}

// A result every 60 s of simulated time: the results lie at 60 s, 120 s, ..., and the summary follows
// them: its maxima are those of a run that writes every result, taken at the written times only, and its
// arrival times and volume rows are written times.
TEST_F(FloodBatchTest, ResultIntervalWritesResultsAtItsMultiplesAndTheSummaryFollowsThem) {
    const QStringList breach = {"--capacity", "300000", "--width", "10", "--height", "5", "--until", "240"};
    const QString everyResult = folder.filePath("every result");
    const ProgramRun full = run(inputs, breach + QStringList{"--out", everyResult});
    ASSERT_EQ(full.exitCode, 0) << full.out << full.err;
    const ProgramRun sparse = run(inputs, breach + QStringList{"--every", "60", "--out", out});
    ASSERT_EQ(sparse.exitCode, 0) << sparse.out << sparse.err;
    EXPECT_NE(sparse.out.find("wrote 4 results"), std::string::npos) << sparse.out;
    EXPECT_FALSE(exists(5, ".txt"));

    // Cells of 10 m: steps of 0.2 s, so the full run's result k lies at k s.
    std::vector<float> maxima(static_cast<std::size_t>(shape.ncols) * shape.nrows, -9999.0f);
    for (int number = 1; number <= 4; ++number) {
        SCOPED_TRACE("result " + std::to_string(number));
        FloodHud state;
        ASSERT_TRUE(state.readState(result(number, ".txt")));
        EXPECT_NEAR(state.time, 60.0f * number, 0.1f);
        const std::optional<RasterContents> depths =
            readRaster((everyResult + "/" + QString::number(60 * number) + ".tif").toStdString());
        ASSERT_TRUE(depths);
        EXPECT_EQ(readRaster(result(number, ".tif"))->values, depths->values);
        for (std::size_t i = 0; i < maxima.size(); ++i) {
            if (depths->values[i] > 0.0f) {
                maxima[i] = std::max(maxima[i], depths->values[i]);
            }
        }
    }
    const std::optional<RasterContents> maxDepth = readRaster((out + "_summary/maxDepth.tif").toStdString());
    const std::optional<RasterContents> fullMaxDepth =
        readRaster((everyResult + "_summary/maxDepth.tif").toStdString());
    ASSERT_TRUE(maxDepth && fullMaxDepth);
    EXPECT_EQ(maxDepth->values, maxima);
    // The written times miss the deepest moments of some cells.
    EXPECT_NE(fullMaxDepth->values, maxima);

    const std::optional<RasterContents> arrival =
        readRaster((out + "_summary/arrivalTime.tif").toStdString());
    ASSERT_TRUE(arrival);
    int reached = 0;
    for (const float time : arrival->values) {
        if (time != -9999.0f) {
            ++reached;
            EXPECT_NEAR(time, 60.0f * std::round(time / 60.0f), 0.1f);
        }
    }
    EXPECT_GT(reached, 0);
    const std::string volume = readTextFile((out + "_summary/volume.csv").toStdString());
    EXPECT_EQ(std::count(volume.begin(), volume.end(), '\n'), 5) << volume;
    const std::size_t lastRow = volume.find("\n4,");
    ASSERT_NE(lastRow, std::string::npos) << volume;
    EXPECT_NEAR(std::stod(volume.substr(lastRow + 3)), 240.0, 0.1) << volume;
}

TEST_F(FloodBatchTest, RefusesBadInputWithAMessage) {
    const QString missing = folder.filePath("missing.asc");
    const QString badOutbreak = folder.filePath("bad-outbreak.txt");
    writeTextFile(badOutbreak.toStdString(), "1\n40 3\n");
    const QStringList run3 = {"--results", "3", "--out", out};
    const QString pipe = folder.filePath("pipe.asc");
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    // The valley's grids with one negative roughness, and with cells of 1e-20 m.
    const QString negativeRoughness = folder.filePath("negative-n.asc");
    std::vector<float> roughness(static_cast<std::size_t>(shape.ncols) * shape.nrows, 0.035f);
    roughness[45] = -0.035f;
    writeAsciiGrid(negativeRoughness.toStdString(), shape.ncols, shape.nrows, roughness);
    const QString tinyCells = folder.filePath("tiny-cells.asc");
    writeAsciiGrid(tinyCells.toStdString(), shape.ncols, shape.nrows, valleyGround(shape), 1e-20f);
    // Inputs that load but give no flood: terrain nowhere, a breach on the bottom edge, roughness a cell
    // further east, monitor points off the grid or at no position at all.
    const QString noTerrain = folder.filePath("no-terrain.asc");
    writeAsciiGrid(noTerrain.toStdString(), shape.ncols, shape.nrows,
                   std::vector<float>(static_cast<std::size_t>(shape.ncols) * shape.nrows, -9999.0f));
    const QString edgeOutbreak = folder.filePath("edge-outbreak.txt");
    writeOutbreakFile(edgeOutbreak.toStdString(), {{9, 1}});
    const QString shiftedRoughness = folder.filePath("shifted-n.asc");
    writeAsciiGrid(shiftedRoughness.toStdString(), shape.ncols, shape.nrows, roughness, shape.cellsize,
                   shape.cellsize);
    const auto monitorFile = [this](const char* name, const char* geometry) {
        const QString file = folder.filePath(name);
        writeTextFile(file.toStdString(), std::string("WKT,name\n\"") + geometry + "\",a\n");
        return file;
    };
    const QString offGrid = monitorFile("off-grid.csv", "POINT (95 -300)");
    const QString onBorder = monitorFile("on-border.csv", "LINESTRING (95 270,2 270)");
    const QString emptyPoint = folder.filePath("empty.geojson");
    writeTextFile(emptyPoint.toStdString(), R"({"type": "FeatureCollection", "features": [{"type": "Feature",)"
                                            R"( "properties": {}, "geometry": {"type": "Point", "coordinates": [NaN, 270]}}]})");
    const QString monitorPipe = folder.filePath("monitors.shp");
    ASSERT_EQ(::mkfifo(monitorPipe.toLocal8Bit().constData(), 0600), 0);
    const QString companionPipe = folder.filePath("points.shp");
    writeTextFile(companionPipe.toStdString(), "x");
    ASSERT_EQ(::mkfifo(folder.filePath("points.dbf").toLocal8Bit().constData(), 0600), 0);
    const struct {
        const char* name;
        QStringList inputFiles;  // none: no input options
        QStringList arguments;
        std::string message;
    } cases[] = {
        {"no inputs", {}, run3, "--roughness is required"},
        {"unknown format", inputs, QStringList{"--format", ".png"} + run3, "not a result format"},
        {"monitor file that does not open", inputs, QStringList{"--monitors", missing} + run3,
         "gives no monitor points"},
        {"both ends", inputs, QStringList{"--until", "20"} + run3,
         "give either --results N or --until SECONDS"},
        {"no end", inputs, {"--out", out}, "give either --results N or --until SECONDS"},
        {"no results", inputs, {"--results", "0", "--out", out}, "--results: 0 is outside"},
        {"results not a number",
         inputs,
         {"--results", "many", "--out", out},
         "--results: \"many\" is not a number"},
        {"width beyond the form's range", inputs, QStringList{"--width", "500"} + run3,
         "--width: 500 is outside"},
        {"colour range upside down", inputs, QStringList{"--colour-range", "20", "0"} + run3,
         "two whole numbers"},
        {"colour range of one value", inputs, QStringList{"--colour-range", "5"} + run3,
         "--colour-range takes 2 values, not 1"},
        {"a second elevation grid", inputs, QStringList{"--dem", inputs[1], inputs[0]} + run3,
         "--dem takes one value, but \""},
        {"format without its value", inputs, QStringList{"--format"} + run3, "--format needs a value"},
        {"a value for overwrite", inputs, QStringList{"--overwrite", "yes"} + run3,
         "--overwrite takes no value, but was given \"yes\""},
        {"elevation grid that is a device",
         {inputs[0], "/dev/zero", inputs[2]},
         run3,
         "\"/dev/zero\" is not a regular file"},
        {"elevation grid that is a pipe", {inputs[0], pipe, inputs[2]}, run3, "is not a regular file"},
        {"negative Manning n",
         {negativeRoughness, inputs[1], inputs[2]},
         run3,
         "but a cell of terrain needs a Manning roughness of 0 or more"},
        {"cell size of 1e-20 m",
         {inputs[0], tinyCells, inputs[2]},
         run3,
         "cellsize 1e-20 is not a plausible cell size"},
        {"unknown option", inputs, QStringList{"--speed", "2"} + run3, "unknown option --speed"},
        {"no threads", inputs, QStringList{"--threads", "0"} + run3, "--threads: 0 is outside"},
        {"part of a thread", inputs, QStringList{"--threads", "1.5"} + run3, "is not a whole number"},
        {"arrival depth of nothing", inputs, QStringList{"--arrival-depth", "0"} + run3,
         "--arrival-depth needs a depth above 0 m"},
        {"result interval of nothing", inputs, QStringList{"--every", "0"} + run3,
         "--every needs a simulated time above 0 s"},
        {"no water", inputs, QStringList{"--width", "0"} + run3, "let no water out"},
        {"missing elevation grid", {inputs[2], missing, inputs[2]}, run3, "打开DEM文件失败!"},
        {"outbreak cell off the grid", {inputs[0], inputs[1], badOutbreak}, run3, "lies outside"},
        {"output folder is a file",
         inputs,
         {"--results", "1", "--out", inputs[2]},
         "cannot create the output folder"},
        {"no terrain", {inputs[0], noTerrain, inputs[2]}, run3, "none of its 20 x 30 cells inside the grid's border"},
        {"outbreak on the bottom edge",
         {inputs[0], inputs[1], edgeOutbreak},
         run3,
         "no outbreak cell lets water into the terrain: the east and south faces of (9, 1)"},
        {"roughness a cell east",
         {shiftedRoughness, inputs[1], inputs[2]},
         run3,
         "its lower-left corner (10, 0) and cell size 10 are not those of the elevation grid (0, 0; 10)"},
        {"monitor point south of the grid", inputs, QStringList{"--monitors", offGrid} + run3,
         "monitor point 1 of \"" + offGrid.toStdString() + "\" at (95.000, -300.000) lies off the flood "
         "grid's inner cells (x 5.000 to 185.000, y 15.000 to 295.000)"},
        {"monitor point on the border", inputs, QStringList{"--monitors", onBorder} + run3,
         "monitor point 2 of"},
        {"monitor point of no coordinates", inputs, QStringList{"--monitors", emptyPoint} + run3,
         "point 1 of \"" + emptyPoint.toStdString() + "\" lies at (nan, nan, nan), which is no position"},
        {"monitor file that is a pipe", inputs, QStringList{"--monitors", monitorPipe} + run3,
         "monitors.shp\" is not a regular file"},
        {"monitor file beside a pipe", inputs, QStringList{"--monitors", companionPipe} + run3,
         "points.dbf\", beside"},
        {"a reservoir no breach empties", inputs, QStringList{"--capacity", "1e15"} + run3,
         "breach: a peak outflow of 40386 m^3/s would take over 1e+08 s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramRun batch = run(c.inputFiles, c.arguments);
        EXPECT_EQ(batch.exitCode, 2) << batch.out << batch.err;
        EXPECT_NE(batch.err.find(c.message), std::string::npos) << batch.err;
        EXPECT_FALSE(exists(1, ".txt"));
    }
}

TEST_F(FloodBatchTest, FolderHoldingResultsIsRefusedUnlessOverwriteRemovesThem) {
    ProgramRun batch = run(inputs, {"--results", "2", "--out", out});
    ASSERT_EQ(batch.exitCode, 0) << batch.err;
    writeTextFile((out + "/notes.txt").toStdString(), "mine");
    const QStringList before = QDir(out).entryList(QDir::Files);

    // Old and new frames would mix, also across formats.
    batch = run(inputs, {"--results", "3", "--format", ".ive", "--out", out});
    EXPECT_EQ(batch.exitCode, 2);
    EXPECT_NE(batch.err.find("holds 4 result files of an earlier run (1.tif, ...); new results would mix"),
              std::string::npos)
        << batch.err;
    EXPECT_EQ(QDir(out).entryList(QDir::Files), before);

    batch = run(inputs, {"--results", "3", "--format", ".ive", "--out", out, "--overwrite"});
    ASSERT_EQ(batch.exitCode, 0) << batch.err;
    EXPECT_EQ(QDir(out).entryList(QDir::Files),
              (QStringList{"1.ive", "1.txt", "2.ive", "2.txt", "3.ive", "3.txt", "notes.txt"}));
}

TEST_F(FloodBatchTest, InterruptedRunLeavesCompleteResultsAndSaysWhereItStopped) {
    const QString monitorFile = folder.filePath("monitors.geojson");
    writeTextFile(monitorFile.toStdString(),
                  R"({"type": "FeatureCollection", "features": [{"type": "Feature", "properties": {},)"
                  R"( "geometry": {"type": "Point", "coordinates": [95, 270, 100]}}]})");
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const QString out = folder.filePath("stopped by " + QString::number(signal));
        QProcess batch;
        batch.start(VANTOREL_BATCH, QStringList{"flood", "--roughness", inputs[0], "--dem", inputs[1],
                                                "--outbreak", inputs[2], "--monitors", monitorFile,
                                                "--format", ".ive", "--results", "1000000", "--out", out});
        ASSERT_TRUE(batch.waitForStarted());
        ASSERT_TRUE(waitForFile(out + "/20.txt", 60000));
        ::kill(static_cast<pid_t>(batch.processId()), signal);
        ASSERT_TRUE(batch.waitForFinished(30000));
        EXPECT_EQ(batch.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(batch.exitCode(), 128 + signal);
        const std::string said = batch.readAllStandardError().toStdString();
        const QStringList names = QDir(out).entryList(QDir::Files | QDir::Hidden);
        const int last = static_cast<int>(QDir(out).entryList({"*.txt"}, QDir::Files).size());
        EXPECT_NE(said.find(std::string("stopped by ") + (signal == SIGINT ? "SIGINT" : "SIGTERM") +
                            " after result " + std::to_string(last)),
                  std::string::npos)
            << said;
        EXPECT_NE(
            said.find("results 1 to " + std::to_string(last) + " in " + out.toStdString() + " are complete"),
            std::string::npos)
            << said;
        // Every result up to the last is whole: three files, none of them empty; nothing else is there.
        EXPECT_EQ(names.size(), 3 * last) << names.join(' ').toStdString();
        for (int n = 1; n <= last; ++n) {
            for (const char* extension : {".ive", ".json", ".txt"}) {
                EXPECT_GT(QFileInfo(out + "/" + QString::number(n) + extension).size(), 0) << n << extension;
            }
        }
    }
}

TEST_F(FloodBatchTest, FileThatCannotBeWrittenIsNamedAndTheResultsBeforeItStay) {
    ProgramRun batch;
    {
        // Files may grow to 2 KiB only, which the water models soon outgrow; the batch inherits the limit.
        FileSizeLimit limit(2048);
        batch = run(inputs, {"--results", "200", "--format", ".ive", "--out", out});
    }
    EXPECT_EQ(batch.exitCode, 1);
    const int complete = static_cast<int>(QDir(out).entryList({"*.txt"}, QDir::Files).size());
    const std::string kept = complete == 0 ? "no result was written"
                                           : "results 1 to " + std::to_string(complete) + " are complete";
    EXPECT_NE(batch.err.find("cannot write \"" + out.toStdString() + "/" + std::to_string(complete + 1) +
                             ".ive\": File too large; " + kept),
              std::string::npos)
        << batch.err;
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 2 * complete);
}

}  // namespace
