// A full debris-flow run with the form's default values (10670 steps to 6402 s, 213 frames written) on
// the 500 × 500 valley of bench_debris, in the window and through vantorel-batch debris --format .ive on
// the same inputs, one after the other. The window shows the valley's terrain model under the flow, as a
// user's run does.
//
// Needs an X display, and runs from the program's folder (fonts, bench_debris, vantorel-batch):
//     xvfb-run -a -s "-screen 0 1280x1024x24" ./bench_debriswindow --benchmark_repetitions=5
//         --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <iostream>
#include <osgDB/WriteFile>

#include "mainwindow.h"
#include "modaldriver.h"
#include "syntheticvalley.h"
#include "terrainheights.h"
#include "testfiles.h"

namespace {

constexpr int framesOfAFullRun = 213;

// The form's defaults: 2 040 000 m³ of debris, the rest as the form sets it.
DebrisRunSettings formDefaults() {
    DebrisRunSettings settings;
    settings.totalVolume = 2040000;
    return settings;
}

// The valley of bench_debris and its terrain model, written once.
struct Inputs {
    QTemporaryDir folder;
    QString grid;
    QString breach;
    QString terrain;
};

const Inputs& inputs() {
    static Inputs* const made = [] {
        auto* written = new Inputs;
        const QString folder = written->folder.path();
        const ProgramRun valley =
            runProgram(QCoreApplication::applicationDirPath() + "/bench_debris", {"--write-slope", folder});
        if (valley.exitCode != 0) {
            std::cerr << "bench_debriswindow: bench_debris --write-slope failed: " << valley.err << "\n";
            std::exit(1);
        }
        written->grid = folder + "/slope.asc";
        written->breach = folder + "/breach.txt";
        written->terrain = folder + "/terrain.ive";
        const TerrainHeights heights = readTerrainHeights(written->grid.toStdString());
        ValleyGrid grid;
        grid.rows = static_cast<int>(heights.size());
        grid.cols = static_cast<int>(heights.front().size());
        grid.cellSize = 23;
        grid.xll = 500000;
        grid.yll = 3300000;
        for (const std::vector<double>& row : heights) {
            grid.heights.insert(grid.heights.end(), row.begin(), row.end());
        }
        osgDB::writeNodeFile(*buildTerrainMesh(grid), written->terrain.toStdString());
        return written;
    }();
    return *made;
}

bool fullRunWritten(const QString& folder) {
    return QFile::exists(folder + QString("/%1.txt").arg(framesOfAFullRun)) &&
           QDir(folder).entryList(QDir::Files).size() == 2 * framesOfAFullRun;
}

// Seconds a full run through vantorel-batch takes; 0 when it fails.
double batchRunSeconds(const Inputs& files) {
    QTemporaryDir out;
    QElapsedTimer clock;
    clock.start();
    const ProgramRun run = runProgram(
        QCoreApplication::applicationDirPath() + "/vantorel-batch",
        {"debris", "--dem", files.grid, "--breach", files.breach, "--format", ".ive", "--out", out.path()},
        1800000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    return run.exitCode == 0 && fullRunWritten(out.path()) ? seconds : 0;
}

// Seconds a full run set up through the window's slots takes until it has ended; 0 when it does not end.
double windowRunSeconds(MainWindow& window, const Inputs& files) {
    QTemporaryDir out;
    QMetaObject::invokeMethod(
        &window, "acceptURL",
        Q_ARG(std::vector<std::string>,
              (std::vector<std::string>{files.grid.toStdString(), files.breach.toStdString()})));
    ModalDriver folder(chooseFile(out.path()), 60000, "QFileDialog");
    ModalDriver endMessage(clickButton("OK"), 1800000, "QMessageBox");
    QElapsedTimer clock;
    clock.start();
    QMetaObject::invokeMethod(&window, "acceptdebrisValues", Q_ARG(DebrisRunSettings, formDefaults()));
    // The run ends by itself after its last frame, and says so.
    const bool ended = waitUntil([&] { return endMessage.answered() && fullRunWritten(out.path()); }, 1800000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    // The next run numbers its frames from 1 again.
    triggerMenuAction(window, "&停止运算");
    return folder.answered() && ended ? seconds : 0;
}

// Each iteration runs both, one after the other, so that the ratio compares runs under the same load of
// a shared machine. The time reported is the window's.
void BM_WindowAgainstBatchFullRun(benchmark::State& state) {
    const Inputs& files = inputs();
    MainWindow window;
    showMainWindow(window);
    QMetaObject::invokeMethod(&window, "acceptScenePath", Q_ARG(std::string, files.terrain.toStdString()));
    runEventLoop(500);
    for (auto _ : state) {
        const double batch = batchRunSeconds(files);
        const double windowed = windowRunSeconds(window, files);
        if (batch == 0 || windowed == 0) {
            state.SkipWithError(batch == 0 ? "vantorel-batch debris failed" : "the window's run did not end");
            return;
        }
        state.SetIterationTime(windowed);
        state.counters["batch_s"] = batch;
        state.counters["window_s"] = windowed;
        state.counters["window_to_batch"] = windowed / batch;
    }
}
BENCHMARK(BM_WindowAgainstBatchFullRun)->Unit(benchmark::kSecond)->Iterations(1)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
