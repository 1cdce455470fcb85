// The display-state file of a flood result folder, written and read by FloodHud.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "floodhud.h"
#include "floodtestdata.h"

namespace {

class FloodHudTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    std::string path(const char* name) const { return folder.filePath(name).toStdString(); }
    static std::string contents(const std::string& file) {
        QFile in(QString::fromStdString(file));
        return in.open(QIODevice::ReadOnly) ? in.readAll().toStdString() : "(unreadable)";
    }

    QTemporaryDir folder;
};

struct StateCase {
    FloodHud state;
    const char* file;   // what writeState writes
    FloodHud readBack;  // what readState makes of it: six significant digits survive
};

FloodHud makeState(float time, float residual, float capacity, int low, int high) {
    FloodHud hud;
    hud.time = time;
    hud.residual = residual;
    hud.capacity = capacity;
    hud.colourLow = low;
    hud.colourHigh = high;
    return hud;
}

TEST_F(FloodHudTest, StateFileHoldsFiveLinesAndReadsBack) {
    const StateCase cases[] = {
        {makeState(59.9f, 25000.0f, 1e8f, 0, 20), "59.9\n25000\n1e+08\n0\n20",
         makeState(59.9f, 25000.0f, 1e8f, 0, 20)},
        {makeState(11303.4f, 0.0f, 3e6f, -2, 12), "11303.4\n0\n3e+06\n-2\n12",
         makeState(11303.4f, 0.0f, 3e6f, -2, 12)},
        {makeState(1234.5678f, 98765432.0f, 123456789.0f, 5, 6), "1234.57\n9.87654e+07\n1.23457e+08\n5\n6",
         makeState(1234.57f, 98765400.0f, 123457000.0f, 5, 6)},
    };
    for (const StateCase& item : cases) {
        SCOPED_TRACE(item.file);
        const std::string file = path("state.txt");
        ASSERT_TRUE(item.state.writeState(file));
        EXPECT_EQ(contents(file), item.file);
        FloodHud hud = makeState(-1.0f, -1.0f, -1.0f, -1, -1);
        ASSERT_TRUE(hud.readState(file));
        EXPECT_FLOAT_EQ(hud.time, item.readBack.time);
        EXPECT_FLOAT_EQ(hud.residual, item.readBack.residual);
        EXPECT_FLOAT_EQ(hud.capacity, item.readBack.capacity);
        EXPECT_EQ(hud.colourLow, item.readBack.colourLow);
        EXPECT_EQ(hud.colourHigh, item.readBack.colourHigh);
    }
}

struct ReadCase {
    const char* name;
    const char* file;
    FloodHud expected;
    const char* said;  // on standard output; empty: nothing
};

TEST_F(FloodHudTest, MissingOrUnreadableLinesReadAsZero) {
    const ReadCase cases[] = {
        {"two lines", "12.5\n300\n", makeState(12.5f, 300.0f, 0.0f, 0, 0), ""},
        {"empty file", "", makeState(0.0f, 0.0f, 0.0f, 0, 0), ""},
        {"Windows line ends", "7.5\r\n8\r\n9\r\n1\r\n2", makeState(7.5f, 8.0f, 9.0f, 1, 2), ""},
        {"a word instead of a number", "7.5\nlots\n9\n1\n2", makeState(7.5f, 0.0f, 9.0f, 1, 2),
         "line 2 \"lots\" is not a number; it reads as 0"},
        {"a real where an integer belongs", "7.5\n8\n9\n1.5\n2", makeState(7.5f, 8.0f, 9.0f, 0, 2),
         "line 4 \"1.5\" is not a number"},
    };
    for (const ReadCase& item : cases) {
        SCOPED_TRACE(item.name);
        const std::string file = path("read.txt");
        writeTextFile(file, item.file);
        FloodHud hud = makeState(-1.0f, -1.0f, -1.0f, -1, -1);
        testing::internal::CaptureStdout();
        ASSERT_TRUE(hud.readState(file));
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_FLOAT_EQ(hud.time, item.expected.time);
        EXPECT_FLOAT_EQ(hud.residual, item.expected.residual);
        EXPECT_FLOAT_EQ(hud.capacity, item.expected.capacity);
        EXPECT_EQ(hud.colourLow, item.expected.colourLow);
        EXPECT_EQ(hud.colourHigh, item.expected.colourHigh);
        if (*item.said == '\0') {
            EXPECT_EQ(said, "");
        } else {
            EXPECT_NE(said.find(item.said), std::string::npos) << said;
        }
    }
}

TEST_F(FloodHudTest, UnopenableFilesSayOpenFailed) {
    FloodHud hud = makeState(5.0f, 6.0f, 7.0f, 8, 9);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(hud.readState(path("no-such-file.txt")));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Open failed.\n");
    EXPECT_EQ(hud.time, 5.0f);
    EXPECT_EQ(hud.residual, 6.0f);
    EXPECT_EQ(hud.capacity, 7.0f);
    EXPECT_EQ(hud.colourLow, 8);
    EXPECT_EQ(hud.colourHigh, 9);

    testing::internal::CaptureStdout();
    EXPECT_FALSE(hud.writeState(path("no-such-folder/1.txt")));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Open failed.\n");
}

}  // namespace
