// The two input files of a debris-flow run: the terrain grid and the breach file. Both are read whole and
// taken apart into tokens at blanks and line ends; values are taken by position, not by keyword.
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <string_view>

#include "cadebrisflow.h"

namespace {

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

class TokenScanner {
public:
    explicit TokenScanner(const std::string& text) : text(text) {}

    bool next(std::string_view& token) {
        while (position < text.size() && isSeparator(text[position])) {
            ++position;
        }
        if (position == text.size()) {
            return false;
        }
        const std::size_t start = position;
        while (position < text.size() && !isSeparator(text[position])) {
            ++position;
        }
        token = std::string_view(text).substr(start, position - start);
        return true;
    }

    // Moves past the next line end (or to the end of the text).
    void skipLine() {
        const std::size_t end = text.find('\n', position);
        position = end == std::string::npos ? text.size() : end + 1;
    }

    // Tokens left, counted up to `limit` without moving on.
    std::size_t countAhead(std::size_t limit) const {
        TokenScanner ahead(text);
        ahead.position = position;
        std::size_t count = 0;
        std::string_view token;
        while (count < limit && ahead.next(token)) {
            ++count;
        }
        return count;
    }

private:
    const std::string& text;
    std::size_t position = 0;
};

enum class NumberStatus { number, none, outOfRange };

// The leading decimal number of a token ("12.5", "-3e2", "7abc" → 7). A token that does not start with one
// gives 0 (`none`). "inf", "nan" and hexadecimal forms are not numbers here; a value beyond the range of a
// double is `outOfRange`.
NumberStatus leadingNumber(std::string_view token, double& value) {
    std::size_t i = 0;
    const bool plus = !token.empty() && token[0] == '+';
    if (!token.empty() && (token[0] == '+' || token[0] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    for (; i < token.size() && isDigit(token[i]); ++i) {
        ++digits;
    }
    if (i < token.size() && token[i] == '.') {
        for (++i; i < token.size() && isDigit(token[i]); ++i) {
            ++digits;
        }
    }
    value = 0;
    if (digits == 0) {
        return NumberStatus::none;
    }
    std::size_t end = i;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < token.size() && (token[j] == '+' || token[j] == '-')) {
            ++j;
        }
        const std::size_t exponentStart = j;
        while (j < token.size() && isDigit(token[j])) {
            ++j;
        }
        if (j > exponentStart) {
            end = j;
        }
    }
    // from_chars takes no leading '+', and parses independently of the process locale.
    const char* first = token.data() + (plus ? 1 : 0);
    const auto result = std::from_chars(first, token.data() + end, value);
    if (result.ec != std::errc() || !std::isfinite(value)) {
        value = 0;
        return NumberStatus::outOfRange;
    }
    return NumberStatus::number;
}

// A token quoted for a message, shortened when long.
std::string quoted(std::string_view token) {
    constexpr std::size_t longest = 24;
    std::string text(token.substr(0, longest));
    return "\"" + text + (token.size() > longest ? "...\"" : "\"");
}

bool readWholeFile(const std::string& path, std::string& text, std::string& problem, const char* what) {
    std::error_code error;
    const bool regular = std::filesystem::is_regular_file(path, error);
    std::ifstream file;
    if (regular) {
        file.open(path, std::ios::binary);
    }
    if (!file.is_open()) {
        std::cout << "Open file is failed" << std::endl;
        const bool elsewhere = !regular && std::filesystem::exists(path, error);
        problem = std::string("cannot open the ") + what + " \"" + path + "\"" +
                  (elsewhere ? ": it is not a regular file" : "");
        return false;
    }
    // Sized from the file, so that a device or a pipe cannot feed it without end.
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    try {
        text.resize(error ? 0 : static_cast<std::size_t>(size));
    } catch (const std::exception&) {
        problem = std::string("the ") + what + " \"" + path + "\" does not fit in memory";
        return false;
    }
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (error || file.gcount() != static_cast<std::streamsize>(text.size())) {
        problem = std::string("cannot read the ") + what + " \"" + path + "\"";
        return false;
    }
    return true;
}

// A whole count from a token: at least `low`, at most `high`.
bool wholeCount(std::string_view token, long long low, long long high, long long& count) {
    double value = 0;
    if (leadingNumber(token, value) != NumberStatus::number || value < low || value > high) {
        return false;
    }
    count = static_cast<long long>(value);
    return true;
}

}  // namespace

std::optional<BreachList> CADebrisFlow::readBreachFile(const std::string& path, int& count,
                                                       double& leadingValue, std::string& problem) const {
    std::string text;
    if (!readWholeFile(path, text, problem, "breach file")) {
        return std::nullopt;
    }
    TokenScanner tokens(text);
    std::string_view token;
    if (!tokens.next(token)) {
        problem = "the breach file \"" + path + "\" is empty";
        return std::nullopt;
    }
    if (leadingNumber(token, leadingValue) == NumberStatus::outOfRange) {
        problem = "the first number of the breach file, " + quoted(token) + ", is out of range";
        return std::nullopt;
    }
    if (!tokens.next(token)) {
        problem = "the breach file has no count of breach cells after its first number";
        return std::nullopt;
    }
    long long cellCount = 0;
    if (!wholeCount(token, 0, INT_MAX / 2, cellCount)) {
        problem = "the count of breach cells, " + quoted(token) + ", is not a whole number from 0 to " +
                  std::to_string(INT_MAX / 2);
        return std::nullopt;
    }
    const std::size_t numbersNeeded = static_cast<std::size_t>(cellCount) * 2;
    const std::size_t numbersFound = tokens.countAhead(numbersNeeded);
    if (numbersFound < numbersNeeded) {
        problem = "the breach file lists " + std::to_string(cellCount) + " breach cells but holds " +
                  std::to_string(numbersFound) + " numbers for their rows and columns instead of " +
                  std::to_string(numbersNeeded);
        return std::nullopt;
    }
    BreachList cells(static_cast<std::size_t>(cellCount));
    for (std::size_t i = 0; i < cells.size(); ++i) {
        int* const fields[2] = {&cells[i].row, &cells[i].col};
        for (int* field : fields) {
            tokens.next(token);
            double value = 0;
            if (leadingNumber(token, value) == NumberStatus::outOfRange || std::fabs(value) >= INT_MAX) {
                problem = "breach cell " + std::to_string(i + 1) + " has the index " + quoted(token) +
                          ", which is out of range";
                return std::nullopt;
            }
            *field = static_cast<int>(value);
        }
    }
    count = static_cast<int>(cellCount);
    return cells;
}

std::optional<DebrisGrid> CADebrisFlow::readGrid(const std::string& path, int& rows, int& cols, double& minX,
                                                 double& minY, double& cellSize, std::string& problem) const {
    std::string text;
    if (!readWholeFile(path, text, problem, "terrain grid")) {
        return std::nullopt;
    }
    TokenScanner tokens(text);
    std::string_view token;
    // Ten header tokens: a keyword, then its value, five times.
    static const char* const headerNames[5] = {"ncols", "nrows", "xllcorner", "yllcorner", "cellsize"};
    std::string_view headerTokens[5];
    double header[5] = {};
    for (int i = 0; i < 5; ++i) {
        std::string_view keyword;
        if (!tokens.next(keyword) || !tokens.next(headerTokens[i])) {
            problem =
                std::string("the header of the terrain grid ends before its ") + headerNames[i] + " value";
            return std::nullopt;
        }
        if (leadingNumber(headerTokens[i], header[i]) == NumberStatus::outOfRange) {
            problem = std::string("the ") + headerNames[i] + " value of the terrain grid, " +
                      quoted(headerTokens[i]) + ", is out of range";
            return std::nullopt;
        }
    }
    // The no-data line is skipped whole: its value is an ordinary height to this model.
    tokens.skipLine();
    tokens.skipLine();

    long long sizes[2] = {};
    for (int i = 0; i < 2; ++i) {
        if (!wholeCount(headerTokens[i], 1, maxGridCells, sizes[i])) {
            problem = std::string("the ") + headerNames[i] + " value of the terrain grid, " +
                      quoted(headerTokens[i]) + ", is not a whole number from 1 to " +
                      std::to_string(maxGridCells);
            return std::nullopt;
        }
    }
    const long long cellCount = sizes[0] * sizes[1];
    if (cellCount > maxGridCells) {
        problem = "the terrain grid of " + std::to_string(sizes[1]) + " rows and " +
                  std::to_string(sizes[0]) + " columns is larger than the " + std::to_string(maxGridCells) +
                  " cells a run can hold";
        return std::nullopt;
    }
    const std::size_t found = tokens.countAhead(static_cast<std::size_t>(cellCount));
    if (found < static_cast<std::size_t>(cellCount)) {
        problem = "the terrain grid promises " + std::to_string(sizes[1]) + " rows of " +
                  std::to_string(sizes[0]) + " heights (" + std::to_string(cellCount) + ") but holds only " +
                  std::to_string(found);
        return std::nullopt;
    }

    cols = static_cast<int>(sizes[0]);
    rows = static_cast<int>(sizes[1]);
    minX = header[2];
    minY = header[3];
    cellSize = header[4];
    std::optional<DebrisGrid> grid;
    try {
        grid.emplace(rows, cols);
    } catch (const std::bad_alloc&) {
        problem = "the terrain grid of " + std::to_string(rows) + " rows and " + std::to_string(cols) +
                  " columns does not fit in memory";
        return std::nullopt;
    }
    for (int r = 0; r < rows; ++r) {
        DebrisCell* row = (*grid)[r];
        for (int c = 0; c < cols; ++c) {
            tokens.next(token);
            if (leadingNumber(token, row[c].elevation) == NumberStatus::outOfRange) {
                problem = "the height in row " + std::to_string(r) + ", column " + std::to_string(c) +
                          " of the terrain grid, " + quoted(token) + ", is out of range";
                return std::nullopt;
            }
        }
    }
    return grid;
}
