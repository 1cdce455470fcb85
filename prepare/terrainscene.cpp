#include "terrainscene.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/Group>
#include <osg/MatrixTransform>
#include <osg/PagedLOD>
#include <osg/Texture2D>
#include <osgDB/FileNameUtils>

#include "demgrid.h"
#include "modelfile.h"
#include "terraincolours.h"

namespace {

// The on-screen size, in pixels, past which a tile gives way to its four finer ones: by then a cell of
// the coarse tile spans some four pixels.
constexpr float refinePixels = 4.0f * terrainTileCells;

// Largest texture edge of a tile.
constexpr int maxTextureEdge = 1024;

class TileBuilder {
public:
    TileBuilder(const DemGrid& dem, const TerrainColours& colours) : dem(dem), colours(colours) {
        const int quads = std::max({dem.columns() - 1, dem.rows() - 1, 1});
        levels = 1;
        while (static_cast<long long>(terrainTileCells) << (levels - 1) < quads) {
            ++levels;
        }
        pixelsPerCell = std::max(1, colours.width / std::max(1, dem.columns()));
    }

    int levelCount() const { return levels; }
    int step(int level) const { return 1 << (levels - 1 - level); }
    int span(int level) const { return terrainTileCells * step(level); }
    int tilesAcross(int level) const {
        return std::max(1, (std::max(dem.columns() - 1, 1) + span(level) - 1) / span(level));
    }
    int tilesDown(int level) const {
        return std::max(1, (std::max(dem.rows() - 1, 1) + span(level) - 1) / span(level));
    }

    // The tile's mesh under a transform to its north-west corner; its bounds in `centre` and `radius`.
    osg::ref_ptr<osg::Node> tile(int level, int tileX, int tileY, osg::Vec3d& centre, double& radius,
                                 long long& vertexCount) const {
        const int s = step(level);
        const int extent = span(level);
        const int column0 = tileX * extent;
        const int row0 = tileY * extent;
        const std::vector<int> columns = samples(column0, extent, s, dem.columns() - 1);
        const std::vector<int> rows = samples(row0, extent, s, dem.rows() - 1);
        const double cell = dem.cellSize();
        const double originX = dem.west() + column0 * cell;
        const double originY = dem.north() - row0 * cell;

        osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
        osg::ref_ptr<osg::Vec2Array> texture = new osg::Vec2Array;
        vertices->reserve(columns.size() * rows.size());
        texture->reserve(columns.size() * rows.size());
        float low = 0, high = 0;
        bool any = false;
        for (const int row : rows) {
            for (const int column : columns) {
                const bool data = dem.hasData(row, column);
                const float z = data ? dem.at(row, column) : 0.0f;
                if (data) {
                    low = any ? std::min(low, z) : z;
                    high = any ? std::max(high, z) : z;
                    any = true;
                }
                vertices->push_back(osg::Vec3(static_cast<float>((column - column0) * cell),
                                              static_cast<float>(-(row - row0) * cell), z));
                texture->push_back(osg::Vec2(static_cast<float>(column - column0) / extent,
                                             1.0f - static_cast<float>(row - row0) / extent));
            }
        }
        osg::ref_ptr<osg::DrawElementsUShort> triangles = new osg::DrawElementsUShort(GL_TRIANGLES);
        const std::size_t across = columns.size();
        for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
            for (std::size_t j = 0; j + 1 < across; ++j) {
                if (!dem.hasData(rows[i], columns[j]) || !dem.hasData(rows[i], columns[j + 1]) ||
                    !dem.hasData(rows[i + 1], columns[j]) || !dem.hasData(rows[i + 1], columns[j + 1])) {
                    continue;
                }
                const auto a = static_cast<unsigned short>(i * across + j);
                const auto b = static_cast<unsigned short>(a + across);
                for (const unsigned short index :
                     {a, b, static_cast<unsigned short>(a + 1), b, static_cast<unsigned short>(b + 1),
                      static_cast<unsigned short>(a + 1)}) {
                    triangles->push_back(index);
                }
            }
        }
        vertexCount = static_cast<long long>(vertices->size());
        const double width = (columns.back() - column0) * cell;
        const double height = (rows.back() - row0) * cell;
        centre = osg::Vec3d(originX + width / 2, originY - height / 2, (low + high) / 2.0);
        radius = 0.5 * std::sqrt(width * width + height * height + (high - low) * (high - low));

        osg::ref_ptr<osg::Geode> geode = new osg::Geode;
        if (!triangles->empty()) {
            osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
            geometry->setVertexArray(vertices.get());
            geometry->setTexCoordArray(0, texture.get());
            osg::ref_ptr<osg::Vec4Array> white = new osg::Vec4Array(1);
            (*white)[0] = osg::Vec4(1, 1, 1, 1);
            geometry->setColorArray(white.get(), osg::Array::BIND_OVERALL);
            geometry->addPrimitiveSet(triangles.get());
            geometry->setUseDisplayList(false);
            geometry->setUseVertexBufferObjects(true);
            geode->addDrawable(geometry.get());
            geometry->getOrCreateStateSet()->setTextureAttributeAndModes(
                0, textureOf(column0, row0, extent).get());
        }
        osg::ref_ptr<osg::MatrixTransform> placed =
            new osg::MatrixTransform(osg::Matrixd::translate(originX, originY, 0));
        placed->addChild(geode.get());
        return placed;
    }

private:
    // first, first + step, ... up to first + extent, cut at `last`, which is always taken.
    static std::vector<int> samples(int first, int extent, int s, int last) {
        std::vector<int> values;
        for (int value = first; value <= first + extent && value < last; value += s) {
            values.push_back(value);
        }
        if (values.empty() || values.back() != std::min(first + extent, last)) {
            values.push_back(std::min(first + extent, last));
        }
        return values;
    }

    // The colours of cells [column0, column0 + extent) x [row0, row0 + extent), averaged down to the
    // tile's texture; cells beyond the grid repeat its edge.
    osg::ref_ptr<osg::Texture2D> textureOf(int column0, int row0, int extent) const {
        const int sourceEdge = extent * pixelsPerCell;
        const int edge = std::min({sourceEdge, terrainTileCells * pixelsPerCell, maxTextureEdge});
        const int factor = std::max(1, sourceEdge / edge);
        osg::ref_ptr<osg::Image> image = new osg::Image;
        image->allocateImage(edge, edge, 1, GL_RGB, GL_UNSIGNED_BYTE);
        for (int v = 0; v < edge; ++v) {
            // Image rows run from the south (texture coordinate 0) up.
            unsigned char* out = image->data(0, edge - 1 - v);
            for (int u = 0; u < edge; ++u, out += 3) {
                int sums[3] = {0, 0, 0};
                for (int dy = 0; dy < factor; ++dy) {
                    const int y = std::min(row0 * pixelsPerCell + v * factor + dy, colours.height - 1);
                    for (int dx = 0; dx < factor; ++dx) {
                        const int x = std::min(column0 * pixelsPerCell + u * factor + dx, colours.width - 1);
                        const std::uint8_t* pixel =
                            &colours.rgb[(static_cast<std::size_t>(y) * colours.width + x) * 3];
                        sums[0] += pixel[0];
                        sums[1] += pixel[1];
                        sums[2] += pixel[2];
                    }
                }
                for (int channel = 0; channel < 3; ++channel) {
                    out[channel] = static_cast<unsigned char>(sums[channel] / (factor * factor));
                }
            }
        }
        osg::ref_ptr<osg::Texture2D> texture = new osg::Texture2D(image.get());
        texture->setResizeNonPowerOfTwoHint(false);
        // No mipmaps: a tile seen from afar gives way to a coarser one, and software OpenGL builds them slowly.
        texture->setFilter(osg::Texture::MIN_FILTER, osg::Texture::LINEAR);
        texture->setFilter(osg::Texture::MAG_FILTER, osg::Texture::LINEAR);
        texture->setWrap(osg::Texture::WRAP_S, osg::Texture::CLAMP_TO_EDGE);
        texture->setWrap(osg::Texture::WRAP_T, osg::Texture::CLAMP_TO_EDGE);
        return texture;
    }

    const DemGrid& dem;
    const TerrainColours& colours;
    int levels = 1;
    int pixelsPerCell = 1;
};

std::string tileName(int level, int tileX, int tileY) {
    return std::to_string(level) + "_" + std::to_string(tileX) + "_" + std::to_string(tileY) + ".ive";
}

class SceneWriter {
public:
    SceneWriter(const TileBuilder& tiles, std::string tileFolder, TerrainSceneSummary& summary)
        : tiles(tiles), tileFolder(std::move(tileFolder)), summary(summary) {}

    // The node of tile (level, x, y): its mesh, and above the finest level a PagedLOD that pages in the
    // file of its four finer tiles, found at `pathToTiles` from the folder of the file the node goes into.
    osg::ref_ptr<osg::Node> node(int level, int tileX, int tileY, const std::string& pathToTiles,
                                 std::string& problem) {
        osg::Vec3d centre;
        double radius = 0;
        long long vertices = 0;
        osg::ref_ptr<osg::Node> mesh = tiles.tile(level, tileX, tileY, centre, radius, vertices);
        ++summary.tiles;
        summary.vertices += vertices;
        if (level + 1 == tiles.levelCount()) {
            return mesh;
        }
        if (!writeChildren(level + 1, tileX, tileY, problem)) {
            return nullptr;
        }
        osg::ref_ptr<osg::PagedLOD> paged = new osg::PagedLOD;
        paged->setCenterMode(osg::LOD::USER_DEFINED_CENTER);
        paged->setCenter(centre);
        paged->setRadius(static_cast<float>(radius));
        paged->setRangeMode(osg::LOD::PIXEL_SIZE_ON_SCREEN);
        paged->addChild(mesh.get(), 0.0f, refinePixels);
        paged->setFileName(1, pathToTiles + tileName(level + 1, tileX, tileY));
        paged->setRange(1, refinePixels, 1e30f);
        return paged;
    }

private:
    // The file holding the (up to) four tiles of `level` under tile (parentX, parentY) of the level above.
    bool writeChildren(int level, int parentX, int parentY, std::string& problem) {
        osg::ref_ptr<osg::Group> group = new osg::Group;
        for (int dy = 0; dy < 2; ++dy) {
            for (int dx = 0; dx < 2; ++dx) {
                const int x = 2 * parentX + dx;
                const int y = 2 * parentY + dy;
                if (x >= tiles.tilesAcross(level) || y >= tiles.tilesDown(level)) {
                    continue;
                }
                osg::ref_ptr<osg::Node> child = node(level, x, y, "", problem);
                if (!child) {
                    return false;
                }
                group->addChild(child.get());
            }
        }
        return writeModelFile(*group, tileFolder + "/" + tileName(level, parentX, parentY), problem);
    }

    const TileBuilder& tiles;
    std::string tileFolder;
    TerrainSceneSummary& summary;
};

}  // namespace

std::string terrainTileFolder(const std::string& modelPath) {
    return osgDB::getNameLessExtension(modelPath) + "_tiles";
}

bool writeTerrainScene(const DemGrid& dem, const TerrainColours& colours, const std::string& modelPath,
                       TerrainSceneSummary& summary, std::string& problem) {
    summary = TerrainSceneSummary();
    const TileBuilder tiles(dem, colours);
    summary.levels = tiles.levelCount();
    const std::string tileFolder = terrainTileFolder(modelPath);
    std::error_code error;
    std::filesystem::remove_all(tileFolder, error);
    if (tiles.levelCount() > 1 && !std::filesystem::create_directories(tileFolder, error)) {
        problem = "cannot create the folder \"" + tileFolder + "\": " + error.message();
        return false;
    }
    SceneWriter writer(tiles, tileFolder, summary);
    // The model names its finer tiles relative to its own folder; the tiles name theirs relative to the
    // tile folder they lie in.
    osg::ref_ptr<osg::Node> top = writer.node(0, 0, 0, osgDB::getSimpleFileName(tileFolder) + "/", problem);
    if (!top) {
        return false;
    }
    osg::ref_ptr<osg::Group> root = new osg::Group;
    root->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    root->addChild(top.get());
    return writeModelFile(*root, modelPath, problem);
}
