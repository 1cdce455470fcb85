// vantorel-batch flood, run as the real program on a small generated valley.
#include <gtest/gtest.h>

#include <gdal_priv.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "cafloodnew.h"
#include "floodhud.h"
#include "floodrun.h"
#include "floodtestdata.h"

namespace {

struct BatchRun {
    int exitCode = -1;
    std::string output;
    std::string errors;
};

class FloodBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        shape.ncols = 20;
        shape.nrows = 30;
        inputs = writeValley(folder.path().toStdString(), shape, {{9, shape.nrows - 2}});
        out = folder.filePath("results/run one").toStdString();
    }

    BatchRun run(const QStringList& arguments) const {
        QProcess process;
        process.start(VANTOREL_BATCH, QStringList{"flood"} + arguments);
        BatchRun result;
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.output = process.readAllStandardOutput().toStdString();
        result.errors = process.readAllStandardError().toStdString();
        return result;
    }
    QStringList inputArguments() const {
        return {"--roughness", QString::fromStdString(inputs[0]), "--dem", QString::fromStdString(inputs[1]),
                "--outbreak",  QString::fromStdString(inputs[2])};
    }
    std::string result(int number, const char* extension) const {
        return out + "/" + std::to_string(number) + extension;
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
    ValleyShape shape;
    std::vector<std::string> inputs;
    std::string out;
};

TEST_F(FloodBatchTest, WritesNumberedDepthRastersAndDisplayStates) {
    const BatchRun batch =
        run(inputArguments() + QStringList{"--capacity", "300000", "--width", "10", "--height", "5",
                                           "--results", "4", "--out", QString::fromStdString(out)});
    ASSERT_EQ(batch.exitCode, 0) << batch.output << batch.errors;
    EXPECT_NE(batch.output.find("total breach"), std::string::npos) << batch.output;
    EXPECT_NE(batch.output.find("wrote 4 results"), std::string::npos) << batch.output;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(result(5, ".tif"))));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(result(5, ".txt"))));

    // The same run in this process: five engine steps per result.
    CAFlood engine;
    const FloodRunSettings settings = smallBreach(3e5f);
    ASSERT_EQ(startFloodRun(engine, inputs, settings), FloodRunStart::Ready);
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
                const FloodCell& cell = engine.cellRows()[r][c];
                ASSERT_EQ(depths[static_cast<std::size_t>(r) * shape.ncols + c],
                          cell.surfaceOld - cell.ground);
            }
        }
    }
}

TEST_F(FloodBatchTest, RunsUntilTheSimulatedTimeWithTheFormsModeAndColourRange) {
    // Cells of 10 m: a step is 0.1 s, the clock moves 0.2 s per step and 1 s per result.
    const BatchRun batch = run(inputArguments() + QStringList{"--mode", "三分之一溃", "--colour-range", "2",
                                                              "12", "--capacity", "3000000", "--until", "2.5",
                                                              "--out", QString::fromStdString(out)});
    ASSERT_EQ(batch.exitCode, 0) << batch.output << batch.errors;
    EXPECT_NE(batch.output.find("partial breach 1/3"), std::string::npos) << batch.output;
    EXPECT_NE(batch.output.find("released volume 1e+06 m^3"), std::string::npos) << batch.output;
    FloodHud state;
    ASSERT_TRUE(state.readState(result(3, ".txt")));
    EXPECT_NEAR(state.time, 3.0f, 1e-4f);
    EXPECT_FLOAT_EQ(state.capacity, 3e6f);
    EXPECT_EQ(state.colourLow, 2);
    EXPECT_EQ(state.colourHigh, 12);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(result(3, ".tif"))));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(result(4, ".txt"))));
}

TEST_F(FloodBatchTest, WritesWaterModelsAndMonitorValuesAsTheLiveRunDoes) {
    const std::string monitorFile = folder.filePath("monitors.geojson").toStdString();
    // One monitor point on the valley floor just below the breach.
    writeTextFile(monitorFile,
                  R"({"type": "FeatureCollection", "features": [{"type": "Feature", "properties": {},)"
                  R"( "geometry": {"type": "Point", "coordinates": [95, 270, 100]}}]})");
    const BatchRun batch = run(
        inputArguments() + QStringList{"--capacity", "300000", "--width", "10", "--height", "5", "--format",
                                       ".ive", "--monitors", QString::fromStdString(monitorFile), "--results",
                                       "6", "--out", QString::fromStdString(out)});
    ASSERT_EQ(batch.exitCode, 0) << batch.output << batch.errors;
    EXPECT_EQ(batch.output.find("fileName:"), std::string::npos) << "the terminal keeps its progress line";
    for (int number = 1; number <= 6; ++number) {
        for (const char* extension : {".ive", ".txt", ".json"}) {
            EXPECT_TRUE(QFile::exists(QString::fromStdString(result(number, extension))))
                << number << extension;
        }
        EXPECT_FALSE(QFile::exists(QString::fromStdString(result(number, ".tif"))));
    }
    // The monitor values parse as JSON outside the program and record the water's arrival.
    QProcess python;
    python.start("python3", {"-c",
                             "import json,sys; d=json.load(open(sys.argv[1])); p=d['Monitors'][0];"
                             " print(len(d['Monitors']), p['x'], p['y'], p['dep'] > 0, p['time'] > 0)",
                             QString::fromStdString(result(6, ".json"))});
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.readAllStandardOutput().trimmed().toStdString(), "1 95 270 True True");
}

struct RefusalCase {
    const char* name;
    QStringList arguments;  // after the three inputs, unless `withoutInputs`
    const char* message;
    bool withoutInputs = false;
};

TEST_F(FloodBatchTest, RefusesBadInputWithAMessage) {
    const QString outFolder = QString::fromStdString(out);
    const QString aFile = QString::fromStdString(inputs[2]);
    const QString missing = folder.filePath("missing.asc");
    const QString badOutbreak = folder.filePath("bad-outbreak.txt");
    writeTextFile(badOutbreak.toStdString(), "1\n40 3\n");
    const QStringList run3 = {"--results", "3", "--out", outFolder};
    const RefusalCase cases[] = {
        {"no inputs", run3, "--roughness is required", true},
        {"unknown format", QStringList{"--format", ".png"} + run3, "not a result format"},
        {"monitor file that does not open", QStringList{"--monitors", missing} + run3,
         "holds no point or line features"},
        {"both ends", QStringList{"--until", "20"} + run3, "give either --results N or --until SECONDS"},
        {"no end", QStringList{"--out", outFolder}, "give either --results N or --until SECONDS"},
        {"no results", {"--results", "0", "--out", outFolder}, "--results: 0 is outside"},
        {"results not a number",
         {"--results", "many", "--out", outFolder},
         "--results: \"many\" is not a number"},
        {"width beyond the form's range", QStringList{"--width", "500"} + run3, "--width: 500 is outside"},
        {"colour range upside down", QStringList{"--colour-range", "20", "0"} + run3, "two whole numbers"},
        {"colour range of one value", QStringList{"--colour-range", "5"} + run3,
         "--colour-range needs a value"},
        {"unknown option", QStringList{"--speed", "2"} + run3, "unknown option --speed"},
        {"no water", QStringList{"--width", "0"} + run3, "let no water out"},
        {"missing elevation grid",
         QStringList{"--roughness", aFile, "--dem", missing, "--outbreak", aFile} + run3, "打开DEM文件失败!",
         true},
        {"outbreak cell off the grid",
         QStringList{"--roughness", QString::fromStdString(inputs[0]), "--dem",
                     QString::fromStdString(inputs[1]), "--outbreak", badOutbreak} +
             run3,
         "lies outside", true},
        {"output folder is a file", QStringList{"--results", "1", "--out", aFile},
         "cannot create the output folder"},
    };
    for (const RefusalCase& item : cases) {
        SCOPED_TRACE(item.name);
        const BatchRun batch = run(item.withoutInputs ? item.arguments : inputArguments() + item.arguments);
        EXPECT_EQ(batch.exitCode, 2) << batch.output << batch.errors;
        EXPECT_NE(batch.errors.find(item.message), std::string::npos) << batch.errors;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(result(1, ".txt"))));
    }
}

}  // namespace
