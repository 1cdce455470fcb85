// The landslide meshes and the raster operations under them: where the triangles go, where their
// vertices sit, the colours from the post-disaster image, and the GeoTIFF writer.
#include <gtest/gtest.h>

#include <cpl_conv.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <QTemporaryDir>
#include <memory>

#include "landslidemesh.h"
#include "landslidetestdata.h"
#include "testmodels.h"

namespace {

const GeoTransform mosaicTransform = {1000.0, 10.0, 0.0, 2000.0, 0.0, -10.0};

class LandslideMeshTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        // A 6 x 7 grid at heights 100 + row; the image covers it with one pixel per cell, red = 10 × column,
        // green = 10 × row, blue = 7.
        run.mosaicWidth = width;
        run.mosaicHeight = height;
        run.mosaicGeoTransform = mosaicTransform;
        run.originX = mosaicTransform[0];
        run.originY = mosaicTransform[3];
        for (int r = 0; r < height; ++r) {
            for (int c = 0; c < width; ++c) {
                run.baseSurface.push_back(100.0f + r);
            }
        }
        run.surface = run.baseSurface;
        std::vector<std::vector<float>> bands(3);
        for (int r = 0; r < height; ++r) {
            for (int c = 0; c < width; ++c) {
                bands[0].push_back(10.0f * c);
                bands[1].push_back(10.0f * r);
                bands[2].push_back(7.0f);
            }
        }
        const std::string image = folder.path().toStdString() + "/image.tif";
        writeTestRaster(image, width, height, mosaicTransform, bands, {}, GDT_Byte);
        std::string problem;
        ASSERT_TRUE(run.postImage.load(image, problem)) << problem;
    }

    void raise(int row, int col, float by = 5.0f) {
        run.surface[static_cast<std::size_t>(row) * width + col] += by;
    }
    osg::Vec3 vertexAt(int row, int col) const {
        return osg::Vec3(1000.0f + 10.0f * col, 2000.0f - 10.0f * row,
                         run.surface[static_cast<std::size_t>(row) * width + col]);
    }
    static osg::Vec4 colourAt(int row, int col) {
        return osg::Vec4(10.0f * col / 255.0f, 10.0f * row / 255.0f, 7.0f / 255.0f, 1.0f);
    }

    static constexpr int width = 6;
    static constexpr int height = 7;
    QTemporaryDir folder;
    LandslideRun run;
};

TEST_F(LandslideMeshTest, ThreeRaisedCornersMakeOneTriangleInCornerOrder) {
    // Corners 1, 2, 3 of row L = 3, column M = 2: (4, 2), (3, 2), (4, 3).
    raise(4, 2);
    raise(3, 2);
    raise(4, 3);
    const TriangleMesh mesh = collectTriangles(*buildStepMesh(run));
    EXPECT_EQ(mesh.geometries, static_cast<unsigned>(height - 3))
        << "one geometry per row from the fifth up to row 2";
    ASSERT_EQ(mesh.vertices.size(), 3u);
    EXPECT_EQ(mesh.vertices[0], vertexAt(4, 2));
    EXPECT_EQ(mesh.vertices[1], vertexAt(3, 2));
    EXPECT_EQ(mesh.vertices[2], vertexAt(4, 3));
    EXPECT_FLOAT_EQ(mesh.vertices[1].z(), 108.0f);
    for (std::size_t i = 0; i < 3; ++i) {
        const int rows[] = {4, 3, 4};
        const int cols[] = {2, 2, 3};
        EXPECT_EQ(mesh.colours[i], colourAt(rows[i], cols[i])) << "vertex " << i;
    }

    // The fourth corner adds triangle 2, 3, 4.
    raise(3, 3);
    const TriangleMesh both = collectTriangles(*buildStepMesh(run));
    ASSERT_EQ(both.vertices.size(), 6u);
    EXPECT_EQ(both.vertices[3], vertexAt(3, 2));
    EXPECT_EQ(both.vertices[4], vertexAt(4, 3));
    EXPECT_EQ(both.vertices[5], vertexAt(3, 3));
}

TEST_F(LandslideMeshTest, RowsZeroAndOneNeverDrawAndTheLastRowAndColumnDo) {
    const struct {
        const char* what;
        int firstRow, lastRow;
        std::size_t vertices;
    } cases[] = {
        {"rows 0 and 1", 0, 1, 0},
        {"rows 0 to 2", 0, 2, 0},
        {"the whole grid", 0, height - 1, static_cast<std::size_t>(6 * (width - 1) * (height - 3))},
        {"the last two rows", height - 2, height - 1, static_cast<std::size_t>(6 * (width - 1))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        run.surface = run.baseSurface;
        for (int r = c.firstRow; r <= c.lastRow; ++r) {
            for (int col = 0; col < width; ++col) {
                raise(r, col);
            }
        }
        const TriangleMesh mesh = collectTriangles(*buildStepMesh(run));
        EXPECT_EQ(mesh.vertices.size(), c.vertices);
        for (const osg::Vec3& vertex : mesh.vertices) {
            EXPECT_LE(vertex.y(), 2000.0f - 20.0f) << "a vertex of row 0 or 1";
        }
    }
    // The last row and column are drawn.
    const TriangleMesh mesh = collectTriangles(*buildStepMesh(run));
    EXPECT_NE(std::find(mesh.vertices.begin(), mesh.vertices.end(), vertexAt(height - 1, width - 1)),
              mesh.vertices.end());
}

TEST_F(LandslideMeshTest, ColoursComeFromTheImageWithGreyWhereItHasNoColour) {
    // An image covering only the grid's western half, and one of a single band.
    const std::string half = folder.path().toStdString() + "/half.tif";
    writeTestRaster(half, 3, height, mosaicTransform,
                    {std::vector<float>(3 * height, 200.0f), std::vector<float>(3 * height, 100.0f),
                     std::vector<float>(3 * height, 50.0f)},
                    {}, GDT_Byte);
    const std::string grey = folder.path().toStdString() + "/grey.tif";
    writeTestRaster(grey, width, height, mosaicTransform, {std::vector<float>(width * height, 51.0f)}, {},
                    GDT_Byte);

    const struct {
        std::string image;
        osg::Vec4 west, east;  // colours of columns 0 and 5
    } cases[] = {
        {half, osg::Vec4(200 / 255.0f, 100 / 255.0f, 50 / 255.0f, 1), postImageOutsideColour},
        {grey, osg::Vec4(0.2f, 0.2f, 0.2f, 1), osg::Vec4(0.2f, 0.2f, 0.2f, 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.image);
        std::string problem;
        ASSERT_TRUE(run.postImage.load(c.image, problem)) << problem;
        EXPECT_EQ(postImageColour(run.postImage, 1000.0, 1970.0), c.west);
        EXPECT_EQ(postImageColour(run.postImage, 1050.0, 1970.0), c.east);
    }
    EXPECT_EQ(postImageOutsideColour, osg::Vec4(0.5f, 0.5f, 0.5f, 1.0f));
}

TEST_F(LandslideMeshTest, FinalMeshDrawsThePostDisasterDemWithoutItsEmptyCells) {
    run.postDemWidth = width;
    run.postDemHeight = height;
    run.postDemNoData = -9999.0f;
    run.postDem.assign(static_cast<std::size_t>(width) * height, 50.0f);
    // Columns 0 and 1 empty but for row 0, which is never a corner: no triangle touches them.
    for (int r = 0; r < height; ++r) {
        run.postDem[static_cast<std::size_t>(r) * width] = -9999.0f;
        run.postDem[static_cast<std::size_t>(r) * width + 1] = r == 0 ? 50.0f : -9999.0f;
    }
    const TriangleMesh mesh = collectTriangles(*buildFinalMesh(run));
    EXPECT_EQ(mesh.geometries, static_cast<unsigned>(height - 3));
    // Columns 2 to 5: three quads per row of rows 2 to 5.
    EXPECT_EQ(mesh.vertices.size(), static_cast<std::size_t>(6 * 3 * 4));
    for (const osg::Vec3& vertex : mesh.vertices) {
        EXPECT_GE(vertex.x(), 1020.0f);
        EXPECT_FLOAT_EQ(vertex.z(), 50.0f);
    }
}

TEST(LandslideRaster, GeoToPixelRoundsToTheNearestCorner) {
    const struct {
        double x, y;
        int column, row;
    } cases[] = {
        {1000.0, 2000.0, 0, 0},
        {1004.9, 2000.0, 0, 0},
        {1005.0, 2000.0, 1, 0},
        {1037.0, 1961.0, 4, 4},
        {994.0, 2000.0, 0, 0},  // within half a cell west: toward zero, still column
                                // 0
        {984.0, 2000.0, -1, 0},
        {1000.0, 2016.0, 0, -1},
        {1e300, 2000.0, -1, -1},
    };
    for (const auto& c : cases) {
        const PixelPosition pixel = geoToPixel(mosaicTransform, c.x, c.y);
        EXPECT_EQ(pixel.column, c.column) << c.x << ", " << c.y;
        EXPECT_EQ(pixel.row, c.row) << c.x << ", " << c.y;
    }
    const PixelPosition degenerate = geoToPixel({0, 0, 0, 0, 0, 0}, 1, 1);
    EXPECT_EQ(degenerate.column, -1);
    EXPECT_EQ(degenerate.row, -1);
}

TEST(LandslideRaster, ImageSamplesFromMemoryAreWhatOnePixelReadsGive) {
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString() + "/float image.tif";
    // Fractional and negative values and a rotation-free grid of 2.5 m pixels: the conversion to integers
    // must match GDAL's own one-pixel reads.
    const GeoTransform transform = {300.0, 2.5, 0.0, 900.0, 0.0, -2.5};
    std::vector<std::vector<float>> bands(3);
    for (int r = 0; r < 9; ++r) {
        for (int c = 0; c < 11; ++c) {
            for (int b = 0; b < 3; ++b) {
                bands[b].push_back(b * 100.0f + r * 10.3f - c * 4.55f);
            }
        }
    }
    writeTestRaster(path, 11, 9, transform, bands);
    PostImage image;
    std::string problem;
    ASSERT_TRUE(image.load(path, problem)) << problem;
    EXPECT_EQ(image.storedBands(), 3);

    std::unique_ptr<GDALDataset> dataset(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)));
    ASSERT_TRUE(dataset);
    int inside = 0;
    for (double x = 295.0; x < 335.0; x += 0.9) {
        for (double y = 905.0; y > 872.0; y -= 1.1) {
            std::vector<float> values = {-1.0f};
            const bool found = image.sampleImageColour(y, x, values);
            const PixelPosition pixel = geoToPixel(transform, x, y);
            const bool expected = pixel.column >= 0 && pixel.row >= 0 && pixel.column < 11 && pixel.row < 9;
            ASSERT_EQ(found, expected) << x << ", " << y;
            if (!expected) {
                ASSERT_TRUE(values.empty());
                continue;
            }
            ++inside;
            std::int32_t read[3] = {};
            ASSERT_EQ(dataset->RasterIO(GF_Read, pixel.column, pixel.row, 1, 1, read, 1, 1, GDT_Int32, 3,
                                        nullptr, 0, 0, 0, nullptr),
                      CE_None);
            ASSERT_EQ(values, (std::vector<float>{float(read[0]), float(read[1]), float(read[2])}))
                << x << ", " << y;
        }
    }
    EXPECT_GT(inside, 200);
}

TEST(LandslideRaster, GeoTiffsRoundTripAndUnwritablePathsAreReported) {
    QTemporaryDir folder;
    RasterFrame frame;
    frame.width = 4;
    frame.height = 3;
    frame.geoTransform = mosaicTransform;
    OGRSpatialReference reference;
    reference.SetWellKnownGeogCS("WGS84");
    char* wkt = nullptr;
    reference.exportToWkt(&wkt);
    frame.projection = wkt;
    CPLFree(wkt);
    const std::vector<float> values = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, -9999};
    const std::string path =
        folder.path().toStdString() + "/a folder with a long name " + std::string(200, 'x') + ".tif";
    std::string problem;
    ASSERT_TRUE(writeGeoTiff(path, frame, values, -9999.0, problem)) << problem;

    FloatRaster read;
    ASSERT_TRUE(readFloatRaster(path, read, problem)) << problem;
    EXPECT_EQ(read.values, values);
    EXPECT_EQ(read.frame.geoTransform, mosaicTransform);
    EXPECT_TRUE(read.hasNoData);
    EXPECT_EQ(read.noData, -9999.0);
    EXPECT_EQ(read.bandCount, 1);
    EXPECT_NE(read.frame.projection.find("WGS"), std::string::npos);

    EXPECT_FALSE(writeGeoTiff(folder.path().toStdString() + "/missing/x.tif", frame, values, {}, problem));
    EXPECT_NE(problem.find("missing/x.tif"), std::string::npos) << problem;
    EXPECT_FALSE(writeGeoTiff(path, frame, std::vector<float>(5), {}, problem));
}

}  // namespace
