#include "landslidetestdata.h"

#include <gdal_priv.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <stdexcept>

void writeTestRaster(const std::string& path, int width, int height, const GeoTransform& geoTransform,
                     const std::vector<std::vector<float>>& bands, std::optional<double> noData,
                     GDALDataType type) {
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    GDALDataset* dataset =
        driver ? driver->Create(path.c_str(), width, height, static_cast<int>(bands.size()), type, nullptr)
               : nullptr;
    if (!dataset) {
        throw std::runtime_error("cannot create " + path);
    }
    GeoTransform coefficients = geoTransform;
    dataset->SetGeoTransform(coefficients.data());
    bool written = true;
    for (std::size_t b = 0; b < bands.size(); ++b) {
        GDALRasterBand* band = dataset->GetRasterBand(static_cast<int>(b) + 1);
        if (noData) {
            band->SetNoDataValue(*noData);
        }
        std::vector<float> values = bands[b];
        values.resize(static_cast<std::size_t>(width) * height);
        written = written && band->RasterIO(GF_Write, 0, 0, width, height, values.data(), width, height,
                                            GDT_Float32, 0, 0) == CE_None;
    }
    GDALClose(dataset);
    if (!written) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<float> readTestRaster(const std::string& path) {
    GDALAllRegister();
    std::unique_ptr<GDALDataset> dataset(static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly)));
    if (!dataset) {
        return {};
    }
    const int width = dataset->GetRasterXSize();
    const int height = dataset->GetRasterYSize();
    std::vector<float> values(static_cast<std::size_t>(width) * height);
    if (dataset->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, width, height, values.data(), width, height,
                                            GDT_Float32, 0, 0) != CE_None) {
        return {};
    }
    return values;
}

int slideCentreRow(const SlideDesign& design, int column) {
    return design.height / 2 + static_cast<int>(std::lround(3.0 * std::sin(column / 15.0)));
}

float slideGround(const SlideDesign& design, int row, int column) {
    // Falls eastwards, and a little towards the path from either side.
    return static_cast<float>(1500.0 - 3.0 * column + 0.5 * std::abs(row - slideCentreRow(design, column)));
}

namespace {

bool onPath(const SlideDesign& design, int row, int column) {
    return column >= design.firstColumn - design.pathHalfWidth &&
           column <= design.lastColumn + design.pathHalfWidth &&
           std::abs(row - slideCentreRow(design, column)) <= design.pathHalfWidth;
}

GeoTransform transformAt(const SlideDesign& design, int row, int column, double cellSize) {
    return {design.originX + column * design.cellSize, cellSize, 0.0,
            design.originY - row * design.cellSize,    0.0,      -cellSize};
}

// Values of a part of the mosaic's grid: rows [row0, row0 + rows), columns [col0, col0 + cols).
template <typename Value>
std::vector<float> part(int row0, int col0, int rows, int cols, const Value& value) {
    std::vector<float> values;
    values.reserve(static_cast<std::size_t>(rows) * cols);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            values.push_back(value(row0 + r, col0 + c));
        }
    }
    return values;
}

}  // namespace

SlideScene writeSlideScene(const std::string& folder, const SlideDesign& d) {
    SlideScene scene;
    const std::string base = folder + "/";
    scene.inputs = {base + "deposit.tif",    base + "path.tif",   base + "body.tif",   base + "image.tif",
                    base + "centreline.tif", base + "mosaic.tif", base + "postdem.tif"};
    scene.mosaicTransform = transformAt(d, 0, 0, d.cellSize);

    scene.mosaic = part(0, 0, d.height, d.width, [&](int r, int c) { return slideGround(d, r, c); });
    writeTestRaster(scene.inputs.mosaic, d.width, d.height, scene.mosaicTransform, {scene.mosaic});

    // Larger than the mosaic: the run reads the mosaic's window of it. A value of 10000 is not path.
    const int pathWidth = d.width + 3;
    const int pathHeight = d.height + 2;
    writeTestRaster(scene.inputs.path, pathWidth, pathHeight, scene.mosaicTransform,
                    {part(0, 0, pathHeight, pathWidth, [&](int r, int c) {
                        return r < d.height && c < d.width && onPath(d, r, c) ? 1.0f : 10000.0f * (r % 2);
                    })});

    const int bodyRow = d.height / 2 - 3 - d.pathHalfWidth - 1;
    const int bodyCol = d.firstColumn - d.pathHalfWidth;
    const int bodyRows = 2 * (3 + d.pathHalfWidth + 1) + 1;
    const int bodyCols = d.bodyColumns + d.pathHalfWidth;
    writeTestRaster(scene.inputs.body, bodyCols, bodyRows, transformAt(d, bodyRow, bodyCol, d.cellSize),
                    {part(bodyRow, bodyCol, bodyRows, bodyCols,
                          [&](int r, int c) {
                              return onPath(d, r, c) && c < d.firstColumn + d.bodyColumns ? d.bodyThickness
                                                                                          : -9999.0f;
                          })},
                    -9999.0);

    const int depositCol = d.lastColumn - d.depositColumns + 1;
    const int depositCols = d.depositColumns + d.pathHalfWidth;
    const int depositRow = bodyRow;
    const int depositRows = bodyRows;
    auto inDeposit = [&](int r, int c) { return onPath(d, r, c) && c >= depositCol; };
    writeTestRaster(scene.inputs.deposit, depositCols, depositRows,
                    transformAt(d, depositRow, depositCol, d.cellSize),
                    {part(depositRow, depositCol, depositRows, depositCols,
                          [&](int r, int c) { return inDeposit(r, c) ? 1.0f : 0.0f; })});

    // From the centreline's first column on, one cell per column.
    const int centreCols = d.lastColumn - d.firstColumn + 1;
    writeTestRaster(scene.inputs.centreline, centreCols, d.height,
                    transformAt(d, 0, d.firstColumn, d.cellSize),
                    {part(0, d.firstColumn, d.height, centreCols,
                          [&](int r, int c) { return r == slideCentreRow(d, c) ? 1.0f : -9999.0f; })},
                    -9999.0);

    // Two pixels per cell each way.
    const int imageWidth = 2 * d.width;
    const int imageHeight = 2 * d.height;
    std::vector<std::vector<float>> colours(3);
    for (int b = 0; b < 3; ++b) {
        colours[b] = part(0, 0, imageHeight, imageWidth, [&](int r, int c) {
            return static_cast<float>(onPath(d, r / 2, c / 2) ? slidePathRed[b] : slideGroundGreen[b]);
        });
    }
    writeTestRaster(scene.inputs.image, imageWidth, imageHeight, transformAt(d, 0, 0, d.cellSize / 2),
                    colours, {}, GDT_Byte);

    scene.postDem = part(0, 0, d.height, d.width, [&](int r, int c) {
        if (c == 0 || c == d.width - 1) {
            return -9999.0f;
        }
        return slideGround(d, r, c) + (inDeposit(r, c) ? d.depositThickness : 0.0f);
    });
    writeTestRaster(scene.inputs.postDem, d.width, d.height, scene.mosaicTransform, {scene.postDem}, -9999.0);
    return scene;
}
