#include "watermesh.h"

#include <osg/Geometry>

#include "colouredtriangles.h"

FloodGridView floodGridView(const CAFlood& engine) {
    return {engine.cellRows(), engine.rowCount(),   engine.columnCount(),
            engine.cellSize(), engine.lowerLeftX(), engine.lowerLeftY()};
}

namespace {

bool isWall(const FloodCell& cell) {
    return cell.ground == 9999.0f || cell.ground == -9999.0f;
}

class StripBuilder {
public:
    StripBuilder(const FloodGridView& grid, float range, const osg::Vec4& shallow, const osg::Vec4& deep)
        : grid(grid), range(range), shallow(shallow), deep(deep) {}

    void addVertex(int row, int col, const FloodCell& cell) {
        const float depth = cell.wet ? cell.surfaceOld - cell.ground : 0.0f;
        triangles.add(osg::Vec3(static_cast<float>(col * grid.cellSize + grid.xll),
                                static_cast<float>((grid.rows - row) * grid.cellSize + grid.yll), cell.surfaceOld),
                      floodDepthColour(depth, range, shallow, deep));
    }

    osg::ref_ptr<osg::Geometry> finish() { return triangles.take(); }

private:
    const FloodGridView& grid;
    const float range;
    const osg::Vec4 shallow;
    const osg::Vec4 deep;
    ColouredTriangles triangles;
};

}  // namespace

osg::ref_ptr<osg::Geode> buildWaterGeode(const FloodGridView& grid, float colourRange,
                                         const osg::Vec4& shallowColour, const osg::Vec4& deepColour,
                                         const WaterQuadVisitor& afterFirstTriangle) {
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    if (!grid.cells) {
        return geode;
    }
    StripBuilder strip(grid, colourRange, shallowColour, deepColour);
    for (int lowerRow = grid.rows - 1; lowerRow >= 2; --lowerRow) {
        const int upperRow = lowerRow - 1;
        const FloodCell* upper = grid.cells[upperRow];
        const FloodCell* lower = grid.cells[lowerRow];
        for (int col = 0; col + 1 < grid.cols; ++col) {
            const FloodCell& a = upper[col];
            const FloodCell& b = lower[col];
            const FloodCell& c = upper[col + 1];
            const FloodCell& d = lower[col + 1];
            if (!(a.wet || b.wet || c.wet || d.wet)) {
                continue;
            }
            if ((a.wet || b.wet || c.wet) && !isWall(a) && !isWall(b) && !isWall(c)) {
                strip.addVertex(upperRow, col, a);
                strip.addVertex(lowerRow, col, b);
                strip.addVertex(upperRow, col + 1, c);
                if (afterFirstTriangle) {
                    afterFirstTriangle(col * grid.cellSize + grid.xll,
                                       (grid.rows - lowerRow) * grid.cellSize + grid.yll, b);
                }
            }
            if ((b.wet || d.wet || c.wet) && !isWall(b) && !isWall(d) && !isWall(c)) {
                strip.addVertex(lowerRow, col, b);
                strip.addVertex(lowerRow, col + 1, d);
                strip.addVertex(upperRow, col + 1, c);
            }
        }
        geode->addDrawable(strip.finish().get());
    }
    return geode;
}
