#pragma once

#include <osg/Geode>
#include <osg/ref_ptr>
#include <string>

#include "landsliderun.h"

// Where and how a landslide run stores its results.
struct LandslideTickSettings {
    std::string folder;           // result files 1 to 101 go here
    std::string format = ".ive";  // ".ive" or ".3ds": the meshes; ".tif": the surfaces as GeoTIFFs
    // A ".tif" run without a display needs no meshes.
    bool buildMeshes = true;
};

// What one tick did.
struct LandslideTick {
    LandslideStepFigures figures;        // figures.step is 0 when the run had nothing left to compute
    osg::ref_ptr<osg::Geode> stepMesh;   // the step's slide (with buildMeshes)
    osg::ref_ptr<osg::Geode> finalMesh;  // after step 100: the post-disaster surface (with buildMeshes)
    std::string problem;                 // a result file that could not be written, and why
};

// One tick of a landslide run, shared by the window's run and the headless run so that both write the
// same files: computes the next step, builds its mesh, writes result k (the mesh as k.ive or k.3ds, or
// the step's surface as k.tif on the mosaic's grid) and restores the surface. The tick of step 100 also
// builds the final mesh and writes result 101: the post-disaster surface, as a model or as the
// post-disaster DEM in a GeoTIFF with the mosaic's georeference.
LandslideTick advanceLandslideTick(LandslideRun& run, const LandslideTickSettings& settings);

// The path of result `number` in `folder`: folder, "/", number and the format's extension.
std::string landslideResultPath(const std::string& folder, int number, const std::string& format);

// One line on the progress of a run, after the step in `figures`.
std::string landslideProgressText(const LandslideStepFigures& figures);
