// Speed and memory of one flood engine step on generated valleys, dry, mostly wet and wet in a narrow
// valley beside dry high land nine times as wide, on one and on two threads, beside the time of one
// plain copy of the engine's cell storage: a step reads and writes the grid once, which that copy
// bounds. Times are wall-clock times, as the threads share the work; the time per cell-step is per cell
// of the whole grid.
//
// Run: bench_floodstep --benchmark_repetitions=5 --benchmark_report_aggregates_only
//      bench_floodstep --write-valley DIR SIZE    writes a SIZE x SIZE valley (roughness.asc, dem.asc,
//                                                 outbreak.txt) for a timed vantorel-batch flood run
//      bench_floodstep --write-steep-valley DIR DRY
//                                                 writes a steep valley of 200 x 80 cells of 25 m with
//                                                 DRY columns of dry high land east of it, for timing
//                                                 vantorel-batch flood runs with and without the land
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

#include "cafloodnew.h"
#include "fileio.h"
#include "floodrun.h"
#include "floodtestdata.h"
#include "gridreader.h"

namespace {

constexpr int kSourceSpacing = 8;

// The water of a benchmark valley: none, everywhere, or in a valley a tenth as wide as the grid.
enum Water { kDry, kWet, kNarrow };

// One engine at a time: a 2000 x 2000 grid holds 4 million cells.
struct PreparedValley {
    int size = 0;
    int water = kDry;
    std::unique_ptr<CAFlood> engine;
};

PreparedValley& preparedValley(int size, int water) {
    static PreparedValley prepared;
    if (prepared.engine && prepared.size == size && prepared.water == water) {
        return prepared;
    }
    prepared.engine.reset();
    QTemporaryDir folder;
    ValleyShape shape;
    shape.ncols = water == kNarrow ? size / 10 : size;
    shape.nrows = size;
    shape.cellsize = 10.0f;
    shape.sideSlope = 0.01f;
    shape.floorSlope = 0.001f;
    // Dry: one breach cell that lets no water out. Wet: outbreak cells on a lattice over the whole
    // valley, each with the same outflow whatever the grid size, which wet it within 150 steps.
    const bool wet = water != kDry;
    const std::vector<std::pair<int, int>> outbreak =
        wet ? outbreakLattice(shape, kSourceSpacing) : std::vector<std::pair<int, int>>{{size / 2, size - 2}};
    const std::vector<std::string> inputs =
        writeValleyBesideHighLand(folder.path().toStdString(), shape, size - shape.ncols, outbreak);
    FloodRunSettings settings;
    const float scale = static_cast<float>(size) / 2000.0f;
    const float share = static_cast<float>(shape.ncols) / static_cast<float>(size);
    settings.capacity = 1e12f * scale * scale * share;
    settings.width = wet ? 2000.0f * scale * scale * share : 0.0f;
    settings.height = 200.0f;
    auto engine = std::make_unique<CAFlood>();
    const FloodRunStart start = startFloodRun(*engine, inputs, settings);
    if (start != (wet ? FloodRunStart::Ready : FloodRunStart::NoOutflow)) {
        std::cerr << "bench_floodstep: the valley did not load\n";
        std::exit(1);
    }
    if (wet) {
        for (int i = 0; i < 150; ++i) {
            engine->step();
        }
    }
    prepared.size = size;
    prepared.water = water;
    prepared.engine = std::move(engine);
    return prepared;
}

double wetShare(const CAFlood& engine) {
    long long wet = 0;
    for (int r = 0; r < engine.rowCount(); ++r) {
        for (int c = 0; c < engine.columnCount(); ++c) {
            wet += engine.cellRows()[r][c].wet ? 1 : 0;
        }
    }
    return static_cast<double>(wet) / (static_cast<double>(engine.rowCount()) * engine.columnCount());
}

// Time per cell and iteration, from the benchmark's own timing (shown as e.g. "18.2ns").
benchmark::Counter timePerCell(double cellsPerIteration) {
    return benchmark::Counter(cellsPerIteration,
                              benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void floodStep(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    CAFlood& engine = *preparedValley(size, static_cast<int>(state.range(1))).engine;
    engine.setThreadCount(static_cast<int>(state.range(2)));
    for (auto _ : state) {
        engine.step();
    }
    const double cells = static_cast<double>(size) * size;
    state.counters["time_per_cell_step"] = timePerCell(cells);
    // The whole engine: 40 bytes per cell, 30 more for the state the step works on (seven floats and
    // two bytes, rows padded to 16 cells), 8 per entry of validCells, 8 per row and per outbreak cell.
    state.counters["state_bytes_per_cell"] = static_cast<double>(engine.stateBytes()) / cells;
    state.counters["wet_share"] = wetShare(engine);
    state.counters["worked_share"] = engine.workedShare();
}

void cellStorageCopy(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const std::size_t bytes = static_cast<std::size_t>(size) * size * sizeof(FloodCell);
    std::vector<char> from(bytes, 1);
    std::vector<char> to(bytes, 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.counters["time_per_cell"] = timePerCell(static_cast<double>(size) * size);
}

// Reading the elevation grid of a 1000 x 1000 valley (an ESRI ASCII grid of 10.6 MB), shown as bytes per
// second of the file.
void gridRead(benchmark::State& state) {
    QTemporaryDir folder;
    ValleyShape shape;
    shape.ncols = shape.nrows = 1000;
    const std::string path = writeValley(folder.path().toStdString(), shape, {{500, 500}})[1];
    std::string text;
    std::string problem;
    if (readRegularFile(path, std::size_t(1) << 30, text, problem) != FileReadStatus::ok) {
        state.SkipWithError(problem.c_str());
        return;
    }
    for (auto _ : state) {
        GridReader grid;
        double sum = 0.0;
        if (!grid.open(path, problem)) {
            state.SkipWithError(problem.c_str());
            return;
        }
        for (long long i = 0; i < grid.cellCount(); ++i) {
            double value = 0.0;
            bool noData = false;
            grid.nextValue(value, noData, problem);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

}  // namespace

BENCHMARK(gridRead)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(floodStep)
    ->ArgNames({"size", "water", "threads"})
    ->ArgsProduct({{500, 2000}, {kDry, kWet, kNarrow}, {1, 2}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(cellStorageCopy)
    ->ArgName("size")
    ->Arg(500)
    ->Arg(2000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--write-valley") == 0) {
        // The valley needs interior cells beside the lattice's outbreak cells, and fits in memory.
        constexpr long smallest = 40;
        constexpr long largest = 20000;
        char* end = nullptr;
        const long size = argc == 4 ? std::strtol(argv[3], &end, 10) : 0;
        if (argc != 4 || *end != '\0' || size < smallest || size > largest) {
            std::cerr << "usage: bench_floodstep --write-valley DIR SIZE   (SIZE a whole number of cells from "
                      << smallest << " to " << largest << ")\n";
            return 2;
        }
        ValleyShape shape;
        shape.ncols = shape.nrows = static_cast<int>(size);
        shape.sideSlope = 0.01f;
        shape.floorSlope = 0.001f;
        try {
            // Outbreak cells every 32 cells over the valley, so that the water spreads over much of it.
            for (const std::string& path : writeValley(argv[2], shape, outbreakLattice(shape, 32))) {
                std::cout << path << "\n";
            }
        } catch (const std::exception& failure) {
            std::cerr << "bench_floodstep: " << failure.what() << " (the folder " << argv[2]
                      << " must exist and take files)\n";
            return 1;
        }
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--write-steep-valley") == 0) {
        // A valley 2 km wide falling 5 % toward the south, fed by one breach at its head.
        ValleyShape shape{80, 200, 25.0f, 0.1f, 0.05f};
        for (const std::string& path :
             writeValleyBesideHighLand(argv[2], shape, std::atoi(argv[3]), {{shape.ncols / 2, shape.nrows - 2}})) {
            std::cout << path << "\n";
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
