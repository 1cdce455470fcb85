#include <gtest/gtest.h>

#include "monitorseries.h"

namespace {

const std::string kHeader = "result,time_s,point,x,y,depth_m,speed_m_s,flow_m2_s\n";

}  // namespace

// Rows of two points interleaved by result, as a run writes them, come back as one series per point in
// point order; Windows line ends read alike.
TEST(MonitorSeriesTest, GroupsRowsByPointInResultOrder) {
    const std::string text = kHeader +
                             "1,4.000,2,10.0,20.0,0.5,1.0,2.0\r\n"
                             "1,4.000,1,30.0,40.0,0.0,0.0,0.0\r\n"
                             "2,8.000,2,10.0,20.0,0.75,1.5,3.0\r\n"
                             "2,8.000,1,30.0,40.0,0.25,0.5,0.125\r\n";
    std::vector<MonitorSeries> series;
    std::string problem;
    ASSERT_TRUE(parseMonitorsCsv(text, series, problem)) << problem;
    ASSERT_EQ(series.size(), 2u);
    EXPECT_EQ(series[0].point, 1);
    EXPECT_EQ(series[0].x, 30.0);
    EXPECT_EQ(series[0].result, (std::vector<int>{1, 2}));
    EXPECT_EQ(series[0].depth, (std::vector<float>{0.0f, 0.25f}));
    EXPECT_EQ(series[0].flow, (std::vector<float>{0.0f, 0.125f}));
    EXPECT_EQ(series[1].point, 2);
    EXPECT_EQ(series[1].time, (std::vector<float>{4.0f, 8.0f}));
    EXPECT_EQ(series[1].speed, (std::vector<float>{1.0f, 1.5f}));

    // A replay that has shown result 1 sees only its row.
    const std::vector<MonitorSeries> cut = seriesUpToResult(series, 1);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[1].depth, (std::vector<float>{0.5f}));
    EXPECT_EQ(cut[1].flow.size(), 1u);
    EXPECT_TRUE(seriesUpToResult(series, 0)[0].result.empty());
}

// A file the program did not write as it stands is refused whole, with the line that is wrong, rather
// than plotted in part.
TEST(MonitorSeriesTest, RefusesRowsNoRunWrites) {
    const struct {
        const char* name;
        std::string text;
        const char* said;
    } cases[] = {
        {"empty", "", "empty"},
        {"other header", "result,time,point\n1,4,1\n", "line 1"},
        {"missing field", kHeader + "1,4.0,1,10,20,0.5,1.0\n", "line 2"},
        {"extra field", kHeader + "1,4.0,1,10,20,0.5,1.0,2.0,9\n", "line 2"},
        {"text for a number", kHeader + "1,4.0,1,10,20,deep,1.0,2.0\n", "line 2"},
        {"number with trailing text", kHeader + "1,4.0,1,10,20,0.5abc,1.0,2.0\n", "line 2"},
        {"point 0", kHeader + "1,4.0,0,10,20,0.5,1.0,2.0\n", "line 2"},
        {"point beyond the list", kHeader + "1,4.0,1001,10,20,0.5,1.0,2.0\n", "line 2"},
        {"fractional result", kHeader + "1.5,4.0,1,10,20,0.5,1.0,2.0\n", "line 2"},
        {"value beyond a float", kHeader + "1,4.0,1,10,20,1e300,1.0,2.0\n", "line 2"},
        {"not a number", kHeader + "1,nan,1,10,20,0.5,1.0,2.0\n", "line 2"},
        {"results going back", kHeader + "2,8.0,1,10,20,0.5,1.0,2.0\n1,4.0,1,10,20,0.5,1.0,2.0\n",
         "line 3: result 1"},
    };
    for (const auto& c : cases) {
        std::vector<MonitorSeries> series(1);
        std::string problem;
        EXPECT_FALSE(parseMonitorsCsv(c.text, series, problem)) << c.name;
        EXPECT_TRUE(series.empty()) << c.name;
        EXPECT_NE(problem.find(c.said), std::string::npos) << c.name << ": " << problem;
    }
}

TEST(MonitorSeriesTest, MissingFileIsNamed) {
    std::vector<MonitorSeries> series;
    std::string problem;
    EXPECT_FALSE(readMonitorsCsv("/nonexistent/monitors.csv", series, problem));
    EXPECT_NE(problem.find("/nonexistent/monitors.csv"), std::string::npos) << problem;
}
