#include "terrainheights.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iostream>
#include <string_view>

#include "cadebrisflow.h"

namespace {

constexpr int headerLines = 6;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

double leadingNumber(std::string_view token) {
    if (!token.empty() && token.front() == '+') {
        token.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || !std::isfinite(value) || end == token.data()) {
        return 0;
    }
    return value;
}

}  // namespace

TerrainHeights readTerrainHeights(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::cout << "文件不存在!" << std::endl;
        return {};
    }
    TerrainHeights rows;
    long long values = 0;
    std::string line;
    for (int lineNumber = 0; std::getline(file, line); ++lineNumber) {
        if (lineNumber < headerLines) {
            continue;
        }
        std::vector<double> row;
        std::size_t position = 0;
        while (position < line.size()) {
            while (position < line.size() && isBlank(line[position])) {
                ++position;
            }
            const std::size_t start = position;
            while (position < line.size() && !isBlank(line[position])) {
                ++position;
            }
            if (position > start) {
                row.push_back(leadingNumber(std::string_view(line).substr(start, position - start)));
            }
        }
        if (row.empty()) {
            continue;
        }
        values += static_cast<long long>(row.size());
        if (values > CADebrisFlow::maxGridCells) {
            std::cout << "terrain heights of " << path << ": more than " << CADebrisFlow::maxGridCells
                      << " values; not read" << std::endl;
            return {};
        }
        rows.push_back(std::move(row));
    }
    return rows;
}
