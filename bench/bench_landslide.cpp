// One landslide step on a 1000 x 1000 mosaic with a slide path of about 50 000 cells: the computation
// alone, and with the step's coloured mesh. Each iteration computes the next step of the run (1 to 100,
// then again), so the trail and the mesh grow as in a real run. Beside them, the vertex colours from the
// image in memory against one raster read per vertex.
#include <benchmark/benchmark.h>
#include <gdal_priv.h>

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <osg/Geometry>

#include "landslidemesh.h"
#include "landslidetestdata.h"

namespace {

SlideDesign benchDesign() {
    SlideDesign design;
    design.width = 1000;
    design.height = 1000;
    design.pathHalfWidth = 25;
    design.firstColumn = 30;
    design.lastColumn = 969;
    design.bodyColumns = 100;
    design.depositColumns = 200;
    return design;
}

const SlideScene& benchScene() {
    static const SlideScene scene = writeSlideScene("/vsimem/landslide-bench", benchDesign());
    return scene;
}

LandslideRun& preparedRun() {
    static LandslideRun run = [] {
        LandslideRun prepared;
        std::string problem;
        if (!prepared.prepare(benchScene().inputs, problem)) {
            std::cerr << "bench_landslide: " << problem << "\n";
            std::abort();
        }
        return prepared;
    }();
    return run;
}

void BM_LandslideStep(benchmark::State& state) {
    LandslideRun& run = preparedRun();
    int k = 0;
    long long cells = 0;
    for (auto _ : state) {
        k = k % LandslideRun::stepCount + 1;
        const LandslideStepFigures figures = run.computeStep(k);
        cells += figures.cells;
        run.restoreSurface();
    }
    state.counters["sheet cells"] =
        benchmark::Counter(static_cast<double>(cells), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LandslideStep)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_LandslideStepWithMesh(benchmark::State& state) {
    LandslideRun& run = preparedRun();
    int k = 0;
    long long vertices = 0;
    for (auto _ : state) {
        k = k % LandslideRun::stepCount + 1;
        run.computeStep(k);
        const osg::ref_ptr<osg::Geode> mesh = buildStepMesh(run);
        for (unsigned i = 0; i < mesh->getNumDrawables(); ++i) {
            vertices += mesh->getDrawable(i)->asGeometry()->getVertexArray()->getNumElements();
        }
        run.restoreSurface();
    }
    state.counters["vertices"] =
        benchmark::Counter(static_cast<double>(vertices), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LandslideStepWithMesh)->Unit(benchmark::kMillisecond)->Iterations(200);

// 100 000 vertex positions over the slide path.
constexpr int colourSamples = 100000;

double sampleX(int i) {
    return benchDesign().originX + 300.0 + (i % 500) * 12.3;
}
double sampleY(int i) {
    return benchDesign().originY - 4000.0 - (i / 500) * 7.1;
}

void BM_VertexColoursFromMemory(benchmark::State& state) {
    const PostImage& image = preparedRun().postImage;
    for (auto _ : state) {
        osg::Vec4 sum;
        for (int i = 0; i < colourSamples; ++i) {
            sum += postImageColour(image, sampleX(i), sampleY(i));
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_VertexColoursFromMemory)->Unit(benchmark::kMillisecond);

// The colours as one 1 x 1 read of the three bands per vertex.
void BM_VertexColoursByRasterReads(benchmark::State& state) {
    GDALDataset* dataset =
        static_cast<GDALDataset*>(GDALOpen(benchScene().inputs.image.c_str(), GA_ReadOnly));
    GeoTransform transform{};
    dataset->GetGeoTransform(transform.data());
    for (auto _ : state) {
        osg::Vec4 sum;
        for (int i = 0; i < colourSamples; ++i) {
            const PixelPosition pixel = geoToPixel(transform, sampleX(i), sampleY(i));
            std::int32_t values[3] = {};
            if (dataset->RasterIO(GF_Read, pixel.column, pixel.row, 1, 1, values, 1, 1, GDT_Int32, 3, nullptr,
                                  0, 0, 0, nullptr) == CE_None) {
                sum += osg::Vec4(values[0] / 255.0f, values[1] / 255.0f, values[2] / 255.0f, 1.0f);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    GDALClose(dataset);
}
BENCHMARK(BM_VertexColoursByRasterReads)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
