#include "dam.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>

#include "demgrid.h"

namespace {

std::string coordinates(double x, double y) {
    char text[96];
    std::snprintf(text, sizeof text, "(%.2f, %.2f)", x, y);
    return text;
}

bool interior(const DemGrid& dem, int row, int column) {
    return row > 0 && column > 0 && row < dem.rows() - 1 && column < dem.columns() - 1 &&
           dem.hasData(row, column);
}

std::string extent(const DemGrid& dem) {
    char text[160];
    std::snprintf(text, sizeof text, "x from %.2f to %.2f, y from %.2f to %.2f", dem.west(), dem.east(),
                  dem.south(), dem.north());
    return text;
}

// How far from (x, y) along (dx, dy) the ground first reaches `crest`; negative when the walk leaves the
// DEM's interior first.
double reachToCrest(const DemGrid& dem, double x, double y, double dx, double dy, double crest,
                    double limit) {
    const double step = dem.cellSize() / 2;
    for (double t = step; t <= limit; t += step) {
        const int row = dem.rowOf(y + t * dy);
        const int column = dem.columnOf(x + t * dx);
        if (!interior(dem, row, column)) {
            return -1.0;
        }
        if (dem.at(row, column) >= crest) {
            return t;
        }
    }
    return -1.0;
}

// The cells the segment crosses, in order, each a side neighbour of the one before.
std::vector<GridCell> cellsAlong(const DemGrid& dem, double x0, double y0, double x1, double y1) {
    std::vector<GridCell> cells;
    const double length = std::hypot(x1 - x0, y1 - y0);
    const int samples = std::max(1, static_cast<int>(std::ceil(length / (dem.cellSize() / 8))));
    for (int i = 0; i <= samples; ++i) {
        const double t = static_cast<double>(i) / samples;
        const GridCell cell(dem.rowOf(y0 + t * (y1 - y0)), dem.columnOf(x0 + t * (x1 - x0)));
        if (!cells.empty() && cells.back() == cell) {
            continue;
        }
        if (!cells.empty() && cells.back().first != cell.first && cells.back().second != cell.second) {
            // A diagonal step: water would slip between the two cells, so the corner cell joins them.
            cells.emplace_back(cells.back().first, cell.second);
        }
        cells.push_back(cell);
    }
    return cells;
}

}  // namespace

bool placeDam(const DemGrid& dem, const DamSpec& spec, DamCells& dam, std::string& problem) {
    dam = DamCells();
    if (spec.points.empty() || spec.points.size() > 2) {
        problem = "a dam is one point or the two ends of a line";
        return false;
    }
    if (!(spec.breachWidth > 0.0) || !(spec.breachHeight > 0.0)) {
        problem = "the breach needs a width and a height above 0 m";
        return false;
    }
    for (const auto& [x, y] : spec.points) {
        const int row = dem.rowOf(y);
        const int column = dem.columnOf(x);
        if (!dem.inside(row, column) || !std::isfinite(x) || !std::isfinite(y)) {
            problem = "the dam point " + coordinates(x, y) + " lies outside the DEM (" + extent(dem) + ")";
            return false;
        }
        if (!interior(dem, row, column) && spec.points.size() == 1) {
            problem =
                "the dam point " + coordinates(x, y) + " lies on the DEM's edge or on cells without data";
            return false;
        }
    }
    if (spec.points.size() == 1) {
        const auto [x, y] = spec.points.front();
        const double ground = dem.at(dem.rowOf(y), dem.columnOf(x));
        const double crest = ground + spec.breachHeight;
        const double limit = std::hypot(dem.east() - dem.west(), dem.north() - dem.south());
        double best = std::numeric_limits<double>::infinity();
        for (int degrees = 0; degrees < 180; degrees += 3) {
            const double dx = std::cos(degrees * M_PI / 180);
            const double dy = std::sin(degrees * M_PI / 180);
            const double forward = reachToCrest(dem, x, y, dx, dy, crest, limit);
            const double backward = forward < 0 ? -1.0 : reachToCrest(dem, x, y, -dx, -dy, crest, limit);
            if (forward >= 0 && backward >= 0 && forward + backward < best) {
                best = forward + backward;
                dam.startX = x - backward * dx;
                dam.startY = y - backward * dy;
                dam.endX = x + forward * dx;
                dam.endY = y + forward * dy;
            }
        }
        if (!std::isfinite(best)) {
            char height[32];
            std::snprintf(height, sizeof height, "%g", spec.breachHeight);
            problem = "the terrain around the dam point " + coordinates(x, y) + " does not rise " + height +
                      " m above it on both sides within the DEM; give the dam as a line across the valley";
            return false;
        }
    } else {
        dam.startX = spec.points[0].first;
        dam.startY = spec.points[0].second;
        dam.endX = spec.points[1].first;
        dam.endY = spec.points[1].second;
    }

    for (const GridCell& cell : cellsAlong(dem, dam.startX, dam.startY, dam.endX, dam.endY)) {
        if (interior(dem, cell.first, cell.second)) {
            dam.line.push_back(cell);
        }
    }
    const double length = std::hypot(dam.endX - dam.startX, dam.endY - dam.startY);
    if (dam.line.size() < 2 || !(length > 0)) {
        problem = "the dam from " + coordinates(dam.startX, dam.startY) + " to " +
                  coordinates(dam.endX, dam.endY) + " crosses fewer than two cells of the DEM's interior";
        return false;
    }
    const auto lowest =
        std::min_element(dam.line.begin(), dam.line.end(), [&dem](const GridCell& a, const GridCell& b) {
            return dem.at(a.first, a.second) < dem.at(b.first, b.second);
        });
    const std::size_t lowestIndex = static_cast<std::size_t>(lowest - dam.line.begin());
    dam.lowest = *lowest;
    dam.crest = dem.at(lowest->first, lowest->second) + spec.breachHeight;

    // Downstream: the side of the line whose ground below the lowest cell lies lower.
    const double normalX = -(dam.endY - dam.startY) / length;
    const double normalY = (dam.endX - dam.startX) / length;
    const int reach = std::clamp(static_cast<int>(std::lround(500.0 / dem.cellSize())), 3, 50);
    double sums[2] = {0, 0};
    int counts[2] = {0, 0};
    for (int side = 0; side < 2; ++side) {
        const double sign = side == 0 ? 1.0 : -1.0;
        for (int k = 1; k <= reach; ++k) {
            const int row = dem.rowOf(dem.centreY(lowest->first) + sign * k * dem.cellSize() * normalY);
            const int column =
                dem.columnOf(dem.centreX(lowest->second) + sign * k * dem.cellSize() * normalX);
            if (dem.hasData(row, column)) {
                sums[side] += dem.at(row, column);
                ++counts[side];
            }
        }
    }
    if (counts[0] == 0 && counts[1] == 0) {
        problem = "the dam from " + coordinates(dam.startX, dam.startY) + " to " +
                  coordinates(dam.endX, dam.endY) + " has no terrain on either side";
        return false;
    }
    const bool positive = counts[1] == 0 || (counts[0] > 0 && sums[0] / counts[0] <= sums[1] / counts[1]);
    dam.downstreamX = positive ? normalX : -normalX;
    dam.downstreamY = positive ? normalY : -normalY;

    // The breach: the line's cells within half its width of the lowest cell, two at least.
    const double half = std::max(spec.breachWidth / 2, 0.75 * dem.cellSize());
    const auto within = [&](std::size_t i) {
        const GridCell& cell = dam.line[i];
        return std::hypot(dem.centreX(cell.second) - dem.centreX(lowest->second),
                          dem.centreY(cell.first) - dem.centreY(lowest->first)) <= half + 1e-9;
    };
    std::size_t first = lowestIndex;
    std::size_t last = lowestIndex;
    while (first > 0 && within(first - 1)) {
        --first;
    }
    while (last + 1 < dam.line.size() && within(last + 1)) {
        ++last;
    }
    if (first == last) {
        if (last + 1 < dam.line.size()) {
            ++last;
        } else {
            --first;
        }
    }
    // Outbreak cells paired with the breach cell east or south of them, which takes their water; the
    // pairs are taken from the north-west, so that along the line every other cell lets water out.
    std::set<GridCell> breach(dam.line.begin() + static_cast<long>(first),
                              dam.line.begin() + static_cast<long>(last) + 1);
    std::set<GridCell> assigned;
    for (const GridCell& cell : breach) {
        if (assigned.count(cell)) {
            continue;
        }
        for (const GridCell& receiver :
             {GridCell(cell.first, cell.second + 1), GridCell(cell.first + 1, cell.second)}) {
            if (breach.count(receiver) && !assigned.count(receiver)) {
                dam.outbreak.push_back(cell);
                assigned.insert(cell);
                assigned.insert(receiver);
                break;
            }
        }
    }
    std::set<GridCell> onLine(dam.line.begin(), dam.line.end());
    std::set<GridCell> walls;
    for (const GridCell& cell : dam.line) {
        const int sides[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        for (const auto& side : sides) {
            const GridCell next(cell.first + side[0], cell.second + side[1]);
            if (onLine.count(next) || !interior(dem, next.first, next.second)) {
                continue;
            }
            const double alongValley =
                (dem.centreX(next.second) - dem.centreX(cell.second)) * dam.downstreamX +
                (dem.centreY(next.first) - dem.centreY(cell.first)) * dam.downstreamY;
            if (alongValley < 0) {
                walls.insert(next);
            }
        }
    }
    dam.walls.assign(walls.begin(), walls.end());
    return true;
}

std::string outbreakFileText(const DemGrid& dem, const DamCells& dam) {
    std::string text = std::to_string(dam.outbreak.size()) + "\n";
    for (const auto& [row, column] : dam.outbreak) {
        text += std::to_string(column) + " " + std::to_string(dem.rows() - row) + "\n";
    }
    return text;
}
