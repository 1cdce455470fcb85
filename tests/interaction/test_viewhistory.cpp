// The view history the mouse handler records and the previous/next view actions step through.
#include <gtest/gtest.h>

#include "viewhistory.h"

namespace {

class ViewHistoryTest : public ::testing::Test {
protected:
    void record(double x) { history.record({x, 0, 0}, {x, 1, 0}, {0, 0, 1}); }
    double back() {
        RecordedView view;
        return history.stepBack(view) ? view.eye.x() : -1.0;
    }
    double forward() {
        RecordedView view;
        return history.stepForward(view) ? view.eye.x() : -1.0;
    }
    ViewHistory history;
};

TEST_F(ViewHistoryTest, StepsBackAndForwardThroughRecordedViews) {
    // An empty or single history does not step.
    EXPECT_EQ(back(), -1.0);
    EXPECT_EQ(forward(), -1.0);
    record(1);
    EXPECT_EQ(back(), -1.0);
    EXPECT_EQ(forward(), -1.0);
    EXPECT_EQ(history.currentPosition(), 1);

    record(2);
    record(3);
    EXPECT_EQ(history.currentPosition(), 3);
    EXPECT_EQ(back(), 2.0);
    EXPECT_EQ(back(), 1.0);
    EXPECT_EQ(back(), -1.0);
    EXPECT_EQ(forward(), 2.0);
    EXPECT_EQ(forward(), 3.0);
    EXPECT_EQ(forward(), -1.0);
    EXPECT_EQ(history.currentPosition(), 3);
}

TEST_F(ViewHistoryTest, RecordingAfterSteppingBackDropsTheViewsAhead) {
    record(1);
    record(2);
    record(3);
    back();
    back();
    record(9);
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history.at(0).eye.x(), 1.0);
    EXPECT_EQ(history.at(1).eye.x(), 9.0);
    EXPECT_EQ(history.at(1).center.y(), 1.0);
    EXPECT_EQ(history.at(1).up.z(), 1.0);
    EXPECT_EQ(history.currentPosition(), 2);
    EXPECT_EQ(forward(), -1.0);
    EXPECT_EQ(back(), 1.0);
}

TEST_F(ViewHistoryTest, HistoriesAreSeparate) {
    record(1);
    ViewHistory other;
    other.record({5, 0, 0}, {5, 1, 0}, {0, 0, 1});
    EXPECT_EQ(history.size(), 1u);
    EXPECT_EQ(history.at(0).eye.x(), 1.0);
}

}  // namespace
