// vantorel-prepare: the data tool as a command, for scripts and clusters: a DEM into a flood case study.
#include <QCoreApplication>
#include <QDir>
#include <iostream>

#include "casestudy.h"
#include "commandline.h"

namespace {

const char* const usage =
    "usage: vantorel-prepare --dem FILE [--dem-crs CRS] [--cell-size M] [--image FILE [--image-crs CRS]]\n"
    "           [--manning 0.035 | --land-cover FILE --manning-table FILE [--land-cover-crs CRS]]\n"
    "           --dam X Y | --dam X1 Y1 X2 Y2 [--capacity 100000000] [--width 133] [--height 47.5]\n"
    "           --name NAME --out FOLDER [--scene-list FILE | --no-scene-list]\n"
    "\n"
    "Turns a DEM (any raster GDAL reads, in any coordinate system) into a flood case study in FOLDER,\n"
    "which must be missing, empty or written by this tool before. A DEM in degrees (or in feet, or on\n"
    "cells that are not square) is resampled onto square cells in metres, in the UTM zone of its centre;\n"
    "--cell-size sets their size (default: the DEM's own resolution). --dem-crs gives the coordinate\n"
    "system of a DEM that carries none (EPSG:4326, a WKT or a PROJ string).\n"
    "--image drapes an RGB raster over the terrain; without one the terrain is coloured by height and\n"
    "shaded by its slope. Manning's n is one value (--manning) or a land-cover raster with a table of\n"
    "\"CLASS N\" lines (\"* N\" for every other class and for cells the land cover misses).\n"
    "The dam is a point in the valley or a line across it, in the DEM's own map coordinates; a point\n"
    "dam reaches across the valley as far as the terrain rises --height metres above the point. The\n"
    "outbreak cells are the breach of --width metres at the dam's lowest point.\n"
    "FOLDER receives the terrain scene (Disaster_DiXing/terrain.ive with levels of detail), the flood\n"
    "engine's inputs in Disaster_Data/ (dem.tif, roughness.tif, outbreak.txt, HNW.txt, and flood.txt with\n"
    "the vantorel-batch command of the flood), a mark naming the dam, an empty result folder\n"
    "Disaster_Play and configXML.xml with a camera looking down the valley from above the dam. The case\n"
    "is added under NAME to the scene list TreeMeta.json beside this program (--scene-list names\n"
    "another; --no-scene-list adds it to none).\n";

int refuse(const std::string& message) {
    std::cerr << "vantorel-prepare: " << message << "\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const CommandLine options(argc, argv, 1);
    if (options.has("help")) {
        std::cout << usage;
        return 0;
    }
    if (!options.error().empty()) {
        std::cerr << usage;
        return refuse(options.error());
    }
    const std::vector<std::string> unknown =
        options.unknown({"dem", "dem-crs", "cell-size", "image", "image-crs", "manning", "land-cover",
                         "manning-table", "land-cover-crs", "dam", "capacity", "width", "height", "name",
                         "out", "scene-list", "no-scene-list"});
    if (!unknown.empty()) {
        std::cerr << usage;
        return refuse("unknown option " + unknown.front());
    }
    std::string problem;
    if (!options.valueCounts({{"dem", 1},
                              {"dem-crs", 1},
                              {"cell-size", 1},
                              {"image", 1},
                              {"image-crs", 1},
                              {"manning", 1},
                              {"land-cover", 1},
                              {"manning-table", 1},
                              {"land-cover-crs", 1},
                              {"capacity", 1},
                              {"width", 1},
                              {"height", 1},
                              {"name", 1},
                              {"out", 1},
                              {"scene-list", 1},
                              {"no-scene-list", 0}},
                             problem)) {
        return refuse(problem);
    }
    for (const char* required : {"dem", "dam", "name", "out"}) {
        if (options.text(required).empty()) {
            std::cerr << usage;
            return refuse(std::string("--") + required + " is required and needs a value");
        }
    }
    CaseStudySettings settings;
    settings.demPath = options.text("dem");
    settings.dem.coordinateSystem = options.text("dem-crs");
    settings.imagePath = options.text("image");
    settings.imageCoordinateSystem = options.text("image-crs");
    settings.landCoverPath = options.text("land-cover");
    settings.landCoverCoordinateSystem = options.text("land-cover-crs");
    settings.roughnessTablePath = options.text("manning-table");
    settings.name = options.text("name");
    settings.folder = options.text("out");
    if (options.has("land-cover") != options.has("manning-table")) {
        return refuse("--land-cover and --manning-table go together");
    }
    if (options.has("land-cover") && options.has("manning")) {
        return refuse("give either --manning or --land-cover with --manning-table");
    }
    // The width and height ranges are those of the flood form's spin boxes.
    if (!options.number("cell-size", settings.dem.cellSize, 0.01, 100000, problem) ||
        !options.number("manning", settings.manning, 0.0, 1.0, problem) ||
        !options.number("capacity", settings.capacity, 0.0, 1e15, problem) ||
        !options.number("width", settings.breachWidth, 0.0, 200.0, problem) ||
        !options.number("height", settings.breachHeight, 0.0, 99.99, problem)) {
        return refuse(problem);
    }
    const std::vector<std::string> dam = options.values("dam");
    if (dam.size() != 2 && dam.size() != 4) {
        return refuse("--dam takes a point (X Y) or the two ends of a line (X1 Y1 X2 Y2), not " +
                      std::to_string(dam.size()) + " values");
    }
    for (std::size_t i = 0; i < dam.size(); i += 2) {
        double x = 0;
        double y = 0;
        if (!options.number("dam", x, -1e9, 1e9, problem, i) ||
            !options.number("dam", y, -1e9, 1e9, problem, i + 1)) {
            return refuse(problem);
        }
        settings.damPoints.emplace_back(x, y);
    }
    if (!options.has("no-scene-list")) {
        settings.sceneList = options.text(
            "scene-list", (QCoreApplication::applicationDirPath() + "/TreeMeta.json").toStdString());
    }

    CaseStudyReport report;
    if (!prepareCaseStudy(settings, report, problem,
                          [](const std::string& step) { std::cout << step << " ..." << std::endl; })) {
        return refuse(problem);
    }
    std::cout << "grid of " << report.columns << " x " << report.rows << " cells of " << report.cellSize
              << " m in " << report.coordinateSystem << "; dam of " << report.damCells << " cells, "
              << report.outbreakCells << " outbreak cells\n"
              << "terrain scene: " << report.terrain.levels << " levels, " << report.terrain.tiles
              << " tiles, " << report.terrain.vertices << " vertices\n"
              << "took " << report.totalSeconds << " s (grid and dam " << report.gridSeconds
              << " s, roughness and colours " << report.roughnessSeconds << " s, terrain scene "
              << report.terrainSeconds << " s)\n"
              << "case \"" << settings.name << "\" written to "
              << QDir(QString::fromStdString(settings.folder)).absolutePath().toStdString()
              << (settings.sceneList.empty() ? std::string() : "; scene list " + settings.sceneList) << "\n"
              << "its flood without the window:\n  " << report.batchCommand << "\n";
    return 0;
}
