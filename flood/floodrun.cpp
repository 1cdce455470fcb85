#include "floodrun.h"

#include <cmath>
#include <iostream>
#include <sstream>
#include <streambuf>

#include "cafloodnew.h"
#include "monitorpoints.h"

namespace {

// Ground of the cells the step never updates (border, outbreak and no-data cells).
constexpr float wallGround = 9999.0f;

bool isTerrain(const CAFlood& engine, int r, int c) {
    if (r < 1 || c < 1 || r > engine.rowCount() - 2 || c > engine.columnCount() - 2) {
        return false;
    }
    const FloodCell& cell = engine.cellRows()[r][c];
    return !cell.source && cell.ground != wallGround;
}

// Whether the loaded grid can hold a flood: some terrain inside the border, and some outbreak cell
// whose east or south face leads into it. Prints why not.
bool inputsGiveAFlood(const CAFlood& engine, const std::vector<std::string>& inputFiles) {
    bool terrain = false;
    for (int r = 1; r < engine.rowCount() - 1 && !terrain; ++r) {
        for (int c = 1; c < engine.columnCount() - 1 && !terrain; ++c) {
            terrain = isTerrain(engine, r, c);
        }
    }
    if (!terrain) {
        std::cerr << "elevation grid " << inputFiles[1] << ": none of its " << engine.columnCount() << " x "
                  << engine.rowCount()
                  << " cells inside the grid's border holds terrain (every one is without data, 9999, or an "
                     "outbreak cell); there is nowhere for the water to go\n";
        return false;
    }
    std::ostringstream cells;
    for (const auto& [c, rowFromBottom] : engine.outbreakCells()) {
        const int r = engine.rowCount() - rowFromBottom;
        if (isTerrain(engine, r, c + 1) || isTerrain(engine, r + 1, c)) {
            return true;
        }
        cells << (cells.tellp() > 0 ? ", " : "") << "(" << c << ", " << rowFromBottom << ")";
    }
    std::cerr << "outbreak-information file " << inputFiles[2] << ": no outbreak cell lets water into the "
              << "terrain: the east and south faces of " << cells.str()
              << " lead into the grid's edge, cells without data or other outbreak cells (columns count "
                 "from 0 at the west edge, rows from 1 at the bottom edge)\n";
    return false;
}

}  // namespace

namespace {

// Passes everything written to a stream on to where it went before and keeps a copy, until it goes.
class StreamCopy : public std::streambuf {
public:
    StreamCopy(std::ostream& stream, std::string* copy)
        : stream(stream), copy(copy), original(copy ? stream.rdbuf(this) : nullptr) {}
    ~StreamCopy() override {
        if (original) {
            stream.rdbuf(original);
        }
    }
    StreamCopy(const StreamCopy&) = delete;
    StreamCopy& operator=(const StreamCopy&) = delete;

protected:
    int overflow(int character) override {
        if (character != traits_type::eof()) {
            copy->push_back(static_cast<char>(character));
            original->sputc(static_cast<char>(character));
        }
        return character;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        copy->append(text, static_cast<std::size_t>(count));
        return original->sputn(text, count);
    }
    int sync() override { return original->pubsync(); }

private:
    std::ostream& stream;
    std::string* copy;
    std::streambuf* original;
};

}  // namespace

int breachRatio(const std::string& mode) {
    if (mode == "Total Break") {
        return 0;
    }
    if (mode == "二分之一溃") {
        return 2;
    }
    if (mode == "三分之一溃") {
        return 3;
    }
    if (mode == "五分之一溃") {
        return 5;
    }
    return 10;
}

FloodRunStart startFloodRun(CAFlood& engine, const std::vector<std::string>& inputFiles,
                            const FloodRunSettings& settings, std::string* reason) {
    if (reason) {
        reason->clear();
    }
    const StreamCopy kept(std::cerr, reason);
    const int ratio = breachRatio(settings.mode);
    const bool total = ratio == 0;
    const float partialWidth = total ? 0.0f : settings.width / static_cast<float>(ratio);
    const float partialHeight = total ? 0.0f : settings.height / static_cast<float>(ratio);

    engine.setTimeStepDivisor(settings.timeStepDivisor);
    if (!engine.loadInputs(inputFiles) || !inputsGiveAFlood(engine, inputFiles)) {
        return FloodRunStart::InputsRejected;
    }
    engine.setBreachParameters(settings.capacity, settings.width, settings.height, partialWidth,
                               partialHeight, 1.0f, total);
    return engine.prepareHydrograph() ? FloodRunStart::Ready : FloodRunStart::NoOutflow;
}

std::string describeBreach(const CAFlood& engine, const FloodRunSettings& settings) {
    std::ostringstream text;
    const int ratio = breachRatio(settings.mode);
    if (ratio == 0) {
        text << "total breach";
    } else {
        text << "partial breach 1/" << ratio << " (width " << settings.width / ratio << " m, height "
             << settings.height / ratio << " m)";
    }
    text << ", released volume " << engine.releaseVolume() << " m^3, peak outflow "
         << engine.peakOutflowRate() << " m^3/s, hydrograph " << engine.hydrographDuration()
         << " s, steps of " << 2.0f * engine.stepSeconds() << " s";
    return text.str();
}

bool checkMonitorPoints(const CAFlood& engine, const MonitorPoints& monitors, const std::string& path,
                        std::string& problem) {
    const double cellSize = engine.cellSize();
    const double west = engine.lowerLeftX();
    const double south = engine.lowerLeftY();
    int number = 0;
    for (const PointM& point : monitors.list()) {
        ++number;
        // The cell whose corner is nearest, as the summary reads it: (column, rows - row) cells from the
        // lower-left corner.
        const double column = std::round((point.x - west) / cellSize);
        const double row = engine.rowCount() - std::round((point.y - south) / cellSize);
        if (column > 0 && row > 0 && column < engine.columnCount() - 1 && row < engine.rowCount() - 1) {
            continue;
        }
        std::ostringstream text;
        text.setf(std::ios::fixed);
        text.precision(3);
        text << "monitor point " << number << " of \"" << path << "\" at (" << point.x << ", " << point.y
             << ") lies off the flood grid's inner cells (x " << west + 0.5 * cellSize << " to "
             << west + (engine.columnCount() - 1.5) * cellSize << ", y " << south + 1.5 * cellSize << " to "
             << south + (engine.rowCount() - 0.5) * cellSize << "), where it would read no water";
        problem = text.str();
        return false;
    }
    return true;
}
