// Malformed, missing and odd inputs of the flood engine: each gives its diagnostic, the engine stays
// unloaded and harmless, and nothing crashes or hangs.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "cafloodnew.h"
#include "floodtestdata.h"

namespace {

// A 4 x 3 grid: header and twelve values.
const char* const kGoodGrid =
    "ncols 4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n"
    "10 11 12 13\n14 15 16 17\n18 19 20 21\n";
const char* const kGoodOutbreak = "1\n1 2\n";

std::string gridWithHeader(const std::string& header,
                           const std::string& values = "10 11 12 13 14 15 16 17 18 19 20 21\n") {
    return header + values;
}

struct MalformedCase {
    const char* name;
    std::string roughness;
    std::string elevation;
    std::string outbreak;
    const char* diagnostic;
};

class FloodInputsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    // Writes the three texts (a null text leaves its file missing) and returns their paths.
    std::vector<std::string> write(const std::string& roughness, const std::string& elevation,
                                   const std::string& outbreak, bool roughnessMissing = false,
                                   bool elevationMissing = false, bool outbreakMissing = false) {
        const std::string base = folder.path().toStdString() + "/" + std::to_string(++count);
        const std::vector<std::string> paths = {base + "-n.asc", base + "-dem.asc", base + "-outbreak.txt"};
        if (!roughnessMissing) {
            writeTextFile(paths[0], roughness);
        }
        if (!elevationMissing) {
            writeTextFile(paths[1], elevation);
        }
        if (!outbreakMissing) {
            writeTextFile(paths[2], outbreak);
        }
        return paths;
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

TEST_F(FloodInputsTest, MalformedInputsAreRefusedWithTheirReason) {
    const std::string good = kGoodGrid;
    const std::string header =
        "ncols 4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n";
    const MalformedCase cases[] = {
        {"empty elevation grid", good, "", kGoodOutbreak, "ends before the value of \"ncols\""},
        {"truncated header", good, "ncols 4\nnrows 3\nxllcorner 0\n", kGoodOutbreak,
         "ends before the value of \"yllcorner\""},
        {"header keyword without value", good,
         gridWithHeader("ncols\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n"), kGoodOutbreak,
         "value of \"ncols\" is \"nrows\", not a number"},
        {"non-numeric header", good,
         gridWithHeader("ncols four\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n"), kGoodOutbreak,
         "value of \"ncols\" is \"four\""},
        {"negative ncols", good, gridWithHeader("ncols -4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n"),
         kGoodOutbreak, "ncols -4, not a positive whole number"},
        {"zero nrows", good, gridWithHeader("ncols 4\nnrows 0\nxllcorner 0\nyllcorner 0\ncellsize 10\n"),
         kGoodOutbreak, "nrows 0, not a positive whole number"},
        {"fractional ncols", good,
         gridWithHeader("ncols 4.5\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n"), kGoodOutbreak,
         "ncols 4.5, not a positive whole number"},
        {"ncols beyond any grid", good,
         gridWithHeader("ncols 1e12\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n"), kGoodOutbreak,
         "not a positive whole number"},
        {"zero cell size", good, gridWithHeader("ncols 4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 0\n"),
         kGoodOutbreak, "cellsize 0, not a positive size"},
        {"huge header, small file", good,
         gridWithHeader("ncols 100000\nnrows 100000\nxllcorner 0\nyllcorner 0\ncellsize 10\n"), kGoodOutbreak,
         "promises 100000 x 100000 values, more than the rest of the file"},
        {"fewer values than promised", good, gridWithHeader(header, "10 11 12 13 14 15 16 17 18 19 20\n"),
         kGoodOutbreak, "holds 11 values, fewer than the 12"},
        {"non-numeric value", good, gridWithHeader(header, "10 11 12 13 abc 15 16 17 18 19 20 21\n"),
         kGoodOutbreak, "value 5 (row 1, column 0) is \"abc\", not a number"},
        {"value that is not finite", good, gridWithHeader(header, "10 11 12 13 14 15 nan 17 18 19 20 21\n"),
         kGoodOutbreak, "is \"nan\", not a number"},
        {"value beyond single precision", good,
         gridWithHeader(header, "10 11 12 13 14 15 16 1e39 18 19 20 21\n"), kGoodOutbreak,
         "is \"1e39\", not a number"},
        {"elevation beyond any terrain", good,
         gridWithHeader(header, "10 11 12 13 14 15 16 17 18 -3.4e38 20 21\n"), kGoodOutbreak,
         "value 10 (row 2, column 1) is -3.4e+38, beyond any terrain"},
        {"binary file", good, std::string("II*\0\x10\0\0\0\xff\xfe", 10), kGoodOutbreak, "the header ends"},
        {"roughness of other size",
         "ncols 3\nnrows 4\nxllcorner 0\nyllcorner 0\ncellsize 10\n1 2 3 4 5 6 7 8 9 10 11 12\n", good,
         kGoodOutbreak, "3 columns x 4 rows, but the elevation grid has 4 x 3"},
        {"roughness short", gridWithHeader(header, "1 2 3 4 5 6 7 8 9 10 11\n"), good, kGoodOutbreak,
         "roughness grid: the grid holds 11 values, fewer than the 12"},
        {"roughness non-numeric", gridWithHeader(header, "1 2 3 4 5 6 7 8 9 10 11 n/a\n"), good,
         kGoodOutbreak, "roughness grid: value 12 (row 2, column 3) is \"n/a\""},
        {"outbreak file empty", good, good, "", "does not start with the number of outbreak cells"},
        {"outbreak count not a number", good, good, "two\n1 1\n2 2\n", "does not start with the number"},
        {"outbreak count zero", good, good, "0\n", "announces 0 outbreak cells"},
        {"outbreak count negative", good, good, "-3\n1 1\n", "announces -3 outbreak cells"},
        {"outbreak count huge", good, good, "1e9\n1 1\n", "announces 1e+09 outbreak cells"},
        {"fewer pairs than counted", good, good, "3\n1 1\n2 2\n", "outbreak cell 3 of 3 is missing"},
        {"pair not numeric", good, good, "1\n1 x\n",
         "outbreak cell 1 of 1 is missing or not a pair of numbers"},
        {"column beyond the grid", good, good, "1\n4 2\n",
         "outbreak cell 1 (4, 2) lies outside the 4 x 3 grid"},
        {"negative column", good, good, "1\n-1 2\n", "(-1, 2) lies outside"},
        {"row 0", good, good, "1\n1 0\n", "(1, 0) lies outside"},
        {"row above the top", good, good, "1\n1 4\n", "(1, 4) lies outside"},
        {"row far beyond int", good, good, "1\n1 1e30\n", "lies outside"},
    };
    for (const MalformedCase& item : cases) {
        SCOPED_TRACE(item.name);
        CAFlood engine;
        const std::vector<std::string> paths = write(item.roughness, item.elevation, item.outbreak);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(engine.loadInputs(paths));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(item.diagnostic), std::string::npos) << said;
        expectUnloadedAndHarmless(engine);
    }
}

struct MissingCase {
    const char* name;
    bool roughness;
    bool elevation;
    bool outbreak;
    const char* diagnostic;
};

TEST_F(FloodInputsTest, MissingFilesAreRefused) {
    const MissingCase cases[] = {
        {"elevation grid", false, true, false, "打开DEM文件失败!"},
        {"roughness grid", true, false, false, "roughness grid: cannot open"},
        {"outbreak-information file", false, false, true, "outbreak-information file: cannot open"},
    };
    for (const MissingCase& item : cases) {
        SCOPED_TRACE(item.name);
        CAFlood engine;
        const std::vector<std::string> paths =
            write(kGoodGrid, kGoodGrid, kGoodOutbreak, item.roughness, item.elevation, item.outbreak);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(engine.loadInputs(paths));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(item.diagnostic), std::string::npos) << said;
        expectUnloadedAndHarmless(engine);
    }
    CAFlood engine;
    testing::internal::CaptureStderr();
    const std::string folderPath = folder.path().toStdString();
    EXPECT_FALSE(engine.loadInputs({folderPath, folderPath, folderPath}));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("打开DEM文件失败!"), std::string::npos);
    expectUnloadedAndHarmless(engine);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(engine.loadInputs({"only-one.asc"}));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("got 1 paths"), std::string::npos);
    expectUnloadedAndHarmless(engine);
}

TEST_F(FloodInputsTest, BinaryGarbageIsQuotedShortAndPrintable) {
    std::string garbage(200000, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<char>((i * 2654435761u) >> 13);
    }
    CAFlood engine;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(engine.loadInputs(write(kGoodGrid, garbage, kGoodOutbreak)));
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
    ASSERT_TRUE(engine.loadInputs(write(kGoodGrid, kGoodGrid, kGoodOutbreak)));
    ASSERT_NE(engine.cellRows(), nullptr);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(engine.loadInputs(write(kGoodGrid, kGoodGrid, "1\n9 9\n")));
    testing::internal::GetCapturedStderr();
    expectUnloadedAndHarmless(engine);
}

struct AcceptedCase {
    const char* name;
    std::string elevation;
    std::string outbreak;
    float groundAtRow1Column2;
    int outbreakColumn;
    int outbreakRowFromBottom;
    const char* diagnostic;  // empty: says nothing
};

TEST_F(FloodInputsTest, AcceptedVariantsOfTheFormats) {
    const std::string values = "10 11 12 13\n14 15 16 17\n18 19 20 21\n";
    const AcceptedCase cases[] = {
        {"without the optional NODATA_value line",
         "ncols 4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n" + values, kGoodOutbreak, 16.0f, 1, 2,
         ""},
        {"Windows line ends and upper-case keywords",
         "NCOLS 4\r\nNROWS 3\r\nXLLCORNER 0\r\nYLLCORNER 0\r\nCELLSIZE 10\r\nNODATA_VALUE 9999\r\n"
         "10 11 12 13\r\n14 15 16 17\r\n18 19 20 21\r\n",
         kGoodOutbreak, 16.0f, 1, 2, ""},
        {"values spread over lines as they come",
         std::string("ncols 4 nrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\n"
                     "NODATA_value -9999\n10 11 12 13 14 15\n16 17 18 19 20 21"),
         kGoodOutbreak, 16.0f, 1, 2, ""},
        {"outbreak coordinates as reals are truncated", kGoodGrid, "1.0\n2.9 2.7\n", 16.0f, 2, 2, ""},
        {"cells reading the header's own NODATA_value",
         "ncols 4\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n"
         "10 11 12 13\n14 15 -9999 17\n18 19 20 21\n",
         kGoodOutbreak, -9999.0f, 1, 2, "1 cells read the header's NODATA_value -9999"},
        {"outbreak cell repeated", kGoodGrid, "2\n1 2\n1 2\n", 16.0f, 1, 2,
         "1 entries repeat a cell already listed"},
    };
    for (const AcceptedCase& item : cases) {
        SCOPED_TRACE(item.name);
        CAFlood engine;
        testing::internal::CaptureStderr();
        // The one interior cell beside the outbreak cell at (1, 1) is (1, 2); its other face leads into
        // the border, which the engine reports as outflow that does not reach the grid.
        const bool loaded = engine.loadInputs(write(kGoodGrid, item.elevation, item.outbreak));
        const std::string said = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(loaded) << said;
        EXPECT_EQ(engine.cellRows()[1][2].ground,
                  item.outbreakColumn == 2 ? 9999.0f : item.groundAtRow1Column2);
        ASSERT_FALSE(engine.outbreakCells().empty());
        EXPECT_EQ(engine.outbreakCells().front(),
                  std::make_pair(item.outbreakColumn, item.outbreakRowFromBottom));
        if (*item.diagnostic != '\0') {
            EXPECT_NE(said.find(item.diagnostic), std::string::npos) << said;
        }
    }
}

}  // namespace
