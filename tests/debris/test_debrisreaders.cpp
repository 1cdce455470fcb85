// The terrain grid and breach file readers, on files written by the tests: what they read, and how they
// refuse files that do not hold what they promise.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QTemporaryDir>
#include <string>

#include "allocationprobe.h"
#include "cadebrisflow.h"
#include "debristestdata.h"

namespace {

class DebrisReaders : public ::testing::Test {
protected:
    std::string path(const std::string& name) const {
        return name.rfind('/', 0) == 0 ? name : folder.filePath(QString::fromStdString(name)).toStdString();
    }

    // What readGrid gives for `text` (written to a file first unless null: then `file` is read as it is).
    struct GridRead {
        std::optional<DebrisGrid> grid;
        int rows = -1, cols = -1;
        double minX = 0, minY = 0, cellSize = 0;
    };
    GridRead readGrid(const char* text, const std::string& file = "grid.asc") {
        if (text) {
            writeTextFile(path(file), text);
        }
        GridRead read;
        problem.clear();
        read.grid =
            model.readGrid(path(file), read.rows, read.cols, read.minX, read.minY, read.cellSize, problem);
        return read;
    }
    struct BreachRead {
        std::optional<BreachList> cells;
        int count = -1;
        double leading = 0;
    };
    BreachRead readBreach(const char* text, const std::string& file = "breach.txt") {
        if (text) {
            writeTextFile(path(file), text);
        }
        BreachRead read;
        problem.clear();
        read.cells = model.readBreachFile(path(file), read.count, read.leading, problem);
        return read;
    }

    QTemporaryDir folder;
    CADebrisFlow model;
    std::string problem;
};

TEST_F(DebrisReaders, ReadsAGridByKeywordNorthernRowFirst) {
    // The header in another order, with its origin at a cell centre and Windows line ends; cells reading
    // the NODATA_value lie outside the terrain.
    const GridRead read = readGrid(
        "NROWS 2\r\nncols 3\r\nxllcenter 1006.75\r\nyllcorner -20\r\ncellsize 12.5\r\nNODATA_value -9999\r\n"
        "1 2.5 -9999\r\n  4e2\t12   -0.5\r\n");
    ASSERT_TRUE(read.grid) << problem;
    EXPECT_EQ(read.rows, 2);
    EXPECT_EQ(read.cols, 3);
    EXPECT_EQ(read.minX, 1000.5);
    EXPECT_EQ(read.minY, -20);
    EXPECT_EQ(read.cellSize, 12.5);
    const DebrisGrid& grid = *read.grid;
    ASSERT_EQ(grid.rows(), 2);
    ASSERT_EQ(grid.cols(), 3);
    const double expected[2][3] = {{1, 2.5, CADebrisFlow::noDataElevation}, {400, 12, -0.5}};
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            SCOPED_TRACE(std::to_string(r) + ", " + std::to_string(c));
            EXPECT_EQ(grid[r][c].elevation, expected[r][c]);
            EXPECT_EQ(grid.depths(r)[c], 0);
            EXPECT_EQ(grid[r][c].packetCount, 0);
        }
    }
}

TEST_F(DebrisReaders, RefusesMalformedGrids) {
    const std::string header =
        "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n";
    const struct {
        const char* what;
        std::string text;
        const char* reason;
    } cases[] = {
        {"empty file", "", "the file is empty"},
        {"header cut short", "ncols 3\nnrows 2\nxllcorner", "ends after \"xllcorner\" without its value"},
        {"columns not a number",
         "ncols abc\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value 0\n",
         "the header value of \"ncols\" is \"abc\", not a number"},
        {"no rows", "ncols 3\nnrows 0\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value 0\n",
         "nrows 0 is not a positive whole number"},
        {"corner beyond a double",
         "ncols 3\nnrows 2\nxllcorner 1e999\nyllcorner 0\ncellsize 10\nNODATA_value 0\n",
         "the header value of \"xllcorner\" is \"1e999\", not a number"},
        {"cell size of 1e-20 m", "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1e-20\n1 2 3 4 5 6\n",
         "cellsize 1e-20 is not a plausible cell size"},
        {"one height short", header + "1 2 3\n4 5\n", "the grid holds 5 values, fewer than the 6"},
        {"a height too many", header + "1 2 3\n4 5 6 7\n", "holds more than the 3 x 2 values"},
        {"height beyond a double", header + "1 2 3\n4 5 -2e400\n", "value 6 (row 1, column 2) is \"-2e400\""},
        // Read for their leading digits, or as 0, these would run on a terrain that is not there.
        {"height nan", header + "1 2 3\n4 nan 6\n", "value 5 (row 1, column 1) is \"nan\", not a number"},
        {"height inf", header + "inf 2 3\n4 5 6\n", "value 1 (row 0, column 0) is \"inf\", not a number"},
        {"height with text after it", header + "1 2 3\n4 5 12abc\n", "is \"12abc\", not a number"},
        {"height of text", header + "1 2 abc\n4 5 6\n", "is \"abc\", not a number"},
        {"height beyond any terrain", header + "1 2 3\n4 5 -3.4e38\n",
         "value 6 (row 1, column 2) is -3.4e+38, beyond any terrain"},
        {"grid beyond a run",
         "ncols 100000\nnrows 100000\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value 0\n1\n",
         "promises 100000 x 100000 values, more than the rest of the file"},
        {"grid of more cells than a run holds",
         "ncols 6000\nnrows 5000\nxllcorner 0\nyllcorner 0\ncellsize 10\n" + std::string(60000000, '1'),
         "larger than the 25000000 cells a run can hold"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(readGrid(c.text.c_str()).grid);
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
    }
}

// A header that promises far more heights than the file holds is refused before the grid is allocated.
TEST_F(DebrisReaders, RefusesAnOverpromisingGridBeforeAllocating) {
    const std::string header =
        "ncols 4000\nnrows 4000\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value 0\n";
    const struct {
        const char* what;
        std::string values;
        const char* reason;
    } cases[] = {
        {"three heights", "1 2 3\n", "promises 4000 x 4000 values, more than the rest of the file"},
        // Bytes enough for the values, but blanks instead of most of them.
        {"blanks", "1 2 3" + std::string(40000000, ' '), "the grid holds 3 values, fewer than the 16000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeTextFile(path("big.asc"), header + c.values);
        allocationprobe::resetLargest();
        EXPECT_FALSE(readGrid(nullptr, "big.asc").grid);
        // The file itself is read into memory, nothing more.
        EXPECT_LT(allocationprobe::largest(), header.size() + c.values.size() + 65536u);
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
    }
}

TEST_F(DebrisReaders, ReadsTheBreachFile) {
    // The leading number is returned on its own; rows and columns are whole numbers.
    const BreachRead read = readBreach("45.5\r\n3\n12 7\n 2\t-0\r8.0 9\n");
    ASSERT_TRUE(read.cells) << problem;
    EXPECT_EQ(read.count, 3);
    EXPECT_EQ(read.leading, 45.5);
    ASSERT_EQ(read.cells->size(), 3u);
    const int expected[3][2] = {{12, 7}, {2, 0}, {8, 9}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ((*read.cells)[i].row, expected[i][0]) << i;
        EXPECT_EQ((*read.cells)[i].col, expected[i][1]) << i;
    }

    const BreachRead none = readBreach("0 0\n", "none.txt");
    ASSERT_TRUE(none.cells);
    EXPECT_TRUE(none.cells->empty());
    EXPECT_EQ(none.count, 0);
}

TEST_F(DebrisReaders, RefusesMalformedBreachFiles) {
    const struct {
        const char *what, *text, *reason;
    } cases[] = {
        {"empty file", " \n", "is empty"},
        {"no count", "0\n", "no count of breach cells"},
        {"negative count", "0 -1 2 3", "\"-1\", is not a whole number from 0 to 1073741823"},
        {"count not a number", "0 many 2 3", "\"many\", is not a whole number"},
        {"count a fraction", "0 1.5 2 3", "\"1.5\", is not a whole number"},
        {"count beyond the cells listed", "0 3\n1 2\n3 4\n", "lists 3 breach cells but holds 4 numbers"},
        {"huge count", "0 1000000000\n1 2\n", "lists 1000000000 breach cells but holds 2 numbers"},
        {"count beyond an int", "0 3000000000\n1 2\n", "\"3000000000\", is not a whole number from 0"},
        {"row beyond an int", "0 1\n1e12 4\n",
         "breach cell 1 has the index \"1e12\", which is not a whole number"},
        {"row a fraction", "0 1\n2.9 4\n", "breach cell 1 has the index \"2.9\""},
        {"column in hexadecimal", "0 1\n2 0x4\n", "breach cell 1 has the index \"0x4\""},
        {"column with text after it", "0 1\n2 9x\n", "breach cell 1 has the index \"9x\""},
        {"a pair more than counted", "0 1\n2 4\n99 99\n",
         "lists 1 breach cells but holds more than 2 numbers"},
        {"text after the pairs", "0 1\n2 4\nend\n", "holds more than 2 numbers"},
        {"leading number beyond a double", "1e500 1\n1 4\n", "first number of the breach file, \"1e500\""},
        {"leading number with text after it", "7abc 1\n1 4\n", "first number of the breach file, \"7abc\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        allocationprobe::resetLargest();
        EXPECT_FALSE(readBreach(c.text).cells);
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
        EXPECT_LT(allocationprobe::largest(), 65536u);
    }
}

TEST_F(DebrisReaders, SaysWhenAFileCannotBeOpened) {
    testing::internal::CaptureStdout();
    EXPECT_FALSE(readGrid(nullptr, "missing.asc").grid);
    EXPECT_NE(problem.find("cannot open the terrain grid"), std::string::npos) << problem;
    EXPECT_FALSE(readBreach(nullptr, "missing.txt").cells);
    EXPECT_NE(problem.find("cannot open the breach file"), std::string::npos) << problem;
    // A folder, a device or a pipe is no grid either, and is not read.
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    for (const std::string& other : {std::string("."), std::string("/dev/zero"), path("pipe")}) {
        EXPECT_FALSE(readGrid(nullptr, other).grid);
        EXPECT_NE(problem.find("is not a regular file"), std::string::npos) << problem;
    }
    EXPECT_FALSE(readBreach(nullptr, "/dev/zero").cells);
    EXPECT_NE(problem.find("is not a regular file"), std::string::npos) << problem;
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(said,
              "Open file is failed\nOpen file is failed\nOpen file is failed\nOpen file is failed\n"
              "Open file is failed\nOpen file is failed\n");
}

}  // namespace
