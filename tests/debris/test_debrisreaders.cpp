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

    QTemporaryDir folder;
    CADebrisFlow model;
    std::string problem;
};

TEST_F(DebrisReaders, ReadsAGridByPositionNorthernRowFirst) {
    // Keywords are not checked, the no-data line is skipped whole and its value is an ordinary height;
    // a token is read for its leading number, and one without a number reads as 0.
    debristest::writeText(path("grid.asc"),
                          "NCOLS 3\r\nnrows 2\r\nwhatever 1000.5\r\nyllcorner -20\r\ncellsize 12.5\r\n"
                          "NODATA_value -9999 extra\r\n"
                          "1 2.5 -9999\r\n  4e2\t12abc   abc\r\n");
    int rows = 0;
    int cols = 0;
    double minX = 0;
    double minY = 0;
    double cellSize = 0;
    const auto grid = model.readGrid(path("grid.asc"), rows, cols, minX, minY, cellSize, problem);
    ASSERT_TRUE(grid) << problem;
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(cols, 3);
    EXPECT_EQ(minX, 1000.5);
    EXPECT_EQ(minY, -20);
    EXPECT_EQ(cellSize, 12.5);
    ASSERT_EQ(grid->rows(), 2);
    ASSERT_EQ(grid->cols(), 3);
    const double expected[2][3] = {{1, 2.5, -9999}, {400, 12, 0}};
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ((*grid)[r][c].elevation, expected[r][c]) << r << ", " << c;
            EXPECT_EQ((*grid)[r][c].depth, 0);
            EXPECT_EQ((*grid)[r][c].packetCount, 0);
        }
    }
}

TEST_F(DebrisReaders, RefusesMalformedGrids) {
    const std::string header =
        "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n";
    struct Case {
        const char* what;
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        debristest::writeText(path("bad.asc"), c.text);
        int rows = -1;
        int cols = -1;
        double minX = 0;
        double minY = 0;
        double cellSize = 0;
        problem.clear();
        EXPECT_FALSE(model.readGrid(path("bad.asc"), rows, cols, minX, minY, cellSize, problem));
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
    }
}

// A header that promises far more heights than the file holds is refused before the grid is allocated.
TEST_F(DebrisReaders, RefusesAnOverpromisingGridBeforeAllocating) {
    debristest::writeText(
        path("big.asc"),
        "ncols 4000\nnrows 4000\nxllcorner 0\nyllcorner 0\ncellsize 10\nNODATA_value 0\n1 2 3\n");
    int rows = 0;
    int cols = 0;
    double minX = 0;
    double minY = 0;
    double cellSize = 0;
    allocationprobe::resetLargest();
    EXPECT_FALSE(model.readGrid(path("big.asc"), rows, cols, minX, minY, cellSize, problem));
    EXPECT_LT(allocationprobe::largest(), 65536u);
    EXPECT_NE(problem.find("(16000000) but holds only 3"), std::string::npos) << problem;
}

TEST_F(DebrisReaders, ReadsTheBreachFile) {
    // The leading number is returned on its own; rows and columns are truncated towards zero.
    debristest::writeText(path("breach.txt"), "45.5\n3\n12 7\n 2.9\t-0.5\n8 9x\n99 99\n");
    int count = -1;
    double leading = 0;
    const auto cells = model.readBreachFile(path("breach.txt"), count, leading, problem);
    ASSERT_TRUE(cells) << problem;
    EXPECT_EQ(count, 3);
    EXPECT_EQ(leading, 45.5);
    ASSERT_EQ(cells->size(), 3u);
    EXPECT_EQ((*cells)[0].row, 12);
    EXPECT_EQ((*cells)[0].col, 7);
    EXPECT_EQ((*cells)[1].row, 2);
    EXPECT_EQ((*cells)[1].col, 0);
    EXPECT_EQ((*cells)[2].row, 8);
    EXPECT_EQ((*cells)[2].col, 9);

    debristest::writeText(path("none.txt"), "0 0\n");
    const auto none = model.readBreachFile(path("none.txt"), count, leading, problem);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
    EXPECT_EQ(count, 0);
}

TEST_F(DebrisReaders, RefusesMalformedBreachFiles) {
    struct Case {
        const char* what;
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        debristest::writeText(path("bad.txt"), c.text);
        int count = -1;
        double leading = 0;
        problem.clear();
        allocationprobe::resetLargest();
        EXPECT_FALSE(model.readBreachFile(path("bad.txt"), count, leading, problem));
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
        EXPECT_LT(allocationprobe::largest(), 65536u);
    }
}

TEST_F(DebrisReaders, SaysWhenAFileCannotBeOpened) {
    int rows = 0;
    int cols = 0;
    int count = 0;
    double value = 0;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(model.readGrid(path("missing.asc"), rows, cols, value, value, value, problem));
    EXPECT_NE(problem.find("cannot open the terrain grid"), std::string::npos) << problem;
    EXPECT_FALSE(model.readBreachFile(path("missing.txt"), count, value, problem));
    EXPECT_NE(problem.find("cannot open the breach file"), std::string::npos) << problem;
    // A folder is no grid either.
    EXPECT_FALSE(model.readGrid(folder.path().toStdString(), rows, cols, value, value, value, problem));
    EXPECT_NE(problem.find("it is not a regular file"), std::string::npos) << problem;
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Open file is failed\nOpen file is failed\nOpen file is failed\n");
}

}  // namespace
