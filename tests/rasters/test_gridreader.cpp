// The grid reader of the engines: a GeoTIFF reads like the ESRI ASCII grid of the same values, and
// rasters the engines cannot place are refused with the reason.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "gridreader.h"
#include "testfiles.h"
#include "testrasters.h"

namespace {

struct ReadGrid {
    AsciiGridHeader header;
    std::vector<double> values;
    std::vector<bool> noData;
};

ReadGrid readAll(const std::string& path) {
    GridReader reader;
    std::string problem;
    ReadGrid read;
    EXPECT_TRUE(reader.open(path, problem)) << problem;
    read.header = reader.header();
    EXPECT_EQ(reader.valuesAhead(1000), reader.cellCount());
    for (long long i = 0; i < reader.cellCount(); ++i) {
        double value = 0;
        bool noData = false;
        EXPECT_TRUE(reader.nextValue(value, noData, problem)) << problem;
        read.values.push_back(noData ? 0.0 : value);
        read.noData.push_back(noData);
    }
    EXPECT_TRUE(reader.finish(problem)) << problem;
    return read;
}

TEST(GridReader, GeoTiffReadsLikeTheAsciiGridOfTheSameValues) {
    QTemporaryDir folder;
    const std::string base = folder.path().toStdString();
    // Three rows of four; one cell holds the no-data value, one (in the GeoTIFF) NaN.
    const std::vector<double> values = {101.25, 102.5,   -9999, 104,
                                        105,    106.125, 107,   108,
                                        109,    110,     111,   std::numeric_limits<double>::quiet_NaN()};
    writeTextFile(base + "/dem.asc",
                  "ncols 4\nnrows 3\nxllcenter 500005\nyllcenter 3999985\ncellsize 10\nNODATA_value -9999\n"
                  "101.25 102.5 -9999 104\n105 106.125 107 108\n109 110 111 -9999\n");
    writePrjFile(base + "/dem.prj", 32617);
    writeTestRaster(base + "/dem.tif", 4, 3, values, std::array<double, 6>{500000, 10, 0, 4000010, 0, -10},
                    32617, -9999.0);
    const ReadGrid ascii = readAll(base + "/dem.asc");
    const ReadGrid raster = readAll(base + "/dem.tif");
    for (const ReadGrid* read : {&ascii, &raster}) {
        EXPECT_EQ(read->header.ncols, 4);
        EXPECT_EQ(read->header.nrows, 3);
        EXPECT_DOUBLE_EQ(read->header.xllcorner, 500000);
        EXPECT_DOUBLE_EQ(read->header.yllcorner, 3999980);
        EXPECT_DOUBLE_EQ(read->header.cellsize, 10);
    }
    EXPECT_EQ(raster.values, ascii.values);
    EXPECT_EQ(raster.noData, ascii.noData);
    EXPECT_EQ(ascii.noData, std::vector<bool>({0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1}));

    for (const char* grid : {"/dem.asc", "/dem.tif"}) {
        std::string problem;
        const std::string system = gridCoordinateSystem(base + grid, problem);
        EXPECT_TRUE(problem.empty()) << problem;
        EXPECT_TRUE(isSameCoordinateSystem(system, 32617)) << grid << ": " << system;
    }
    std::remove((base + "/dem.prj").c_str());
    std::string problem;
    EXPECT_EQ(gridCoordinateSystem(base + "/dem.asc", problem), "");
}

TEST(GridReader, RefusesRastersTheEnginesCannotPlace) {
    QTemporaryDir folder;
    const std::string base = folder.path().toStdString();
    using Transform = std::optional<std::array<double, 6>>;
    const struct {
        const char* name;
        Transform transform;
        int epsg;
        const char* reason;
    } rasters[] = {
        {"no georeference", std::nullopt, 0, "has no georeference"},
        {"rotated", std::array<double, 6>{500000, 10, 2, 4000000, 2, -10}, 32617, "rotated"},
        {"south up", std::array<double, 6>{500000, 10, 0, 4000000, 0, 10}, 32617, "north to south"},
        {"oblong cells", std::array<double, 6>{500000, 10, 0, 4000000, 0, -12}, 32617, "not square"},
        {"degrees", std::array<double, 6>{-84.4, 0.001, 0, 36.7, 0, -0.001}, 4326, "in degrees (WGS 84)"},
        {"feet", std::array<double, 6>{2000000, 30, 0, 10000000, 0, -30}, 2277, "measures in US survey foot"},
        {"tiny cells", std::array<double, 6>{0, 0.001, 0, 1, 0, -0.001}, 0, "cell size 0.001"},
        {"far away", std::array<double, 6>{5e8, 10, 0, 4000000, 0, -10}, 0, "500000000"},
    };
    for (const auto& raster : rasters) {
        const std::string path = base + "/" + raster.name + ".tif";
        writeTestRaster(path, 3, 3, std::vector<double>(9, 100.0), raster.transform, raster.epsg);
        GridReader reader;
        std::string problem;
        EXPECT_FALSE(reader.open(path, problem)) << raster.name;
        EXPECT_NE(problem.find(raster.reason), std::string::npos) << raster.name << ": " << problem;
        EXPECT_EQ(reader.fileStatus(), FileReadStatus::ok) << raster.name;
    }
}

TEST(GridReader, FilesThatAreNoGridSayWhy) {
    QTemporaryDir folder;
    const std::string base = folder.path().toStdString();
    writeTextFile(base + "/broken.tif", std::string("II*\0", 4) + std::string(200, '\x7f'));
    writeTextFile(base + "/words.asc", "this is no grid\n");
    writeTextFile(base + "/beside a pipe.tif", std::string("II*\0", 4) + std::string(200, '\x7f'));
    ASSERT_EQ(::mkfifo((base + "/beside a pipe.tif.aux.xml").c_str(), 0600), 0);
    const struct {
        std::string path;
        FileReadStatus status;
        const char* reason;
    } files[] = {
        {base + "/missing.tif", FileReadStatus::missing, "No such file"},
        {base, FileReadStatus::notRegular, "not a regular file"},
        {base + "/broken.tif", FileReadStatus::ok, "as a GTiff raster"},
        {base + "/words.asc", FileReadStatus::ok, "not a keyword of an ESRI ASCII grid"},
        {base + "/beside a pipe.tif", FileReadStatus::ok, "beside a pipe.tif.aux.xml\", beside"},
    };
    // A reader that waited on the pipe would never return: the alarm ends the test program instead.
    ::alarm(60);
    for (const auto& file : files) {
        GridReader reader;
        std::string problem;
        EXPECT_FALSE(reader.open(file.path, problem)) << file.path;
        EXPECT_EQ(reader.fileStatus(), file.status) << file.path;
        EXPECT_NE(problem.find(file.reason), std::string::npos) << file.path << ": " << problem;
    }
    ::alarm(0);
}

}  // namespace
