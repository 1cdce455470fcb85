#include "floodinputfile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

bool FloodInputFile::open(const std::string& path) {
    text.clear();
    position = 0;
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return false;
    }
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        return false;
    }
    // Read in blocks rather than by the reported size: devices and pipes report none.
    char block[1 << 16];
    while (stream.read(block, sizeof block) || stream.gcount() > 0) {
        text.append(block, static_cast<std::size_t>(stream.gcount()));
    }
    return !stream.bad();
}

bool FloodInputFile::peekToken(std::string_view& token) const {
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
    token = std::string_view(text).substr(start, end - start);
    return true;
}

bool FloodInputFile::nextToken(std::string_view& token) {
    if (!peekToken(token)) {
        position = text.size();
        return false;
    }
    position = static_cast<std::size_t>(token.data() - text.data()) + token.size();
    return true;
}

std::string_view FloodInputFile::restOfLine() {
    const std::size_t lineEnd = std::min(text.find('\n', position), text.size());
    const std::string_view rest = std::string_view(text).substr(position, lineEnd - position);
    position = lineEnd == text.size() ? lineEnd : lineEnd + 1;
    return rest;
}

bool parseFiniteReal(std::string_view token, double& value) {
    // strtod needs a terminated string; grid values are short, so a small copy is cheap.
    char buffer[64];
    if (token.empty() || token.size() >= sizeof buffer) {
        return false;
    }
    token.copy(buffer, token.size());
    buffer[token.size()] = '\0';
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(buffer, &end);
    if (end != buffer + token.size() || errno == ERANGE || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

bool parseFiniteFloat(std::string_view token, float& value) {
    double parsed = 0.0;
    if (!parseFiniteReal(token, parsed) || std::fabs(parsed) > std::numeric_limits<float>::max()) {
        return false;
    }
    value = static_cast<float>(parsed);
    return true;
}

bool readAsciiGridHeader(FloodInputFile& file, AsciiGridHeader& header, std::string& problem) {
    static const char* const keywords[] = {"ncols", "nrows", "xllcorner", "yllcorner", "cellsize"};
    double values[5] = {};
    for (int i = 0; i < 5; ++i) {
        std::string_view keyword;
        std::string_view token;
        if (!file.nextToken(keyword) || !file.nextToken(token)) {
            problem = std::string("the header ends before the value of \"") + keywords[i] + "\"";
            return false;
        }
        if (!parseFiniteReal(token, values[i])) {
            problem = std::string("the header value of \"") + keywords[i] + "\" is \"" +
                      printableToken(token) + "\", not a number";
            return false;
        }
    }
    for (int i = 0; i < 2; ++i) {
        if (values[i] < 1 || values[i] > std::numeric_limits<int>::max() ||
            values[i] != std::floor(values[i])) {
            std::ostringstream text;
            text << "the header gives " << keywords[i] << " " << values[i] << ", not a positive whole number";
            problem = text.str();
            return false;
        }
    }
    if (values[4] <= 0.0 || values[4] > std::numeric_limits<float>::max()) {
        std::ostringstream text;
        text << "the header gives cellsize " << values[4] << ", not a positive size";
        problem = text.str();
        return false;
    }
    header.ncols = static_cast<int>(values[0]);
    header.nrows = static_cast<int>(values[1]);
    header.xllcorner = values[2];
    header.yllcorner = values[3];
    header.cellsize = values[4];

    header.hasNodata = false;
    std::string_view sixth;
    double number = 0.0;
    if (file.peekToken(sixth) && !parseFiniteReal(sixth, number)) {
        file.nextToken(sixth);
        std::string_view value = file.restOfLine();
        while (!value.empty() && isBlank(value.front())) {
            value.remove_prefix(1);
        }
        while (!value.empty() && isBlank(value.back())) {
            value.remove_suffix(1);
        }
        header.hasNodata = parseFiniteReal(value, header.nodata);
    }

    const double promised = static_cast<double>(header.ncols) * header.nrows;
    if (promised > static_cast<double>(file.remainingBytes() / 2 + 1)) {
        std::ostringstream text;
        text << "the header promises " << header.ncols << " x " << header.nrows
             << " values, more than the rest of the file (" << file.remainingBytes() << " bytes) can hold";
        problem = text.str();
        return false;
    }
    return true;
}

std::string printableToken(std::string_view token) {
    constexpr std::size_t kLongest = 24;
    std::string shown;
    for (const char c : token.substr(0, kLongest)) {
        shown += c >= ' ' && c <= '~' ? c : '?';
    }
    if (token.size() > kLongest) {
        shown += "...";
    }
    return shown;
}
