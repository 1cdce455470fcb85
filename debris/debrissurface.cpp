#include "debrissurface.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <osg/Geometry>

#include "colouredtriangles.h"
#include "debrisrun.h"

osg::Vec4 debrisDepthColour(float depth, float span, const osg::Vec4& shallow, const osg::Vec4& deep) {
    const float width = std::abs(span);
    if (!(width > 0) || !std::isfinite(width)) {
        return deep;
    }
    const float step = width / 10;
    // Kept as a float: a depth far beyond the range must not overflow an int.
    const float colourClass = std::trunc(depth / step + 1.0f);
    osg::Vec4 colour = (deep - shallow) * colourClass / 10 + shallow;
    colour.a() = 1.0f;
    return colour;
}

DebrisSurfaceGrid debrisSurfaceGrid(const DebrisRun& run, const TerrainHeights& heights) {
    return {&run.debrisGrid, &heights, run.gridMinX, run.gridMinY, run.gridCellSize};
}

namespace {

class StripBuilder {
public:
    StripBuilder(const DebrisSurfaceGrid& grid, float span, const osg::Vec4& shallow, const osg::Vec4& deep)
        : grid(grid), rows(grid.cells->rows()), span(span), shallow(shallow), deep(deep) {}

    // The terrain height of a cell, or nothing where it is a no-data value or missing.
    bool height(int row, int col, double& value) const {
        const TerrainHeights& heights = *grid.heights;
        if (static_cast<std::size_t>(row) >= heights.size() ||
            static_cast<std::size_t>(col) >= heights[row].size()) {
            return false;
        }
        value = heights[row][col];
        return value != 9999.0 && value != -9999.0;
    }

    void addVertex(int row, int col, double depth, double height) {
        triangles.add(osg::Vec3(static_cast<float>(col * grid.cellSize + grid.minX),
                                static_cast<float>((rows - row) * grid.cellSize + grid.minY),
                                static_cast<float>(depth + height + debrisSurfaceLift)),
                      debrisDepthColour(static_cast<float>(depth), span, shallow, deep));
    }

    osg::ref_ptr<osg::Geometry> finish() { return triangles.take(); }

private:
    const DebrisSurfaceGrid& grid;
    const int rows;
    const float span;
    const osg::Vec4 shallow;
    const osg::Vec4 deep;
    ColouredTriangles triangles;
};

// Whether every depth of a row is +0 by its bits: most rows of a frame hold no debris, and one pass that
// vectorises finds them. A row with a -0 in it takes the cell-by-cell scan, which shows nothing for it.
bool allPositiveZero(const double* row, int count) {
    std::uint64_t bits = 0;
    for (int c = 0; c < count; ++c) {
        std::uint64_t value;
        std::memcpy(&value, row + c, sizeof value);
        bits |= value;
    }
    return bits == 0;
}

}  // namespace

osg::ref_ptr<osg::Geode> buildDebrisGeode(const DebrisSurfaceGrid& grid, float span, const osg::Vec4& shallow,
                                          const osg::Vec4& deep) {
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    if (!grid.cells || !grid.heights) {
        return geode;
    }
    const DebrisGrid& cells = *grid.cells;
    StripBuilder strip(grid, span, shallow, deep);
    bool lowerBare = cells.rows() < 3 || allPositiveZero(cells.depths(cells.rows() - 1), cells.cols());
    for (int lower = cells.rows() - 1; lower >= 2; --lower) {
        const int upper = lower - 1;
        // What the surface shows of a cell: the depth of the debris trace it holds.
        const double* upperRow = cells.depths(upper);
        const double* lowerRow = cells.depths(lower);
        const bool upperBare = allPositiveZero(upperRow, cells.cols());
        const bool bare = upperBare && lowerBare;
        lowerBare = upperBare;
        if (bare) {
            geode->addDrawable(strip.finish().get());
            continue;
        }
        // a, b: this column's upper and lower cell; d, e: the next column's, which become a and b next.
        double a = upperRow[0];
        double b = lowerRow[0];
        for (int col = 0; col + 1 < cells.cols(); ++col) {
            const double d = upperRow[col + 1];
            const double e = lowerRow[col + 1];
            if (a != 0 || b != 0 || d != 0 || e != 0) {
                double ha = 0, hb = 0, hd = 0, he = 0;
                const bool aSolid = strip.height(upper, col, ha);
                const bool bSolid = strip.height(lower, col, hb);
                const bool dSolid = strip.height(upper, col + 1, hd);
                const bool eSolid = strip.height(lower, col + 1, he);
                if ((a != 0 || b != 0 || d != 0) && aSolid && bSolid && dSolid) {
                    strip.addVertex(upper, col, a, ha);
                    strip.addVertex(lower, col, b, hb);
                    strip.addVertex(upper, col + 1, d, hd);
                }
                if ((b != 0 || e != 0 || d != 0) && bSolid && eSolid && dSolid) {
                    strip.addVertex(lower, col, b, hb);
                    strip.addVertex(lower, col + 1, e, he);
                    strip.addVertex(upper, col + 1, d, hd);
                }
            }
            a = d;
            b = e;
        }
        geode->addDrawable(strip.finish().get());
    }
    return geode;
}
