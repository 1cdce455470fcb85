#include "landslidemesh.h"

#include <cmath>
#include <osg/Geometry>

#include "landsliderun.h"

namespace {

// Vertex placement on the mosaic's grid, and the colours.
struct MeshFrame {
    double cellWidth;
    double cellHeight;
    double originX;
    double originY;
    const PostImage& image;
};

template <typename Drawn>
osg::ref_ptr<osg::Geode> buildRowMesh(int width, int height, const float* heights, const Drawn& drawn,
                                      const MeshFrame& frame) {
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    for (int row = height - 2; row >= 2; --row) {
        osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
        osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
        auto addVertex = [&](int r, int c) {
            const double x = c * frame.cellWidth + frame.originX;
            const double y = r * frame.cellHeight + frame.originY;
            vertices->push_back(osg::Vec3(static_cast<float>(x), static_cast<float>(y),
                                          heights[static_cast<std::size_t>(r) * width + c]));
            colours->push_back(postImageColour(frame.image, x, y));
        };
        const std::size_t upper = static_cast<std::size_t>(row) * width;
        const std::size_t lower = upper + width;
        for (int col = 0; col + 1 < width; ++col) {
            const bool corner2 = drawn(upper + col);
            const bool corner3 = drawn(lower + col + 1);
            if (!corner2 || !corner3) {
                continue;
            }
            if (drawn(lower + col)) {
                addVertex(row + 1, col);
                addVertex(row, col);
                addVertex(row + 1, col + 1);
            }
            if (drawn(upper + col + 1)) {
                addVertex(row, col);
                addVertex(row + 1, col + 1);
                addVertex(row, col + 1);
            }
        }
        osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
        geometry->setVertexArray(vertices.get());
        geometry->setColorArray(colours.get(), osg::Array::BIND_PER_VERTEX);
        geometry->addPrimitiveSet(
            new osg::DrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices->size())));
        geode->addDrawable(geometry.get());
    }
    return geode;
}

MeshFrame meshFrame(const LandslideRun& run) {
    return {run.mosaicGeoTransform[1], run.mosaicGeoTransform[5], run.originX, run.originY, run.postImage};
}

}  // namespace

osg::ref_ptr<osg::Geode> buildStepMesh(const LandslideRun& run) {
    if (!run.prepared()) {
        return new osg::Geode;
    }
    return buildRowMesh(
        run.mosaicWidth, run.mosaicHeight, run.surface.data(),
        [&run](std::size_t cell) { return run.raised(cell); }, meshFrame(run));
}

osg::ref_ptr<osg::Geode> buildFinalMesh(const LandslideRun& run) {
    if (!run.prepared()) {
        return new osg::Geode;
    }
    const float* heights = run.postDem.data();
    const float noData = run.postDemNoData;
    const bool noDataIsNan = std::isnan(noData);
    return buildRowMesh(
        run.postDemWidth, run.postDemHeight, heights,
        [heights, noData, noDataIsNan](std::size_t cell) {
            return noDataIsNan ? !std::isnan(heights[cell]) : heights[cell] != noData;
        },
        meshFrame(run));
}

osg::Vec4 postImageColour(const PostImage& image, double mapX, double mapY) {
    const std::int32_t* value = image.pixelAt(mapX, mapY);
    if (!value) {
        return postImageOutsideColour;
    }
    if (image.storedBands() < 3) {
        const float grey = value[0] / 255.0f;
        return osg::Vec4(grey, grey, grey, 1.0f);
    }
    return osg::Vec4(value[0] / 255.0f, value[1] / 255.0f, value[2] / 255.0f, 1.0f);
}
