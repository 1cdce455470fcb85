// The data tool on a 4000 x 4000 DEM (a synthetic valley of 10 m cells as a GeoTIFF in UTM), and the
// terrain scene it makes: the time to open the model and to page in the tiles the first view needs, and
// the frame times while the view turns around the valley and dives into it.
//
// Needs an X display (Mesa's software OpenGL under Xvfb will do), from the program's folder:
//     xvfb-run -a -s "-screen 0 1280x1024x24" ./bench_terrain [--size 4000]
// The DEM and the case are made once, in a temporary folder, by the first benchmark.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <iostream>
#include <thread>
#include <osgDB/DatabasePager>
#include <osgDB/ReadFile>
#include <osgViewer/Viewer>

#include "casestudy.h"
#include "georaster.h"
#include "syntheticvalley.h"

namespace {

int demSize = 4000;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of the whole process, Mesa's rendering threads included: on a machine shared with other
// work the wall-clock frame times say more about the others than about the scene.
double processSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

struct Case {
    QTemporaryDir folder;
    CaseStudyReport report;
};

Case& preparedCase(bool& made) {
    static Case* const prepared = new Case;
    made = !prepared->report.model.empty();
    return *prepared;
}

void BM_PrepareCase(benchmark::State& state) {
    bool made = false;
    Case& prepared = preparedCase(made);
    for (auto _ : state) {
        ValleyDesign design;
        design.cols = demSize;
        design.rows = demSize;
        design.cellSize = 10;
        design.centreX = 500000;
        design.centreY = 3300000;
        design.floorHalfWidth = 300;
        design.wallHeight = 600;
        design.meanderAmplitude = 2000;
        const ValleyGrid valley = makeValley(design);
        const std::string dem = prepared.folder.filePath("dem.tif").toStdString();
        RasterFrame frame = asciiGridFrame(valley.cols, valley.rows, valley.cellSize, valley.xll, valley.yll, "");
        frame.projection =
            "PROJCS[\"WGS 84 / UTM zone 48N\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,"
            "298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]],PROJECTION["
            "\"Transverse_Mercator\"],PARAMETER[\"latitude_of_origin\",0],PARAMETER[\"central_meridian\",105],"
            "PARAMETER[\"scale_factor\",0.9996],PARAMETER[\"false_easting\",500000],PARAMETER[\"false_northing\",0],"
            "UNIT[\"metre\",1],AUTHORITY[\"EPSG\",\"32648\"]]";
        std::string problem;
        if (!writeGeoTiff(dem, frame, valley.heights, std::nullopt, problem)) {
            state.SkipWithError(problem.c_str());
            return;
        }
        CaseStudySettings settings;
        settings.demPath = dem;
        const int damRow = valley.floorRow[valley.damColumn];
        settings.damPoints = {{valley.cellX(valley.damColumn) + 5, valley.cellY(damRow) - 5}};
        settings.breachHeight = 40;
        settings.name = "valley of 4000 x 4000";
        settings.folder = prepared.folder.filePath("case").toStdString();
        const auto start = Clock::now();
        if (!prepareCaseStudy(settings, prepared.report, problem)) {
            state.SkipWithError(problem.c_str());
            return;
        }
        state.SetIterationTime(secondsSince(start));
    }
    const CaseStudyReport& report = prepared.report;
    state.counters["grid_and_dam_s"] = report.gridSeconds;
    state.counters["roughness_s"] = report.roughnessSeconds;
    state.counters["terrain_scene_s"] = report.terrainSeconds;
    state.counters["levels"] = report.terrain.levels;
    state.counters["tiles"] = report.terrain.tiles;
    state.counters["vertices"] = static_cast<double>(report.terrain.vertices);
}
BENCHMARK(BM_PrepareCase)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// Frames until the pager has nothing left to load, at most `limit`; the number of frames taken.
int frameUntilPaged(osgViewer::Viewer& viewer, int limit) {
    int frames = 0;
    for (; frames < limit; ++frames) {
        viewer.frame();
        osgDB::DatabasePager* pager = viewer.getDatabasePager();
        if (frames > 2 && pager->getFileRequestListSize() == 0 && pager->getDataToMergeListSize() == 0 &&
            !pager->requiresUpdateSceneGraph()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return frames;
}

void BM_OpenAndTurnTheScene(benchmark::State& state) {
    bool made = false;
    Case& prepared = preparedCase(made);
    if (!made) {
        state.SkipWithError("BM_PrepareCase did not make the case");
        return;
    }
    for (auto _ : state) {
        osgViewer::Viewer viewer;
        viewer.setThreadingModel(osgViewer::Viewer::SingleThreaded);
        viewer.setUpViewInWindow(0, 0, 800, 600);
        viewer.realize();
        const auto openStart = Clock::now();
        osg::ref_ptr<osg::Node> terrain = osgDB::readNodeFile(prepared.report.model);
        const double readSeconds = secondsSince(openStart);
        if (!terrain) {
            state.SkipWithError("the terrain model does not load");
            return;
        }
        viewer.setSceneData(terrain.get());
        // Looking down on the whole valley from the south.
        const osg::BoundingSphere bound = terrain->getBound();
        const osg::Vec3d centre = bound.center();
        const double radius = bound.radius();
        viewer.getCamera()->setViewMatrixAsLookAt(centre + osg::Vec3d(0, -0.9 * radius, 0.7 * radius), centre,
                                                  osg::Vec3d(0, 0, 1));
        viewer.frame();
        const double firstFrameSeconds = secondsSince(openStart);
        const int pagingFrames = frameUntilPaged(viewer, 2000);
        const double pagedSeconds = secondsSince(openStart);

        // Turning around the valley, then diving to 1/20 of its size above the floor and turning there.
        std::vector<double> frameSeconds;
        std::vector<double> frameProcessSeconds;
        for (int frame = 0; frame < 240; ++frame) {
            const double angle = frame * 2 * osg::PI / 120;
            const double distance = frame < 120 ? 1.2 * radius : 0.05 * radius + (240 - frame) * 0.004 * radius;
            const osg::Vec3d eye = centre + osg::Vec3d(std::cos(angle) * distance, std::sin(angle) * distance,
                                                       0.6 * distance);
            viewer.getCamera()->setViewMatrixAsLookAt(eye, centre, osg::Vec3d(0, 0, 1));
            const auto frameStart = Clock::now();
            const double processStart = processSeconds();
            viewer.frame();
            glFinish();
            frameSeconds.push_back(secondsSince(frameStart));
            frameProcessSeconds.push_back(processSeconds() - processStart);
        }
        std::sort(frameSeconds.begin(), frameSeconds.end());
        std::sort(frameProcessSeconds.begin(), frameProcessSeconds.end());
        state.SetIterationTime(pagedSeconds);
        state.counters["read_model_ms"] = readSeconds * 1000;
        state.counters["first_frame_ms"] = firstFrameSeconds * 1000;
        state.counters["paged_in_ms"] = pagedSeconds * 1000;
        state.counters["paging_frames"] = pagingFrames;
        state.counters["frame_median_ms"] = frameSeconds[frameSeconds.size() / 2] * 1000;
        state.counters["frame_p95_ms"] = frameSeconds[frameSeconds.size() * 95 / 100] * 1000;
        state.counters["frame_max_ms"] = frameSeconds.back() * 1000;
        state.counters["frame_cpu_median_ms"] = frameProcessSeconds[frameProcessSeconds.size() / 2] * 1000;
        state.counters["frame_cpu_p95_ms"] = frameProcessSeconds[frameProcessSeconds.size() * 95 / 100] * 1000;
    }
}
BENCHMARK(BM_OpenAndTurnTheScene)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--size") == 0) {
            demSize = std::max(64, std::atoi(argv[i + 1]));
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
