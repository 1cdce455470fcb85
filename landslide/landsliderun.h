#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "landslideinputs.h"
#include "landslidepoint.h"
#include "landslideraster.h"
#include "postimage.h"

// The output formats of a run: models (".ive", ".3ds") or the surface as a GeoTIFF (".tif").
bool isLandslideFormat(const std::string& format);

// Takes a form's list apart: the seven inputs at indices 0 to 6, the output format at index 7. False,
// with the reason in `problem`, when the list is shorter or the format is not an output format.
bool landslideInputsFromList(const std::vector<std::string>& list, LandslideInputs& inputs,
                             std::string& format, std::string& problem);

// What one step computed.
struct LandslideStepFigures {
    int step = 0;         // 1 to 100; 0 when no step was computed
    int targetCells = 0;  // T: the cells the sheet should cover at this step
    int radius = 0;       // R: radius of the sheet, cells
    int cells = 0;        // N: slide-path cells the sheet covers
    float thickness = 0;  // h: body volume spread over the N cells, m
};

// A landslide run on rasters: the slide mass spreads as a disc-shaped sheet along the centreline in 100
// steps, each raising the slide-path cells under the sheet and leaving them behind as a trail. The window
// and the batch command drive it the same way (see advanceLandslideTick):
//
//     run.prepare(inputs, problem);
//     while (!run.finished()) {
//         LandslideStepFigures figures = run.computeStep(run.nextStep());
//         ... mesh and store run.surface ...
//         run.restoreSurface();
//         run.advanceStepCounter();
//     }
class LandslideRun {
public:
    static constexpr int stepCount = 100;
    // The centreline samples: entries 0 to 100, of which step k is centred on entry k.
    static constexpr std::size_t sampleCount = stepCount + 1;
    // Slide-path cells hold values strictly between 0 and this.
    static constexpr float pathValueLimit = 10000.0f;

    // Reads the seven inputs and derives everything that does not change from step to step. Every call
    // starts from a clean run (samples, statistics and step counter anew). False, with the reason naming
    // the input in `problem`, when an input is unusable; the run is then empty and computes nothing.
    // `diagnostics` receives the centreline figures ("lineXSize: ", "Tnum:", "pointVec.size():").
    bool prepare(const LandslideInputs& inputs, std::string& problem, std::ostream* diagnostics = nullptr);

    bool prepared() const { return !surface.empty(); }
    // The step the next tick computes, 1 to 100; 101 once the run is complete.
    int nextStep() const { return landslideStep; }
    bool finished() const { return !prepared() || landslideStep > stepCount; }
    void advanceStepCounter() { ++landslideStep; }

    // Steps 1 to 7 of step k (1 to 100): the sheet's target area, radius and thickness, the raising of
    // the cells under it, and the trail. Afterwards `surface` shows the step: the current sheet together
    // with everything earlier steps raised.
    LandslideStepFigures computeStep(int k);
    // Puts `surface` back to the mosaicked DEM, ready for the next step.
    void restoreSurface();

    // A cell of the mosaic's grid that the current step shows raised.
    bool raised(std::size_t cell) const { return surface[cell] != baseSurface[cell]; }

    // The polar method with a cached second value. Its uniform draws, (rand() mod 10) / 10 in integer
    // arithmetic plus 0.8, are always 0.8, so it returns mean + 0.5731527 × sd every time; the run's
    // heights have always been computed with this constant "noise".
    double gaussNoise(double mean, double standardDeviation);

    // The centreline put in order from the high end to the low end: reversed unless the first point is
    // higher than the last.
    static void orientCentreline(std::vector<Point>& points);
    // Samples the ordered centreline into `samples` (replacing them): one point per step index. False,
    // with the reason in `problem`, when the points do not give the 101 samples a run needs (no point,
    // exactly 100 points, or fewer than 100 whose count divides 100). `tnum` is the repetition of each
    // point when there are fewer than 100 (0 otherwise).
    static bool sampleCentreline(const std::vector<Point>& ordered, std::vector<Point>& samples, int& tnum,
                                 std::string& problem);

    // The reference grid: the mosaicked DEM.
    RasterFrame mosaicFrame;  // size, georeference and projection of every step surface
    std::optional<double> mosaicNoData;
    int mosaicWidth = 0;
    int mosaicHeight = 0;
    GeoTransform mosaicGeoTransform{};
    GeoTransform centreGeoTransform{};
    double originX = 0.0;  // map position of the mosaic's top-left corner
    double originY = 0.0;

    std::vector<float> surface;       // the mosaicked DEM plus the slide at the current step
    std::vector<float> baseSurface;   // the mosaicked DEM, never changed by the steps
    std::vector<float> trailSurface;  // every cell raised so far at the height of its last raising

    std::vector<Point> pointVec;  // the sampled centreline, one entry per step index
    float bodyVolume = 0.0f;      // slide-body thickness summed over its cells, m × cells
    float bodyCells = 0.0f;
    int depositCells = 0;

    // The slide body's and the deposit's origins in the slide-path grid, in whole cells; negative for
    // an origin west or north of the slide path's.
    int bodyRowOffset = 0;
    int bodyColOffset = 0;
    int depositRowOffset = 0;
    int depositColOffset = 0;
    int bodyWidth = 0;
    int bodyHeight = 0;
    int centreWidth = 0;
    int centreHeight = 0;
    int depositWidth = 0;
    int depositHeight = 0;
    // The deposit under the centre of the last step: the last step raises its cells twice only there.
    float depositAtLastCentre = 0.0f;

    // The ground after the slide, drawn as the run's final state.
    std::vector<float> postDem;
    int postDemWidth = 0;
    int postDemHeight = 0;
    float postDemNoData = 0.0f;
    bool postDemHasNoData = false;

    PostImage postImage;

private:
    // Opens the seven inputs and refuses a run whose grids would not fit its memory budget.
    bool checkRunSize(const LandslideInputs& inputs, std::string& problem) const;
    // Whether a raster lies on the mosaic's grid (same origin and cell size) and covers all of it.
    bool coversMosaic(const RasterFrame& frame) const;
    bool readInputs(const LandslideInputs& inputs, std::string& problem, std::ostream* diagnostics);
    bool extractCentreline(const FloatRaster& centre, std::vector<Point>& points, std::string& problem) const;
    // The body's and the deposit's origins in the slide-path grid; false when the deposit's lies beyond
    // any grid.
    bool deriveOffsets(const GeoTransform& pathTransform, const FloatRaster& body,
                       const FloatRaster& deposit);
    void countBody(const FloatRaster& body);
    void collectPathCells(const FloatRaster& path);
    // Chooses the sheet's radius for `targetCells` around the centre: the radius whose candidate count
    // comes closest to the target (`cellRadius` must hold every path cell's smallest covering radius).
    void chooseRadius(int targetCells, int& radius, int& cells);

    int landslideStep = 1;

    // Slide-path cells of the mosaic's grid in row-major order: only they are ever raised.
    std::vector<int> pathRows;
    std::vector<int> pathCols;
    // Per step: for each path cell, the smallest sheet radius that covers it, and a count per radius.
    std::vector<int> cellRadius;
    std::vector<int> radiusCounts;

    bool noiseCached = false;
    double noiseU1 = 0.0;
    double noiseU2 = 0.0;
    double noiseS = 0.0;
};
