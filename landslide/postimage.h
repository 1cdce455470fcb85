#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "landslideraster.h"

// The post-disaster image, read once into memory, that colours the landslide meshes. Its pixel values
// are those a one-pixel read of the file at the same position gives (GDAL's conversion to 32-bit
// integers), so sampling from memory draws exactly what per-vertex raster reads would draw.
class PostImage {
public:
    // Reads bands 1 to 3 (fewer when the image has fewer). False, with the reason in `problem`, when the
    // file does not open as a raster or is too large; the image is then empty.
    bool load(const std::string& path, std::string& problem);

    // The values of the stored bands at map position (x, y), in band order. False, with `values` empty,
    // when the position lies outside the image.
    bool sampleImageColour(double mapY, double mapX, std::vector<float>& values) const;

    int storedBands() const { return bands; }
    const RasterFrame& frame() const { return imageFrame; }
    // The stored bands of the pixel at a map position; null outside the image.
    const std::int32_t* pixelAt(double mapX, double mapY) const;

private:

    RasterFrame imageFrame;
    int bands = 0;
    std::vector<std::int32_t> pixels;  // pixel-interleaved: bands values per pixel, row-major
};
