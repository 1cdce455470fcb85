// Speed of the debris-flow model step on a generated 500 × 500 valley with the form's default parameters,
// once the packet table holds all 51000 packets.
//
//   bench_debris [benchmark options]    runs the benchmarks
//   bench_debris --write-slope DIR      writes the valley (slope.asc, breach.txt) for a timed batch run
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "allocationprobe.h"
#include "debrisrun.h"

namespace {

constexpr int valleySize = 500;
// 23 m cells make 20.08 packets per breach cell and step; six breach cells then release exactly the 120
// packets of a time step, so the table fills to 51000 after 425 steps.
constexpr int valleyCellSize = 23;

// A valley falling eastwards by 5 % with flanks rising by 2 % to either side of its middle row; the
// breach cells lie across the valley floor near the western edge.
void writeValley(const std::string& folder) {
    std::filesystem::create_directories(folder);
    std::ofstream grid(folder + "/slope.asc");
    grid << "ncols " << valleySize << "\nnrows " << valleySize << "\nxllcorner 500000\nyllcorner 3300000\n"
         << "cellsize " << valleyCellSize << "\nNODATA_value -9999\n";
    char number[32];
    for (int r = 0; r < valleySize; ++r) {
        for (int c = 0; c < valleySize; ++c) {
            const double height =
                2000 - 0.05 * c * valleyCellSize + 0.02 * std::abs(r - valleySize / 2) * valleyCellSize;
            std::snprintf(number, sizeof number, c == 0 ? "%.3f" : " %.3f", height);
            grid << number;
        }
        grid << "\n";
    }
    std::ofstream breach(folder + "/breach.txt");
    breach << "0 6\n";
    for (int r = valleySize / 2 - 3; r < valleySize / 2 + 3; ++r) {
        breach << r << " 5\n";
    }
}

const std::vector<double> formDefaults = {2040000, 5.0,   0,     1880, 2650, 0.36, 0, 40.0,
                                          1000,    0.593, 11.64, 0.25, 0.6,  0,    10};

// The run at the step its table first holds every packet, built once.
const DebrisRun& filledRun() {
    static const DebrisRun run = [] {
        const std::string folder = std::filesystem::temp_directory_path().string() + "/bench_debris_" +
                                   std::to_string(static_cast<long long>(getpid()));
        writeValley(folder);
        DebrisRun filling;
        std::string problem;
        if (!filling.setup(formDefaults, folder + "/slope.asc", folder + "/breach.txt", problem)) {
            std::cerr << "bench_debris: " << problem << "\n";
            std::exit(1);
        }
        std::filesystem::remove_all(folder);
        while (filling.debrisPacketCount < filling.packetCapacity && !filling.finished()) {
            filling.advance();
            filling.advanceClock();
        }
        return filling;
    }();
    return run;
}

// Ten whole ticks of the run from the filled table (release test, stepping, accumulation); reports their
// time per moving packet-step and the allocations made while advancing.
void BM_DebrisAdvance(benchmark::State& state) {
    const DebrisRun& filled = filledRun();
    DebrisRun run;
    long long movingSteps = 0;
    long long allocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        run = filled;
        state.ResumeTiming();
        const long long allocationsBefore = allocationprobe::count();
        for (int tick = 0; tick < 10; ++tick) {
            movingSteps += run.movingPacketCount();
            run.advance();
            run.advanceClock();
        }
        allocations += allocationprobe::count() - allocationsBefore;
    }
    state.counters["packets"] = filled.debrisPacketCount;
    state.counters["moving"] = filled.movingPacketCount();
    state.counters["per_moving_packet_step"] = benchmark::Counter(
        static_cast<double>(movingSteps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["allocations"] = static_cast<double>(allocations);
}
BENCHMARK(BM_DebrisAdvance)->Unit(benchmark::kMillisecond);

// The stepping pass of one tick on its own: every moving packet of the filled table takes one step.
// Reports the time per moving packet-step (wall-clock time), on one thread and on two.
void BM_DebrisStepPackets(benchmark::State& state) {
    const DebrisRun& filled = filledRun();
    std::vector<int> movingAtStart;
    for (int j = 0; j < filled.debrisPacketCount; ++j) {
        if (!filled.packets[j].stopped) {
            movingAtStart.push_back(j);
        }
    }
    PacketTable packets;
    std::vector<int> moving;
    StepMemo memo;
    memo.resize(filled.debrisGrid);
    for (auto _ : state) {
        state.PauseTiming();
        packets = filled.packets;
        moving = movingAtStart;
        state.ResumeTiming();
        memo.startPass();
        filled.model.stepPackets(packets, moving.data(), static_cast<int>(moving.size()), filled.debrisGrid,
                                 filled.gridCellSize, filled.timeStep, filled.gridMinX, filled.gridMinY,
                                 filled.gridMaxX, filled.gridMaxY, filled.gridRows, filled.gridCols, memo,
                                 static_cast<int>(state.range(0)));
        benchmark::ClobberMemory();
    }
    state.counters["moving"] = static_cast<double>(movingAtStart.size());
    state.counters["per_moving_packet_step"] =
        benchmark::Counter(static_cast<double>(movingAtStart.size() * state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DebrisStepPackets)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// One accumulation of all packets; reports the time per grid cell.
void BM_DebrisAccumulate(benchmark::State& state) {
    DebrisRun run = filledRun();
    const long long cells = static_cast<long long>(run.gridRows) * run.gridCols;
    for (auto _ : state) {
        run.model.accumulate(run.packets, run.debrisGrid, run.gridCellSize, run.packetVolume,
                             run.debrisDensity, run.debrisPacketCount);
        benchmark::ClobberMemory();
    }
    state.counters["per_cell"] =
        benchmark::Counter(static_cast<double>(cells * state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DebrisAccumulate)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-slope") == 0) {
        writeValley(argv[2]);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
