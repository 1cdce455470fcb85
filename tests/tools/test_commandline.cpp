// The option parser of vantorel-batch.
#include <gtest/gtest.h>

#include <vector>

#include "commandline.h"

namespace {

CommandLine parse(std::vector<std::string> arguments) {
    static std::vector<std::string> storage;
    storage = std::move(arguments);
    static std::vector<char*> pointers;
    pointers.clear();
    for (std::string& argument : storage) {
        pointers.push_back(argument.data());
    }
    return CommandLine(static_cast<int>(pointers.size()), pointers.data(), 0);
}

TEST(CommandLine, OptionsTakeTheValuesUpToTheNextOption) {
    const CommandLine options =
        parse({"--dem", "a b.asc", "--colour-range", "0", "20", "--mode", "Total Break"});
    EXPECT_TRUE(options.error().empty());
    EXPECT_EQ(options.text("dem"), "a b.asc");
    EXPECT_EQ(options.values("colour-range"), (std::vector<std::string>{"0", "20"}));
    EXPECT_EQ(options.text("mode"), "Total Break");
    EXPECT_EQ(options.text("out", "fallback"), "fallback");
    EXPECT_EQ(options.unknown({"dem", "colour-range"}), std::vector<std::string>{"--mode"});
}

TEST(CommandLine, ValueBeforeAnyOptionIsRefused) {
    EXPECT_FALSE(parse({"stray", "--dem", "x"}).error().empty());
}

TEST(CommandLine, NumbersAreCheckedForFormAndRange) {
    const CommandLine options = parse(
        {"--width", "133.5", "--height", "abc", "--results", "2.5", "--until", "-4", "--range", "0", "20"});
    std::string problem;
    double width = 0;
    EXPECT_TRUE(options.number("width", width, 0, 200, problem));
    EXPECT_DOUBLE_EQ(width, 133.5);

    double height = 47.5;
    EXPECT_FALSE(options.number("height", height, 0, 100, problem));
    EXPECT_NE(problem.find("abc"), std::string::npos);
    EXPECT_DOUBLE_EQ(height, 47.5);

    int results = 7;
    EXPECT_FALSE(options.integer("results", results, 1, 1000000, problem));
    EXPECT_EQ(results, 7);

    double until = 10;
    EXPECT_FALSE(options.number("until", until, 0, 1e9, problem));
    EXPECT_NE(problem.find("outside"), std::string::npos);

    double high = 0;
    EXPECT_TRUE(options.number("range", high, -1000, 1000, problem, 1));
    EXPECT_DOUBLE_EQ(high, 20);
    double missing = 3;
    EXPECT_FALSE(options.number("range", missing, -1000, 1000, problem, 2));

    double absent = 5;
    EXPECT_TRUE(options.number("capacity", absent, 0, 1, problem));
    EXPECT_DOUBLE_EQ(absent, 5);
}

}  // namespace
