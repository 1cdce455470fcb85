// The writer thread of the live runs: one set of files in flight, failures reported to the window's
// thread, and no set left behind when a run stops or the window goes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "resultwriter.h"

namespace {

using namespace std::chrono_literals;

// A set that takes a while to write, and records when it ran.
struct SlowSet {
    std::vector<int>* written;
    std::thread::id* writtenOn;
    int number;
    bool succeeds;

    bool operator()(std::string& failedFile) const {
        std::this_thread::sleep_for(30ms);
        written->push_back(number);
        *writtenOn = std::this_thread::get_id();
        if (!succeeds) {
            failedFile = std::to_string(number) + ".ive";
        }
        return succeeds;
    }
};

TEST(ResultWriterTest, WritesEachSetOnItsOwnThreadInTheOrderHandedOver) {
    std::vector<int> written;
    std::thread::id writtenOn;
    ResultWriter writer;
    std::string failedFile;
    for (int number = 1; number <= 5; ++number) {
        ASSERT_TRUE(writer.hand(SlowSet{&written, &writtenOn, number, true}, failedFile));
        // Handing over waits for the set before, so at most the one just handed is still in flight.
        EXPECT_GE(static_cast<int>(written.size()), number - 1);
    }
    ASSERT_TRUE(writer.finish(failedFile));
    EXPECT_EQ(written, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_NE(writtenOn, std::this_thread::get_id());
    EXPECT_TRUE(failedFile.empty());
}

TEST(ResultWriterTest, AFailedSetIsReportedOnceAndTheNextSetIsNotStarted) {
    std::vector<int> written;
    std::thread::id writtenOn;
    ResultWriter writer;
    std::string failedFile;
    ASSERT_TRUE(writer.hand(SlowSet{&written, &writtenOn, 1, false}, failedFile));
    // The failure shows at the next hand-over, which drops the set it was given.
    EXPECT_FALSE(writer.hand(SlowSet{&written, &writtenOn, 2, true}, failedFile));
    EXPECT_EQ(failedFile, "1.ive");
    ASSERT_TRUE(writer.finish(failedFile));
    EXPECT_EQ(written, (std::vector<int>{1}));

    // A failure found by finish, and a writer that takes a new run afterwards.
    ASSERT_TRUE(writer.hand(SlowSet{&written, &writtenOn, 3, false}, failedFile));
    EXPECT_FALSE(writer.finish(failedFile));
    EXPECT_EQ(failedFile, "3.ive");
    ASSERT_TRUE(writer.hand(SlowSet{&written, &writtenOn, 4, true}, failedFile));
    ASSERT_TRUE(writer.finish(failedFile));
    EXPECT_EQ(written, (std::vector<int>{1, 3, 4}));
}

TEST(ResultWriterTest, StoppingAndClosingWaitForTheSetInFlight) {
    std::atomic<bool> released{false};
    std::atomic<bool> done{false};
    // A set that cannot finish before the test lets it, and then takes a while.
    const auto held = [&](std::string&) {
        while (!released) {
            std::this_thread::sleep_for(1ms);
        }
        std::this_thread::sleep_for(100ms);
        done = true;
        return true;
    };
    std::string failedFile;
    {
        ResultWriter writer;
        ASSERT_TRUE(writer.hand(held, failedFile));
        EXPECT_FALSE(done) << "the set is written while the caller goes on";
        released = true;
        ASSERT_TRUE(writer.finish(failedFile));
        EXPECT_TRUE(done);

        released = false;
        done = false;
        ASSERT_TRUE(writer.hand(held, failedFile));
        released = true;
    }
    EXPECT_TRUE(done);
}

// A writer given no set starts no thread and closes at once.
TEST(ResultWriterTest, IdleWriterFinishesAtOnce) {
    ResultWriter writer;
    std::string failedFile;
    EXPECT_TRUE(writer.finish(failedFile));
}

}  // namespace
