// The terrain grid and breach file readers, on files written by the tests: what they read, and how they
// refuse files that do not hold what they promise.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>

#include "allocationprobe.h"
#include "cadebrisflow.h"
#include "debristestdata.h"

namespace {

class DebrisReaders : public ::testing::Test {
protected:
    std::string path(const std::string& name) const {
        return folder.filePath(QString::fromStdString(name)).toStdString();
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

TEST_F(DebrisReaders, ReadsAGridByPositionNorthernRowFirst) {
    // Keywords are not checked, the no-data line is skipped whole and its value is an ordinary height;
    // a token is read for its leading number, and one without a number reads as 0.
    const GridRead read = readGrid(
        "NCOLS 3\r\nnrows 2\r\nwhatever 1000.5\r\nyllcorner -20\r\ncellsize 12.5\r\nNODATA_value -9999 "
        "extra\r\n"
        "1 2.5 -9999\r\n  4e2\t12abc   abc\r\n");
    ASSERT_TRUE(read.grid) << problem;
    EXPECT_EQ(read.rows, 2);
    EXPECT_EQ(read.cols, 3);
    EXPECT_EQ(read.minX, 1000.5);
    EXPECT_EQ(read.minY, -20);
    EXPECT_EQ(read.cellSize, 12.5);
    const DebrisGrid& grid = *read.grid;
    ASSERT_EQ(grid.rows(), 2);
    ASSERT_EQ(grid.cols(), 3);
    const double expected[2][3] = {{1, 2.5, -9999}, {400, 12, 0}};
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            SCOPED_TRACE(std::to_string(r) + ", " + std::to_string(c));
            EXPECT_EQ(grid[r][c].elevation, expected[r][c]);
            EXPECT_EQ(grid[r][c].depth, 0);
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
        {"empty file", "", "ends before its ncols value"},
        {"header cut short", "ncols 3\nnrows 2\nxllcorner", "ends before its xllcorner value"},
        {"columns not a number",
         "ncols abc\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value 0\n",
         "ncols value of the terrain grid, \"abc\", is not a whole number"},
        {"no rows", "ncols 3\nnrows 0\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value 0\n",
         "nrows value of the terrain grid, \"0\", is not a whole number from 1 to 25000000"},
        {"negative columns", "ncols -3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value 0\n",
         "ncols value of the terrain grid, \"-3\", is not a whole number from 1"},
        {"corner beyond a double",
         "ncols 3\nnrows 2\nxllcorner 1e999\nyllcorner 0\ncellsize 10\nNODATA_value 0\n",
         "xllcorner value of the terrain grid, \"1e999\", is out of range"},
        {"one height short", header + "1 2 3\n4 5\n", "promises 2 rows of 3 heights (6) but holds only 5"},
        {"height beyond a double", header + "1 2 3\n4 5 -2e400\n",
         "row 1, column 2 of the terrain grid, \"-2e400\""},
        {"grid beyond a run",
         "ncols 100000\nnrows 100000\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value 0\n1\n",
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
    writeTextFile(path("big.asc"),
                  "ncols 4000\nnrows 4000\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value 0\n1 2 3\n");
    allocationprobe::resetLargest();
    EXPECT_FALSE(readGrid(nullptr, "big.asc").grid);
    EXPECT_LT(allocationprobe::largest(), 65536u);
    EXPECT_NE(problem.find("(16000000) but holds only 3"), std::string::npos) << problem;
}

TEST_F(DebrisReaders, ReadsTheBreachFile) {
    // The leading number is returned on its own; rows and columns are truncated towards zero.
    const BreachRead read = readBreach("45.5\n3\n12 7\n 2.9\t-0.5\n8 9x\n99 99\n");
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
        {"count beyond the cells listed", "0 3\n1 2\n3 4\n", "lists 3 breach cells but holds 4 numbers"},
        {"huge count", "0 1000000000\n1 2\n", "lists 1000000000 breach cells but holds 2 numbers"},
        {"count beyond an int", "0 3000000000\n1 2\n", "\"3000000000\", is not a whole number from 0"},
        {"row beyond an int", "0 1\n1e12 4\n", "breach cell 1 has the index \"1e12\", which is out of range"},
        {"leading number beyond a double", "1e500 1\n1 4\n", "first number of the breach file"},
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
    // A folder is no grid either.
    EXPECT_FALSE(readGrid(nullptr, ".").grid);
    EXPECT_NE(problem.find("it is not a regular file"), std::string::npos) << problem;
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Open file is failed\nOpen file is failed\nOpen file is failed\n");
}

}  // namespace
