#include "terraincolours.h"

#include <algorithm>
#include <cmath>
#include <osg/Vec3>

#include "demgrid.h"

osg::Vec4 elevationColour(float height, float low, float high) {
    const float t = high > low ? std::clamp((height - low) / (high - low), 0.0f, 1.0f) : 0.0f;
    const osg::Vec4 stops[] = {{0.42f, 0.55f, 0.30f, 1},
                               {0.30f, 0.42f, 0.22f, 1},
                               {0.52f, 0.46f, 0.38f, 1},
                               {0.66f, 0.62f, 0.58f, 1},
                               {0.95f, 0.95f, 0.96f, 1}};
    const float scaled = t * 4.0f;
    const int index = std::min(3, static_cast<int>(scaled));
    const float f = scaled - index;
    return stops[index] * (1 - f) + stops[index + 1] * f;
}

float reliefShade(float eastRise, float northRise, double cellSize) {
    const osg::Vec3 sun = osg::Vec3(-0.5f, 0.6f, 0.62f) / osg::Vec3(-0.5f, 0.6f, 0.62f).length();
    osg::Vec3 normal(-eastRise, -northRise, 1.2f * static_cast<float>(cellSize));
    normal.normalize();
    return 0.35f + 0.75f * std::max(0.0f, normal * sun);
}

TerrainColours reliefColours(const DemGrid& dem) {
    float low = 0;
    float high = 0;
    bool any = false;
    for (const float height : dem.heights) {
        if (height != DemGrid::noData) {
            low = any ? std::min(low, height) : height;
            high = any ? std::max(high, height) : height;
            any = true;
        }
    }
    TerrainColours colours;
    colours.width = dem.columns();
    colours.height = dem.rows();
    colours.rgb.resize(static_cast<std::size_t>(colours.width) * colours.height * 3);
    // A missing neighbour takes the cell's own height: edges and holes are lit as flat ground.
    const auto heightAt = [&dem](int row, int column, float fallback) {
        return dem.hasData(row, column) ? dem.at(row, column) : fallback;
    };
    std::size_t index = 0;
    for (int row = 0; row < dem.rows(); ++row) {
        for (int column = 0; column < dem.columns(); ++column, index += 3) {
            if (!dem.hasData(row, column)) {
                colours.rgb[index] = colours.rgb[index + 1] = colours.rgb[index + 2] = 128;
                continue;
            }
            const float z = dem.at(row, column);
            const float east = heightAt(row, column + 1, z) - heightAt(row, column - 1, z);
            const float north = heightAt(row - 1, column, z) - heightAt(row + 1, column, z);
            const float shade = reliefShade(east, north, dem.cellSize());
            const osg::Vec4 colour = elevationColour(z, low, high);
            for (int channel = 0; channel < 3; ++channel) {
                colours.rgb[index + channel] =
                    static_cast<std::uint8_t>(std::lround(255.0f * std::min(1.0f, colour[channel] * shade)));
            }
        }
    }
    return colours;
}

TerrainColours imageColours(const DrapedRaster& image, const TerrainColours& relief) {
    TerrainColours colours;
    colours.width = image.width;
    colours.height = image.height;
    colours.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    double brightest = 0;
    for (std::size_t i = 0; i < image.covered.size(); ++i) {
        if (image.covered[i]) {
            for (int channel = 0; channel < 3; ++channel) {
                brightest = std::max(brightest, image.values[i * image.bands + channel]);
            }
        }
    }
    const double scale = brightest > 255.0 ? 255.0 / brightest : 1.0;
    const int perCell = relief.width > 0 ? std::max(1, image.width / relief.width) : 1;
    for (int row = 0; row < image.height; ++row) {
        for (int column = 0; column < image.width; ++column) {
            const std::size_t pixel = static_cast<std::size_t>(row) * image.width + column;
            const std::size_t cell =
                static_cast<std::size_t>(std::min(row / perCell, relief.height - 1)) * relief.width +
                std::min(column / perCell, relief.width - 1);
            for (int channel = 0; channel < 3; ++channel) {
                colours.rgb[pixel * 3 + channel] =
                    image.covered[pixel]
                        ? static_cast<std::uint8_t>(std::clamp(
                              std::lround(image.values[pixel * image.bands + channel] * scale), 0L, 255L))
                        : relief.rgb[cell * 3 + channel];
            }
        }
    }
    return colours;
}
