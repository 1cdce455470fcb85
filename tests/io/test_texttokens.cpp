// Tokens and numbers of the text inputs: blanks and line ends of any kind, and numbers that are whole
// tokens in plain decimal notation.
#include <gtest/gtest.h>

#include <climits>

#include "texttokens.h"

namespace {

TEST(TextTokens, SplitAtBlanksAndLineEndsOfAnyKind) {
    TextTokens tokens("a\tb\r\nc\rd\n\n  e\f");
    std::vector<std::string> seen;
    for (std::string_view token; tokens.next(token);) {
        seen.emplace_back(token);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c", "d", "e"}));

    // A byte-order mark before the first token, as some editors save, is no part of it; elsewhere it is.
    const struct {
        std::string text;
        std::vector<std::string> tokens;
    } marked[] = {
        {"\xEF\xBB\xBF" "3\r\n1 2\r\n", {"3", "1", "2"}},
        {"\xEF\xBB\xBF", {}},
        {"\xEF\xBB" "3", {"\xEF\xBB" "3"}},
        {"1 \xEF\xBB\xBF" "2", {"1", "\xEF\xBB\xBF" "2"}},
    };
    for (const auto& c : marked) {
        std::vector<std::string> split;
        TextTokens bomTokens(c.text);
        for (std::string_view token; bomTokens.next(token);) {
            split.emplace_back(token);
        }
        EXPECT_EQ(split, c.tokens) << c.text;
    }

    const std::vector<std::string_view> lines = firstLines("7.5\r\n\r8\n9\rlast", 10);
    EXPECT_EQ(lines, (std::vector<std::string_view>{"7.5", "", "8", "9", "last"}));
    EXPECT_EQ(firstLines("1\n2\n3\n", 2), (std::vector<std::string_view>{"1", "2"}));
    EXPECT_TRUE(firstLines("", 4).empty());
}

TEST(TextTokens, NumbersAreWholeDecimalTokens) {
    const struct {
        const char* token;
        bool decimal;
        double value;
        bool whole;  // within the range of an int
    } cases[] = {
        {"12", true, 12, true},    {"-3.5", true, -3.5, false},      {"+4e2", true, 400, true},
        {"7.0", true, 7, true},    {".5", true, 0.5, false},         {"1e999", false, 0, false},
        {"7abc", false, 0, false}, {"0x10", false, 0, false},        {"inf", false, 0, false},
        {"-nan", false, 0, false}, {"+-3", false, 0, false},         {"", false, 0, false},
        {"1,5", false, 0, false},  {"3000000000", true, 3e9, false}, {"9.3e18", true, 9.3e18, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.token);
        double value = -1;
        EXPECT_EQ(parseDecimal(c.token, value), c.decimal);
        EXPECT_EQ(value, c.decimal ? c.value : -1);
        long long whole = -1;
        EXPECT_EQ(parseWholeNumber(c.token, INT_MIN, INT_MAX, whole), c.whole);
        EXPECT_EQ(whole, c.whole ? static_cast<long long>(c.value) : -1);
    }
}

TEST(TextTokens, TokensInMessagesAreShortAndPrintable) {
    EXPECT_EQ(printableToken("abc"), "abc");
    EXPECT_EQ(printableToken(std::string("a\0\xff", 3)), "a??");
    EXPECT_EQ(printableToken(std::string(30, '9')), std::string(24, '9') + "...");
}

}  // namespace
