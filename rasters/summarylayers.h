#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "georaster.h"

// The class rasters and vector layers of a run's summary folder, beside its value rasters.

// One class of a class raster: its value (from 1; 0 marks cells never classed), the name GIS tools show
// for it and its colour.
struct RasterClass {
    int value = 0;
    std::string name;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// Writes `classes` (frame.width x frame.height bytes, 0 for no data) as the byte GeoTIFF `name` in
// `folder` with a colour table and the classes' names as category names (in the ".aux.xml" file GDAL
// keeps beside it). Each file appears whole or not at all. False, with the reason in `problem`.
bool writeSummaryClasses(const std::string& folder, const std::string& name, const RasterFrame& frame,
                         const std::vector<std::uint8_t>& classes, const std::vector<RasterClass>& legend,
                         std::string& problem);

// The bytes of a GeoPackage, in the frame's coordinate system, with two layers: "extent", the polygons
// of the cells where `depth` rose above `wetDepth`, and "isochrones", lines of equal `arrivalSeconds`
// (summaryNoData where no water came) every `intervalMinutes`, each with its time in the field "minutes".
// Made in memory, so that it can be made while other files are written; `path`, where it is to go, names
// it in problems. False, with the reason in `problem`.
bool extentAndIsochronesPackage(const std::string& path, const RasterFrame& frame,
                                const std::vector<float>& depth, float wetDepth,
                                const std::vector<float>& arrivalSeconds, double intervalMinutes,
                                std::string& package, std::string& problem);
