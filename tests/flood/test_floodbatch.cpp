// vantorel-batch flood, run as the real program on a small generated valley.
#include <gtest/gtest.h>

#include <gdal_priv.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <memory>

#include "cafloodnew.h"
#include "floodhud.h"
#include "floodrun.h"
#include "floodtestdata.h"
#include "testrasters.h"

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
        for (int i = 0; i < 5; ++i) {
            engine.step();
        }
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
              QStringList({"arrivalTime.tif", "maxDepth.tif", "maxSpeed.tif", "volume.csv"}));

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

TEST_F(FloodBatchTest, RefusesBadInputWithAMessage) {
    const QString missing = folder.filePath("missing.asc");
    const QString badOutbreak = folder.filePath("bad-outbreak.txt");
    writeTextFile(badOutbreak.toStdString(), "1\n40 3\n");
    const QStringList run3 = {"--results", "3", "--out", out};
    const struct {
        const char* name;
        QStringList inputFiles;  // none: no input options
        QStringList arguments;
        const char* message;
    } cases[] = {
        {"no inputs", {}, run3, "--roughness is required"},
        {"unknown format", inputs, QStringList{"--format", ".png"} + run3, "not a result format"},
        {"monitor file that does not open", inputs, QStringList{"--monitors", missing} + run3,
         "holds no point or line features"},
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
         "--colour-range needs a value"},
        {"unknown option", inputs, QStringList{"--speed", "2"} + run3, "unknown option --speed"},
        {"arrival depth of nothing", inputs, QStringList{"--arrival-depth", "0"} + run3,
         "--arrival-depth needs a depth above 0 m"},
        {"no water", inputs, QStringList{"--width", "0"} + run3, "let no water out"},
        {"missing elevation grid", {inputs[2], missing, inputs[2]}, run3, "打开DEM文件失败!"},
        {"outbreak cell off the grid", {inputs[0], inputs[1], badOutbreak}, run3, "lies outside"},
        {"output folder is a file",
         inputs,
         {"--results", "1", "--out", inputs[2]},
         "cannot create the output folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramRun batch = run(c.inputFiles, c.arguments);
        EXPECT_EQ(batch.exitCode, 2) << batch.out << batch.err;
        EXPECT_NE(batch.err.find(c.message), std::string::npos) << batch.err;
        EXPECT_FALSE(exists(1, ".txt"));
    }
}

}  // namespace
