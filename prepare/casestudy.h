#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "demgrid.h"
#include "terrainscene.h"

// Everything a flood case study is made from.
struct CaseStudySettings {
    std::string demPath;  // any raster GDAL reads
    DemOptions dem;
    std::string imagePath;  // optional RGB raster to drape; without one the terrain is shaded relief
    std::string imageCoordinateSystem;
    double manning = 0.035;     // Manning's n everywhere, unless a land cover is given
    std::string landCoverPath;  // optional land-cover raster
    std::string landCoverCoordinateSystem;
    std::string roughnessTablePath;  // its classes' n (roughness.h)
    // The dam: one point, or the two ends of a line, in the DEM's own coordinate system (the one it
    // carries, or DemOptions::coordinateSystem).
    std::vector<std::pair<double, double>> damPoints;
    double capacity = 100000000;  // reservoir, m^3
    double breachWidth = 133;     // m
    double breachHeight = 47.5;   // m
    std::string name;             // the case's name in the scene list
    std::string folder;           // the case folder, created if missing
    std::string sceneList;        // the "TreeMeta.json" the case is added to; empty: none
};

// What prepareCaseStudy made, and how long each part took (s).
struct CaseStudyReport {
    int columns = 0;
    int rows = 0;
    double cellSize = 0;
    std::string coordinateSystem;  // the name of the grid's coordinate system
    TerrainSceneSummary terrain;
    int outbreakCells = 0;
    int damCells = 0;
    std::string model;      // the scene model
    std::string elevation;  // the engine's inputs, in Disaster_Data
    std::string roughness;
    std::string outbreak;
    std::string results;       // Disaster_Play, the folder the case replays
    std::string batchCommand;  // the vantorel-batch command that computes the flood
    double gridSeconds = 0;
    double roughnessSeconds = 0;
    double terrainSeconds = 0;
    double totalSeconds = 0;
};

// Writes a case folder the scene list understands, from a DEM:
//
//     configXML.xml                    terrain model, a camera looking down the valley from above the dam,
//                                      the result folder
//     Disaster_DiXing/terrain.ive      the terrain scene (terrainscene.h) and its tiles
//     Disaster_Data/dem.tif            the flood engine's inputs on the DEM's grid in metres (the dam's
//     Disaster_Data/roughness.tif      walls without data), the outbreak cells across the valley at the
//     Disaster_Data/outbreak.txt       dam, the breach width for the flood form (HNW.txt) and a note with
//     Disaster_Data/HNW.txt            the vantorel-batch command of the flood
//     Disaster_Signs/mark.xml          a mark naming the dam
//     Disaster_Play/                   empty, for the flood's results
//
// and adds the case to the scene list, keeping what the list holds. The folder must be missing, empty or
// one written here before. `progress`, when given, hears what is being done. False, with a message
// naming the file or value at fault, on bad input or when a file cannot be written.
bool prepareCaseStudy(const CaseStudySettings& settings, CaseStudyReport& report, std::string& problem,
                      const std::function<void(const std::string&)>& progress = {});

// The DEM's own map coordinates of a point of the prepared grid, and back; false when the systems do not
// convert.
bool gridToDemCoordinates(const DemGrid& dem, double& x, double& y);
bool demToGridCoordinates(const DemGrid& dem, double& x, double& y);
