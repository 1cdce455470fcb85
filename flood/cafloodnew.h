#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "floodspans.h"

class GridReader;

// One grid cell of the flood engine. Lengths in metres; face fluxes in m^2/s (discharge per metre of
// face), positive toward the higher column (east) or the higher row (south). The field order and the
// 32-bit floats are part of the engine's numbers and of its 40-byte footprint.
struct FloodCell {
    bool wet = false;
    bool source = false;  // outbreak cell: its fluxes are imposed, the sweeps leave it alone
    float ground = 0.0f;      // ground elevation
    float manning = 0.0f;     // Manning roughness coefficient n
    float surfaceNew = 0.0f;  // water surface computed in the current step
    float surfaceOld = 0.0f;  // water surface at the start of the step
    float fluxXNew = 0.0f;    // east face, this step
    float fluxYNew = 0.0f;    // south face, this step
    float fluxXOld = 0.0f;    // east face, previous step
    float fluxYOld = 0.0f;    // south face, previous step
    float speed = 0.0f;       // magnitude of the depth-averaged velocity, m/s
};
static_assert(sizeof(FloodCell) == 40, "the flood grid keeps 40 bytes per cell");

// The ground and surface of a cell the elevation grid gives no height.
constexpr float floodNoDataElevation = 9999.0f;

// The depths of the flood grid at one moment (surface minus ground; 0 on border, outbreak and no-data
// cells), rows from the north, with the geometry of the grid.
struct FloodDepthGrid {
    int columns = 0;
    int rows = 0;
    double west = 0.0;  // map coordinates of the lower-left corner
    double south = 0.0;
    double cellSize = 0.0;
    std::string projection;  // the elevation grid's coordinate system as WKT; empty when it has none
    std::vector<float> depths;
};

// The depths as the bytes of a single-band Float32 GeoTIFF in the grid's coordinate system. False, with
// `problem`, when the grid is empty or GDAL cannot make it. Safe on any thread.
bool depthTiffBytes(const FloodDepthGrid& grid, std::string& bytes, std::string& problem);
// Writes depthTiffBytes to `path` through a temporary file. False, with a diagnostic, when the grid is
// empty or the file cannot be written. Safe on any thread.
bool writeDepthTiff(const std::string& path, const FloodDepthGrid& grid);

// The instruction sets the flood step is built for. Each gives the same flood, bit for bit; the wider
// ones work on more cells at once.
enum class FloodInstructionSet { Baseline, Avx2, Avx512 };
// Whether this processor runs `set`.
bool floodInstructionSetAvailable(FloodInstructionSet set);
// The widest set this processor runs.
FloodInstructionSet widestFloodInstructionSet();

// Dam-break flood on a raster grid: a breach hydrograph feeds the outbreak cells, and an explicit
// cellular automaton moves the water between cells through face fluxes driven by the water-surface
// slope and braked by Manning friction.
//
// Calling order: construct, setTimeStepDivisor, loadInputs, setBreachParameters, prepareHydrograph, then
// step as often as wanted, with writeDepthTiff and the read accessors between steps. Row 0 of the grid
// is the first (northern) row of the elevation file. Diagnostics go to standard error.
class CAFlood {
public:
    CAFlood() = default;
    virtual ~CAFlood() = default;
    CAFlood(const CAFlood&) = delete;
    CAFlood& operator=(const CAFlood&) = delete;

    // Divides the cell size into the time step; set it before loadInputs.
    void setTimeStepDivisor(float divisor) { timeStepDivisor = divisor; }

    // Threads that share a step, 0 for one per core (the default; grids too small to gain from
    // threads then run on one). The flood is the same, bit for bit, whatever the number.
    void setThreadCount(int count) { threads = count > 0 ? count : 0; }
    int threadCount() const;
    // The instruction set of the step; an unavailable one is refused. The widest available one is the
    // default.
    bool setInstructionSet(FloodInstructionSet set);
    FloodInstructionSet instructionSet() const { return stepInstructionSet; }

    // Paths: 0 roughness grid, 1 elevation grid (each an ESRI ASCII grid or any raster GDAL reads, in
    // metres), 2 outbreak-information file (more are ignored). False, with a diagnostic, when an input
    // cannot be read or is malformed; the engine is then unloaded and step does nothing to any grid.
    bool loadInputs(const std::vector<std::string>& paths);

    // Capacity V (m^3), breach width B and height H, partial breach width b and height h (m), section
    // shape exponent m, and whether the whole section breaks.
    void setBreachParameters(float capacity, float width, float height, float partialBreachWidth,
                             float partialBreachHeight, float shape, bool total);

    // Released volume, peak outflow and the outflow hydrograph. False, with a diagnostic, when the
    // parameters give no outflow (no volume, no peak, or a hydrograph too long to compute); the
    // engine then lets no water out.
    bool prepareHydrograph();

    // Advances the flood by one step of twice the time step, taken in shorter sub-steps where deep water
    // needs them: the clock, the face fluxes, the continuity and the breach inflow all cover that time.
    void step() { advance(1); }
    // Advances the clock by `steps` steps at once (none for fewer than one), to where as many calls of
    // step() would leave it. Where the water is shallow and slow a sub-step spans several steps, up to
    // five at a time: fewer sub-steps than as many calls of step() take, and a slightly different flood.
    void advance(int steps);
    // Advances whole steps until the clock is no more than half a step short of `seconds` (none if it is
    // already).
    void advanceUntil(double seconds);

    // The current depths (surface minus ground) as a single-band Float32 GeoTIFF in the coordinate
    // system of the elevation grid (a raster's own; for an ESRI ASCII grid the ".prj" beside it, if
    // any). False, with the reason, when nothing is loaded.
    bool depthTiffBytes(std::string& bytes, std::string& problem) const;
    // Writes depthTiffBytes to `path` through a temporary file. False, with a diagnostic, when nothing is
    // loaded or the file cannot be written.
    bool writeDepthTiff(const std::string& path) const;
    // The current depths, for writing later (an empty grid when nothing is loaded).
    FloodDepthGrid depthGrid() const;

    // Grid geometry and state.
    int columnCount() const { return ncols; }
    int rowCount() const { return nrows; }
    float cellSize() const { return cellsize; }
    double lowerLeftX() const { return xllcorner; }
    double lowerLeftY() const { return yllcorner; }
    // The coordinate system (WKT) of the elevation grid; empty without one.
    const std::string& coordinateSystem() const { return projection; }
    // The rows of the grid (rowCount() rows of columnCount() cells); null while nothing is loaded.
    // They are brought up to date from the state the step works on when asked for; as every accessor,
    // call it from the thread that steps the engine.
    const FloodCell* const* cellRows() const {
        catchUpCells();
        return cells.empty() ? nullptr : cells.data();
    }
    const std::vector<std::pair<int, int>>& outbreakCells() const { return sources; }
    // The depth of every cell as the result files show it (surface minus ground: 0 on border, outbreak
    // and no-data cells), rows from the north; null while nothing is loaded. Kept up to date with the
    // cells, a tenth of their bytes: what reads every cell's depth at each result reads these.
    const float* cellDepths() const {
        catchUpCells();
        return depthStorage.empty() ? nullptr : depthStorage.data();
    }

    // Clock and volumes.
    // Steps taken times the length of a step, counted in double precision so that result N of a long run
    // is stamped N times its interval, not a sum of rounded floats.
    double simulatedTime() const { return time; }
    float stepSeconds() const { return timeStep; }
    double residualVolume() const { return residualStorage; }
    float releaseVolume() const { return breachVolume; }
    float peakOutflowRate() const { return peakOutflow; }
    float outflowRate() const { return outflow; }
    float hydrographDuration() const { return hydrographEnd; }
    float volumeOnGridAndInReservoir() const { return trackedVolume; }
    // Water on the grid after the last step, m^3.
    double waterOnGrid() const { return gridVolume; }
    // Water the excess-volume trim has taken off the grid since loadInputs, m^3. The step keeps the
    // volume, so the trim is only a guard: any amount here is a fault worth reporting.
    double trimmedVolume() const { return trimmed; }

    // Bytes the engine holds for its state, grid included.
    std::size_t stateBytes() const;
    // The share of the grid's inner cells the last sub-step worked on: it skips the dry land away from
    // the water.
    double workedShare() const { return workShare; }
    // Sub-steps taken since loadInputs: how often the grid was stepped.
    long long subStepCount() const { return subStepsTaken; }

private:
    void unload();
    // One sub-step of the step, from `from` to `until` seconds of simulated time.
    void subStep(double from, double until);
    // Reads the values of the opened elevation grid `grid` and sizes the cells by its header.
    bool readElevation(GridReader& grid, const std::string& path);
    struct RoughnessValues;
    // Reads the roughness grid's values when it has the elevation grid's `columns` x `rows` cells.
    static void readRoughnessValues(const std::string& path, int columns, int rows, RoughnessValues& read);
    // Checks the roughness grid read against the elevation grid and gives every cell its roughness.
    bool applyRoughness(const std::string& path, RoughnessValues& read);
    bool readOutbreakCells(const std::string& path);
    void findOutbreakFaces();

    // Hydrograph polynomial P(t) and its integral F(t) from 0, with the coefficients of the last pass.
    double hydrographShape(double seconds) const;
    double releasedShare(double seconds) const;
    // Share of the released volume that the outflow has let out by `seconds` (0 to 1).
    double releasedFraction(double seconds) const;
    void setHydrographCoefficients(double duration);
    // Steps from `start` by `stride` seconds while F still rises and the step stays below `limit`;
    // returns the last point reached before F stopped rising.
    int climbWhileRising(int start, int stride, int limit) const;
    void clearHydrograph();
    // The outflow at `atTime` and the water still in the reservoir at `untilTime`; returns the water the
    // breach lets out between the two, m^3.
    double updateOutflow(double atTime, double untilTime);

    bool isInterior(int r, int c) const { return r > 0 && c > 0 && r < nrows - 1 && c < ncols - 1; }

    double time = 0.0;
    long long stepsTaken = 0;
    long long subStepsTaken = 0;
    float timeStepDivisor = 100.0f;
    float breachVolume = 0.0f;     // W, m^3
    float trackedVolume = 0.0f;    // water on the grid plus water in the reservoir after the last step
    double residualStorage = 0.0;  // released volume not yet let out, m^3
    float reservoirCapacity = 0.0f;
    float outbreakWidth = 0.0f;
    float outbreakHeight = 0.0f;
    float partialWidth = 0.0f;
    float partialHeight = 0.0f;
    bool totalBreak = true;
    float shapeExponent = 1.0f;

    int ncols = 0;
    int nrows = 0;
    float cellsize = 0.0f;
    // Map coordinates in double: northings of several million metres would lose decimetres in a float.
    double xllcorner = 0.0;
    double yllcorner = 0.0;
    std::string projection;
    // One allocation for the whole grid; `cells` holds a pointer to the start of every row.
    std::vector<FloodCell> cellStorage;
    std::vector<FloodCell*> cells;
    mutable std::vector<float> depthStorage;  // see cellDepths
    // Cells whose elevation is not the no-data value, (column, row), in file order.
    std::vector<std::pair<int, int>> validCells;
    // Outbreak cells as (column, row counted from the bottom edge, 1 = bottom row).
    std::vector<std::pair<int, int>> sources;
    int sourceCount = 0;
    // Each outbreak cell once, with the faces through which it lets water into the grid: the east or
    // south face leading into a cell that the sweeps update. The breach outflow is shared equally
    // among all these faces.
    struct OutbreakFaces {
        int row = 0;
        int column = 0;
        bool east = false;
        bool south = false;
    };
    std::vector<OutbreakFaces> outbreakFaces;
    int openOutbreakFaces = 0;

    // The depths after the last step, summed per row, so that the grid's water adds up in the same
    // order whichever threads summed the rows.
    std::vector<double> rowDepthSums;
    int threads = 0;
    FloodInstructionSet stepInstructionSet = widestFloodInstructionSet();
    // The state the step works on, each field of a row in an array of its own (see floodrows.h), and
    // whether the cells have fallen behind it. Reading the cells brings them up to date.
    std::vector<float> fieldFloats;
    mutable bool cellsBehind = false;
    void fillFields();
    void catchUpCells() const;
    // Each band's room for what its pass works out per column.
    std::vector<float> bandScratchFloats;
    std::vector<std::int32_t> bandScratchInts;
    std::vector<float> bandEdgeSouthFluxes;
    // The bands of rows that share a step of `rowCount` rows holding `workCells` cells of work; one
    // while the excess-volume trim may act, as it lowers the first deep cells in file order.
    int bandCount(int rowCount, long long workCells, bool overVolume) const;
    // Per row, the columns the last sub-step left not at rest and those of the outbreak cells (border
    // rows included), and what the next sub-step works on (see floodspans.h).
    std::vector<floodrows::ColumnSpan> unsettledColumns;
    std::vector<floodrows::ColumnSpan> outbreakColumns;
    std::vector<floodrows::RowWork> rowWork;
    // Per row, the columns the steps have worked on since the cells were last brought up to date.
    mutable std::vector<floodrows::ColumnSpan> behindColumns;
    // Threads for work on `cells` cells: the number set, or as many as gain from it when left to choose.
    int threadsFor(long long cells) const;
    // The first row of each band and, last, the row after the last band.
    std::vector<int> bandStarts;
    double workShare = 0.0;
    // Sets rowWork from unsettledColumns and outbreakColumns; returns the cells of work, with the
    // first and last rows that have any.
    long long planWork(int& firstRow, int& lastRow);
    // Shares rows `firstRow` to `lastRow` among `bands` bands of about equal work, each at least as
    // high as a seam needs.
    void shareRows(int firstRow, int lastRow, int bands);

    float timeStep = 0.0f;
    double secondsPerStep = 0.0;  // the clock's advance per step: twice the time step, in double
    float peakOutflow = 0.0f;  // Qmax, m^3/s, rounded to 0.01
    float outflow = 0.0f;      // Q(t), m^3/s, rounded to 0.01
    float hydrographEnd = 0.0f;
    double hydrographCoefficients[6] = {};
    // The outflow follows the shape polynomial lowered by its value at the end of the hydrograph, so
    // that it ends at 0, and scaled so that it lets out exactly the released volume.
    double shapeAtEnd = 0.0;     // P(hydrographEnd)
    double releasedAtEnd = 0.0;  // F(hydrographEnd) - P(hydrographEnd) hydrographEnd, s
    int trimBudget = 0;
    double gridVolume = 0.0;
    double trimmed = 0.0;
    // The fastest wave in a cell as the last sub-step began, the water's speed plus a gravity wave's, m/s,
    // and the deepest water after it, m: they set how long the next sub-step may be.
    float fastestWave = 0.0f;
    float deepestWater = 0.0f;
    float lastDepthPerFlux = 0.0f;  // dt / dx of the last sub-step
};
