// The debris surface of one rendered frame on a 500 × 500 grid with a tenth of its cells covered, split
// into the scan of the grid and the drawing: the surface is also built on the same grid without debris,
// which costs the scan alone; the difference per triangle is the cost of drawing.
//
//   bench_debrissurface --benchmark_repetitions=5 --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>

#include <cmath>
#include <osg/Geometry>

#include "debrissurface.h"

namespace {

constexpr int gridSize = 500;

// A grid whose debris covers a band of a tenth of its cells, as a flow down a valley does, over terrain
// that falls eastwards.
struct FrameGrid {
    DebrisGrid covered{gridSize, gridSize};
    DebrisGrid dry{gridSize, gridSize};
    TerrainHeights heights{gridSize, std::vector<double>(gridSize)};
    double coveredShare = 0;

    FrameGrid() {
        int coveredCells = 0;
        for (int r = 0; r < gridSize; ++r) {
            for (int c = 0; c < gridSize; ++c) {
                heights[r][c] = 2000 - 0.05 * c * 23 + 0.02 * std::abs(r - gridSize / 2) * 23;
                const double meander = 60 * std::sin(c / 40.0);
                if (std::abs(r - gridSize / 2 - meander) < gridSize / 20) {
                    covered.depths(r)[c] = 0.5 + (r * 7 + c * 3) % 90 / 10.0;
                    ++coveredCells;
                }
            }
        }
        coveredShare = static_cast<double>(coveredCells) / (gridSize * gridSize);
    }
};

const FrameGrid& frameGrid() {
    static const FrameGrid grid;
    return grid;
}

unsigned triangles(const osg::Geode& geode) {
    unsigned vertices = 0;
    for (unsigned i = 0; i < geode.getNumDrawables(); ++i) {
        vertices += geode.getDrawable(i)->asGeometry()->getVertexArray()->getNumElements();
    }
    return vertices / 3;
}

void build(benchmark::State& state, const DebrisGrid& cells) {
    const FrameGrid& grid = frameGrid();
    osg::ref_ptr<osg::Geode> surface;
    for (auto _ : state) {
        surface = buildDebrisGeode({&cells, &grid.heights, 500000, 3300000, 23}, 10, debrisShallowColour,
                                   debrisDeepColour);
        benchmark::DoNotOptimize(surface.get());
    }
    state.counters["covered_share"] = &cells == &grid.covered ? grid.coveredShare : 0.0;
    state.counters["triangles"] = triangles(*surface);
    state.counters["ns_per_scanned_cell"] =
        benchmark::Counter(static_cast<double>(gridSize) * gridSize,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_DebrisSurfaceCovered(benchmark::State& state) {
    build(state, frameGrid().covered);
}
BENCHMARK(BM_DebrisSurfaceCovered)->Unit(benchmark::kMillisecond);

void BM_DebrisSurfaceDry(benchmark::State& state) {
    build(state, frameGrid().dry);
}
BENCHMARK(BM_DebrisSurfaceDry)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
