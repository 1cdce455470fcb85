#include "casestudy.h"

#include <ogr_spatialref.h>

#include <QString>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>

#include "casefiles.h"
#include "dam.h"
#include "fileio.h"
#include "roughness.h"
#include "scenelist.h"
#include "terraincolours.h"

namespace {

// Marks a folder as written by the data tool, so that a later run may write into it again.
const char* const caseMarker = ".vantorel-case";

// The pixels along a cell edge of a draped image: enough for a sharp picture of a small DEM, and no
// texture of the whole DEM wider than 4096 pixels.
int imagePixelsPerCell(const DemGrid& dem) {
    return std::clamp(4096 / std::max(dem.columns(), dem.rows()), 1, 4);
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Makes `folder` the case folder: a missing or empty one is created and marked; a marked one is taken as
// it is; anything else is the user's and refused.
bool claimCaseFolder(const std::string& folder, std::string& problem) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::exists(folder, error)) {
        if (!fs::is_directory(folder, error)) {
            problem = "the case folder " + quoted(folder) + " is not a folder";
            return false;
        }
        if (!fs::is_empty(folder, error) && !fs::is_regular_file(fs::path(folder) / caseMarker, error)) {
            problem = "the case folder " + quoted(folder) +
                      " holds files the data tool did not write; choose an empty or new folder";
            return false;
        }
    }
    for (const char* sub : {"Disaster_DiXing", "Disaster_Data", "Disaster_Signs", "Disaster_Play"}) {
        fs::create_directories(fs::path(folder) / sub, error);
        if (error) {
            problem = "cannot create the folder " + quoted((fs::path(folder) / sub).string()) + ": " +
                      error.message();
            return false;
        }
    }
    return writeFileAtomically(
        folder + "/" + caseMarker,
        "Written by the data tool (Datagrind, vantorel-prepare), which may replace everything here.\n",
        problem);
}

std::unique_ptr<OGRCoordinateTransformation> transformBetween(const std::string& fromWkt,
                                                              const std::string& toWkt) {
    OGRSpatialReference from;
    OGRSpatialReference to;
    if (from.importFromWkt(fromWkt.c_str()) != OGRERR_NONE ||
        to.importFromWkt(toWkt.c_str()) != OGRERR_NONE) {
        return nullptr;
    }
    from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    to.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return std::unique_ptr<OGRCoordinateTransformation>(OGRCreateCoordinateTransformation(&from, &to));
}

bool convert(const std::string& fromWkt, const std::string& toWkt, double& x, double& y) {
    if (fromWkt == toWkt) {
        return true;
    }
    const auto transform = transformBetween(fromWkt, toWkt);
    return transform && transform->Transform(1, &x, &y);
}

std::string coordinateSystemName(const std::string& wkt) {
    OGRSpatialReference reference;
    reference.importFromWkt(wkt.c_str());
    const char* name = reference.GetName();
    return name ? name : "";
}

std::string number(double value, int decimals) {
    return QString::number(value, 'f', decimals).toStdString();
}

std::string batchCommand(const CaseStudySettings& settings, const CaseStudyReport& report) {
    std::ostringstream command;
    command << "vantorel-batch flood --roughness " << quoted(report.roughness) << " --dem "
            << quoted(report.elevation) << " --outbreak " << quoted(report.outbreak) << " --capacity "
            << number(settings.capacity, 0) << " --width "
            << QString::number(settings.breachWidth).toStdString() << " --height "
            << QString::number(settings.breachHeight).toStdString()
            << " --format .ive --every 60 --until 21600 --out " << quoted(report.results) << " --overwrite";
    return command.str();
}

}  // namespace

bool gridToDemCoordinates(const DemGrid& dem, double& x, double& y) {
    return convert(dem.frame.projection, dem.sourceProjection, x, y);
}

bool demToGridCoordinates(const DemGrid& dem, double& x, double& y) {
    return convert(dem.sourceProjection, dem.frame.projection, x, y);
}

bool prepareCaseStudy(const CaseStudySettings& settings, CaseStudyReport& report, std::string& problem,
                      const std::function<void(const std::string&)>& progress) {
    const auto say = [&progress](const std::string& text) {
        if (progress) {
            progress(text);
        }
    };
    const auto start = std::chrono::steady_clock::now();
    report = CaseStudyReport();
    if (settings.name.empty()) {
        problem = "the case needs a name";
        return false;
    }
    if (settings.folder.empty()) {
        problem = "the case needs a folder";
        return false;
    }
    if (!(settings.capacity > 0)) {
        problem = "the reservoir capacity " + QString::number(settings.capacity).toStdString() +
                  " m^3 is not above 0";
        return false;
    }

    say("reading the DEM " + settings.demPath);
    DemGrid dem;
    if (!loadDem(settings.demPath, settings.dem, dem, problem)) {
        return false;
    }
    report.columns = dem.columns();
    report.rows = dem.rows();
    report.cellSize = dem.cellSize();
    report.coordinateSystem = coordinateSystemName(dem.frame.projection);

    DamSpec damSpec;
    damSpec.breachWidth = settings.breachWidth;
    damSpec.breachHeight = settings.breachHeight;
    for (auto [x, y] : settings.damPoints) {
        const double givenX = x;
        const double givenY = y;
        if (!demToGridCoordinates(dem, x, y)) {
            problem = "the dam point (" + number(givenX, 6) + ", " + number(givenY, 6) +
                      ") cannot be converted into the grid's coordinate system";
            return false;
        }
        damSpec.points.emplace_back(x, y);
    }
    DamCells dam;
    if (!placeDam(dem, damSpec, dam, problem)) {
        // Say where the dam was given, in the DEM's own coordinates.
        problem += " (the DEM " + quoted(settings.demPath) + ")";
        return false;
    }
    report.outbreakCells = static_cast<int>(dam.outbreak.size());
    report.damCells = static_cast<int>(dam.line.size());
    report.gridSeconds = secondsSince(start);

    say("roughness");
    const auto roughnessStart = std::chrono::steady_clock::now();
    std::vector<float> roughness;
    if (!settings.landCoverPath.empty()) {
        if (!roughnessFromLandCover(settings.landCoverPath, settings.landCoverCoordinateSystem,
                                    settings.roughnessTablePath, dem, roughness, problem)) {
            return false;
        }
    } else {
        if (!(settings.manning >= 0.0 && settings.manning <= 1.0)) {
            problem = "Manning's n " + QString::number(settings.manning).toStdString() +
                      " is not a roughness (0 to 1)";
            return false;
        }
        roughness = uniformRoughness(dem, settings.manning);
    }
    TerrainColours colours = reliefColours(dem);
    if (!settings.imagePath.empty()) {
        say("draping the image " + settings.imagePath);
        DrapedRaster image;
        if (!drapeOnDem(settings.imagePath, dem, 3, imagePixelsPerCell(dem), false,
                        settings.imageCoordinateSystem, image, problem)) {
            return false;
        }
        colours = imageColours(image, colours);
    }
    report.roughnessSeconds = secondsSince(roughnessStart);

    // Absolute, since the scene files name their models and folders by full path.
    std::string folder = std::filesystem::absolute(settings.folder).lexically_normal().string();
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    if (!claimCaseFolder(folder, problem)) {
        return false;
    }
    report.model = folder + "/Disaster_DiXing/terrain.ive";
    report.elevation = folder + "/Disaster_Data/dem.tif";
    report.roughness = folder + "/Disaster_Data/roughness.tif";
    report.outbreak = folder + "/Disaster_Data/outbreak.txt";
    report.results = folder + "/Disaster_Play";

    say("the terrain scene");
    const auto terrainStart = std::chrono::steady_clock::now();
    if (!writeTerrainScene(dem, colours, report.model, report.terrain, problem)) {
        return false;
    }
    report.terrainSeconds = secondsSince(terrainStart);

    say("the flood's inputs");
    std::vector<float> elevation = dem.heights;
    for (const auto& [row, column] : dam.walls) {
        elevation[static_cast<std::size_t>(row) * dem.columns() + column] = DemGrid::noData;
    }
    if (!writeGeoTiff(report.elevation, dem.frame, elevation, DemGrid::noData, problem) ||
        !writeGeoTiff(report.roughness, dem.frame, roughness, DemGrid::noData, problem) ||
        !writeFileAtomically(report.outbreak, outbreakFileText(dem, dam), problem) ||
        !writeFileAtomically(folder + "/Disaster_Data/HNW.txt",
                             QString::number(settings.breachWidth).toStdString(), problem)) {
        return false;
    }
    report.batchCommand = batchCommand(settings, report);
    if (!writeFileAtomically(folder + "/Disaster_Data/flood.txt",
                             "The flood of this case without the window:\n\n" + report.batchCommand + "\n",
                             problem)) {
        return false;
    }

    // The camera stands upstream of the dam, high above it, and looks down the valley.
    const double size = std::max(dem.east() - dem.west(), dem.north() - dem.south());
    const double damX = dem.centreX(dam.lowest.second);
    const double damY = dem.centreY(dam.lowest.first);
    const double eye[3] = {damX - dam.downstreamX * 0.12 * size, damY - dam.downstreamY * 0.12 * size,
                           dam.crest + 0.15 * size};
    double center[3] = {damX + dam.downstreamX * 0.2 * size, damY + dam.downstreamY * 0.2 * size, dam.crest};
    const int centreRow = dem.rowOf(center[1]);
    const int centreColumn = dem.columnOf(center[0]);
    if (dem.hasData(centreRow, centreColumn)) {
        center[2] = dem.at(centreRow, centreColumn);
    }
    const double up[3] = {0, 0, 1};
    const std::vector<XmlCategory> config = {
        {"Path", {pathEntry(report.model)}},
        {"Camera", cameraEntries(eye, center, up)},
        {"Play", {pathEntry(report.results)}},
    };
    const TextMark damMark{settings.name + " dam",
                           damX,
                           damY,
                           dam.crest,
                           0.9f,
                           0.1f,
                           0.1f,
                           1.0f,
                           static_cast<float>(std::max(size / 60, 2.5 * dem.cellSize()))};
    if (!writeSceneXml(folder + "/configXML.xml", "Scene", config)) {
        problem = "cannot write " + quoted(folder + "/configXML.xml");
        return false;
    }
    if (!writeMarks(folder + "/Disaster_Signs/mark.xml", {damMark})) {
        problem = "cannot write " + quoted(folder + "/Disaster_Signs/mark.xml");
        return false;
    }
    if (!settings.sceneList.empty()) {
        QString error;
        const QString name = QString::fromStdString(settings.name);
        if (!saveSceneBinding(QString::fromStdString(settings.sceneList),
                              {FileManage{name, QString::fromStdString(folder), "1"}}, name, &error)) {
            problem = "the case is written, but the scene list " + quoted(settings.sceneList) +
                      " cannot take it: " + error.toStdString();
            return false;
        }
    }
    report.totalSeconds = secondsSince(start);
    return true;
}
