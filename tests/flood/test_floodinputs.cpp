// Malformed, missing and odd inputs of the flood engine: each gives its diagnostic, the engine stays
// unloaded and harmless, and nothing crashes or hangs.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <gdal_priv.h>
#include <cstring>
#include <optional>

#include "cafloodnew.h"
#include "floodtestdata.h"
#include "testrasters.h"

namespace {

// A 4 x 3 grid: header and twelve values.
const char* const kGoodGrid =
    "ncols 4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n"
    "10 11 12 13\n14 15 16 17\n18 19 20 21\n";
const char* const kGoodOutbreak = "1\n1 2\n";

const std::string kHeader = "ncols 4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n";
const std::string kValues = "10 11 12 13 14 15 16 17 18 19 20 21\n";

// The good grid's values under the five header lines given.
std::string withHeader(const char* header) {
    return header + kValues;
}

class FloodInputsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    // Writes the roughness, elevation and outbreak texts (no text: the file is missing) and returns their
    // paths.
    std::vector<std::string> write(const std::vector<std::optional<std::string>>& texts) {
        const std::string base = folder.path().toStdString() + "/" + std::to_string(++count);
        const std::vector<std::string> paths = {base + "-n.asc", base + "-dem.asc", base + "-outbreak.txt"};
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (texts[i]) {
                writeTextFile(paths[i], *texts[i]);
            }
        }
        return paths;
    }
    // Loading `paths` fails with a diagnostic holding `diagnostic`, leaving the engine unloaded.
    static void expectRefused(CAFlood& engine, const std::vector<std::string>& paths,
                              const char* diagnostic) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(engine.loadInputs(paths));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(diagnostic), std::string::npos) << said;
        expectUnloadedAndHarmless(engine);
    }

    static void expectUnloadedAndHarmless(CAFlood& engine) {
        EXPECT_EQ(engine.cellRows(), nullptr);
        EXPECT_EQ(engine.columnCount(), 0);
        EXPECT_EQ(engine.rowCount(), 0);
        EXPECT_TRUE(engine.outbreakCells().empty());
        engine.setBreachParameters(1e6f, 20.0f, 10.0f, 0.0f, 0.0f, 1.0f, true);
        testing::internal::CaptureStderr();
        engine.prepareHydrograph();
        for (int i = 0; i < 3; ++i) {
            engine.step();
        }
        EXPECT_FALSE(engine.writeDepthTiff("unused.tif"));
        testing::internal::GetCapturedStderr();
    }

    QTemporaryDir folder;
    int count = 0;
};

TEST_F(FloodInputsTest, MalformedOrMissingInputsAreRefusedWithTheirReason) {
    const std::string good = kGoodGrid;
    const std::optional<std::string> missing;
    const struct {
        const char* name;
        std::optional<std::string> roughness, elevation, outbreak;
        const char* diagnostic;
    } cases[] = {
        {"empty elevation grid", good, "", kGoodOutbreak, "the file is empty"},
        {"truncated header", good, "ncols 4\nnrows 3\nxllcorner 0\n", kGoodOutbreak,
         "the header has no \"yllcorner\""},
        {"header keyword without value", good,
         withHeader("ncols\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n"), kGoodOutbreak,
         "value of \"ncols\" is \"nrows\", not a number"},
        {"non-numeric header", good,
         withHeader("ncols four\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n"), kGoodOutbreak,
         "value of \"ncols\" is \"four\""},
        {"negative ncols", good, withHeader("ncols -4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n"),
         kGoodOutbreak, "ncols -4 is not a positive whole number"},
        {"zero nrows", good, withHeader("ncols 4\nnrows 0\nxllcorner 0\nyllcorner 0\ncellsize 10\n"),
         kGoodOutbreak, "nrows 0 is not a positive whole number"},
        {"fractional ncols", good, withHeader("ncols 4.5\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n"),
         kGoodOutbreak, "ncols 4.5 is not a positive whole number"},
        {"ncols beyond any grid", good,
         withHeader("ncols 1e12\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n"), kGoodOutbreak,
         "not a positive whole number"},
        {"zero cell size", good, withHeader("ncols 4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 0\n"),
         kGoodOutbreak, "cellsize 0 is not a plausible cell size"},
        // A cell of 1e-20 m stalls the clock at 0 while the results pile up; 1e-40 m and an origin of 1e308
        // give coordinates of infinity.
        {"cell size 1e-20", good, withHeader("ncols 4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 1e-20\n"),
         kGoodOutbreak, "-dem.asc: cellsize 1e-20 is not a plausible cell size (0.01 m to 100000 m)"},
        {"cell size 1e-40", good, withHeader("ncols 4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 1e-40\n"),
         kGoodOutbreak, "cellsize 1e-40 is not a plausible cell size"},
        {"origin 1e308", good, withHeader("ncols 4\nnrows 3\nxllcorner 0\nyllcorner 1e308\ncellsize 10\n"),
         kGoodOutbreak, "-dem.asc: yllcorner 1e+308 is not a plausible map coordinate"},
        {"header keyword given twice", good,
         withHeader("ncols 4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\nncols 4\n"), kGoodOutbreak,
         "gives \"ncols\" twice"},
        {"huge header, small file", good,
         withHeader("ncols 100000\nnrows 100000\nxllcorner 0\nyllcorner 0\ncellsize 10\n"), kGoodOutbreak,
         "promises 100000 x 100000 values, more than the rest of the file"},
        {"fewer values than promised", good, kHeader + "10 11 12 13 14 15 16 17 18 19 20\n", kGoodOutbreak,
         "holds 11 values, fewer than the 12"},
        {"non-numeric value", good, kHeader + "10 11 12 13 abc 15 16 17 18 19 20 21\n", kGoodOutbreak,
         "value 5 (row 1, column 0) is \"abc\", not a number"},
        {"value that is not finite", good, kHeader + "10 11 12 13 14 15 nan 17 18 19 20 21\n", kGoodOutbreak,
         "is \"nan\", not a number"},
        {"value beyond single precision", good, kHeader + "10 11 12 13 14 15 16 1e39 18 19 20 21\n",
         kGoodOutbreak, "value 8 (row 1, column 3) is 1e+39, beyond any terrain"},
        {"leading digits of a value", good, kHeader + "10 11 12 13 14 15 16 17 18 19 20 21abc\n",
         kGoodOutbreak, "value 12 (row 2, column 3) is \"21abc\", not a number"},
        {"more values than the header gives", good, kHeader + "10 11 12 13 14 15 16 17 18 19 20 21 22\n",
         kGoodOutbreak, "holds more than the 4 x 3 values its header gives"},
        {"elevation beyond any terrain", good, kHeader + "10 11 12 13 14 15 16 17 18 -3.4e38 20 21\n",
         kGoodOutbreak, "value 10 (row 2, column 1) is -3.4e+38, beyond any terrain"},
        {"binary file", good, std::string("II*\0\x10\0\0\0\xff\xfe", 10), kGoodOutbreak,
         "GDAL cannot read it as a GTiff raster"},
        {"roughness of other size",
         "ncols 3\nnrows 4\nxllcorner 0\nyllcorner 0\ncellsize 10\n1 2 3 4 5 6 7 8 9 10 11 12\n", good,
         kGoodOutbreak, "3 columns x 4 rows, but the elevation grid has 4 x 3"},
        {"roughness short", kHeader + "1 2 3 4 5 6 7 8 9 10 11\n", good, kGoodOutbreak,
         "-n.asc: the grid holds 11 values, fewer than the 12"},
        {"roughness non-numeric", kHeader + "1 2 3 4 5 6 7 8 9 10 11 n/a\n", good, kGoodOutbreak,
         "-n.asc: value 12 (row 2, column 3) is \"n/a\""},
        {"negative Manning n", kHeader + "1 2 3 4 5 -0.03 7 8 9 10 11 12\n", good, kGoodOutbreak,
         "-n.asc: value 6 (row 1, column 1) is -0.03, but a cell of terrain needs a Manning roughness"},
        {"roughness without data on terrain", kHeader + "1 2 3 4 5 -9999 7 8 9 10 11 12\n", good,
         kGoodOutbreak, "value 6 (row 1, column 1) has no data, but a cell of terrain needs"},
        {"outbreak file empty", good, good, "", "does not start with the number of outbreak cells"},
        {"outbreak count not a number", good, good, "two\n1 1\n2 2\n", "does not start with the number"},
        {"outbreak count zero", good, good, "0\n",
         "announces 0 outbreak cells, but a breach needs at least one"},
        {"outbreak count negative", good, good, "-3\n1 1\n", "announces -3 outbreak cells, but"},
        {"outbreak count huge", good, good, "1e9\n1 1\n",
         "announces 1000000000 outbreak cells, more than the file can hold"},
        {"outbreak count a fraction", good, good, "1.5\n1 1\n", "but with \"1.5\""},
        {"fewer pairs than counted", good, good, "3\n1 1\n2 2\n", "outbreak cell 3 of 3 is missing"},
        {"pair not numeric", good, good, "1\n1 x\n",
         "outbreak cell 1 of 1 is \"1 x\", not a pair of whole numbers"},
        {"coordinate a fraction", good, good, "1\n2.9 2\n", "is \"2.9 2\", not a pair of whole numbers"},
        {"coordinate in hexadecimal", good, good, "1\n0x1 2\n", "is \"0x1 2\", not a pair"},
        {"coordinate with text after it", good, good, "1\n1 2abc\n", "is \"1 2abc\", not a pair"},
        {"more pairs than counted", good, good, "1\n1 2\n2 2\n",
         "holds more than the 1 outbreak cells it announces (next: \"2\")"},
        {"text after the pairs", good, good, "1\n1 2\nend\n", "(next: \"end\")"},
        {"column beyond the grid", good, good, "1\n4 2\n",
         "outbreak cell 1 (4, 2) lies outside the 4 x 3 grid"},
        {"negative column", good, good, "1\n-1 2\n", "(-1, 2) lies outside"},
        {"row 0", good, good, "1\n1 0\n", "(1, 0) lies outside"},
        {"row above the top", good, good, "1\n1 4\n", "(1, 4) lies outside"},
        {"row far beyond int", good, good, "1\n1 1e30\n", "not a pair of whole numbers"},
        {"missing elevation grid", good, missing, kGoodOutbreak, "打开DEM文件失败!"},
        {"missing roughness grid", missing, good, kGoodOutbreak, "-n.asc: cannot open"},
        {"missing outbreak-information file", good, good, missing, "outbreak-information file: cannot open"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CAFlood engine;
        expectRefused(engine, write({c.roughness, c.elevation, c.outbreak}), c.diagnostic);
    }
    CAFlood engine;
    const std::string folderPath = folder.path().toStdString();
    expectRefused(engine, {folderPath, folderPath, folderPath}, "打开DEM文件失败!");
    // A device or a pipe would feed the reader without end, or make it wait for ever.
    const std::vector<std::string> goodFiles = write({good, good, kGoodOutbreak});
    const std::string pipe = folderPath + "/pipe.asc";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& notAFile : {std::string("/dev/zero"), pipe}) {
        SCOPED_TRACE(notAFile);
        expectRefused(engine, {goodFiles[0], notAFile, goodFiles[2]}, "is not a regular file");
        expectRefused(engine, {notAFile, goodFiles[1], goodFiles[2]}, "is not a regular file");
        expectRefused(engine, {goodFiles[0], goodFiles[1], notAFile}, "is not a regular file");
    }
    expectRefused(engine, {"only-one.asc"}, "got 1 paths");
}

// With two threads the roughness grid is read while the elevation grid is; what is said stays what one
// thread says: the elevation grid's fault alone, a roughness grid of other cells before its values, and
// the first faulty value of the roughness grid in file order, whether it is no number or no roughness.
TEST_F(FloodInputsTest, DiagnosticsOfTwoFaultyGridsAreTheSameForOneThreadAndTwo) {
    const std::string good = kGoodGrid;
    const std::string otherSize =
        "ncols 3\nnrows 4\nxllcorner 0\nyllcorner 0\ncellsize 10\n1 2 3 4 5 6 7 8 9 10 11 x\n";
    // Value 6 lies on a cell without data, whose roughness is never used.
    const std::string holedElevation = kHeader + "10 11 12 13 14 -9999 16 17 18 19 20 21\n";
    const std::optional<std::string> missing;
    const struct {
        const char* name;
        std::optional<std::string> roughness, elevation;
        const char* said;
        const char* unsaid;
    } cases[] = {
        {"both grids faulty", kHeader + "1 2 x 4 5 6 7 8 9 10 11 12",
         kHeader + "10 11 abc 13 14 15 16 17 18 19 20 21", "-dem.asc: value 3", "-n.asc"},
        {"both grids missing", missing, missing, "打开DEM文件失败!", "-n.asc"},
        {"roughness of other cells", otherSize, good, "3 columns x 4 rows", "\"x\""},
        {"no number after no roughness", kHeader + "1 2 3 4 5 -0.03 7 8 x", good,
         "value 6 (row 1, column 1) is -0.03", "\"x\""},
        {"no roughness after no number", kHeader + "1 2 x 4 5 -0.03 7 8 9 10 11 12", good,
         "value 3 (row 0, column 2) is \"x\"", "-0.03"},
        {"no roughness off the terrain", kHeader + "1 2 3 4 5 -0.03 7 8 9 10 11", holedElevation,
         "the grid holds 11 values, fewer than the 12", "-0.03"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> paths = write({c.roughness, c.elevation, kGoodOutbreak});
        std::string said[2];
        for (const int threads : {1, 2}) {
            CAFlood engine;
            engine.setThreadCount(threads);
            testing::internal::CaptureStderr();
            EXPECT_FALSE(engine.loadInputs(paths));
            said[threads - 1] = testing::internal::GetCapturedStderr();
            expectUnloadedAndHarmless(engine);
        }
        EXPECT_EQ(said[0], said[1]);
        EXPECT_NE(said[1].find(c.said), std::string::npos) << said[1];
        EXPECT_EQ(said[1].find(c.unsaid), std::string::npos) << said[1];
    }
}

// A roughness GeoTIFF declaring 400 million cells in a few kilobytes (its tiles left out) is refused by
// its size alone, on one thread as on two: none of its values is read, nothing the size of the grid is
// allocated, and the refusal says why.
TEST_F(FloodInputsTest, SparseRoughnessOfAnotherSizeIsRefusedBeforeItsValuesAreRead) {
    GDALAllRegister();
    const std::string sparse = folder.path().toStdString() + "/sparse-n.tif";
    {
        char sparseOk[] = "SPARSE_OK=TRUE";
        char tiled[] = "TILED=YES";
        char* options[] = {sparseOk, tiled, nullptr};
        GDALDataset* raster = GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
            sparse.c_str(), 20000, 20000, 1, GDT_Float32, options);
        ASSERT_NE(raster, nullptr);
        double geoTransform[6] = {0, 10, 0, 200000, 0, -10};
        raster->SetGeoTransform(geoTransform);
        GDALClose(raster);
    }
    struct stat file {};
    ASSERT_EQ(stat(sparse.c_str(), &file), 0);
    ASSERT_LT(file.st_size, 1 << 20);
    const std::vector<std::string> small = write({kGoodGrid, kGoodGrid, kGoodOutbreak});
    for (const int threads : {1, 2}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        rusage before {};
        getrusage(RUSAGE_SELF, &before);
        CAFlood engine;
        engine.setThreadCount(threads);
        expectRefused(engine, {sparse, small[1], small[2]}, "20000 columns x 20000 rows");
        rusage after {};
        getrusage(RUSAGE_SELF, &after);
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 256 * 1024) << "kB more at the peak";
    }
}

TEST_F(FloodInputsTest, BinaryGarbageIsQuotedShortAndPrintable) {
    std::string garbage(200000, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<char>((i * 2654435761u) >> 13);
    }
    CAFlood engine;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(engine.loadInputs(write({kGoodGrid, kHeader + garbage, kGoodOutbreak})));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("not a number"), std::string::npos) << said;
    EXPECT_LT(said.size(), 300u) << said;
    for (const char c : said.substr(said.find('"'))) {
        ASSERT_TRUE(c == '\n' || (c >= ' ' && c <= '~')) << said;
    }
    expectUnloadedAndHarmless(engine);
}

TEST_F(FloodInputsTest, FailedLoadDiscardsThePreviousGrid) {
    CAFlood engine;
    ASSERT_TRUE(engine.loadInputs(write({kGoodGrid, kGoodGrid, kGoodOutbreak})));
    ASSERT_NE(engine.cellRows(), nullptr);
    expectRefused(engine, write({kGoodGrid, kGoodGrid, "1\n9 9\n"}), "lies outside");
}

TEST_F(FloodInputsTest, AcceptedVariantsOfTheFormats) {
    const std::string rows = "10 11 12 13\n14 15 16 17\n18 19 20 21\n";
    const struct {
        const char* name;
        std::string elevation, outbreak;
        float groundAtRow1Column2;
        std::pair<int, int> outbreakCell;
        const char* diagnostic;  // empty: not checked
    } cases[] = {
        {"without the optional NODATA_value line",
         "ncols 4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n" + rows,
         kGoodOutbreak,
         16.0f,
         {1, 2},
         ""},
        {"Windows line ends and upper-case keywords",
         "NCOLS 4\r\nNROWS 3\r\nXLLCORNER 0\r\nYLLCORNER 0\r\nCELLSIZE 10\r\nNODATA_VALUE 9999\r\n"
         "10 11 12 13\r\n14 15 16 17\r\n18 19 20 21\r\n",
         kGoodOutbreak,
         16.0f,
         {1, 2},
         ""},
        {"values spread over lines as they come",
         "ncols 4 nrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n10 11 12 13 14 15\n"
         "16 17 18 19 20 21",
         kGoodOutbreak,
         16.0f,
         {1, 2},
         ""},
        // The outbreak cell (2, 2) is the wall-high cell (1, 2) itself.
        {"outbreak coordinates as whole reals", kGoodGrid, "1.0\n2.0 2e0\n", 9999.0f, {2, 2}, ""},
        {"cells reading the header's NODATA_value lie outside the terrain",
         kHeader + "10 11 12 13\n14 15 -9999 17\n18 19 20 21\n",
         kGoodOutbreak,
         9999.0f,
         {1, 2},
         "1 cells without data (NODATA_value -9999) lie outside the terrain"},
        // Read by position, the swapped lines would transpose the grid.
        {"nrows before ncols",
         "nrows 3\nncols 4\nxllcorner 0\nyllcorner 0\ncellsize 10\n" + rows,
         kGoodOutbreak,
         16.0f,
         {1, 2},
         ""},
        {"cell size before the origin and carriage returns only",
         "ncols 4\rnrows 3\rcellsize 10\rxllcorner 0\ryllcorner 0\r10 11 12 13\r14 15 16 17\r18 19 20 21\r",
         kGoodOutbreak,
         16.0f,
         {1, 2},
         ""},
        {"outbreak cell repeated",
         kGoodGrid,
         "2\n1 2\n1 2\n",
         16.0f,
         {1, 2},
         "1 entries repeat a cell already listed"},
        {"files saved with a byte-order mark", "\xEF\xBB\xBF" + std::string(kGoodGrid),
         "\xEF\xBB\xBF" "1\r\n1 2\r\n", 16.0f, {1, 2}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CAFlood engine;
        testing::internal::CaptureStderr();
        // The one interior cell beside the outbreak cell at (1, 1) is (1, 2); its other face leads into
        // the border, which the engine reports as outflow that does not reach the grid.
        const bool loaded = engine.loadInputs(write({kGoodGrid, c.elevation, c.outbreak}));
        const std::string said = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(loaded) << said;
        EXPECT_EQ(engine.cellRows()[1][2].ground, c.groundAtRow1Column2);
        ASSERT_FALSE(engine.outbreakCells().empty());
        EXPECT_EQ(engine.outbreakCells().front(), c.outbreakCell);
        EXPECT_NE(said.find(c.diagnostic), std::string::npos) << said;
    }
}

// Rasters of any format GDAL reads: a GeoTIFF of the same values gives the same flood, bit for bit, and
// its coordinate system; one the engine cannot place is refused naming the file.
TEST_F(FloodInputsTest, GeoTiffGridsGiveTheSameFloodAsAsciiGrids) {
    const ValleyShape shape{24, 30, 10.0f};
    const std::string base = folder.path().toStdString();
    const std::vector<std::string> ascii =
        writeValley(base, shape, {{11, shape.nrows - 2}, {12, shape.nrows - 2}});
    writePrjFile(base + "/dem.prj", 32617);
    asciiGridToGeoTiff(ascii[1], base + "/dem.tif");
    asciiGridToGeoTiff(ascii[0], base + "/roughness.tif");
    const std::vector<std::string> rasters = {base + "/roughness.tif", base + "/dem.tif", ascii[2]};
    CAFlood engines[2];
    for (CAFlood* engine : {&engines[0], &engines[1]}) {
        const auto& paths = engine == &engines[0] ? ascii : rasters;
        ASSERT_EQ(startFloodRun(*engine, paths, smallBreach(3e5f)), FloodRunStart::Ready);
        EXPECT_TRUE(isSameCoordinateSystem(engine->coordinateSystem(), 32617));
        runUntil(*engine, 60.0f);
    }
    EXPECT_EQ(engines[1].lowerLeftX(), engines[0].lowerLeftX());
    EXPECT_EQ(engines[1].lowerLeftY(), engines[0].lowerLeftY());
    for (int r = 0; r < shape.nrows; ++r) {
        for (int c = 0; c < shape.ncols; ++c) {
            const FloodCell& a = engines[0].cellRows()[r][c];
            const FloodCell& b = engines[1].cellRows()[r][c];
            const char* field = firstDifference(a, b);
            ASSERT_EQ(field, nullptr) << field << " of cell " << r << ", " << c;
            ASSERT_TRUE(sameBits(a.speed, b.speed)) << "speed of cell " << r << ", " << c;
        }
    }
    EXPECT_GT(engines[0].waterOnGrid(), 1000.0);

    writeTestRaster(base + "/degrees.tif", 4, 3, std::vector<double>(12, 100.0),
                    std::array<double, 6>{-84.4, 0.001, 0, 36.7, 0, -0.001}, 4326);
    CAFlood engine;
    expectRefused(engine, {ascii[0], base + "/degrees.tif", ascii[2]},
                  ("elevation grid " + base + "/degrees.tif: the raster is in degrees").c_str());
}

}  // namespace
