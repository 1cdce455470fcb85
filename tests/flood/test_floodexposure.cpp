// Which places a flood reaches: places from a vector file read against the summary's grids.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <sstream>

#include "floodexposure.h"
#include "summaryfiles.h"
#include "testfiles.h"
#include "testshapefiles.h"

namespace {

// A grid of 10 x 10 cells of 10 m, its lower-left corner at (1000, 2000). The flood reached the five
// western columns, arriving 60 s + 10 s per column, 1 m deep less 0.1 m per column, at hazard H1 + column.
struct FloodedGrid {
    RasterFrame frame = asciiGridFrame(10, 10, 10.0, 1000.0, 2000.0, "");
    std::vector<float> arrival = std::vector<float>(100, summaryNoData);
    std::vector<float> depth = std::vector<float>(100, summaryNoData);
    std::vector<float> speed = std::vector<float>(100, summaryNoData);
    std::vector<std::uint8_t> hazard = std::vector<std::uint8_t>(100, 0);
    FloodedGrid() {
        for (int row = 0; row < 10; ++row) {
            for (int column = 0; column < 5; ++column) {
                const int i = row * 10 + column;
                arrival[i] = 60.0f + 10.0f * column;
                depth[i] = 1.0f - 0.1f * column;
                speed[i] = 0.5f + row * 0.1f;
                hazard[i] = static_cast<std::uint8_t>(1 + column);
            }
        }
    }
};

TEST(FloodExposureTest, PlacesInsideAtTheEdgeOutsideAndOffTheGrid) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string path = folder.path().toStdString() + "/places.geojson";
    // Cell (row r, column c) spans x 1000 + 10c to 1010 + 10c, y 2090 - 10r to 2100 - 10r.
    writeVectorFile(path, wkbUnknown,
                    {{wkbPoint, {{1015, 2055, 0}}, "Inside"},
                     {wkbPolygon, {{1032, 2042, 0}, {1078, 2042, 0}, {1078, 2058, 0}, {1032, 2058, 0}}, "Edge, east"},
                     {wkbPolygon, {{1011, 2081, 0}, {1013, 2081, 0}, {1013, 2083, 0}}, "House"},
                     {wkbLineString, {{1095, 2005, 0}, {1025, 2005, 0}}, "Road"},
                     {wkbPoint, {{1085, 2055, 0}}, "Outside"},
                     {wkbPoint, {{5000, 5000, 0}}, ""}});
    FloodedGrid grid;
    std::vector<Place> places;
    std::string problem;
    ASSERT_TRUE(loadPlaces(path, grid.frame, places, problem)) << problem;
    const std::vector<PlaceExposure> exposure =
        exposePlaces(places, grid.arrival, grid.depth, grid.speed, grid.hazard);
    ASSERT_EQ(exposure.size(), 6u);

    const struct {
        const char* name;
        bool onGrid, reached;
        float arrival, depth, speed;
        int hazardClass;
    } expected[] = {
        {"Inside", true, true, 70, 0.9f, 0.9f, 2},
        // Rows 4 and 5, columns 3 to 7: only the cells of columns 3 and 4 were reached.
        {"Edge, east", true, true, 90, 0.7f, 1.0f, 5},
        // Smaller than its cell: the cell it stands in.
        {"House", true, true, 70, 0.9f, 0.6f, 2},
        {"Road", true, true, 80, 0.8f, 1.4f, 5},
        {"Outside", true, false, 0, 0, 0, 0},
        {"place 6", false, false, 0, 0, 0, 0},
    };
    for (std::size_t i = 0; i < exposure.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(exposure[i].name, expected[i].name);
        EXPECT_EQ(exposure[i].onGrid, expected[i].onGrid);
        EXPECT_EQ(exposure[i].reached, expected[i].reached);
        if (expected[i].reached) {
            EXPECT_FLOAT_EQ(exposure[i].arrivalSeconds, expected[i].arrival);
            EXPECT_FLOAT_EQ(exposure[i].maxDepth, expected[i].depth);
            EXPECT_FLOAT_EQ(exposure[i].maxSpeed, expected[i].speed);
            EXPECT_EQ(exposure[i].hazardClass, expected[i].hazardClass);
        }
    }

    std::istringstream csv(exposureCsv(exposure));
    std::vector<std::string> lines;
    for (std::string line; std::getline(csv, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2], "\"Edge, east\",reached,90.0,0.700,1.000,H5");
    EXPECT_EQ(lines[5], "Outside,not reached,,,,");
    EXPECT_EQ(lines[6], "place 6,off the grid,,,,");
}

TEST(FloodExposureTest, AFileWithoutPlacesIsNamed) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string text = folder.path().toStdString() + "/places.txt";
    writeTextFile(text, "not a vector file\n");
    const std::string empty = folder.path().toStdString() + "/empty.geojson";
    writeVectorFile(empty, wkbPoint, {});
    FloodedGrid grid;
    for (const std::string& path : {text, empty, folder.path().toStdString() + "/missing.shp"}) {
        std::vector<Place> places;
        std::string problem;
        EXPECT_FALSE(loadPlaces(path, grid.frame, places, problem));
        EXPECT_NE(problem.find(path), std::string::npos) << problem;
    }
}

}  // namespace
