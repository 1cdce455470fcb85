// The depth raster of the flood engine, read back with GDAL.
#include <gtest/gtest.h>

#include <gdal_priv.h>

#include <QTemporaryDir>
#include <memory>

#include "cafloodnew.h"
#include "floodrun.h"
#include "floodtestdata.h"
#include "testrasters.h"

namespace {

TEST(FloodDepthTiff, RasterHoldsTheDepthsWithTheGridsGeotransform) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const ValleyShape shape{16, 24, 12.5f};
    const std::string base = folder.path().toStdString();
    // A northing where floats are half a metre apart: the corner must not move to the nearest of them.
    writeAsciiGrid(base + "/dem.asc", shape.ncols, shape.nrows, valleyGround(shape), shape.cellsize, 500000.3,
                   7600000.3);
    writeAsciiGrid(base + "/n.asc", shape.ncols, shape.nrows,
                   std::vector<float>(static_cast<std::size_t>(shape.ncols) * shape.nrows, 0.035f),
                   shape.cellsize, 500000.3, 7600000.3);
    writeOutbreakFile(base + "/outbreak.txt", {{7, shape.nrows - 2}});
    CAFlood engine;
    ASSERT_EQ(startFloodRun(engine, {base + "/n.asc", base + "/dem.asc", base + "/outbreak.txt"},
                            smallBreach(2e5f)),
              FloodRunStart::Ready);
    runUntil(engine, 120.0f);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(engine.writeDepthTiff(base + "/missing-folder/1.tif"));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("cannot write \"" + base + "/missing-folder/1.tif\": No such file or directory"),
              std::string::npos)
        << said;

    const std::string path = base + "/1.tif";
    ASSERT_TRUE(engine.writeDepthTiff(path));
    GDALAllRegister();
    std::unique_ptr<GDALDataset> dataset(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)));
    ASSERT_NE(dataset, nullptr);
    EXPECT_STREQ(dataset->GetDriver()->GetDescription(), "GTiff");
    ASSERT_EQ(dataset->GetRasterXSize(), shape.ncols);
    ASSERT_EQ(dataset->GetRasterYSize(), shape.nrows);
    ASSERT_EQ(dataset->GetRasterCount(), 1);
    EXPECT_EQ(dataset->GetRasterBand(1)->GetRasterDataType(), GDT_Float32);

    double transform[6] = {};
    ASSERT_EQ(dataset->GetGeoTransform(transform), CE_None);
    const double expected[6] = {500000.3, 12.5, 0.0, 7600000.3 + 24 * 12.5, 0.0, -12.5};
    for (int i = 0; i < 6; ++i) {
        EXPECT_DOUBLE_EQ(transform[i], expected[i]) << "geotransform " << i;
    }

    // Without a ".prj" beside the elevation grid the raster claims no coordinate system: its coordinates
    // are the grid's, in whatever units those are.
    EXPECT_EQ(dataset->GetSpatialRef(), nullptr);

    std::vector<float> depths(static_cast<std::size_t>(shape.ncols) * shape.nrows);
    ASSERT_EQ(dataset->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, shape.ncols, shape.nrows, depths.data(),
                                                  shape.ncols, shape.nrows, GDT_Float32, 0, 0),
              CE_None);
    int wet = 0;
    for (int r = 0; r < shape.nrows; ++r) {
        for (int c = 0; c < shape.ncols; ++c) {
            SCOPED_TRACE("row " + std::to_string(r) + ", column " + std::to_string(c));
            const float depth = depths[static_cast<std::size_t>(r) * shape.ncols + c];
            ASSERT_EQ(depth, cellDepth(engine, r, c));
            const bool border = r == 0 || c == 0 || r == shape.nrows - 1 || c == shape.ncols - 1;
            if (border || engine.cellRows()[r][c].source) {
                ASSERT_EQ(depth, 0.0f);
            }
            wet += depth > 0.0f ? 1 : 0;
        }
    }
    EXPECT_GT(wet, 20) << "the raster shows a flood, not an empty grid";
}

// The coordinate system of a ".prj" file beside the elevation grid goes into the depth raster; a ".prj"
// that holds none is reported and leaves the raster without one.
TEST(FloodDepthTiff, RasterCarriesTheCoordinateSystemBesideTheElevationGrid) {
    struct Case {
        const char* name;
        int epsg;  // 0: the ".prj" holds `text` instead
        const char* text;
        bool expectDiagnostic;
    };
    const Case cases[] = {
        {"UTM zone 48N", 32648, "", false},
        {"Gauss-Krueger CGCS2000", 4547, "", false},
        {"garbage", 0, "this is not a coordinate system", true},
        {"empty file", 0, "", true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const std::string base = folder.path().toStdString();
        const ValleyShape shape{12, 12, 10.0f};
        const std::vector<std::string> inputs = writeValley(base, shape, {{5, 10}});
        if (test.epsg != 0) {
            writePrjFile(base + "/dem.prj", test.epsg);
        } else {
            writeTextFile(base + "/dem.prj", test.text);
        }
        CAFlood engine;
        testing::internal::CaptureStderr();
        const FloodRunStart start = startFloodRun(engine, inputs, smallBreach(1e4f));
        const std::string said = testing::internal::GetCapturedStderr();
        ASSERT_EQ(start, FloodRunStart::Ready) << said;
        EXPECT_EQ(said.find("dem.prj") != std::string::npos, test.expectDiagnostic) << said;
        ASSERT_TRUE(engine.writeDepthTiff(base + "/1.tif"));
        const std::optional<RasterContents> raster = readRaster(base + "/1.tif");
        ASSERT_TRUE(raster);
        if (test.epsg != 0) {
            EXPECT_TRUE(isSameCoordinateSystem(raster->projection, test.epsg)) << raster->projection;
        } else {
            EXPECT_EQ(raster->projection, "");
        }
    }
}

}  // namespace

// The depths kept beside the cells for the result files follow the cells as the flood spreads, drains and
// settles, on one thread and on two.
TEST(FloodDepthTiff, KeptDepthsFollowTheCells) {
    QTemporaryDir folder;
    const ValleyShape shape{40, 96, 10.0f};
    const std::vector<std::string> inputs = writeValley(folder.path().toStdString(), shape, {{20, shape.nrows - 2}});
    for (const int threads : {1, 2}) {
        CAFlood engine;
        engine.setThreadCount(threads);
        ASSERT_EQ(startFloodRun(engine, inputs, smallBreach(2e5f)), FloodRunStart::Ready);
        for (const double until : {20.0, 200.0, 900.0, 3000.0}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, " + std::to_string(until) + " s");
            runUntil(engine, until);
            const float* depths = engine.cellDepths();
            const std::vector<float> grid = engine.depthGrid().depths;
            int wet = 0;
            for (int r = 0; r < shape.nrows; ++r) {
                for (int c = 0; c < shape.ncols; ++c) {
                    const std::size_t i = static_cast<std::size_t>(r) * shape.ncols + c;
                    ASSERT_TRUE(sameBits(depths[i], cellDepth(engine, r, c))) << r << ", " << c;
                    ASSERT_TRUE(sameBits(grid[i], depths[i]));
                    wet += depths[i] > 0.0f;
                }
            }
            EXPECT_GT(wet, 20);
        }
    }
}
