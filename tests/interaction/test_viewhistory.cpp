// The view history the mouse handler records and the previous/next view actions step through.
#include <gtest/gtest.h>

#include "viewhistory.h"

namespace {

class ViewHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        viewEyes.clear();
        viewCenters.clear();
        viewUps.clear();
        viewIndex = 0;
    }
    static void record(double x) { recordView({x, 0, 0}, {x, 1, 0}, {0, 0, 1}); }
    static double back() {
        RecordedView view;
        return stepViewBack(view) ? view.eye.x() : -1.0;
    }
    static double forward() {
        RecordedView view;
        return stepViewForward(view) ? view.eye.x() : -1.0;
    }
};

TEST_F(ViewHistoryTest, StepsBackAndForwardThroughRecordedViews) {
    // An empty or single history does not step.
    EXPECT_EQ(back(), -1.0);
    EXPECT_EQ(forward(), -1.0);
    record(1);
    EXPECT_EQ(back(), -1.0);
    EXPECT_EQ(forward(), -1.0);
    EXPECT_EQ(viewIndex, 1);

    record(2);
    record(3);
    EXPECT_EQ(viewIndex, 3);
    EXPECT_EQ(back(), 2.0);
    EXPECT_EQ(back(), 1.0);
    EXPECT_EQ(back(), -1.0);
    EXPECT_EQ(forward(), 2.0);
    EXPECT_EQ(forward(), 3.0);
    EXPECT_EQ(forward(), -1.0);
    EXPECT_EQ(viewIndex, 3);
}

TEST_F(ViewHistoryTest, RecordingAfterSteppingBackDropsTheViewsAhead) {
    record(1);
    record(2);
    record(3);
    back();
    back();
    record(9);
    ASSERT_EQ(viewEyes.size(), 2u);
    EXPECT_EQ(viewEyes[0].x(), 1.0);
    EXPECT_EQ(viewEyes[1].x(), 9.0);
    EXPECT_EQ(viewCenters.size(), 2u);
    EXPECT_EQ(viewUps.size(), 2u);
    EXPECT_EQ(viewIndex, 2);
    EXPECT_EQ(forward(), -1.0);
    EXPECT_EQ(back(), 1.0);
}

}  // namespace
