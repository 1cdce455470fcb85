// Vector layers are read and built on the user-interface thread, so their cost is a pause the user sees.
// Layers of concave (star-shaped) polygons, which need tessellation, and of named lines.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <cmath>
#include <map>

#include "testshapefiles.h"
#include "vectorlayer.h"

namespace {

QTemporaryDir& dataDir() {
    static QTemporaryDir dir;
    return dir;
}

// A file of `count` features of `kind`, written once per size.
const std::string& shapefile(OGRwkbGeometryType kind, int count) {
    static std::map<std::pair<int, int>, std::string> written;
    std::string& path = written[{kind, count}];
    if (path.empty()) {
        std::vector<TestFeature> features;
        for (int i = 0; i < count; ++i) {
            const double x0 = (i % 100) * 100.0;
            const double y0 = (i / 100) * 100.0;
            std::vector<osg::Vec3d> outline;
            for (int k = 0; k < 12; ++k) {
                const double radius = k % 2 ? 20.0 : 45.0;
                const double angle = k * M_PI / 6.0;
                outline.push_back({x0 + radius * std::cos(angle), y0 + radius * std::sin(angle), 10.0});
            }
            features.push_back({kind, outline, "feature " + std::to_string(i)});
        }
        path = dataDir().path().toStdString() + "/layer" + std::to_string(kind) + "_" +
               std::to_string(count) + ".shp";
        writeVectorFile(path, kind, features);
    }
    return path;
}

void buildLayerFromFile(benchmark::State& state, OGRwkbGeometryType kind) {
    const std::string& path = shapefile(kind, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        VectorLayerBuilder builder;
        builder.readShapefile(path.c_str());
        osg::ref_ptr<osg::Group> layer = builder.buildLayer();
        benchmark::DoNotOptimize(layer.get());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PolygonLayer(benchmark::State& state) {
    buildLayerFromFile(state, wkbPolygon25D);
}
void BM_LineLayer(benchmark::State& state) {
    buildLayerFromFile(state, wkbLineString25D);
}

BENCHMARK(BM_PolygonLayer)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineLayer)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
