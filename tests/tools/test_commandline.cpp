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
    const CommandLine options =
        parse({"--width", "133.5", "--height", "abc", "--until", "-4", "--range", "0", "20"});
    // A refused or absent value leaves the variable as it was.
    const struct {
        const char* option;
        double low, high;
        std::size_t index;
        bool accepted;
        double value;         // afterwards, from 7 before
        const char* problem;  // part of the problem of a refusal
    } cases[] = {
        {"width", 0, 200, 0, true, 133.5, ""},     {"height", 0, 100, 0, false, 7, "abc"},
        {"until", 0, 1e9, 0, false, 7, "outside"}, {"range", -1000, 1000, 1, true, 20, ""},
        {"range", -1000, 1000, 2, false, 7, ""},   {"capacity", 0, 1, 0, true, 7, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " value " + std::to_string(c.index));
        std::string problem;
        double value = 7;
        EXPECT_EQ(options.number(c.option, value, c.low, c.high, problem, c.index), c.accepted);
        EXPECT_DOUBLE_EQ(value, c.value);
        if (!c.accepted) {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        }
    }

    std::string problem;
    int results = 7;
    EXPECT_FALSE(parse({"--results", "2.5"}).integer("results", results, 1, 1000000, problem));
    EXPECT_EQ(results, 7);
}

TEST(CommandLine, OptionsTakeTheNumberOfValuesTheyAreMadeFor) {
    const std::vector<std::pair<std::string, std::size_t>> counts = {
        {"dem", 1}, {"colour-range", 2}, {"overwrite", 0}, {"format", 1}};
    const struct {
        std::vector<std::string> arguments;
        const char* problem;  // empty: accepted
    } cases[] = {
        {{"--dem", "a.asc", "--colour-range", "0", "20", "--overwrite"}, ""},
        {{"--mode", "Total", "Break"}, ""},  // not listed, not checked
        {{"--dem", "a.asc", "b.asc"}, "--dem takes one value, but \"b.asc\" follows"},
        {{"--format"}, "--format needs a value"},
        {{"--format", "--dem", "a.asc"}, "--format needs a value"},
        {{"--colour-range", "5"}, "--colour-range takes 2 values, not 1"},
        {{"--colour-range"}, "--colour-range needs 2 values"},
        {{"--overwrite", "yes"}, "--overwrite takes no value, but was given \"yes\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        std::string problem;
        EXPECT_EQ(parse(c.arguments).valueCounts(counts, problem), *c.problem == '\0');
        EXPECT_EQ(problem, c.problem);
    }
}

}  // namespace
