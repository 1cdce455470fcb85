#include "debriscases.h"

#include <QFileInfo>
#include <cmath>
#include <iostream>
#include <osg/Vec3d>
#include <osgDB/WriteFile>

#include "casefiles.h"
#include "shapes.h"
#include "syntheticvalley.h"

namespace {

// The ground the viewpoint looks at lies this high; the slope is centred where the line of sight meets it.
constexpr double viewedGround = 1800.0;

// Debris released in the demo runs, m³: a quarter of the form's default keeps the runs short.
constexpr double demoVolume = 500000.0;

std::string number(double value) {
    return QString::number(value, 'g', 12).toStdString();
}

}  // namespace

std::vector<DebrisCase> debrisCases() {
    return {{"七盘泥石流",
             "/DisasterDiXing/qipan/output.ive",
             "/debrisflow_qipan",
             {359652, 3481500, 4637.01},
             {1.62035e30, -1.53595e30, -1.90842e30},
             {0.684762, -0.160791, 0.710808},
             "",
             7,
             -1000,
             -100,
             700},
            {"文家泥石流",
             "/Disaster_DiXing/debrisflow.ive",
             "/Disaster_Play",
             {414686, 3491320, 3414.15},
             {1.50987e30, -3.63805e29, -2.49293e30},
             {0.845675, -0.0922817, 0.525659},
             "文家沟",
             23,
             -420,
             -80,
             250}};
}

bool buildDebrisCase(const DebrisCase& debrisCase, const QString& folder, const QString& batch, int seconds) {
    const std::string root = folder.toStdString();
    const QString terrainFolder = QFileInfo(QString::fromStdString(debrisCase.terrainFile)).path();
    const QString play = QString::fromStdString(debrisCase.playFolder);
    if (!makeFolders(folder, {terrainFolder, play, "/Disaster_Data", "/Disaster_Signs/Road"})) {
        return false;
    }

    // The slope falls down the picture: towards the viewer, along the line the view's vertical through
    // its middle makes on the ground, and is centred where the line of sight meets the ground.
    const osg::Vec3d eye(debrisCase.eye[0], debrisCase.eye[1], debrisCase.eye[2]);
    osg::Vec3d sight = osg::Vec3d(debrisCase.center[0], debrisCase.center[1], debrisCase.center[2]) - eye;
    sight.normalize();
    const osg::Vec3d up(debrisCase.up[0], debrisCase.up[1], debrisCase.up[2]);
    // Level, in the plane of the sight and the view's up direction.
    osg::Vec3d downhill = up * sight.z() - sight * up.z();
    downhill.z() = 0;
    if (downhill * sight > 0) {
        downhill = -downhill;
    }
    downhill.normalize();
    const osg::Vec3d target = eye + sight * ((eye.z() - viewedGround) / -sight.z());
    SlopeDesign design;
    design.centreX = target.x();
    design.centreY = target.y();
    design.centreElevation = viewedGround;
    design.downhillX = downhill.x();
    design.downhillY = downhill.y();
    design.seed = debrisCase.seed;
    design.headDistance = -debrisCase.headAt;
    design.fanStart = debrisCase.fanAt;
    design.basinStart = debrisCase.basinAt;
    const DebrisSlope slope = makeDebrisSlope(design);
    const ValleyGrid& grid = slope.grid;

    const std::string data = root + "/Disaster_Data";
    std::string breach = "0\n" + std::to_string(slope.breachCells.size()) + "\n";
    for (const auto& [row, col] : slope.breachCells) {
        breach += std::to_string(row) + " " + std::to_string(col) + "\n";
    }
    if (!osgDB::writeNodeFile(*buildTerrainMesh(grid), root + debrisCase.terrainFile) ||
        !writeAsciiGrid(grid, grid.heights, data + "/dem.asc") || !writeText(data + "/breach.txt", breach)) {
        std::cerr << "vantorel-demo-data: cannot write the terrain and debris inputs of " << debrisCase.name
                  << "\n";
        return false;
    }

    // A road across the fan, where the debris comes down, and the gully's name over its middle.
    const std::string signs = root + "/Disaster_Signs";
    const osg::Vec3d across(-downhill.y(), downhill.x(), 0);
    const auto cellUnder = [&grid](const osg::Vec3d& point, int& row, int& col) {
        col = static_cast<int>(std::floor((point.x() - grid.xll) / grid.cellSize));
        row = grid.rows - 1 - static_cast<int>(std::floor((point.y() - grid.yll) / grid.cellSize));
        return col >= 0 && col < grid.cols && row >= 0 && row < grid.rows;
    };
    const osg::Vec3d roadMiddle = target + downhill * ((debrisCase.fanAt + debrisCase.basinAt) / 2);
    std::vector<osg::Vec3d> road;
    for (int step = -8; step <= 8; ++step) {
        osg::Vec3d point = roadMiddle + across * (step * 150.0);
        int row = 0;
        int col = 0;
        if (cellUnder(point, row, col)) {
            point.z() = grid.at(row, col) + 25;
            road.push_back(point);
        }
    }
    std::vector<TextMark> marks;
    int row = 0;
    int col = 0;
    if (!debrisCase.gullyName.empty() &&
        cellUnder(target + downhill * ((debrisCase.headAt + debrisCase.fanAt) / 2), row, col)) {
        marks.push_back({debrisCase.gullyName, grid.cellX(col), grid.cellY(row), grid.at(row, col), 1.0f,
                         1.0f, 1.0f, 1.0f, static_cast<float>(grid.cellSize * 6)});
    }
    const std::vector<NamedShape> roads{NamedShape{"", road}};
    if (!writeShapefile(signs + "/Road/road.shp", ShapeKind::Lines, roads) ||
        (!marks.empty() && !writeMarks(signs + "/mark.xml", marks))) {
        std::cerr << "vantorel-demo-data: cannot write the marks of " << debrisCase.name << "\n";
        return false;
    }

    const std::vector<XmlCategory> config = {
        {"Path", {pathEntry(root + debrisCase.terrainFile)}},
        {"Camera", cameraEntries(debrisCase.eye, debrisCase.center, debrisCase.up)},
        {"Road", {pathEntry(signs + "/Road/road.shp")}},
        {"Play", {pathEntry(root + debrisCase.playFolder)}},
    };
    if (!writeSceneXml(root + "/configXML.xml", "Scene", config)) {
        std::cerr << "vantorel-demo-data: cannot write " << root << "/configXML.xml\n";
        return false;
    }

    // The prepared frames, computed by the window's tick as a live run would.
    return runBatch(batch,
                    {"debris", "--dem", QString::fromStdString(data + "/dem.asc"), "--breach",
                     QString::fromStdString(data + "/breach.txt"), "--volume",
                     QString::fromStdString(number(demoVolume)), "--format", ".ive", "--until",
                     QString::number(seconds), "--out", QString::fromStdString(root + debrisCase.playFolder),
                     // A folder built before holds the frames of that build.
                     "--overwrite"},
                    "debris-flow run of " + debrisCase.name);
}
