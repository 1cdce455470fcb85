// One live tick of a computed flood on a 500 x 500 valley with about a fifth of the cells wet, split into
// its parts: the five engine steps, the water mesh, the overlays and the result files. The mesh is also
// built on the dry grid, which costs the scan alone; the difference per triangle is the cost of drawing.
//
// Run from the program's folder (fonts): bench_floodtick --benchmark_repetitions=5
//     --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <iostream>
#include <memory>
#include <osg/Geometry>

#include "cafloodnew.h"
#include "floodhud.h"
#include "floodoverlays.h"
#include "floodrun.h"
#include "floodtestdata.h"
#include "floodtick.h"
#include "legendbar.h"
#include "monitorpoints.h"
#include "resultwriter.h"
#include "watermesh.h"

namespace {

constexpr int kSize = 500;

struct LiveRun {
    QTemporaryDir folder;
    CAFlood engine;
    MonitorPoints monitors;
    FloodHud hud;
    FloodTickSettings settings;
    double wetShare = 0.0;
};

int wetCells(const CAFlood& engine) {
    int wet = 0;
    for (int r = 0; r < engine.rowCount(); ++r) {
        for (int c = 0; c < engine.columnCount(); ++c) {
            wet += engine.cellRows()[r][c].wet;
        }
    }
    return wet;
}

// A flood from outbreak cells along the valley floor, stepped until about a fifth of the grid is wet.
LiveRun& liveRun() {
    static std::unique_ptr<LiveRun> run;
    if (run) {
        return *run;
    }
    run = std::make_unique<LiveRun>();
    ValleyShape shape;
    shape.ncols = kSize;
    shape.nrows = kSize;
    shape.cellsize = 10.0f;
    shape.sideSlope = 0.02f;
    shape.floorSlope = 0.002f;
    std::vector<std::pair<int, int>> outbreak;
    for (int r = 10; r < kSize - 10; r += 20) {
        outbreak.emplace_back(kSize / 2, kSize - r);
    }
    const std::vector<std::string> inputs = writeValley(run->folder.path().toStdString(), shape, outbreak);
    FloodRunSettings settings;
    settings.capacity = 5e8f;
    settings.width = 150.0f;
    settings.height = 60.0f;
    if (startFloodRun(run->engine, inputs, settings) != FloodRunStart::Ready) {
        std::cerr << "bench_floodtick: the valley did not load\n";
        std::exit(1);
    }
    while (wetCells(run->engine) < kSize * kSize / 5) {
        run->engine.step();
    }
    run->wetShare = static_cast<double>(wetCells(run->engine)) / (kSize * kSize);
    run->settings.capacity = settings.capacity;
    run->settings.printDiagnostics = false;
    // Five monitor points down the valley floor.
    std::string points;
    for (int point = 0; point < 5; ++point) {
        points += std::string(point ? ", " : "") + R"({"x": 2500, "y": )" +
                  std::to_string(800 + point * 800) + R"(, "z": 0, "vec": 0, "flu": 0, "dep": 0, "time": 0})";
    }
    writeTextFile(run->folder.path().toStdString() + "/points.json", "{\"Monitors\": [" + points + "]}");
    run->monitors.readJson(run->folder.path().toStdString() + "/points.json");
    return *run;
}

void BM_EngineSteps(benchmark::State& state) {
    LiveRun& run = liveRun();
    for (auto _ : state) {
        for (int step = 0; step < floodStepsPerResult; ++step) {
            run.engine.step();
        }
    }
    state.counters["wet_share"] = run.wetShare;
    state.counters["ns_per_cell_step"] =
        benchmark::Counter(static_cast<double>(kSize) * kSize * floodStepsPerResult,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void countMesh(benchmark::State& state, const osg::Geode& geode) {
    unsigned vertices = 0;
    for (unsigned i = 0; i < geode.getNumDrawables(); ++i) {
        vertices += geode.getDrawable(i)->asGeometry()->getVertexArray()->getNumElements();
    }
    state.counters["triangles"] = vertices / 3;
    state.counters["ns_per_scanned_cell"] =
        benchmark::Counter(static_cast<double>(kSize) * kSize,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_WaterMeshWet(benchmark::State& state) {
    LiveRun& run = liveRun();
    osg::ref_ptr<osg::Geode> water;
    for (auto _ : state) {
        water = buildWaterGeode(floodGridView(run.engine), 20, floodShallowColour, floodDeepColour);
    }
    countMesh(state, *water);
}

void BM_WaterMeshDryScan(benchmark::State& state) {
    // The same grid with every cell dry: the scan without a triangle.
    LiveRun& run = liveRun();
    std::vector<FloodCell> dry(run.engine.cellRows()[0], run.engine.cellRows()[0] + kSize * kSize);
    std::vector<const FloodCell*> rows;
    for (int r = 0; r < kSize; ++r) {
        rows.push_back(&dry[static_cast<std::size_t>(r) * kSize]);
    }
    for (FloodCell& cell : dry) {
        cell.wet = false;
    }
    FloodGridView view = floodGridView(run.engine);
    view.cells = rows.data();
    osg::ref_ptr<osg::Geode> water;
    for (auto _ : state) {
        water = buildWaterGeode(view, 20, floodShallowColour, floodDeepColour);
    }
    countMesh(state, *water);
}

void BM_Overlays(benchmark::State& state) {
    LiveRun& run = liveRun();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            LegendBarBuilder().buildLegendBar(floodShallowColour, floodDeepColour, 0, 20));
        benchmark::DoNotOptimize(makeFloodHud(run.hud));
        benchmark::DoNotOptimize(makeFloodDepthCaption());
    }
}

void BM_ResultFiles(benchmark::State& state) {
    LiveRun& run = liveRun();
    const osg::ref_ptr<osg::Geode> water =
        buildWaterGeode(floodGridView(run.engine), 20, floodShallowColour, floodDeepColour);
    int number = 1;
    std::string failed;
    for (auto _ : state) {
        if (!writeFloodResult(run.folder.path().toStdString(), number++, ".ive", *water, run.engine, run.hud,
                              run.monitors, failed, false)) {
            state.SkipWithError(("cannot write " + failed).c_str());
        }
    }
}

// The window's part of a tick besides the files: the engine steps, the water and the overlays.
osg::ref_ptr<osg::Geode> tickWithOverlays(LiveRun& run) {
    osg::ref_ptr<osg::Geode> water = advanceFloodTick(run.engine, run.hud, run.monitors, run.settings);
    benchmark::DoNotOptimize(LegendBarBuilder().buildLegendBar(floodShallowColour, floodDeepColour, 0, 20));
    benchmark::DoNotOptimize(makeFloodHud(run.hud));
    benchmark::DoNotOptimize(makeFloodDepthCaption());
    return water;
}

void BM_WholeTick(benchmark::State& state) {
    LiveRun& run = liveRun();
    int number = 1000;
    std::string failed;
    for (auto _ : state) {
        const osg::ref_ptr<osg::Geode> water = tickWithOverlays(run);
        writeFloodResult(run.folder.path().toStdString(), number++, ".ive", *water, run.engine, run.hud,
                         run.monitors, failed, false);
    }
}

// The live tick as the window runs it: the files of each tick written from copies on the writer thread
// while the next tick computes. A tick waits for the files of the one before, so when writing takes
// longer than computing, the tick takes as long as the writing.
void BM_WholeTickWithWriter(benchmark::State& state) {
    LiveRun& run = liveRun();
    int number = 5000;
    ResultWriter writer;
    std::string failed;
    for (auto _ : state) {
        const osg::ref_ptr<osg::Geode> water = tickWithOverlays(run);
        const auto files = std::make_shared<const FloodResultFiles>(copyFloodResult(
            run.folder.path().toStdString(), number++, ".ive", *water, run.engine, run.hud, run.monitors));
        if (!writer.hand(
                [files](std::string& failedFile) { return writeFloodResult(*files, failedFile, false); },
                failed)) {
            state.SkipWithError(("cannot write " + failed).c_str());
        }
    }
    writer.finish(failed);
}

// Copying a tick's files for the writer, which the window's thread pays.
void BM_CopyResultFiles(benchmark::State& state) {
    LiveRun& run = liveRun();
    const osg::ref_ptr<osg::Geode> water =
        buildWaterGeode(floodGridView(run.engine), 20, floodShallowColour, floodDeepColour);
    for (auto _ : state) {
        benchmark::DoNotOptimize(copyFloodResult(run.folder.path().toStdString(), 1, ".ive", *water,
                                                 run.engine, run.hud, run.monitors));
    }
}

BENCHMARK(BM_EngineSteps)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaterMeshDryScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaterMeshWet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Overlays)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ResultFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeTick)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyResultFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeTickWithWriter)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
