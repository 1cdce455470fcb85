// The depth raster of the flood engine, read back with GDAL.
#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <QTemporaryDir>
#include <memory>

#include "cafloodnew.h"
#include "floodrun.h"
#include "floodtestdata.h"

namespace {

TEST(FloodDepthTiff, RasterHoldsTheDepthsWithGeotransformAndWgs84) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const ValleyShape shape{16, 24, 12.5f};
    const std::string base = folder.path().toStdString();
    writeAsciiGrid(base + "/dem.asc", shape.ncols, shape.nrows, valleyGround(shape), shape.cellsize, 500000.5,
                   3000000.25);
    writeAsciiGrid(base + "/n.asc", shape.ncols, shape.nrows,
                   std::vector<float>(static_cast<std::size_t>(shape.ncols) * shape.nrows, 0.035f),
                   shape.cellsize);
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
    const double expected[6] = {500000.5, 12.5, 0.0, 3000000.25 + 24 * 12.5, 0.0, -12.5};
    for (int i = 0; i < 6; ++i) {
        EXPECT_DOUBLE_EQ(transform[i], expected[i]) << "geotransform " << i;
    }

    const OGRSpatialReference* reference = dataset->GetSpatialRef();
    ASSERT_NE(reference, nullptr);
    EXPECT_TRUE(reference->IsGeographic());
    OGRSpatialReference wgs84;
    wgs84.SetWellKnownGeogCS("WGS84");
    // The dataset maps its axes in GIS order (longitude first); the datum and units are what count.
    const char* const options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", nullptr};
    EXPECT_TRUE(reference->IsSame(&wgs84, options));
    EXPECT_STREQ(reference->GetAttrValue("DATUM"), "WGS_1984");

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

}  // namespace
