#include "texttokens.h"

#include <charconv>
#include <cmath>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

TextTokens::TextTokens(std::string_view text) : text(text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        position = 3;
    }
}

bool TextTokens::peek(std::string_view& token) const {
    std::size_t start = position;
    while (start < text.size() && isBlank(text[start])) {
        ++start;
    }
    if (start == text.size()) {
        return false;
    }
    std::size_t end = start;
    while (end < text.size() && !isBlank(text[end])) {
        ++end;
    }
    token = text.substr(start, end - start);
    return true;
}

bool TextTokens::next(std::string_view& token) {
    if (!peek(token)) {
        position = text.size();
        return false;
    }
    position = static_cast<std::size_t>(token.data() - text.data()) + token.size();
    return true;
}

std::size_t TextTokens::countAhead(std::size_t limit) const {
    TextTokens ahead = *this;
    std::size_t count = 0;
    std::string_view token;
    while (count < limit && ahead.next(token)) {
        ++count;
    }
    return count;
}

bool parseDecimal(std::string_view token, double& value) {
    if (!token.empty() && token.front() == '+') {
        token.remove_prefix(1);
        // "+-3" is no number.
        if (!token.empty() && token.front() == '-') {
            return false;
        }
    }
    if (token.empty()) {
        return false;
    }
    // Only digits, a point, signs and exponents make a decimal number; from_chars would also take "inf",
    // "nan" and, with other formats, hexadecimal.
    for (const char c : token) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) {
            return false;
        }
    }
    double parsed = 0;
    const auto result = std::from_chars(token.data(), token.data() + token.size(), parsed);
    if (result.ec != std::errc() || result.ptr != token.data() + token.size() || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

bool parseWholeNumber(std::string_view token, long long low, long long high, long long& value) {
    // Whole numbers beyond 2^53 are no longer exact as doubles, and beyond 2^63 no long long holds them.
    constexpr double exactLimit = 9007199254740992.0;
    double parsed = 0;
    if (!parseDecimal(token, parsed) || parsed != std::floor(parsed) || std::fabs(parsed) > exactLimit) {
        return false;
    }
    const auto whole = static_cast<long long>(parsed);
    if (whole < low || whole > high) {
        return false;
    }
    value = whole;
    return true;
}

std::string printableToken(std::string_view token) {
    constexpr std::size_t longest = 24;
    std::string shown;
    for (const char c : token.substr(0, longest)) {
        shown += c >= ' ' && c <= '~' ? c : '?';
    }
    if (token.size() > longest) {
        shown += "...";
    }
    return shown;
}

std::vector<std::string_view> firstLines(std::string_view text, std::size_t count) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (lines.size() < count && start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        lines.push_back(text.substr(start, end - start));
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') {
            ++end;
        }
        start = end + 1;
    }
    return lines;
}
