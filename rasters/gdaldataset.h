#pragma once

#include <gdal.h>

#include <memory>
#include <string>

#include "georaster.h"

class GDALDataset;
class OGRSpatialReference;

// A GDAL dataset owned by the code that opened or made it: closing it flushes and frees it.
struct GdalDatasetCloser {
    void operator()(GDALDataset* dataset) const;
};
using GdalDatasetHandle = std::unique_ptr<GDALDataset, GdalDatasetCloser>;

// A path in double quotes, as messages name files.
std::string quoted(const std::string& path);

// The coordinate system as WKT; empty for none.
std::string wktOf(const OGRSpatialReference* reference);

// Gives `dataset` the frame's georeference, and its projection when it has one.
void georeference(GDALDataset& dataset, const RasterFrame& frame);

// A one-band raster in memory on `frame` holding `values` (frame.width x frame.height cells of `type`,
// row-major), for GDAL's algorithms to read. Null when GDAL cannot make or fill it.
GdalDatasetHandle memoryRaster(const RasterFrame& frame, GDALDataType type, const void* values);
