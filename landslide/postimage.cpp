#include "postimage.h"

#include <cpl_error.h>
#include <gdal_priv.h>

#include <algorithm>
#include <new>

bool PostImage::load(const std::string& path, std::string& problem) {
    imageFrame = RasterFrame();
    bands = 0;
    pixels.clear();
    const GdalDatasetHandle dataset = openRaster(path, problem);
    if (!dataset) {
        return false;
    }
    const int width = dataset->GetRasterXSize();
    const int height = dataset->GetRasterYSize();
    const int count = std::min(dataset->GetRasterCount(), 3);
    if (static_cast<long long>(width) * height * count > maxLandslideRasterCells) {
        problem = "\"" + path + "\" has more pixels than a run can hold";
        return false;
    }
    try {
        pixels.resize(static_cast<std::size_t>(width) * height * count);
    } catch (const std::bad_alloc&) {
        problem = "\"" + path + "\": not enough memory for its pixels";
        return false;
    }
    int bandMap[3] = {1, 2, 3};
    const GSpacing pixelSpace = static_cast<GSpacing>(sizeof(std::int32_t)) * count;
    CPLPushErrorHandler(CPLQuietErrorHandler);
    const CPLErr read =
        dataset->RasterIO(GF_Read, 0, 0, width, height, pixels.data(), width, height, GDT_Int32, count,
                          bandMap, pixelSpace, pixelSpace * width, sizeof(std::int32_t), nullptr);
    CPLPopErrorHandler();
    if (read != CE_None) {
        problem = "\"" + path + "\" cannot be read";
        pixels.clear();
        return false;
    }
    double coefficients[6] = {0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    dataset->GetGeoTransform(coefficients);
    std::copy(coefficients, coefficients + 6, imageFrame.geoTransform.begin());
    imageFrame.width = width;
    imageFrame.height = height;
    bands = count;
    return true;
}

const std::int32_t* PostImage::pixelAt(double mapX, double mapY) const {
    const PixelPosition pixel = geoToPixel(imageFrame.geoTransform, mapX, mapY);
    if (pixel.column < 0 || pixel.row < 0 || pixel.column >= imageFrame.width ||
        pixel.row >= imageFrame.height) {
        return nullptr;
    }
    return &pixels[(static_cast<std::size_t>(pixel.row) * imageFrame.width + pixel.column) * bands];
}

bool PostImage::sampleImageColour(double mapY, double mapX, std::vector<float>& values) const {
    values.clear();
    const std::int32_t* pixel = pixelAt(mapX, mapY);
    if (!pixel) {
        return false;
    }
    values.assign(pixel, pixel + bands);
    return true;
}
