#include "syntheticvalley.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <osg/Geometry>
#include <random>

#include "terraincolours.h"

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

// A grid of flat ground at 0 whose centre lies at (centreX, centreY).
ValleyGrid centredGrid(int cols, int rows, double cellSize, double centreX, double centreY) {
    ValleyGrid grid;
    grid.cols = cols;
    grid.rows = rows;
    grid.cellSize = cellSize;
    grid.xll = centreX - cols * cellSize / 2.0;
    grid.yll = centreY - rows * cellSize / 2.0;
    grid.heights.assign(static_cast<std::size_t>(cols) * rows, 0.0f);
    return grid;
}

}  // namespace

ValleyGrid makeValley(const ValleyDesign& design) {
    ValleyGrid grid = centredGrid(design.cols, design.rows, design.cellSize, design.centreX, design.centreY);
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

namespace {

// A logistic step from 1 (well before `at`) to 0 (well after), `width` metres wide.
double stepDown(double position, double at, double width) {
    return 1.0 / (1.0 + std::exp((position - at) / width));
}

// The integral of stepDown from `at`: log(1 + e^t) written so that it does not overflow.
double stepDownIntegral(double position, double at, double width) {
    const double t = (position - at) / width;
    return position - at - width * (std::max(t, 0.0) + std::log1p(std::exp(-std::abs(t))));
}

}  // namespace

DebrisSlope makeDebrisSlope(const SlopeDesign& design) {
    DebrisSlope slope;
    ValleyGrid& grid = slope.grid;
    grid = centredGrid(design.cols, design.rows, design.cellSize, design.centreX, design.centreY);

    const double length = std::hypot(design.downhillX, design.downhillY);
    const double ux = length > 0 ? design.downhillX / length : 1.0;
    const double uy = length > 0 ? design.downhillY / length : 0.0;
    const double halfWidth = design.cols * design.cellSize / 2.0;
    const double halfHeight = design.rows * design.cellSize / 2.0;
    const LatticeNoise coarse(design.seed, 16);
    const LatticeNoise fine(design.seed * 7919u + 13u, 32);
    const double gentle = design.fanGradient;
    const double steepExtra = design.steepGradient - design.fanGradient;
    const double easing = 150.0;  // metres over which the slope eases into the fan
    for (int row = 0; row < design.rows; ++row) {
        for (int col = 0; col < design.cols; ++col) {
            const double east = (col + 0.5) * design.cellSize - halfWidth;
            const double north = halfHeight - (row + 0.5) * design.cellSize;
            const double along = east * ux + north * uy;    // downhill of the centre
            const double across = east * -uy + north * ux;  // to the left of the fall line
            double z = design.centreElevation - gentle * along -
                       steepExtra * (stepDownIntegral(along, design.fanStart, easing) -
                                     stepDownIntegral(0.0, design.fanStart, easing));
            // The far side of the basin, and the flanks that keep the flow on the fall line.
            const double beyond = std::max(0.0, along - design.basinStart);
            z += beyond * beyond / 1500.0;
            z += 0.08 * std::abs(across) + 0.25 * std::max(0.0, std::abs(across) - 700.0);
            const double gully = std::exp(-std::pow(across / design.gullyHalfWidth, 2));
            // The gully begins a little above its head and fades out on the fan.
            z -= design.gullyDepth * gully * stepDown(along, design.fanStart, 200.0) *
                 (1.0 - stepDown(along, -design.headDistance - 150.0, 60.0));
            z += 25.0 * coarse.at(east / 600.0 + 8.0, north / 600.0 + 8.0) * (1.0 - gully);
            z += 2.0 * fine.at(east / 120.0 + 16.0, north / 120.0 + 16.0);
            grid.at(row, col) = static_cast<float>(z);
        }
    }

    // The head of the gully, on the fall line through the centre; inside the grid's outer ring.
    const double head = -design.headDistance;
    for (int k = -2; k <= 2; ++k) {
        const double east = head * ux + k * design.cellSize * -uy;
        const double north = head * uy + k * design.cellSize * ux;
        const int col = static_cast<int>(std::floor((east + halfWidth) / design.cellSize));
        const int row = static_cast<int>(std::floor((halfHeight - north) / design.cellSize));
        const std::pair<int, int> cell(std::clamp(row, 1, design.rows - 2),
                                       std::clamp(col, 1, design.cols - 2));
        if (std::find(slope.breachCells.begin(), slope.breachCells.end(), cell) == slope.breachCells.end()) {
            slope.breachCells.push_back(cell);
        }
    }
    return slope;
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
    for (int row = 0; row < grid.rows; ++row) {
        for (int col = 0; col < grid.cols; ++col) {
            const float z = grid.at(row, col);
            vertices->push_back(osg::Vec3(grid.cellX(col), grid.cellY(row), z));
            const float east =
                grid.at(row, std::min(col + 1, grid.cols - 1)) - grid.at(row, std::max(col - 1, 0));
            const float north =
                grid.at(std::max(row - 1, 0), col) - grid.at(std::min(row + 1, grid.rows - 1), col);
            const float shade = reliefShade(east, north, grid.cellSize);
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
