#include "watermesh.h"

#include <osg/Geometry>

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

    void start() {
        vertices = new osg::Vec3Array;
        colours = new osg::Vec4Array;
    }

    void addVertex(int row, int col, const FloodCell& cell) {
        vertices->push_back(osg::Vec3(col * grid.cellSize + grid.xll,
                                      (grid.rows - row) * grid.cellSize + grid.yll, cell.surfaceOld));
        const float depth = cell.wet ? cell.surfaceOld - cell.ground : 0.0f;
        colours->push_back(floodDepthColour(depth, range, shallow, deep));
    }

    osg::ref_ptr<osg::Geometry> finish() {
        osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
        geometry->setVertexArray(vertices.get());
        geometry->setColorArray(colours.get(), osg::Array::BIND_PER_VERTEX);
        geometry->addPrimitiveSet(
            new osg::DrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices->size())));
        return geometry;
    }

private:
    const FloodGridView& grid;
    const float range;
    const osg::Vec4 shallow;
    const osg::Vec4 deep;
    osg::ref_ptr<osg::Vec3Array> vertices;
    osg::ref_ptr<osg::Vec4Array> colours;
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
        strip.start();
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
