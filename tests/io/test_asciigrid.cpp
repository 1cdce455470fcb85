// The ESRI ASCII grid reader both engines share: the header by keyword in any order, the origin as corner
// or centre, the optional NODATA_value, any line ends, and the geometry a terrain grid may have.
#include <gtest/gtest.h>

#include <vector>

#include "asciigrid.h"

namespace {

struct GridRead {
    bool opened = false;
    AsciiGridHeader header;
    std::vector<double> values;
    std::vector<bool> noData;
    bool finished = false;
    std::string problem;
};

GridRead read(const std::string& text) {
    GridRead read;
    AsciiGridReader reader;
    read.opened = reader.openText(text, read.problem);
    if (!read.opened) {
        return read;
    }
    read.header = reader.header();
    for (long long i = 0; i < reader.cellCount(); ++i) {
        double value = 0;
        bool noData = false;
        if (!reader.nextValue(value, noData, read.problem)) {
            return read;
        }
        read.values.push_back(value);
        read.noData.push_back(noData);
    }
    read.finished = reader.finish(read.problem);
    return read;
}

TEST(AsciiGrid, HeaderIsReadByKeywordInAnyOrderWithAnyLineEnds) {
    const std::vector<double> values = {1, 2, 3, 4, 5, 6};
    const struct {
        const char* what;
        std::string text;
        double xll, yll;
        bool hasNodata;
    } cases[] = {
        {"the usual order",
         "ncols 3\nnrows 2\nxllcorner 100\nyllcorner 200\ncellsize 10\nNODATA_value -9999\n"
         "1 2 3\n4 5 6\n",
         100, 200, true},
        {"nrows before ncols", "nrows 2\nncols 3\nxllcorner 100\nyllcorner 200\ncellsize 10\n1 2 3\n4 5 6\n",
         100, 200, false},
        {"cell size before the origin",
         "NCOLS 3\nNROWS 2\nCELLSIZE 10\nYLLCORNER 200\nXLLCORNER 100\n"
         "1 2 3 4 5 6",
         100, 200, false},
        {"origin at the centre of the lower-left cell",
         "ncols 3\nnrows 2\nxllcenter 105\nyllcenter 205\ncellsize 10\nnodata_value -1\n1 2 3\n4 5 6\n", 100,
         200, true},
        {"carriage returns only",
         "ncols 3\rnrows 2\rxllcorner 100\ryllcorner 200\rcellsize 10\r1 2 3\r4 5 6\r", 100, 200, false},
        {"Windows line ends and tabs",
         "ncols\t3\r\nnrows\t2\r\nxllcorner\t100\r\nyllcorner\t200\r\ncellsize\t10\r\nNODATA_value\t0\r\n"
         "1\t2\t3\r\n4\t5\t6\r\n",
         100, 200, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const GridRead grid = read(c.text);
        ASSERT_TRUE(grid.opened) << grid.problem;
        EXPECT_EQ(grid.header.ncols, 3);
        EXPECT_EQ(grid.header.nrows, 2);
        EXPECT_EQ(grid.header.xllcorner, c.xll);
        EXPECT_EQ(grid.header.yllcorner, c.yll);
        EXPECT_EQ(grid.header.cellsize, 10);
        EXPECT_EQ(grid.header.hasNodata, c.hasNodata);
        EXPECT_EQ(grid.values, values);
        EXPECT_TRUE(grid.finished) << grid.problem;
    }
}

TEST(AsciiGrid, CellsReadingTheNodataValueAreMarked) {
    GridRead grid = read(
        "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n"
        "1 -9999\n-9999.0 9999\n");
    ASSERT_TRUE(grid.finished) << grid.problem;
    EXPECT_EQ(grid.noData, (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(grid.values[3], 9999);

    // Other programs mark cells without data with nan.
    grid = read("ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value NaN\n1 nan\n");
    ASSERT_TRUE(grid.finished) << grid.problem;
    EXPECT_EQ(grid.noData, (std::vector<bool>{false, true}));

    // Without a NODATA_value line every value is a value.
    grid = read("ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 -9999\n");
    ASSERT_TRUE(grid.finished) << grid.problem;
    EXPECT_EQ(grid.noData, (std::vector<bool>{false, false}));
}

TEST(AsciiGrid, RefusesHeadersThatAreIncompleteAmbiguousOrImplausible) {
    const std::string tail = "1 2 3 4 5 6\n";
    const std::string corner = "xllcorner 0\nyllcorner 0\n";
    const struct {
        const char* what;
        std::string text;
        const char* problem;
    } cases[] = {
        {"empty file", "", "the file is empty"},
        {"blanks only", " \r\n\t", "the file is empty"},
        {"no nrows", "ncols 3\n" + corner + "cellsize 10\n" + tail, "the header has no \"nrows\""},
        {"no origin", "ncols 3\nnrows 2\nyllcorner 0\ncellsize 10\n" + tail,
         "the header has no \"xllcorner\" (or \"xllcenter\")"},
        {"corner and centre", "ncols 3\nnrows 2\nxllcorner 0\nxllcenter 5\nyllcorner 0\ncellsize 10\n" + tail,
         "gives \"xllcorner\" twice"},
        {"ncols twice", "ncols 3\nncols 3\nnrows 2\n" + corner + "cellsize 10\n" + tail,
         "gives \"ncols\" twice"},
        {"rectangular cells", "ncols 3\nnrows 2\n" + corner + "dx 10\ndy 5\n" + tail,
         "\"dx\", which is not a keyword of an ESRI ASCII grid"},
        {"keyword without value", "ncols 3\nnrows 2\n" + corner + "cellsize",
         "ends after \"cellsize\" without"},
        {"value not a number", "ncols three\nnrows 2\n" + corner + "cellsize 10\n" + tail,
         "the header value of \"ncols\" is \"three\", not a number"},
        {"hexadecimal size", "ncols 0x3\nnrows 2\n" + corner + "cellsize 10\n" + tail,
         "is \"0x3\", not a number"},
        {"fractional rows", "ncols 3\nnrows 2.5\n" + corner + "cellsize 10\n" + tail,
         "nrows 2.5 is not a positive whole number"},
        {"no columns", "ncols 0\nnrows 2\n" + corner + "cellsize 10\n" + tail,
         "ncols 0 is not a positive whole number"},
        {"cell size 1e-20", "ncols 3\nnrows 2\n" + corner + "cellsize 1e-20\n" + tail,
         "cellsize 1e-20 is not a plausible cell size (0.01 m to 100000 m)"},
        {"cell size 1e-40", "ncols 3\nnrows 2\n" + corner + "cellsize 1e-40\n" + tail,
         "cellsize 1e-40 is not a plausible cell size"},
        {"negative cell size", "ncols 3\nnrows 2\n" + corner + "cellsize -10\n" + tail,
         "cellsize -10 is not a plausible cell size"},
        {"cell size of a continent", "ncols 3\nnrows 2\n" + corner + "cellsize 5e6\n" + tail,
         "cellsize 5000000 is not a plausible"},
        {"origin 1e308", "ncols 3\nnrows 2\nxllcorner 1e308\nyllcorner 0\ncellsize 10\n" + tail,
         "xllcorner 1e+308 is not a plausible map coordinate"},
        {"centre beyond the map", "ncols 3\nnrows 2\nxllcorner 0\nyllcenter -2e8\ncellsize 10\n" + tail,
         "yllcenter -200000000 is not a plausible map coordinate"},
        {"grid reaching beyond the map",
         "ncols 3\nnrows 2\nxllcorner 99999990\nyllcorner 0\ncellsize 10\n" + tail,
         "reaches 100000020, not a plausible map coordinate"},
        {"header promising more than the file holds",
         "ncols 100000\nnrows 100000\n" + corner + "cellsize 10\n" + tail,
         "promises 100000 x 100000 values, more than the rest of the file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const GridRead grid = read(c.text);
        EXPECT_FALSE(grid.opened);
        EXPECT_NE(grid.problem.find(c.problem), std::string::npos) << grid.problem;
    }
}

TEST(AsciiGrid, RefusesValuesThatAreNotNumbersAndGridsOfAnotherSize) {
    const std::string header =
        "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n";
    const struct {
        const char* what;
        std::string values;
        const char* problem;
    } cases[] = {
        {"nan without a nan NODATA_value", "1 2 3\n4 nan 6\n",
         "value 5 (row 1, column 1) is \"nan\", not a number"},
        {"infinity", "1 2 inf\n4 5 6\n", "value 3 (row 0, column 2) is \"inf\""},
        {"leading digits only", "1 2 3\n7abc 5 6\n", "value 4 (row 1, column 0) is \"7abc\""},
        {"beyond a double", "1 2 3\n4 5 1e400\n", "is \"1e400\", not a number"},
        {"garbage", std::string("1 2 3\n4 5 \x01\xff\n"), "is \"??\", not a number"},
        {"one value short", "1 2 3\n4 5\n", "the grid holds 5 values, fewer than the 6 its header promises"},
        {"a row too many", "1 2 3\n4 5 6\n7 8 9\n",
         "holds more than the 3 x 2 values its header gives (next: \"7\")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const GridRead grid = read(header + c.values);
        ASSERT_TRUE(grid.opened) << grid.problem;
        EXPECT_FALSE(grid.finished);
        EXPECT_NE(grid.problem.find(c.problem), std::string::npos) << grid.problem;
    }
}

TEST(AsciiGrid, FileThatCannotBeReadSaysWhy) {
    AsciiGridReader reader;
    std::string problem;
    EXPECT_FALSE(reader.open("/dev/zero", problem));
    EXPECT_EQ(reader.fileStatus(), FileReadStatus::notRegular);
    EXPECT_FALSE(reader.open("/no/such/grid.asc", problem));
    EXPECT_EQ(reader.fileStatus(), FileReadStatus::missing);
}

}  // namespace
