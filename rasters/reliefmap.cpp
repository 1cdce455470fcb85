#include "reliefmap.h"

#include <gdal_priv.h>
#include <gdal_utils.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "gdaldataset.h"
#include "summaryfiles.h"

namespace {

struct DemOptionsFree {
    void operator()(GDALDEMProcessingOptions* options) const { GDALDEMProcessingOptionsFree(options); }
};

}  // namespace

MapColour depthColour(double value, double high) {
    const double t = high > 0.0 ? std::clamp(value / high, 0.0, 1.0) : 1.0;
    const auto mix = [t](double pale, double dark) {
        return static_cast<std::uint8_t>(pale + (dark - pale) * t);
    };
    return {mix(198, 8), mix(219, 48), mix(239, 107)};
}

bool shadeRelief(const RasterFrame& frame, const std::vector<float>& elevation,
                 std::vector<std::uint8_t>& shade, std::string& problem) {
    if (frame.width < 1 || frame.height < 1 || elevation.size() != frame.cellCount()) {
        problem = "the terrain does not match its frame";
        return false;
    }
    GDALAllRegister();
    QuietGdal quiet;
    const auto failed = [&problem] {
        problem = "the relief cannot be shaded" + gdalReason();
        return false;
    };
    GdalDatasetHandle terrain = memoryRaster(frame, GDT_Float32, elevation.data());
    if (!terrain || terrain->GetRasterBand(1)->SetNoDataValue(summaryNoData) != CE_None) {
        return failed();
    }
    const char* arguments[] = {"-of", "MEM", "-compute_edges", "-multidirectional", nullptr};
    std::unique_ptr<GDALDEMProcessingOptions, DemOptionsFree> options(
        GDALDEMProcessingOptionsNew(const_cast<char**>(arguments), nullptr));
    if (!options) {
        return failed();
    }
    GdalDatasetHandle shaded(GDALDataset::FromHandle(GDALDEMProcessing(
        "", GDALDataset::ToHandle(terrain.get()), "hillshade", nullptr, options.get(), nullptr)));
    shade.resize(frame.cellCount());
    if (!shaded || shaded->GetRasterBand(1)->RasterIO(GF_Read, 0, 0, frame.width, frame.height, shade.data(),
                                                      frame.width, frame.height, GDT_Byte, 0, 0) != CE_None) {
        return failed();
    }
    return true;
}

bool drawReliefMap(const RasterFrame& frame, const std::vector<std::uint8_t>& shade,
                   const CellColour& colourOf, int maxWidth, MapPicture& picture, std::string& problem) {
    if (frame.width < 1 || frame.height < 1 || shade.size() != frame.cellCount() || maxWidth < 1) {
        problem = "the terrain does not match its frame";
        return false;
    }
    GDALAllRegister();
    QuietGdal quiet;
    // Large grids show every so many cells in a pixel; small ones are drawn a few pixels a cell, so that
    // the map is large enough to read.
    const int stride = (frame.width + maxWidth - 1) / maxWidth;
    const int zoom = std::max(1, maxWidth / 2 / frame.width);
    const int width = zoom * ((frame.width + stride - 1) / stride);
    const int height = zoom * ((frame.height + stride - 1) / stride);
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    std::vector<std::uint8_t> bands(3 * pixels);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int row = std::min(frame.height - 1, y / zoom * stride + stride / 2);
            const int column = std::min(frame.width - 1, x / zoom * stride + stride / 2);
            const std::size_t cell = static_cast<std::size_t>(row) * frame.width + column;
            // Bare ground in warm greys; no data in a flat light grey.
            const double light = shade[cell] == 0 ? 0.85 : 0.25 + 0.75 * shade[cell] / 255.0;
            double rgb[3] = {235 * light, 228 * light, 215 * light};
            MapColour colour;
            if (colourOf && colourOf(cell, colour)) {
                // The colour takes the relief's light, so the ground still reads beneath the water.
                const double lit = 0.55 + 0.45 * light;
                rgb[0] = colour.red * lit;
                rgb[1] = colour.green * lit;
                rgb[2] = colour.blue * lit;
            }
            const std::size_t pixel = static_cast<std::size_t>(y) * width + x;
            for (int channel = 0; channel < 3; ++channel) {
                bands[channel * pixels + pixel] =
                    static_cast<std::uint8_t>(std::clamp(rgb[channel], 0.0, 255.0));
            }
        }
    }
    GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("MEM");
    GDALDriver* png = GetGDALDriverManager()->GetDriverByName("PNG");
    GdalDatasetHandle image(memory && png ? memory->Create("", width, height, 3, GDT_Byte, nullptr)
                                          : nullptr);
    if (!image || image->RasterIO(GF_Write, 0, 0, width, height, bands.data(), width, height, GDT_Byte, 3,
                                  nullptr, 0, 0, 0, nullptr) != CE_None) {
        problem = "the map cannot be drawn" + gdalReason();
        return false;
    }
    const std::string memoryFile = memoryFilePath(".png");
    GdalDatasetHandle written(
        png->CreateCopy(memoryFile.c_str(), image.get(), FALSE, nullptr, nullptr, nullptr));
    const bool made = written != nullptr;
    written.reset();
    // PNG keeps no georeference; GDAL leaves it in a side file nobody reads.
    VSIUnlink((memoryFile + ".aux.xml").c_str());
    const std::optional<std::string> bytes = takeMemoryFile(memoryFile);
    if (!made || !bytes) {
        problem = "the map cannot be encoded as PNG" + gdalReason();
        return false;
    }
    picture.png = *bytes;
    picture.width = width;
    picture.height = height;
    picture.metresPerPixel = stride * std::abs(frame.geoTransform[1]) / zoom;
    return true;
}
