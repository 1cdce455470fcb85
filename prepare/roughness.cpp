#include "roughness.h"

#include <cmath>
#include <set>

#include "demgrid.h"
#include "fileio.h"
#include "texttokens.h"

namespace {

// A table of land-cover classes is a few hundred lines at most.
constexpr std::size_t maxTableBytes = 1 << 20;

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

bool readRoughnessTable(const std::string& path, RoughnessTable& table, std::string& problem) {
    std::string text;
    if (readRegularFile(path, maxTableBytes, text, problem) != FileReadStatus::ok) {
        problem = "the roughness table: " + problem;
        return false;
    }
    table = RoughnessTable();
    int lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        line = line.substr(0, line.find('#'));
        for (char& c : line) {
            if (c == ',' || c == ';' || c == '=' || c == '\t') {
                c = ' ';
            }
        }
        TextTokens tokens(line);
        std::string_view classToken;
        std::string_view nToken;
        std::string_view extra;
        if (!tokens.next(classToken)) {
            continue;
        }
        const std::string where =
            "the roughness table " + quoted(path) + ", line " + std::to_string(lineNumber);
        double n = 0;
        if (!tokens.next(nToken) || tokens.next(extra) || !parseDecimal(nToken, n)) {
            problem = where + ": " + quoted(printableToken(line)) + " is not a class and its Manning's n";
            return false;
        }
        if (!(n >= 0.0 && n <= 1.0)) {
            problem = where + ": Manning's n " + shortNumber(n) + " is not a roughness (0 to 1)";
            return false;
        }
        if (classToken == "*") {
            if (table.otherwise) {
                problem = where + ": \"*\" is given twice";
                return false;
            }
            table.otherwise = n;
            continue;
        }
        long long landClass = 0;
        if (!parseWholeNumber(classToken, -(1LL << 53), 1LL << 53, landClass)) {
            problem = where + ": the class " + quoted(printableToken(classToken)) + " is not a whole number";
            return false;
        }
        if (!table.byClass.emplace(landClass, n).second) {
            problem = where + ": the class " + std::to_string(landClass) + " is given twice";
            return false;
        }
    }
    if (table.byClass.empty() && !table.otherwise) {
        problem = "the roughness table " + quoted(path) + " gives no class and no Manning's n";
        return false;
    }
    return true;
}

bool roughnessFromLandCover(const std::string& landCoverPath, const std::string& landCoverCoordinateSystem,
                            const std::string& tablePath, const DemGrid& dem, std::vector<float>& roughness,
                            std::string& problem) {
    RoughnessTable table;
    if (!readRoughnessTable(tablePath, table, problem)) {
        return false;
    }
    DrapedRaster cover;
    if (!drapeOnDem(landCoverPath, dem, 1, 1, true, landCoverCoordinateSystem, cover, problem)) {
        return false;
    }
    roughness.assign(dem.heights.size(), DemGrid::noData);
    std::set<long long> missing;
    long long uncovered = 0;
    for (std::size_t i = 0; i < dem.heights.size(); ++i) {
        if (dem.heights[i] == DemGrid::noData) {
            continue;
        }
        const double value = cover.values[i];
        if (!cover.covered[i] || value != std::floor(value)) {
            if (!table.otherwise) {
                ++uncovered;
            } else {
                roughness[i] = static_cast<float>(*table.otherwise);
            }
            continue;
        }
        const auto found = table.byClass.find(static_cast<long long>(value));
        if (found != table.byClass.end()) {
            roughness[i] = static_cast<float>(found->second);
        } else if (table.otherwise) {
            roughness[i] = static_cast<float>(*table.otherwise);
        } else {
            missing.insert(static_cast<long long>(value));
        }
    }
    if (!missing.empty()) {
        std::string classes;
        int listed = 0;
        for (const long long landClass : missing) {
            if (listed++ == 8) {
                classes += ", ...";
                break;
            }
            classes += (classes.empty() ? "" : ", ") + std::to_string(landClass);
        }
        problem = "the land-cover class " + std::to_string(*missing.begin()) + " of " +
                  quoted(landCoverPath) + " has no Manning's n in the roughness table " + quoted(tablePath) +
                  " (classes without one: " + classes + "); add a line \"" +
                  std::to_string(*missing.begin()) + " N\" for it, or \"* N\" for every class not listed";
        return false;
    }
    if (uncovered > 0) {
        problem = std::to_string(uncovered) + " cells of the DEM lie outside the land cover " +
                  quoted(landCoverPath) +
                  " or have no class there; give them a Manning's n with a line \"* N\" in " +
                  quoted(tablePath);
        return false;
    }
    return true;
}

std::vector<float> uniformRoughness(const DemGrid& dem, double manning) {
    std::vector<float> roughness(dem.heights.size(), DemGrid::noData);
    for (std::size_t i = 0; i < roughness.size(); ++i) {
        if (dem.heights[i] != DemGrid::noData) {
            roughness[i] = static_cast<float>(manning);
        }
    }
    return roughness;
}
