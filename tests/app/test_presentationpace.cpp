// The pace of the window's timed presentation steps: real time for the user, faster for tests, with
// every waiting step still waiting.
#include <gtest/gtest.h>

#include "presentationpace.h"

namespace {

TEST(PresentationPace, DividesEveryIntervalByTheSpeedUpAndKeepsWaitingStepsWaiting) {
    const struct {
        int speedUp;
        int realTimeMs;
        int expectedMs;
    } cases[] = {
        {1, 2000, 2000}, {1, 50, 50},   {1, 0, 0},     // the user's pace
        {0, 500, 500},   {-3, 500, 500},               // no speed-up below 1
        {10, 2000, 200}, {10, 5000, 500}, {10, 0, 0},  // a step without a wait stays without one
        {20, 50, 3},     {20, 30, 2},                  // to the nearest millisecond
        {100, 50, 1},    {1000, 60, 1},                // a wait shorter than 1 ms still yields once
    };
    for (const auto& c : cases) {
        PresentationPace pace;
        pace.setSpeedUp(c.speedUp);
        EXPECT_EQ(pace.intervalMs(c.realTimeMs), c.expectedMs)
            << c.realTimeMs << " ms at a speed-up of " << c.speedUp;
        EXPECT_EQ(pace.currentSpeedUp(), c.speedUp > 1 ? c.speedUp : 1);
    }
}

}  // namespace
