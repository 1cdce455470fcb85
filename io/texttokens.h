#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The blank-separated tokens of a text held in memory. Blanks are spaces, tabs and line ends of any kind
// ("\n", "\r\n" or a lone "\r"), so files written on any system split alike. A UTF-8 byte-order mark
// at the start of the text, which some editors put before the first number, is skipped.
class TextTokens {
public:
    TextTokens() = default;
    explicit TextTokens(std::string_view text);

    // The next token, or false at the end of the text.
    bool next(std::string_view& token);
    // The next token without consuming it.
    bool peek(std::string_view& token) const;
    // Bytes not yet consumed.
    std::size_t remainingBytes() const { return text.size() - position; }
    // Tokens left, counted up to `limit` without consuming them.
    std::size_t countAhead(std::size_t limit) const;

private:
    std::string_view text;
    std::size_t position = 0;
};

// A whole token as a finite decimal number ("12", "-3.5", "+4e2"). False for anything else: text after
// the number ("7abc"), hexadecimal ("0x10"), "inf", "nan", an empty token, or a value beyond a double.
// Independent of the process locale.
bool parseDecimal(std::string_view token, double& value);

// A whole token as a whole decimal number between `low` and `high` ("7", "7.0" and "7e0" alike; "7.5"
// is not whole).
bool parseWholeNumber(std::string_view token, long long low, long long high, long long& value);

// A token as it may be shown in a message: at most 24 characters, anything unprintable as '?'.
std::string printableToken(std::string_view token);

// The first `count` lines of a text (fewer when it has fewer), without their line ends ("\n", "\r\n" or
// a lone "\r").
std::vector<std::string_view> firstLines(std::string_view text, std::size_t count);
