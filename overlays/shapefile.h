#pragma once

#include <gdal_priv.h>
#include <string>

// The shapefile (or other vector file) at `path` (local 8-bit), opened through OGR once it and its
// companions are found regular files. Null, saying why in `problem`, otherwise.
GDALDatasetUniquePtr openShapefile(const std::string& path, std::string& problem);
