#include "syntheticvalley.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <osg/Geometry>
#include <random>

namespace {

// Smooth value noise on a coarse lattice, bilinearly interpolated: enough to roughen slopes.
class LatticeNoise {
public:
    LatticeNoise(unsigned seed, int size) : size(size), values(static_cast<std::size_t>(size) * size) {
        std::mt19937 generator(seed);
        std::uniform_real_distribution<double> uniform(-1.0, 1.0);
        for (double& value : values) {
            value = uniform(generator);
        }
    }
    // u, v in lattice units.
    double at(double u, double v) const {
        const int i = static_cast<int>(std::floor(u));
        const int j = static_cast<int>(std::floor(v));
        const double fu = u - i;
        const double fv = v - j;
        auto lattice = [this](int a, int b) {
            a = ((a % size) + size) % size;
            b = ((b % size) + size) % size;
            return values[static_cast<std::size_t>(b) * size + a];
        };
        const double top = lattice(i, j) * (1 - fu) + lattice(i + 1, j) * fu;
        const double bottom = lattice(i, j + 1) * (1 - fu) + lattice(i + 1, j + 1) * fu;
        return top * (1 - fv) + bottom * fv;
    }

private:
    int size;
    std::vector<double> values;
};

osg::Vec4 elevationColour(float height, float low, float high) {
    const float t = high > low ? std::clamp((height - low) / (high - low), 0.0f, 1.0f) : 0.0f;
    // Valley meadows, forest, bare rock, snow.
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

}  // namespace

ValleyGrid makeValley(const ValleyDesign& design) {
    ValleyGrid grid;
    grid.cols = design.cols;
    grid.rows = design.rows;
    grid.cellSize = design.cellSize;
    grid.xll = design.centreX - design.cols * design.cellSize / 2.0;
    grid.yll = design.centreY - design.rows * design.cellSize / 2.0;
    grid.heights.assign(static_cast<std::size_t>(design.cols) * design.rows, 0.0f);
    grid.damColumn = std::clamp(static_cast<int>(design.cols * design.damColumnFraction), 2, design.cols - 3);
    grid.floorRow.assign(design.cols, design.rows / 2);

    const LatticeNoise coarse(design.seed, 16);
    const LatticeNoise fine(design.seed * 7919u + 13u, 32);
    const double width = design.cols * design.cellSize;
    const double height = design.rows * design.cellSize;
    const double damX = grid.damColumn * design.cellSize;

    for (int col = 0; col < design.cols; ++col) {
        const double x = col * design.cellSize;  // metres from the west edge
        // The river's centre line, in metres from the grid's middle row; calm near the dam.
        const double meander = design.meanderAmplitude * std::sin(2.0 * M_PI * x / (width * 0.8)) *
                               std::min(1.0, std::abs(x - damX) / (width * 0.15));
        grid.floorRow[col] = std::clamp(
            static_cast<int>(std::lround(design.rows / 2.0 - meander / design.cellSize)), 1, design.rows - 2);
        for (int row = 0; row < design.rows; ++row) {
            const double y = height / 2.0 - (row + 0.5) * design.cellSize;  // north positive
            const double across = std::abs(y - meander);
            const double floor = design.floorElevation - design.downstreamSlope * (x - damX);
            // Walls rise smoothly beyond the floor and flatten towards the ridges.
            const double beyond = std::max(0.0, across - design.floorHalfWidth);
            const double wallRamp = 1.0 - std::exp(-beyond * beyond / (2.0 * std::pow(height * 0.09, 2)));
            double z = floor + design.wallHeight * wallRamp + 0.05 * across;
            // Spurs and gullies running down into the valley, and rough ridges.
            z += design.wallHeight * 0.18 * std::sin(x / width * 2.0 * M_PI * 5.0 + across / height * 6.0) *
                 wallRamp * (1.0 - wallRamp * 0.5);
            z += design.wallHeight * 0.25 * coarse.at(x / width * 8.0, y / height * 8.0) * wallRamp;
            z += design.wallHeight * 0.05 * fine.at(x / width * 30.0, y / height * 30.0) * wallRamp;
            z += 3.0 * fine.at(x / width * 40.0, y / height * 40.0);
            // Slight V-shape in the floor so water gathers at the river.
            z += std::min(across, design.floorHalfWidth) * 0.01;
            grid.at(row, col) = static_cast<float>(z);
        }
    }
    // The dam across the valley: one column of raised crest over the floor and lower walls.
    for (int row = 0; row < design.rows; ++row) {
        float& crest = grid.at(row, grid.damColumn - 1);
        const float damTop = static_cast<float>(design.floorElevation + design.damHeight);
        crest = std::max(crest, damTop);
    }
    return grid;
}

bool writeAsciiGrid(const ValleyGrid& grid, const std::vector<float>& values, const std::string& path,
                    int decimals) {
    std::ofstream out(path);
    if (!out) {
        return false;
    }
    out << std::fixed << std::setprecision(3);
    out << "ncols " << grid.cols << "\n"
        << "nrows " << grid.rows << "\n"
        << "xllcorner " << grid.xll << "\n"
        << "yllcorner " << grid.yll << "\n"
        << "cellsize " << grid.cellSize << "\n"
        << "NODATA_value -9999\n";
    out << std::setprecision(decimals);
    for (int row = 0; row < grid.rows; ++row) {
        for (int col = 0; col < grid.cols; ++col) {
            out << values[static_cast<std::size_t>(row) * grid.cols + col]
                << (col + 1 < grid.cols ? " " : "\n");
        }
    }
    return static_cast<bool>(out);
}

osg::ref_ptr<osg::Geode> buildTerrainMesh(const ValleyGrid& grid) {
    const auto [lowest, highest] = std::minmax_element(grid.heights.begin(), grid.heights.end());
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
    vertices->reserve(grid.heights.size());
    colours->reserve(grid.heights.size());
    const osg::Vec3 sun = osg::Vec3(-0.5f, 0.6f, 0.62f) / osg::Vec3(-0.5f, 0.6f, 0.62f).length();
    for (int row = 0; row < grid.rows; ++row) {
        for (int col = 0; col < grid.cols; ++col) {
            const float z = grid.at(row, col);
            vertices->push_back(osg::Vec3(grid.cellX(col), grid.cellY(row), z));
            const float east =
                grid.at(row, std::min(col + 1, grid.cols - 1)) - grid.at(row, std::max(col - 1, 0));
            const float north =
                grid.at(std::max(row - 1, 0), col) - grid.at(std::min(row + 1, grid.rows - 1), col);
            osg::Vec3 normal(-east, -north, 1.2f * static_cast<float>(grid.cellSize));
            normal.normalize();
            const float shade = 0.35f + 0.75f * std::max(0.0f, normal * sun);
            osg::Vec4 colour = elevationColour(z, *lowest, *highest);
            colours->push_back(osg::Vec4(std::min(1.0f, colour.r() * shade),
                                         std::min(1.0f, colour.g() * shade),
                                         std::min(1.0f, colour.b() * shade), 1.0f));
        }
    }
    osg::ref_ptr<osg::DrawElementsUInt> triangles = new osg::DrawElementsUInt(GL_TRIANGLES);
    triangles->reserve(static_cast<std::size_t>(grid.rows - 1) * (grid.cols - 1) * 6);
    for (int row = 0; row + 1 < grid.rows; ++row) {
        for (int col = 0; col + 1 < grid.cols; ++col) {
            const unsigned a = row * grid.cols + col;
            const unsigned b = a + grid.cols;
            for (unsigned index : {a, b, a + 1, b, b + 1, a + 1}) {
                triangles->push_back(index);
            }
        }
    }
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices.get());
    geometry->setColorArray(colours.get(), osg::Array::BIND_PER_VERTEX);
    geometry->addPrimitiveSet(triangles.get());
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry.get());
    return geode;
}
