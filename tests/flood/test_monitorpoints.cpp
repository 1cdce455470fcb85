// Monitor points: loading them from vector files, matching them with grid cells, their per-step JSON
// files and the spheres and labels of the replay.
#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <osg/Depth>
#include <osg/Geode>
#include <osg/Group>
#include <osg/ShapeDrawable>
#include <osgText/Text>
#include <string>
#include <vector>

#include "monitorpoints.h"
#include "testshapefiles.h"

namespace {

struct Expected {
    double x, y, z;
};

class MonitorPointsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        GDALAllRegister();
    }

    std::string path(const std::string& name) const { return folder.path().toStdString() + "/" + name; }

    // One layer of the given geometries (WKT) in a new shapefile.
    std::string writeShapefile(const std::string& name, OGRwkbGeometryType type,
                               const std::vector<const char*>& geometries) {
        writeWktShapefile(path(name), type, geometries);
        return path(name);
    }

    std::string writeText(const std::string& name, const std::string& content) {
        QFile file(QString::fromStdString(path(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.data(), static_cast<qint64>(content.size()));
        return path(name);
    }

    static void expectPoints(const MonitorPoints& monitors, const std::vector<Expected>& expected,
                             const std::string& where) {
        ASSERT_EQ(monitors.list().size(), expected.size()) << where;
        auto point = monitors.list().begin();
        for (const Expected& e : expected) {
            EXPECT_DOUBLE_EQ(point->x, e.x) << where;
            EXPECT_DOUBLE_EQ(point->y, e.y) << where;
            EXPECT_DOUBLE_EQ(point->z, e.z) << where;
            EXPECT_EQ(point->velocity, 0) << where;
            EXPECT_EQ(point->flow, 0) << where;
            EXPECT_EQ(point->depth, 0) << where;
            EXPECT_EQ(point->arrival, 0) << where;
            ++point;
        }
    }

    // The points of a vector file, their values all zero.
    static MonitorPoints loadedFrom(const std::string& file) {
        MonitorPoints monitors;
        EXPECT_TRUE(monitors.load(file));
        return monitors;
    }

    QTemporaryDir folder;
};

TEST_F(MonitorPointsTest, LoadTakesPointsAndLineVerticesInOrder) {
    const std::string points =
        writeShapefile("points.shp", wkbPoint25D,
                       {"POINT Z (500100 3300200 812.5)", "POINT Z (500130 3300260 790)",
                        "POINT Z (500190 3300110 805.25)"});
    const std::string line =
        writeShapefile("river.shp", wkbLineString, {"LINESTRING (10 20, 40 20, 40 60, 70 60, 70 90)"});
    const std::string outline = writeShapefile("dam.shp", wkbPolygon, {"POLYGON ((0 0, 10 0, 10 10, 0 0))"});
    // A GeoJSON file may mix types: points and line vertices are taken, the polygon is not.
    const std::string mixed = writeText("mixed.geojson",
                                        R"({"type": "FeatureCollection", "features": [
            {"type": "Feature", "properties": {}, "geometry": {"type": "Point", "coordinates": [1, 2, 3]}},
            {"type": "Feature", "properties": {}, "geometry": {"type": "Polygon",
                "coordinates": [[[0, 0], [5, 0], [5, 5], [0, 0]]]}},
            {"type": "Feature", "properties": {}, "geometry": null},
            {"type": "Feature", "properties": {}, "geometry": {"type": "LineString",
                "coordinates": [[7, 8], [9, 10]]}}]})");

    const struct {
        std::string file;
        std::vector<Expected> points;
    } cases[] = {
        {points, {{500100, 3300200, 812.5}, {500130, 3300260, 790}, {500190, 3300110, 805.25}}},
        {line, {{10, 20, 0}, {40, 20, 0}, {40, 60, 0}, {70, 60, 0}, {70, 90, 0}}},
        {outline, {}},
        {mixed, {{1, 2, 3}, {7, 8, 0}, {9, 10, 0}}},
    };
    for (const auto& c : cases) {
        MonitorPoints monitors;
        // Every load replaces what was there before.
        ASSERT_TRUE(monitors.load(points));
        ASSERT_TRUE(monitors.load(c.file)) << c.file;
        expectPoints(monitors, c.points, c.file);
        EXPECT_EQ(monitors.empty(), c.points.empty());
    }
}

TEST_F(MonitorPointsTest, LoadReportsLayersAndLines) {
    const std::string line = writeShapefile("river.shp", wkbLineString, {"LINESTRING (0 0, 30 40, 30 100)"});
    MonitorPoints monitors;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(monitors.load(line));
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("river 's FeatureCount :1\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find(" Geo name:LINESTRING\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find(" Point Count:3 Len :110\n"), std::string::npos) << printed;
}

TEST_F(MonitorPointsTest, FilesThatAreNotVectorDataKeepTheList) {
    const std::string points = writeShapefile("points.shp", wkbPoint, {"POINT (1 2)", "POINT (3 4)"});
    const std::string grid = writeText("dem.asc",
                                       "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\n"
                                       "NODATA_value -9999\n1 2\n3 4\n");
    const std::string noise = writeText("noise.shp", "this is not a shapefile");
    for (const std::string& file : {path("missing.shp"), grid, noise, std::string()}) {
        MonitorPoints monitors;
        ASSERT_TRUE(monitors.load(points));
        EXPECT_FALSE(monitors.load(file)) << file;
        expectPoints(monitors, {{1, 2, 0}, {3, 4, 0}}, file);
    }
}

TEST_F(MonitorPointsTest, MatchIsStrictWithinTheToleranceInXAndY) {
    const std::string file = writeShapefile("point.shp", wkbPoint, {"POINT (100 100)"});
    const struct {
        double x, y;
        bool matches;
    } cells[] = {
        {100, 100, true}, {109.99, 100, true}, {90.01, 109.99, true}, {110, 100, false},
        {90, 100, false}, {100, 110, false},   {100, 90, false},      {120, 120, false},
    };
    for (const auto& cell : cells) {
        MonitorPoints monitors = loadedFrom(file);
        const std::string where = std::to_string(cell.x) + "," + std::to_string(cell.y);
        EXPECT_EQ(monitors.match(cell.x, cell.y, 10, 1.5f, 2.5f, 3.5f, 60), cell.matches) << where;
        const PointM& point = monitors.list().front();
        EXPECT_EQ(point.velocity, cell.matches ? 1.5f : 0) << where;
        EXPECT_EQ(point.flow, cell.matches ? 2.5f : 0) << where;
        EXPECT_EQ(point.depth, cell.matches ? 3.5f : 0) << where;
        EXPECT_EQ(point.arrival, cell.matches ? 60 : 0) << where;
    }
}

TEST_F(MonitorPointsTest, ValuesFollowTheLastMatchAndArrivalTheFirstNonZeroTime) {
    const std::string file =
        writeShapefile("points.shp", wkbPoint, {"POINT (100 100)", "POINT (105 100)", "POINT (300 300)"});
    MonitorPoints monitors = loadedFrom(file);

    // One cell near the first two points, ticks in time order; the far point is never reached.
    const struct {
        float velocity, flow, depth, time;
    } ticks[] = {{0.5f, 1, 0.25f, 0}, {1.5f, 4, 0.75f, 30}, {2.5f, 9, 1.25f, 60}};
    for (const auto& tick : ticks) {
        EXPECT_TRUE(monitors.match(101, 101, 10, tick.velocity, tick.flow, tick.depth, tick.time));
    }
    EXPECT_FALSE(monitors.match(1000, 1000, 10, 9, 9, 9, 90));

    auto point = monitors.list().begin();
    for (int near = 0; near < 2; ++near, ++point) {
        EXPECT_EQ(point->velocity, 2.5f);
        EXPECT_EQ(point->flow, 9);
        EXPECT_EQ(point->depth, 1.25f);
        // Reached at time 0, which marks "not yet", so the next match set the arrival.
        EXPECT_EQ(point->arrival, 30);
    }
    EXPECT_EQ(point->velocity, 0);
    EXPECT_EQ(point->arrival, 0);

    MonitorPoints empty;
    EXPECT_FALSE(empty.match(0, 0, 10, 1, 1, 1, 1));
}

TEST_F(MonitorPointsTest, JsonRoundTripIsReadableByOtherTools) {
    const std::string file = writeShapefile(
        "points.shp", wkbPoint25D, {"POINT Z (500100.25 3300200.5 812.125)", "POINT Z (500300 3300400 790)"});
    MonitorPoints written = loadedFrom(file);
    ASSERT_TRUE(written.match(500100, 3300200, 10, 1.25f, 30.5f, 2.125f, 125));
    ASSERT_TRUE(written.writeJson(path("7.json")));

    MonitorPoints read;
    ASSERT_TRUE(read.readJson(path("7.json")));
    ASSERT_EQ(read.list().size(), written.list().size());
    auto original = written.list().begin();
    for (const PointM& point : read.list()) {
        EXPECT_EQ(point.x, original->x);
        EXPECT_EQ(point.y, original->y);
        EXPECT_EQ(point.z, original->z);
        EXPECT_EQ(point.velocity, original->velocity);
        EXPECT_EQ(point.flow, original->flow);
        EXPECT_EQ(point.depth, original->depth);
        EXPECT_EQ(point.arrival, original->arrival);
        ++original;
    }

    // The on-disk keys and order, as another program reads them.
    const std::string command =
        "python3 -c \"import json,sys; d=json.load(open(sys.argv[1], encoding='utf-8')); "
        "print(';'.join(','.join(k+'='+repr(m[k]) for k in m) for m in d['Monitors']))\" " +
        path("7.json");
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) {
        output += buffer;
    }
    ASSERT_EQ(pclose(pipe), 0) << output;
    // QJsonObject keeps its keys sorted.
    EXPECT_EQ(output,
              "dep=2.125,flu=30.5,time=125,vec=1.25,x=500100.25,y=3300200.5,z=812.125;"
              "dep=0,flu=0,time=0,vec=0,x=500300,y=3300400,z=790\n");
}

TEST_F(MonitorPointsTest, WritingReplacesTheFileAndAnEmptyListWritesNothing) {
    const std::string file = writeShapefile("points.shp", wkbPoint, {"POINT (1 2)", "POINT (3 4)"});
    MonitorPoints monitors = loadedFrom(file);
    writeText("3.json", std::string(4096, ' ') + "{\"leftover\": true}");
    ASSERT_TRUE(monitors.writeJson(path("3.json")));
    MonitorPoints read;
    ASSERT_TRUE(read.readJson(path("3.json")));
    EXPECT_EQ(read.list().size(), 2u);

    MonitorPoints empty;
    EXPECT_FALSE(empty.writeJson(path("4.json")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("4.json"))));

    EXPECT_FALSE(monitors.writeJson(path("no-such-folder/5.json")));
}

TEST_F(MonitorPointsTest, ReadingKeepsTheListUnlessTheFileHoldsAMonitorDocument) {
    const std::string file = writeShapefile("points.shp", wkbPoint, {"POINT (1 2)", "POINT (3 4)"});
    const struct {
        std::string name;
        const char* content;  // nullptr: no file
        bool replaces;
        std::vector<Expected> points;
    } cases[] = {
        {"missing.json", nullptr, false, {{1, 2, 0}, {3, 4, 0}}},
        {"empty.json", "", false, {{1, 2, 0}, {3, 4, 0}}},
        {"truncated.json", "{\"Monitors\": [{\"x\": 5, \"y\":", false, {{1, 2, 0}, {3, 4, 0}}},
        {"array.json", "[{\"x\": 5}]", false, {{1, 2, 0}, {3, 4, 0}}},
        {"nomonitors.json", "{\"Other\": 1}", true, {}},
        {"partial.json", "{\"Monitors\": [{\"x\": 5, \"z\": 6}, {}]}", true, {{5, 0, 6}, {0, 0, 0}}},
    };
    for (const auto& c : cases) {
        MonitorPoints monitors = loadedFrom(file);
        if (c.content) {
            writeText(c.name, c.content);
        }
        EXPECT_EQ(monitors.readJson(path(c.name)), c.replaces) << c.name;
        expectPoints(monitors, c.points, c.name);
    }

    MonitorPoints monitors = loadedFrom(file);
    monitors.clear();
    EXPECT_TRUE(monitors.empty());
}

TEST_F(MonitorPointsTest, NodeHasASphereForEveryPointAndLabelsOnlyForReachedOnes) {
    writeText("values.json", R"({"Monitors": [
        {"x": 100, "y": 200, "z": 30, "vec": 1.25, "flu": 30.5, "dep": 2.125, "time": 125.4},
        {"x": 400, "y": 500, "z": 60, "vec": 0, "flu": 3, "dep": 1, "time": 0},
        {"x": 700, "y": 800, "z": 90, "vec": 2, "flu": 0, "dep": 1, "time": 10},
        {"x": 900, "y": 950, "z": 95, "vec": 2, "flu": 3, "dep": 0, "time": 20}]})");
    MonitorPoints monitors;
    ASSERT_TRUE(monitors.readJson(path("values.json")));
    osg::ref_ptr<osg::Node> node = monitors.makeNode();
    osg::Group* group = node->asGroup();
    ASSERT_NE(group, nullptr);

    std::vector<const osg::Sphere*> spheres;
    std::vector<const osgText::Text*> labels;
    for (unsigned index = 0; index < group->getNumChildren(); ++index) {
        osg::Geode* geode = group->getChild(index)->asGeode();
        ASSERT_NE(geode, nullptr);
        ASSERT_EQ(geode->getNumDrawables(), 1u);
        const osg::StateSet* state = geode->getStateSet();
        ASSERT_NE(state, nullptr);
        const auto* depthTest =
            dynamic_cast<const osg::Depth*>(state->getAttribute(osg::StateAttribute::DEPTH));
        ASSERT_NE(depthTest, nullptr);
        EXPECT_EQ(depthTest->getFunction(), osg::Depth::ALWAYS);
        if (const auto* shape = dynamic_cast<const osg::ShapeDrawable*>(geode->getDrawable(0))) {
            spheres.push_back(dynamic_cast<const osg::Sphere*>(shape->getShape()));
            EXPECT_EQ(shape->getColor(), osg::Vec4(0, 0, 1, 1));
            EXPECT_EQ(state->getBinNumber(), 10);
            EXPECT_TRUE(state->getMode(GL_DEPTH_TEST) & osg::StateAttribute::OVERRIDE);
        } else if (const auto* text = dynamic_cast<const osgText::Text*>(geode->getDrawable(0))) {
            labels.push_back(text);
            EXPECT_DOUBLE_EQ(depthTest->getZNear(), 1);
            EXPECT_DOUBLE_EQ(depthTest->getZFar(), 100);
        } else {
            ADD_FAILURE() << "unexpected drawable " << geode->getDrawable(0)->className();
        }
    }

    const Expected centres[] = {{100, 200, 30}, {400, 500, 60}, {700, 800, 90}, {900, 950, 95}};
    ASSERT_EQ(spheres.size(), 4u);
    for (int index = 0; index < 4; ++index) {
        ASSERT_NE(spheres[index], nullptr);
        EXPECT_EQ(spheres[index]->getCenter(),
                  osg::Vec3(centres[index].x, centres[index].y, centres[index].z));
        EXPECT_EQ(spheres[index]->getRadius(), 10.0f);
    }

    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0]->getText().createUTF8EncodedString(),
              "arrive time 125s\nvelocity 1.250 m/s\nflow rate 30.500 m^3/s\ndepth 2.125 m");
    EXPECT_EQ(labels[0]->getPosition(), osg::Vec3(100, 200, 30));
    ASSERT_NE(labels[0]->getFont(), nullptr);
    EXPECT_NE(labels[0]->getFont()->getFileName().find("simhei.ttf"), std::string::npos);

    MonitorPoints empty;
    EXPECT_EQ(empty.makeNode()->asGroup()->getNumChildren(), 0u);
}

}  // namespace
