// vantorel-fuzz-seeds DIR: the seed corpus of every fuzz target, DIR/<target>/<seed>, made from the files
// the tests and the demo data write, and from malformed variants the tests try.
#include <QString>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <list>
#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <osgDB/Registry>
#include <sstream>

#include "casefiles.h"
#include "debrishud.h"
#include "debristestdata.h"
#include "floodhud.h"
#include "floodtestdata.h"
#include "fuzzslide.h"
#include "modelfile.h"
#include "monitorpoints.h"
#include "scenelist.h"
#include "syntheticvalley.h"
#include "testfiles.h"
#include "watermesh.h"

namespace {

std::string out;

std::string seed(const std::string& target, const std::string& name) {
    std::filesystem::create_directories(out + "/" + target);
    return out + "/" + target + "/" + name;
}

void literal(const std::string& target, const std::string& name, const std::string& text) {
    writeTextFile(seed(target, name), text);
}

// A seed of a target whose input begins with bytes that choose what the rest is.
void prefixed(const std::string& target, const std::string& name, const std::string& prefix,
              const std::string& text) {
    writeTextFile(seed(target, name), prefix + text);
}

void gridSeeds(const std::string& target) {
    // As the tests and the demo data write them.
    const ValleyShape shape{8, 7};
    writeAsciiGrid(seed(target, "valley.asc"), shape.ncols, shape.nrows, valleyGround(shape));
    debristest::writeGrid(
        seed(target, "slope.asc"), 6, 7, 10, [](int r, int c) { return 800 - 0.5 * c + r; }, 500000, 3300000);
    ValleyDesign design;
    design.cols = 9;
    design.rows = 8;
    const ValleyGrid valley = makeValley(design);
    writeAsciiGrid(valley, valley.heights, seed(target, "demo.asc"));
    // The variants the readers are to take.
    const std::string values = "1 2 3\n4 5 6\n";
    literal(target, "keywords-reordered.asc",
            "nrows 2\nNCOLS 3\ncellsize 10\nyllcenter 5\nxllcenter 5\n" + values);
    literal(target, "carriage-returns.asc",
            "ncols 3\rnrows 2\rxllcorner 0\ryllcorner 0\rcellsize 10\r1 2 3\r4 5 6\r");
    literal(target, "windows.asc",
            "ncols 3\r\nnrows 2\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 10\r\nNODATA_value -9999\r\n1 "
            "-9999 3\r\n"
            "4 5 6\r\n");
    literal(target, "nan-nodata.asc",
            "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value nan\n"
            "1 nan 3\n4 5 6\n");
    // And some it refuses.
    literal(target, "tiny-cells.asc",
            "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1e-20\n" + values);
    literal(target, "far-origin.asc",
            "ncols 3\nnrows 2\nxllcorner 1e308\nyllcorner 0\ncellsize 10\n" + values);
    literal(target, "garbage-heights.asc",
            "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\n1 nan inf\n7abc 0x10 6\n");
    literal(target, "overpromising.asc",
            "ncols 4000\nnrows 4000\nxllcorner 0\nyllcorner 0\ncellsize 10\n1 2 3\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: vantorel-fuzz-seeds DIR\n";
        return 2;
    }
    out = argv[1];

    gridSeeds("fuzz_floodgrid");
    gridSeeds("fuzz_debrisgrid");
    gridSeeds("fuzz_readheights");

    writeOutbreakFile(seed("fuzz_outbreak", "one.txt"), {{1, 2}});
    writeOutbreakFile(seed("fuzz_outbreak", "three.txt"), {{1, 2}, {2, 2}, {3, 3}});
    literal("fuzz_outbreak", "whole-reals.txt", "1.0\r\n2.0 2e0\r\n");
    literal("fuzz_outbreak", "fractions.txt", "2\n2.9 2.7\n1 2\n");
    literal("fuzz_outbreak", "trailing.txt", "1\n1 2\n3 3\nend\n");
    literal("fuzz_outbreak", "hexadecimal.txt", "1\n0x1 2\n");
    literal("fuzz_roughnesstable", "classes.txt", "# class n\n11 0.04\n42 = 0.1\n* 0.05\n");
    literal("fuzz_roughnesstable", "separators.txt", "1,0.03\r\n2;0.2\r\n3\t0.5 # forest\n");

    debristest::writeBreach(seed("fuzz_breach", "two.txt"), {{1, 2}, {2, 3}});
    debristest::writeBreach(seed("fuzz_breach", "none.txt"), {});
    literal("fuzz_breach", "windows.txt", "45.5\r\n3\r\n1 1\r\n2 -0\r\n3.0 3\r\n");
    literal("fuzz_breach", "nodata-cell.txt", "0 1 3 3\n");
    literal("fuzz_breach", "malformed.txt", "7abc 2\n1 0x2\n9x 9\n99 99\n");

    const double eye[3] = {483426, 3434170, 16660.2};
    const double center[3] = {-1.32e30, -1.15475e29, -2.62126e30};
    const double up[3] = {-0.880339, -0.150208, 0.449934};
    writeSceneXml(seed("fuzz_configxml", "demo.xml"), "Scene",
                  {{"Path", {pathEntry("/data/jinjiang/Disaster_DiXing/jinshajiang.ive")}},
                   {"Camera", cameraEntries(eye, center, up)},
                   {"BarrierLake", {pathEntry("/data/jinjiang/Disaster_Signs/River/BarrierLake.shp")}},
                   {"House", {pathEntry("/data/house.shp")}},
                   {"River", {pathEntry("/data/river.shp")}},
                   {"Road", {pathEntry("/data/road.shp")}},
                   {"Othershp", {pathEntry("/data/a.shp", "path"), pathEntry("/data/b.shp", "file")}},
                   {"Play", {pathEntry("/data/jinjiang/Disaster_Play")}},
                   {"PlayH", {pathEntry("/data/jinjiang/Disaster_PlayH")}}});
    literal("fuzz_configxml", "comments.xml",
            "<S><Play>text<!-- c --><?pi x?><frames strPath=\"/r/1\"/>more<z strPath=\"/r/2\"/></Play></S>");
    literal("fuzz_configxml", "entities.xml",
            "<?xml version=\"1.0\"?><!DOCTYPE S [<!ENTITY p \"/data\">]><S><Path><x "
            "strPath=\"&p;/a.ive\"/></Path></S>");
    literal("fuzz_configxml", "nested.xml",
            "<S><Path><x strPath=\"/deep.ive\"><a><a><a></a></a></a></x></Path></S>");

    // A scenario file with an entry of every kind the landslide scenario reads.
    writeSceneXml(
        seed("fuzz_landslidexml", "demo.xml"), "Scene",
        {{"Path", {pathEntry("/data/mao/Disaster_DiXing/terrain.ive")}},
         {"Camera2",
          {XmlEntry{"eye", {{"x", "1"}, {"y", "2"}, {"z", "3"}}},
           XmlEntry{"pos", {{"X", "4"}, {"Y", "5"}, {"Z", "6"}}},
           XmlEntry{"attitude", {{"X_axis", "0"}, {"Y_axis", "90"}, {"Z_axis", "180"}}},
           XmlEntry{"text", {{"textstr", "滑坡"}}}}},
         {"landslide",
          {XmlEntry{"path", {{"strPath", "/data/mao/Landslide_Play"}}},
           XmlEntry{"location", {{"LocationFile", "/data/mao/Disaster_Signs/landslide.shp"}}},
           XmlEntry{"pos", {{"X", "0"}, {"Y", "0"}, {"Z", "0"}}}}},
         {"DoubleArrow2",
          {XmlEntry{"location", {{"Arrow2Location", "/a.ive"}}},
           XmlEntry{"pos1", {{"X", "1"}, {"Y", "2"}, {"Z", "3"}}},
           XmlEntry{"pos2", {{"X", "4"}, {"Y", "5"}, {"Z", "6"}}}}},
         {"BendArrow", {XmlEntry{"path", {{"strPath", "/b.ive"}}}, XmlEntry{"type", {{"T", "2"}}}}}});
    literal(
        "fuzz_landslidexml", "odd.xml",
        "<L><Camera2><eye x=\"1\"/>t<!-- c --><up/></Camera2><landslide><path/><pos X=\"nan\"/></landslide>"
        "<Path><a strPath=\"/x\"><b/></a></Path><none/></L>");

    writeMarks(seed("fuzz_markxml", "demo.xml"),
               {{"金沙江", 480000.5, 3430000, 2100, 0.1f, 0.3f, 0.9f, 1.0f, 250},
                {"堰塞坝", 1, 2, 3, 0.9f, 0.1f, 0.1f, 1.0f, 100}});
    literal(
        "fuzz_markxml", "odd.xml",
        "<M><Mark><note/><pos X=\"inf\" Y=\"1e39\" Z=\"nan\"/><extra a=\"1\"/><text textstr=\"any\"/></Mark>"
        "<Label><text/><pos/><color/><size/></Label><Mark><a/><b/><c/><d/><size S=\"42\"/></Mark></M>");

    const std::list<FileManage> scenes = {{"金江洪水", "/data/jinjiang", "1"},
                                          {"七盘泥石流", "/data/qipan", "2"},
                                          {"danba flood", "C:\\data\\danba \"east\"", "3"}};
    const QByteArray list = sceneListJson(scenes);
    literal("fuzz_treemeta", "demo.json", list.toStdString());
    literal(
        "fuzz_treemeta", "hand-edited.json",
        R"({"version": 2, "test": [{"name": "金江洪水", "path": "/old", "type": 1, "tags": ["a", {"b": null}]},)"
        R"( "text", {"name": "other", "path": "/o", "type": "2", "weight": 3.5}, {"path": "/x"}],)"
        R"( "owner": {"checked": true}})");

    MonitorPoints monitors;
    monitors.parseJson(
        R"({"Monitors": [{"x": 500100.25, "y": 3300200.5, "z": 812.125, "vec": 1.25, "flu": 30.5,)"
        R"( "dep": 2.125, "time": 125}, {"x": 500300, "y": 3300400, "z": 790}]})",
        "seed");
    literal("fuzz_monitorjson", "two.json", monitors.toJson().toStdString());
    literal("fuzz_monitorjson", "odd.json", R"({"Monitors": [{"x": 1e300, "z": 6}, {}, 3], "Other": 1})");

    const std::string monitorHeader = "result,time_s,point,x,y,depth_m,speed_m_s,flow_m2_s\n";
    literal("fuzz_monitorcsv", "two-points.csv",
            monitorHeader + "1,4.000,1,244880.000,3232970.000,0.0000,0.0000,0.0000\n"
                            "1,4.000,2,245920.000,3232730.000,0.0000,0.0000,0.0000\n"
                            "2,8.000,1,244880.000,3232970.000,0.5312,1.2500,3.0625\n"
                            "2,8.000,2,245920.000,3232730.000,0.0000,0.0000,0.0000\n");
    literal("fuzz_monitorcsv", "odd.csv",
            monitorHeader + "2,8,1,0,0,1,1,1\r\n1,4,1,0,0,1e39,nan,-0\n3,x,1001,,,\n");

    for (const FloodHud& hud : {FloodHud{59.9f, 25000, 1e8f, 0, 20}, FloodHud{11303.4f, 0, 3e6f, -2, 12}}) {
        literal("fuzz_floodstate", std::to_string(hud.colourLow + 10) + ".txt", hud.stateText());
    }
    literal("fuzz_floodstate", "absurd.txt", "1e30\r\nnan\r\n-inf\r\n99999999999\r\n1.5");

    // Result folders: records of a kind byte (bit 7 the summary folder, bit 6 a summary folder that is
    // a link out, bit 5 --overwrite) and a name.
    const auto record = [](char kind, const std::string& name) {
        return std::string(1, kind) + static_cast<char>(name.size()) + name;
    };
    literal("fuzz_resultfolder", "earlier-run.bin",
            record(0, "1.ive") + record(0, "1.txt") + record(0, "2.ive") + record(0, "notes.txt") +
                record(static_cast<char>(0x80), "volume.csv") + record(static_cast<char>(0x81), "monitors.csv") +
                record(static_cast<char>(0x80), "monitor_3.png") + record(0x20, ".2.txt.partial-a8Bc3d"));
    literal("fuzz_resultfolder", "tricks.bin",
            record(0x23, "9.ive") + record(0x21, "3.json") + record(0x24, "4.tif") + record(0x25, "5.3ds") +
                record(static_cast<char>(0x81), "volume.csv.partial") + record(static_cast<char>(0x82), "maxDepth.tif") +
                record(static_cast<char>(0xa3), "peakDepth.tif"));
    literal("fuzz_resultfolder", "summary-link.bin", record(0x40, "x") + record(0x20, "7.txt"));

    // The rasters of a small slide, each in the role it has (a first byte of 7 reads it alone).
    const std::string slideFolder = out + "/slide-inputs";
    std::filesystem::create_directories(slideFolder);
    const LandslideInputs slide = writeSlideScene(slideFolder, fuzzSlideDesign()).inputs;
    const std::string roles[] = {slide.deposit, slide.path, slide.body, slide.image,
                                 slide.centreline, slide.mosaic, slide.postDem};
    for (int role = 0; role < 7; ++role) {
        prefixed("fuzz_landslideraster", "role" + std::to_string(role) + ".tif",
                 std::string{static_cast<char>(role), 0}, readTextFile(roles[role]));
    }
    prefixed("fuzz_landslideraster", "mosaic.asc", std::string{5, 1},
             "ncols 4\nnrows 3\nxllcorner 500000\nyllcorner 2999970\ncellsize 10\nNODATA_value -9999\n"
             "1 2 3 4\n5 inf 7 8\n9 10 -9999 12\n");
    prefixed("fuzz_landslideraster", "overdeclared.asc", std::string{7, 1},
             "ncols 14000\nnrows 14000\nxllcorner 500000\nyllcorner 2999600\ncellsize 10\n1 2 3\n");
    prefixed("fuzz_landslideraster", "post.vrt", std::string{6, 2},
             "<VRTDataset rasterXSize=\"40\" rasterYSize=\"20\"><GeoTransform>500000, 10, 0, 3000000, 0, "
             "-10</GeoTransform><VRTRasterBand dataType=\"Float32\" band=\"1\"><SimpleSource><SourceFilename "
             "relativeToVRT=\"0\">/vsimem/slide/mosaic.tif</SourceFilename><SourceBand>1</SourceBand>"
             "</SimpleSource></VRTRasterBand></VRTDataset>");
    std::filesystem::remove_all(slideFolder);

    // Monitor points: a first byte choosing the format.
    prefixed("fuzz_monitorvector", "points.geojson", std::string(1, 0),
             R"({"type": "FeatureCollection", "features": [{"type": "Feature", "properties": {},)"
             R"( "geometry": {"type": "Point", "coordinates": [95, 270, 100]}}, {"type": "Feature",)"
             R"( "properties": {}, "geometry": {"type": "LineString", "coordinates": [[50, 50], [150, 250]]}}]})");
    prefixed("fuzz_monitorvector", "points.csv", std::string(1, 1),
             "WKT,name\n\"POINT (95 270)\",a\n\"LINESTRING (2 270,95 -300)\",b\n\"POINT (nan 5)\",c\n");
    prefixed("fuzz_monitorvector", "points.kml", std::string(1, 2),
             "<kml><Placemark><Point><coordinates>95,270,0</coordinates></Point></Placemark></kml>");
    prefixed("fuzz_monitorvector", "points.gpx", std::string(1, 3),
             "<gpx version=\"1.1\"><wpt lat=\"270\" lon=\"95\"/></gpx>");

    // Stored frames: a water surface as the flood writes it, alone and under a transform, compressed, cut
    // short, and with the length of a vertex array (stored before its first vertex) damaged to 24 GB.
    std::vector<FloodCell> cells(5 * 4);
    std::vector<const FloodCell*> rows;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        cells[i].ground = 100.0f + static_cast<float>(i % 4);
        cells[i].wet = i % 3 == 0;
        cells[i].surfaceOld = cells[i].ground + (cells[i].wet ? 1.5f : 0.0f);
    }
    for (int r = 0; r < 5; ++r) {
        rows.push_back(&cells[static_cast<std::size_t>(r) * 4]);
    }
    const FloodGridView grid{rows.data(), 5, 4, 10.0, 500000.0, 3300000.0};
    const osg::ref_ptr<osg::Geode> water = buildWaterGeode(grid, 20, floodShallowColour, floodDeepColour);
    osg::ref_ptr<osg::MatrixTransform> placed = new osg::MatrixTransform(osg::Matrix::translate(5, 5, 5));
    placed->addChild(water);
    std::string waterBytes;
    std::string placedBytes;
    std::string problem;
    if (!modelFileBytes(*water, ".ive", waterBytes, problem) ||
        !modelFileBytes(*placed, ".ive", placedBytes, problem)) {
        std::cerr << problem << "\n";
        return 1;
    }
    literal("fuzz_resultframe", "water.ive", waterBytes);
    literal("fuzz_resultframe", "placed.ive", placedBytes);
    literal("fuzz_resultframe", "cut-short.ive", waterBytes.substr(0, waterBytes.size() / 2));
    osg::ref_ptr<osgDB::Options> compressed = new osgDB::Options("compressed");
    std::ostringstream stream(std::ios::out | std::ios::binary);
    osgDB::ReaderWriter* ive = osgDB::Registry::instance()->getReaderWriterForExtension("ive");
    ive->writeNode(*water, stream, compressed.get());
    literal("fuzz_resultframe", "compressed.ive", stream.str());
    const osg::Vec3Array* vertices = nullptr;
    for (unsigned i = 0; i < water->getNumDrawables() && (vertices == nullptr || vertices->empty()); ++i) {
        vertices = dynamic_cast<const osg::Vec3Array*>(water->getDrawable(i)->asGeometry()->getVertexArray());
    }
    std::string stored(4 + sizeof(osg::Vec3), '\0');
    const std::uint32_t length = vertices ? static_cast<std::uint32_t>(vertices->size()) : 0;
    std::memcpy(&stored[0], &length, 4);
    if (length > 0) {
        std::memcpy(&stored[4], vertices->front().ptr(), sizeof(osg::Vec3));
    }
    const std::size_t at = waterBytes.find(stored);
    if (length == 0 || at == std::string::npos) {
        std::cerr << "vantorel-fuzz-seeds: no vertex array in the water surface\n";
        return 1;
    }
    const std::uint32_t damaged = 0x7fffffff;
    std::memcpy(&waterBytes[at], &damaged, 4);
    literal("fuzz_resultframe", "declares-huge-array.ive", waterBytes);

    DebrisHud debris;
    debris.maxSpeed = 12.3456789f;
    debris.elapsedTime = 29.4f;
    debris.rangeLower = -3;
    debris.rangeUpper = 15;
    literal("fuzz_debrisframe", "frame.txt", debris.frameInfoText());
    literal("fuzz_debrisframe", "absurd.txt", "nan\ninf\n1e20\n-3e9\n5\n6\n");
    return 0;
}
