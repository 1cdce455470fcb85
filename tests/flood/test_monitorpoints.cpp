// Monitor points: loading them from vector files, matching them with grid cells, their per-step JSON
// files and the spheres and labels of the replay.
#include <gtest/gtest.h>

#include <gdal_priv.h>
#include <QFile>
#include <QTemporaryDir>
#include <osg/Depth>
#include <osg/Geode>
#include <osg/ShapeDrawable>
#include <osgText/Text>
#include <string>
#include <vector>

#include "labellayout.h"
#include "monitormarks.h"
#include "monitorpoints.h"
#include "testfiles.h"
#include "testshapefiles.h"

namespace {

PointM at(double x, double y, double z, float velocity = 0, float flow = 0, float depth = 0,
          float arrival = 0) {
    return {x, y, z, velocity, flow, depth, arrival};
}

void expectPoints(const MonitorPoints& monitors, const std::vector<PointM>& expected) {
    ASSERT_EQ(monitors.list().size(), expected.size());
    auto point = monitors.list().begin();
    for (const PointM& e : expected) {
        EXPECT_EQ(point->x, e.x);
        EXPECT_EQ(point->y, e.y);
        EXPECT_EQ(point->z, e.z);
        EXPECT_EQ(point->velocity, e.velocity);
        EXPECT_EQ(point->flow, e.flow);
        EXPECT_EQ(point->depth, e.depth);
        EXPECT_EQ(point->arrival, e.arrival);
        ++point;
    }
}

class MonitorPointsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        GDALAllRegister();
    }

    std::string path(const std::string& name) const { return folder.path().toStdString() + "/" + name; }
    std::string shapefile(const std::string& name, OGRwkbGeometryType type,
                          const std::vector<const char*>& wkts) {
        writeWktShapefile(path(name), type, wkts);
        return path(name);
    }
    std::string text(const std::string& name, const std::string& content) {
        writeTextFile(path(name), content);
        return path(name);
    }
    // The points of a vector file, their values all zero.
    static MonitorPoints loadedFrom(const std::string& file) {
        MonitorPoints monitors;
        EXPECT_TRUE(monitors.load(file));
        return monitors;
    }
    // Two points, (1, 2) and (3, 4).
    std::string twoPoints() { return shapefile("two.shp", wkbPoint, {"POINT (1 2)", "POINT (3 4)"}); }

    QTemporaryDir folder;
};

TEST_F(MonitorPointsTest, LoadTakesPointsAndLineVerticesInOrderAndReportsThem) {
    const std::string points = shapefile("points.shp", wkbPoint25D,
                                         {"POINT Z (500100 3300200 812.5)", "POINT Z (500130 3300260 790)",
                                          "POINT Z (500190 3300110 805.25)"});
    const std::string line =
        shapefile("river.shp", wkbLineString, {"LINESTRING (10 20, 40 20, 40 60, 70 60, 70 90)"});
    const std::string outline = shapefile("dam.shp", wkbPolygon, {"POLYGON ((0 0, 10 0, 10 10, 0 0))"});
    // A GeoJSON file may mix types: points and line vertices are taken, the polygon is not.
    const std::string mixed = text("mixed.geojson", R"({"type": "FeatureCollection", "features": [
            {"type": "Feature", "properties": {}, "geometry": {"type": "Point", "coordinates": [1, 2, 3]}},
            {"type": "Feature", "properties": {}, "geometry": {"type": "Polygon",
                "coordinates": [[[0, 0], [5, 0], [5, 5], [0, 0]]]}},
            {"type": "Feature", "properties": {}, "geometry": null},
            {"type": "Feature", "properties": {}, "geometry": {"type": "LineString",
                "coordinates": [[7, 8], [9, 10]]}}]})");

    const std::pair<std::string, std::vector<PointM>> cases[] = {
        {points, {at(500100, 3300200, 812.5), at(500130, 3300260, 790), at(500190, 3300110, 805.25)}},
        {line, {at(10, 20, 0), at(40, 20, 0), at(40, 60, 0), at(70, 60, 0), at(70, 90, 0)}},
        {outline, {}},
        {mixed, {at(1, 2, 3), at(7, 8, 0), at(9, 10, 0)}},
    };
    for (const auto& [file, expected] : cases) {
        SCOPED_TRACE(file);
        MonitorPoints monitors;
        // Every load replaces what was there before.
        ASSERT_TRUE(monitors.load(points));
        testing::internal::CaptureStdout();
        ASSERT_TRUE(monitors.load(file));
        const std::string printed = testing::internal::GetCapturedStdout();
        expectPoints(monitors, expected);
        EXPECT_EQ(monitors.empty(), expected.empty());
        if (file == line) {
            for (const char* report :
                 {"river 's FeatureCount :1\n", " Geo name:LINESTRING\n", " Point Count:5 Len :130\n"}) {
                EXPECT_NE(printed.find(report), std::string::npos) << printed;
            }
        }
    }
}

TEST_F(MonitorPointsTest, FilesThatAreNotVectorDataKeepTheList) {
    const std::string grid = text("dem.asc",
                                  "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\n"
                                  "NODATA_value -9999\n1 2\n3 4\n");
    const std::string noise = text("noise.shp", "this is not a shapefile");
    for (const std::string& file : {path("missing.shp"), grid, noise, std::string()}) {
        SCOPED_TRACE(file);
        MonitorPoints monitors = loadedFrom(twoPoints());
        EXPECT_FALSE(monitors.load(file));
        expectPoints(monitors, {at(1, 2, 0), at(3, 4, 0)});
    }
}

TEST_F(MonitorPointsTest, MatchIsStrictWithinTheToleranceInXAndY) {
    const std::string file = shapefile("point.shp", wkbPoint, {"POINT (100 100)"});
    const struct {
        double x, y;
        bool matches;
    } cells[] = {
        {100, 100, true}, {109.99, 100, true}, {90.01, 109.99, true}, {110, 100, false},
        {90, 100, false}, {100, 110, false},   {100, 90, false},      {120, 120, false},
    };
    for (const auto& cell : cells) {
        SCOPED_TRACE(std::to_string(cell.x) + "," + std::to_string(cell.y));
        MonitorPoints monitors = loadedFrom(file);
        EXPECT_EQ(monitors.match(cell.x, cell.y, 10, 1.5f, 2.5f, 3.5f, 60), cell.matches);
        expectPoints(monitors, {cell.matches ? at(100, 100, 0, 1.5f, 2.5f, 3.5f, 60) : at(100, 100, 0)});
    }
}

TEST_F(MonitorPointsTest, ValuesFollowTheLastMatchAndArrivalTheFirstNonZeroTime) {
    MonitorPoints monitors = loadedFrom(
        shapefile("points.shp", wkbPoint, {"POINT (100 100)", "POINT (105 100)", "POINT (300 300)"}));
    // One cell near the first two points, ticks in time order; the far point is never reached.
    const float ticks[][4] = {{0.5f, 1, 0.25f, 0}, {1.5f, 4, 0.75f, 30}, {2.5f, 9, 1.25f, 60}};
    for (const auto& tick : ticks) {
        EXPECT_TRUE(monitors.match(101, 101, 10, tick[0], tick[1], tick[2], tick[3]));
    }
    EXPECT_FALSE(monitors.match(1000, 1000, 10, 9, 9, 9, 90));
    // Reached at time 0, which marks "not yet", so the next match set the arrival.
    expectPoints(monitors,
                 {at(100, 100, 0, 2.5f, 9, 1.25f, 30), at(105, 100, 0, 2.5f, 9, 1.25f, 30), at(300, 300, 0)});

    MonitorPoints empty;
    EXPECT_FALSE(empty.match(0, 0, 10, 1, 1, 1, 1));
}

TEST_F(MonitorPointsTest, JsonRoundTripIsReadableByOtherTools) {
    MonitorPoints written =
        loadedFrom(shapefile("points.shp", wkbPoint25D,
                             {"POINT Z (500100.25 3300200.5 812.125)", "POINT Z (500300 3300400 790)"}));
    ASSERT_TRUE(written.match(500100, 3300200, 10, 1.25f, 30.5f, 2.125f, 125));
    ASSERT_TRUE(written.writeJson(path("7.json")));

    MonitorPoints read;
    ASSERT_TRUE(read.readJson(path("7.json")));
    expectPoints(read, std::vector<PointM>(written.list().begin(), written.list().end()));

    // The on-disk keys and order, as another program reads them.
    const ProgramRun python = runProgram(
        "python3", {"-c",
                    "import json,sys; d=json.load(open(sys.argv[1], encoding='utf-8')); "
                    "print(';'.join(','.join(k+'='+repr(m[k]) for k in m) for m in d['Monitors']))",
                    QString::fromStdString(path("7.json"))});
    ASSERT_EQ(python.exitCode, 0) << python.err;
    // QJsonObject keeps its keys sorted.
    EXPECT_EQ(python.out,
              "dep=2.125,flu=30.5,time=125,vec=1.25,x=500100.25,y=3300200.5,z=812.125;"
              "dep=0,flu=0,time=0,vec=0,x=500300,y=3300400,z=790\n");
}

TEST_F(MonitorPointsTest, WritingReplacesTheFileAndAnEmptyListWritesNothing) {
    MonitorPoints monitors = loadedFrom(twoPoints());
    text("3.json", std::string(4096, ' ') + "{\"leftover\": true}");
    ASSERT_TRUE(monitors.writeJson(path("3.json")));
    MonitorPoints read;
    ASSERT_TRUE(read.readJson(path("3.json")));
    EXPECT_EQ(read.list().size(), 2u);

    EXPECT_FALSE(MonitorPoints().writeJson(path("4.json")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("4.json"))));
    EXPECT_FALSE(monitors.writeJson(path("no-such-folder/5.json")));
}

TEST_F(MonitorPointsTest, ReadingKeepsTheListUnlessTheFileHoldsAMonitorDocument) {
    const std::vector<PointM> kept = {at(1, 2, 0), at(3, 4, 0)};
    const struct {
        std::string name;
        const char* content;  // nullptr: no file
        bool replaces;
        std::vector<PointM> points;
    } cases[] = {
        {"missing.json", nullptr, false, kept},
        {"empty.json", "", false, kept},
        {"truncated.json", "{\"Monitors\": [{\"x\": 5, \"y\":", false, kept},
        {"array.json", "[{\"x\": 5}]", false, kept},
        {"nomonitors.json", "{\"Other\": 1}", true, {}},
        {"partial.json", "{\"Monitors\": [{\"x\": 5, \"z\": 6}, {}]}", true, {at(5, 0, 6), at(0, 0, 0)}},
    };
    const std::string file = twoPoints();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MonitorPoints monitors = loadedFrom(file);
        if (c.content) {
            text(c.name, c.content);
        }
        EXPECT_EQ(monitors.readJson(path(c.name)), c.replaces);
        expectPoints(monitors, c.points);
    }

    MonitorPoints monitors = loadedFrom(file);
    monitors.clear();
    EXPECT_TRUE(monitors.empty());
}

// `count` reached points in a "Monitors" document, the first at `firstX`.
std::string monitorDocument(std::size_t count, const char* firstX = "1") {
    std::string text = "{\"Monitors\": [";
    for (std::size_t i = 0; i < count; ++i) {
        text += std::string(i ? "," : "") + "{\"x\": " + (i ? std::to_string(i) : firstX) +
                ", \"y\": 2, \"z\": 3, \"vec\": 1, \"flu\": 1, \"dep\": 1, \"time\": 5}";
    }
    return text + "]}";
}

TEST_F(MonitorPointsTest, ReplayFrameLoadsNoMoreThanItCanShow) {
    const std::string file = twoPoints();
    const struct {
        const char* what;
        std::string content;  // written to the file, unless a path is given
        std::string path;
        bool replaces;
        const char* said;
    } cases[] = {
        // 100 000 points took 52 s and 9.8 GB for one frame.
        {"100 000 points", monitorDocument(100000), "", false, "holds 6988905 bytes, more than the 1048576"},
        {"1001 points", monitorDocument(1001), "", false, "lists 1001 points, more than the 1000"},
        {"a file over 1 MiB", monitorDocument(1000) + std::string(1100000, ' '), "", false,
         "more than the 1048576 this file may have"},
        {"a coordinate beyond any map", monitorDocument(3, "1e300"), "", false,
         "point 1 holds values no flood writes"},
        {"a device", "", "/dev/zero", false, "\"/dev/zero\" is not a regular file"},
        {"1000 points", monitorDocument(1000), "", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MonitorPoints monitors = loadedFrom(file);
        const std::string json = c.path.empty() ? text("frame.json", c.content) : c.path;
        testing::internal::CaptureStdout();
        EXPECT_EQ(monitors.readJson(json), c.replaces);
        const std::string said = testing::internal::GetCapturedStdout();
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(monitors.list().size(), c.replaces ? 1000u : 2u);
    }

    // A line of more vertices than a flood can show is not loaded either.
    std::string line = "LINESTRING (";
    for (int i = 0; i <= 1000; ++i) {
        line += (i ? "," : "") + std::to_string(i) + " 0";
    }
    MonitorPoints monitors = loadedFrom(file);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(monitors.load(shapefile("long.shp", wkbLineString, {(line + ")").c_str()})));
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("holds 1001 points, more than the 1000 a flood can show"), std::string::npos) << said;
    EXPECT_EQ(monitors.list().size(), 2u);
}

TEST_F(MonitorPointsTest, NodeHasASphereForEveryPointAndLabelsOnlyForReachedOnes) {
    text("values.json", R"({"Monitors": [
        {"x": 100, "y": 200, "z": 30, "vec": 1.25, "flu": 30.5, "dep": 2.125, "time": 125.4},
        {"x": 400, "y": 500, "z": 60, "vec": 0, "flu": 3, "dep": 1, "time": 0},
        {"x": 700, "y": 800, "z": 90, "vec": 2, "flu": 0, "dep": 1, "time": 10},
        {"x": 900, "y": 950, "z": 95, "vec": 2, "flu": 3, "dep": 0, "time": 20}]})");
    MonitorPoints monitors;
    ASSERT_TRUE(monitors.readJson(path("values.json")));
    osg::ref_ptr<osg::Node> node = makeMonitorNode(monitors);
    osg::Group* group = node->asGroup();
    ASSERT_NE(group, nullptr);

    std::vector<osg::Vec3> centres;
    std::vector<const osgText::Text*> labels;
    for (unsigned index = 0; index < group->getNumChildren(); ++index) {
        osg::Node* child = group->getChild(index);
        // Labels stand under the label layout, ahead of place names.
        if (auto* label = dynamic_cast<ScreenLabel*>(child)) {
            EXPECT_EQ(label->priority, LabelPriority::MonitorValues);
            ASSERT_EQ(label->getNumChildren(), 1u) << "screen-sized: no smaller copy";
            child = label->getChild(0);
        }
        osg::Geode* geode = child->asGeode();
        ASSERT_TRUE(geode && geode->getNumDrawables() == 1 && geode->getStateSet());
        const osg::StateSet* state = geode->getStateSet();
        const auto* depthTest =
            dynamic_cast<const osg::Depth*>(state->getAttribute(osg::StateAttribute::DEPTH));
        ASSERT_NE(depthTest, nullptr);
        EXPECT_EQ(depthTest->getFunction(), osg::Depth::ALWAYS);
        if (const auto* shape = dynamic_cast<const osg::ShapeDrawable*>(geode->getDrawable(0))) {
            const auto* sphere = dynamic_cast<const osg::Sphere*>(shape->getShape());
            ASSERT_NE(sphere, nullptr);
            centres.push_back(sphere->getCenter());
            EXPECT_EQ(sphere->getRadius(), 10.0f);
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
    EXPECT_EQ(centres,
              (std::vector<osg::Vec3>{{100, 200, 30}, {400, 500, 60}, {700, 800, 90}, {900, 950, 95}}));
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0]->getText().createUTF8EncodedString(),
              "arrive time 125s\nvelocity 1.250 m/s\nflow rate 30.500 m^3/s\ndepth 2.125 m");
    EXPECT_EQ(labels[0]->getPosition(), osg::Vec3(100, 200, 30));
    ASSERT_NE(labels[0]->getFont(), nullptr);
    EXPECT_NE(labels[0]->getFont()->getFileName().find("simhei.ttf"), std::string::npos);

    EXPECT_EQ(makeMonitorNode(MonitorPoints())->asGroup()->getNumChildren(), 0u);
}

}  // namespace
