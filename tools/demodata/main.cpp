// vantorel-demo-data: builds the case-study folders of the scene list from synthetic valleys and slopes,
// with the flood and debris-flow results computed by the project's own engines through vantorel-batch,
// and a "TreeMeta.json" binding them.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <osgDB/WriteFile>

#include "casefiles.h"
#include "debriscases.h"
#include "landslidecases.h"
#include "realterrain.h"
#include "scenelist.h"
#include "shapes.h"
#include "syntheticvalley.h"

namespace {

// How big the demo cases are built.
struct DemoSize {
    // Simulated time of the debris flows, s.
    int debrisSeconds;
    // Every how many frames of a slide the folder keeps.
    int slideFrameStep;
};
// For the user: the debris has come down the gully and spread on the fan.
constexpr DemoSize fullSize{2400, 1};
// For tests: the same cases, the debris on its way down the gully, the slide in a few frames.
constexpr DemoSize testSize{960, 10};

const char* const usage =
    "usage: vantorel-demo-data --out DIR [--results N] [--test-size]\n"
    "\n"
    "Writes a data folder for every case study of the scene list under DIR, and DIR/TreeMeta.json\n"
    "binding them by absolute path. The flood cases get terrain, marks, a barrier lake and prepared\n"
    "results computed with vantorel-batch (found beside this program); --results sets how many results\n"
    "each flood case computes (default 400). The debris-flow cases get a slope where their viewpoint\n"
    "looks, marks and frames computed with vantorel-batch. \"jacksboro flood\" is made with the data tool\n"
    "from the real DEM of Debian's python-matplotlib-data package, with its flood computed like the\n"
    "others. The landslide cases get the terrain, rasters\n"
    "and scenario of a slide that dams the valley of \"danba flood\", and its frames computed with\n"
    "vantorel-batch. --test-size builds the same cases smaller, for tests: shorter debris flows, and\n"
    "every tenth frame of a slide and its last.\n"
    "DIR must be empty, missing, or a folder written by vantorel-demo-data before; any other folder is\n"
    "refused, so that no file of yours is replaced.\n";

// A flood case study: where its valley lies, how it is viewed and how big its flood is.
struct FloodCase {
    std::string name;
    std::string terrainFile;  // below the case folder
    ValleyDesign valley;
    double eye[3];
    double center[3];
    double up[3];
    float lakeHeightOffset;
    std::string riverName;
    std::vector<std::string> villages;
    double capacity;  // reservoir, m^3
    double width;     // breach, m
    double height;
    // Columns below the dam of the monitor points: two, where their labels at the case's viewpoint in an
    // 800 x 600 window stand clear of each other and of the place names.
    std::vector<int> monitorOffsets = {6, 32};
    // Columns below the dam of the villages, one per name.
    std::vector<int> villageOffsets = {12, 37, 62};
};

std::vector<FloodCase> floodCases() {
    std::vector<FloodCase> cases;
    {
        FloodCase jinjiang{"金江洪水",
                           "/Disaster_DiXing/jinshajiang.ive",
                           {},
                           {483426, 3434170, 16660.2},
                           {-1.32e30, -1.15475e29, -2.62126e30},
                           {-0.880339, -0.150208, 0.449934},
                           40.0f,
                           "金沙江",
                           {"上游村", "岗托镇", "下游集镇"},
                           100000000,
                           133,
                           47.5};
        // Centred where the fixed viewpoint looks, 17 km away and 15 km up.
        jinjiang.valley.cols = 120;
        jinjiang.valley.rows = 110;
        jinjiang.valley.cellSize = 100;
        jinjiang.valley.centreX = 475400;
        jinjiang.valley.centreY = 3433500;
        jinjiang.valley.floorElevation = 1500;
        jinjiang.valley.wallHeight = 1100;
        jinjiang.valley.floorHalfWidth = 700;
        jinjiang.valley.seed = 11;
        jinjiang.monitorOffsets = {14, 40};
        cases.push_back(jinjiang);
    }
    {
        FloodCase june{"6.1洪水",
                       "/Disaster_DiXing/flood.ive",
                       {},
                       {247054, 3230686, 5793.4},
                       {-7.80682e29, 1.17744e30, -2.57505e30},
                       {-0.43, 0.76, 0.48},
                       10.0f,
                       "白龙江",
                       {"河口村", "新街"},
                       20000000,
                       60,
                       20};
        june.valley.cols = 110;
        june.valley.rows = 100;
        june.valley.cellSize = 40;
        june.valley.centreX = 245500;
        june.valley.centreY = 3232950;
        june.valley.floorElevation = 1000;
        june.valley.wallHeight = 480;
        june.valley.floorHalfWidth = 260;
        june.valley.downstreamSlope = 0.006;
        june.valley.meanderAmplitude = 220;
        june.valley.seed = 61;
        cases.push_back(june);
    }
    {
        FloodCase danba{"danba flood",
                        "/Disaster_DiXing/danba.ive",
                        {},
                        {480300, 3429200, 10500},
                        {473300, 3438200, 1900},
                        {0, 0, 1},
                        40.0f,
                        "大渡河",
                        {"丹巴县城", "章谷镇"},
                        60000000,
                        100,
                        35};
        danba.valley.cols = 100;
        danba.valley.rows = 100;
        danba.valley.cellSize = 100;
        // The landslide cases dam this valley; their title floats above its north wall.
        danba.valley.centreX = 473300;
        danba.valley.centreY = 3438200;
        danba.valley.floorElevation = 1900;
        danba.valley.wallHeight = 1300;
        danba.valley.floorHalfWidth = 600;
        danba.valley.seed = 5;
        danba.monitorOffsets = {6, 30};
        danba.villageOffsets = {12, 70};
        cases.push_back(danba);
    }
    return cases;
}

// The position of a cell's reference corner with the ground under it.
osg::Vec3d groundAt(const ValleyGrid& grid, int row, int col, double lift) {
    return osg::Vec3d(grid.cellX(col), grid.cellY(row), grid.at(row, col) + lift);
}

osg::Vec3d centreOf(const ValleyGrid& grid, int row, int col) {
    return osg::Vec3d(grid.cellX(col) + grid.cellSize / 2, grid.cellY(row) - grid.cellSize / 2,
                      grid.at(row, col));
}

std::vector<osg::Vec3d> square(const osg::Vec3d& centre, double half) {
    return {centre + osg::Vec3d(-half, -half, 0), centre + osg::Vec3d(half, -half, 0),
            centre + osg::Vec3d(half, half, 0), centre + osg::Vec3d(-half, half, 0)};
}

bool buildFloodCase(const FloodCase& floodCase, const QString& folder, const QString& batch, int results) {
    const std::string root = folder.toStdString();
    if (!makeFolders(folder, {"/Disaster_DiXing", "/Disaster_Signs/River", "/Disaster_Signs/House",
                              "/Disaster_Signs/Road", "/Disaster_Data", "/Disaster_Play"})) {
        return false;
    }
    const ValleyGrid grid = makeValley(floodCase.valley);
    const int dam = grid.damColumn;
    const int floorRow = grid.floorRow[dam];

    // Terrain model and the flood engine's inputs over the same grid.
    const std::string terrain = root + floodCase.terrainFile;
    const std::string data = root + "/Disaster_Data";
    std::vector<float> roughness(grid.heights.size());
    for (std::size_t i = 0; i < roughness.size(); ++i) {
        const int col = static_cast<int>(i % grid.cols);
        const float floor = grid.at(grid.floorRow[col], col);
        roughness[i] = grid.heights[i] - floor < 20.0f ? 0.035f : 0.06f;
    }
    std::string outbreak = "3\n";
    for (int offset : {-2, 0, 2}) {
        outbreak += std::to_string(dam) + " " + std::to_string(grid.rows - (floorRow + offset)) + "\n";
    }
    std::vector<NamedShape> monitors;
    for (int downstream : floodCase.monitorOffsets) {
        const int col = std::min(grid.cols - 3, dam + downstream);
        monitors.push_back(
            {"monitor " + std::to_string(downstream), {centreOf(grid, grid.floorRow[col], col)}});
    }
    if (!osgDB::writeNodeFile(*buildTerrainMesh(grid), terrain) ||
        !writeAsciiGrid(grid, grid.heights, data + "/dem.asc") ||
        !writeAsciiGrid(grid, roughness, data + "/roughness.asc", 3) ||
        !writeText(data + "/outbreak.txt", outbreak) ||
        !writeText(data + "/HNW.txt", QString::number(floodCase.width).toStdString()) ||
        !writeShapefile(data + "/monitors.shp", ShapeKind::Points, monitors)) {
        std::cerr << "vantorel-demo-data: cannot write the terrain and flood inputs of " << floodCase.name
                  << "\n";
        return false;
    }

    // The barrier lake above the dam: its outline sits heightOffset below the water level, so that the
    // lake surface placed on it lies at the dam crest.
    const double crest = grid.at(floorRow, dam - 1);
    const osg::Vec3d lakeCorner(grid.cellX(dam - 1) - 2000, grid.cellY(floorRow) - 1000,
                                crest - 5 - floodCase.lakeHeightOffset);
    const std::vector<osg::Vec3d> lakeOutline = {lakeCorner, lakeCorner + osg::Vec3d(2000, 0, 0),
                                                 lakeCorner + osg::Vec3d(2000, 2000, 0),
                                                 lakeCorner + osg::Vec3d(0, 2000, 0)};
    std::vector<osg::Vec3d> river;
    std::vector<osg::Vec3d> road;
    for (int col = 1; col < grid.cols - 1; col += 2) {
        river.push_back(groundAt(grid, grid.floorRow[col], col, 2));
        const int roadRow = std::max(1, grid.floorRow[col] - static_cast<int>(900 / grid.cellSize));
        road.push_back(groundAt(grid, roadRow, col, 4));
    }
    std::vector<NamedShape> houses;
    std::vector<NamedShape> villages;
    std::vector<TextMark> marks = {
        {floodCase.riverName, river[river.size() / 4].x(), river[river.size() / 4].y(),
         river[river.size() / 4].z(), 0.1f, 0.3f, 0.9f, 1.0f, static_cast<float>(grid.cellSize * 2.5)},
        {"堰塞坝", grid.cellX(dam), grid.cellY(floorRow), crest, 0.9f, 0.1f, 0.1f, 1.0f,
         static_cast<float>(grid.cellSize * 2.5)},
    };
    for (std::size_t i = 0; i < floodCase.villages.size(); ++i) {
        const int col = std::min(grid.cols - 4, dam + floodCase.villageOffsets[i]);
        const int row = std::max(2, grid.floorRow[col] - static_cast<int>(450 / grid.cellSize) - 1);
        const osg::Vec3d centre = centreOf(grid, row, col);
        for (int house = 0; house < 4; ++house) {
            const osg::Vec3d at =
                centre + osg::Vec3d((house % 2) * grid.cellSize, (house / 2) * grid.cellSize, 6);
            houses.push_back({"", square(at, grid.cellSize * 0.3)});
        }
        villages.push_back({floodCase.villages[i], {centre}});
        marks.push_back({floodCase.villages[i], centre.x(), centre.y(), centre.z(), 1.0f, 1.0f, 1.0f, 1.0f,
                         static_cast<float>(grid.cellSize * 2)});
    }
    const std::string signs = root + "/Disaster_Signs";
    const std::vector<NamedShape> lakeShapes{NamedShape{"堰塞湖", lakeOutline}};
    // The names are in the text marks; unnamed lines and houses carry no second label.
    const std::vector<NamedShape> riverShapes{NamedShape{"", river}};
    const std::vector<NamedShape> roadShapes{NamedShape{"", road}};
    if (!writeShapefile(signs + "/River/BarrierLake.shp", ShapeKind::Polygons, lakeShapes) ||
        !writeShapefile(signs + "/River/river.shp", ShapeKind::Lines, riverShapes) ||
        !writeShapefile(signs + "/Road/road.shp", ShapeKind::Lines, roadShapes) ||
        !writeShapefile(signs + "/House/house.shp", ShapeKind::Polygons, houses) ||
        !writeShapefile(data + "/villages.shp", ShapeKind::Points, villages) ||
        !writeMarks(signs + "/mark.xml", marks)) {
        std::cerr << "vantorel-demo-data: cannot write the marks of " << floodCase.name << "\n";
        return false;
    }

    const std::vector<XmlCategory> config = {
        {"Path", {pathEntry(terrain)}},
        {"Camera", cameraEntries(floodCase.eye, floodCase.center, floodCase.up)},
        {"BarrierLake", {pathEntry(signs + "/River/BarrierLake.shp")}},
        {"House", {pathEntry(signs + "/House/house.shp")}},
        {"River", {pathEntry(signs + "/River/river.shp")}},
        {"Road", {pathEntry(signs + "/Road/road.shp")}},
        {"Play", {pathEntry(root + "/Disaster_Play")}},
    };
    if (!writeSceneXml(root + "/configXML.xml", "Scene", config)) {
        std::cerr << "vantorel-demo-data: cannot write " << root << "/configXML.xml\n";
        return false;
    }

    // The prepared results, computed by the engine as a live run would.
    return runBatch(batch,
                    {"flood",
                     "--roughness",
                     QString::fromStdString(data + "/roughness.asc"),
                     "--dem",
                     QString::fromStdString(data + "/dem.asc"),
                     "--outbreak",
                     QString::fromStdString(data + "/outbreak.txt"),
                     "--monitors",
                     QString::fromStdString(data + "/monitors.shp"),
                     // The villages of the marks, for the exposure table of the summary.
                     "--places",
                     QString::fromStdString(data + "/villages.shp"),
                     "--capacity",
                     QString::number(floodCase.capacity, 'f', 0),
                     "--width",
                     QString::number(floodCase.width),
                     "--height",
                     QString::number(floodCase.height),
                     "--format",
                     ".ive",
                     "--results",
                     QString::number(results),
                     "--out",
                     QString::fromStdString(root + "/Disaster_Play"),
                     // A folder built before holds the results of that build.
                     "--overwrite"},
                    "flood run of " + floodCase.name);
}

// Marks a folder as written by this program, so that a later run may write into it again.
const char* const demoMarker = ".vantorel-demo-data";

// Makes `out` the demo-data folder: a missing or empty folder is created and marked first (an
// interrupted build stays recognisable); a marked folder is taken as it is. Anything else is the user's
// and is refused.
bool claimDemoFolder(const QString& out, QString& problem) {
    const QFileInfo info(out);
    if (info.exists() && !info.isDir()) {
        problem = out + " is not a folder";
        return false;
    }
    const QDir folder(out);
    const bool empty = !info.exists() ||
                       folder.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (!empty && !QFileInfo(folder.filePath(demoMarker)).isFile()) {
        problem = out + " holds files that vantorel-demo-data did not write; choose an empty or new folder";
        return false;
    }
    if (!QDir().mkpath(out)) {
        problem = "cannot create " + out;
        return false;
    }
    QFile marker(folder.filePath(demoMarker));
    if (!marker.open(QIODevice::WriteOnly) ||
        marker.write("Written by vantorel-demo-data, which may replace everything here.\n") < 0) {
        problem = "cannot write " + marker.fileName();
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const int outAt = arguments.indexOf("--out");
    if (arguments.contains("--help") || outAt < 0 || outAt + 1 >= arguments.size()) {
        std::cout << usage;
        return arguments.contains("--help") ? 0 : 2;
    }
    int results = 400;
    if (const int resultsAt = arguments.indexOf("--results"); resultsAt >= 0) {
        bool isNumber = false;
        results = resultsAt + 1 < arguments.size() ? arguments[resultsAt + 1].toInt(&isNumber) : 0;
        if (!isNumber || results < 1 || results > 100000) {
            std::cerr << "vantorel-demo-data: --results needs a whole number from 1 to 100000\n";
            return 2;
        }
    }
    const DemoSize size = arguments.contains("--test-size") ? testSize : fullSize;
    const QString batch = QCoreApplication::applicationDirPath() + "/vantorel-batch";
    if (!QFileInfo(batch).isExecutable()) {
        std::cerr << "vantorel-demo-data: " << batch.toStdString() << " is missing; build it first\n";
        return 2;
    }
    const QString out = QDir(arguments[outAt + 1]).absolutePath();
    QString problem;
    if (!claimDemoFolder(out, problem)) {
        std::cerr << "vantorel-demo-data: " << problem.toStdString() << "\n";
        return 2;
    }

    std::list<FileManage> scenes;
    ValleyDesign dammedValley;
    for (const FloodCase& floodCase : floodCases()) {
        if (floodCase.name == "danba flood") {
            dammedValley = floodCase.valley;
        }
        const QString folder = out + "/" + QString::fromStdString(floodCase.name);
        std::cout << "building " << floodCase.name << " ..." << std::endl;
        if (!buildFloodCase(floodCase, folder, batch, results)) {
            return 1;
        }
        scenes.push_back({QString::fromStdString(floodCase.name), folder, "1"});
    }

    {
        // The case on real terrain, made with the data tool from the DEM Debian ships.
        const QString folder = out + "/" + realTerrainCaseName;
        std::cout << "building " << realTerrainCaseName << " ..." << std::endl;
        if (!buildRealTerrainCase(jacksboroDemArchive, (out + "/jacksboro_fault_dem.tif").toStdString(),
                                  folder, batch, results)) {
            return 1;
        }
        scenes.push_back({QString::fromUtf8(realTerrainCaseName), folder, "1"});
    }

    for (const DebrisCase& debrisCase : debrisCases()) {
        const QString folder = out + "/" + QString::fromStdString(debrisCase.name);
        std::cout << "building " << debrisCase.name << " ..." << std::endl;
        if (!buildDebrisCase(debrisCase, folder, batch, size.debrisSeconds)) {
            return 1;
        }
        scenes.push_back({QString::fromStdString(debrisCase.name), folder, "2"});
    }

    const struct {
        const char* name;
        const char* type;
    } others[] = {{"金江滑坡", "3"}, {"茂滑坡", "3"}};
    for (const auto& other : others) {
        const QString name = QString::fromUtf8(other.name);
        const QString folder = out + "/" + name;
        std::cout << "building " << other.name << " ..." << std::endl;
        bool built = false;
        for (const LandslideCaseDesign& slide : landslideCases()) {
            if (slide.name == other.name) {
                built = buildLandslideCase(slide, dammedValley, folder, batch, size.slideFrameStep);
            }
        }
        if (!built) {
            std::cerr << "vantorel-demo-data: cannot write the folder of " << other.name << "\n";
            return 1;
        }
        scenes.push_back({name, folder, QString::fromUtf8(other.type)});
    }

    QString error;
    if (!writeSceneList(out + "/TreeMeta.json", scenes, &error)) {
        std::cerr << "vantorel-demo-data: " << error.toStdString() << "\n";
        return 1;
    }
    std::cout << "case studies written to " << out.toStdString() << "; scene list " << out.toStdString()
              << "/TreeMeta.json" << std::endl;
    return 0;
}
