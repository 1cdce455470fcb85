// One step of a landslide run: the sheet's size and thickness, the raising, the trail, the restore.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "landsliderun.h"

double LandslideRun::gaussNoise(double mean, double standardDeviation) {
    double deviate = 0.0;
    if (!noiseCached) {
        do {
            const int a = std::rand();
            const int b = std::rand();
            // (x mod 10) / 10 is integer division, as it always was: both draws are 0.8.
            noiseU1 = 2.0 * ((a % 10) / 10 + 0.8) - 1.0;
            noiseU2 = 2.0 * ((b % 10) / 10 + 0.8) - 1.0;
            noiseS = noiseU1 * noiseU1 + noiseU2 * noiseU2;
        } while (noiseS >= 1.0 || noiseS == 0.0);
        deviate = noiseU1 * std::sqrt(-2.0 * std::log(noiseS) / noiseS);
    } else {
        deviate = noiseU2 * std::sqrt(-2.0 * std::log(noiseS) / noiseS);
    }
    noiseCached = !noiseCached;
    return mean + standardDeviation * deviate;
}

void LandslideRun::chooseRadius(int targetCells, int& radius, int& cells) {
    // Candidate counts grow with the radius, so the running sum over the per-radius counts gives every
    // radius's count at once; the first radius to reach the target, or the one before it when that one
    // comes closer, holds about the target's cells. Never a radius that covers nothing.
    const int target = std::max(targetCells, 1);
    int count = 0;
    int previousCount = 0;
    int chosen = -1;
    int lastNonEmpty = 0;
    for (int r = 0; r < static_cast<int>(radiusCounts.size()); ++r) {
        if (radiusCounts[r] > 0) {
            lastNonEmpty = r;
        }
        previousCount = count;
        count += radiusCounts[r];
        if (chosen < 0 && count >= target) {
            chosen = r;
            break;
        }
    }
    if (chosen < 0) {
        // The target exceeds the whole slide path: the sheet covers all of it.
        radius = lastNonEmpty;
        cells = count;
        return;
    }
    if (chosen > 0 && previousCount > 0 && target - previousCount < count - target) {
        radius = chosen - 1;
        cells = previousCount;
        return;
    }
    radius = chosen;
    cells = count;
}

LandslideStepFigures LandslideRun::computeStep(int k) {
    LandslideStepFigures figures;
    if (!prepared() || k < 1 || k > stepCount) {
        return figures;
    }
    figures.step = k;
    // T grows linearly from the body's cell count to the deposit's, in single precision.
    figures.targetCells = static_cast<int>(
        (static_cast<float>(depositCells) - bodyCells) * static_cast<float>(k) / 100.0f + bodyCells);
    const int r0 = pointVec[static_cast<std::size_t>(k)].row;
    const int c0 = pointVec[static_cast<std::size_t>(k)].col;

    // A path cell (r, c) is a candidate for radius R when trunc(distance) <= R and it lies in the window
    // [r0 − R, r0 + R) × [c0 − R, c0 + R), whose upper edges are exclusive: R >= max(trunc(distance),
    // r − r0 + 1, c − c0 + 1). The lower edges follow from the distance.
    std::fill(radiusCounts.begin(), radiusCounts.end(), 0);
    for (std::size_t i = 0; i < pathRows.size(); ++i) {
        const int dr = pathRows[i] - r0;
        const int dc = pathCols[i] - c0;
        const double squared = static_cast<double>(dr) * dr + static_cast<double>(dc) * dc;
        const int distance = static_cast<int>(std::sqrt(squared));
        const int smallest = std::max({distance, dr + 1, dc + 1});
        cellRadius[i] = smallest;
        ++radiusCounts[static_cast<std::size_t>(smallest)];
    }
    chooseRadius(figures.targetCells, figures.radius, figures.cells);
    if (figures.cells == 0) {
        return figures;
    }
    figures.thickness = bodyVolume / static_cast<float>(figures.cells);
    const double h = figures.thickness;

    // Row by row, left to right: the order of the path list.
    const bool raiseTwice = k < stepCount || depositAtLastCentre != 0.0f;
    for (std::size_t i = 0; i < pathRows.size(); ++i) {
        if (cellRadius[i] > figures.radius) {
            continue;
        }
        float& cell = surface[static_cast<std::size_t>(pathRows[i]) * mosaicWidth + pathCols[i]];
        cell = static_cast<float>(cell + (h + gaussNoise(0.0, 0.3)));
        if (raiseTwice) {
            cell = static_cast<float>(cell + (h + gaussNoise(0.0, 0.3)));
        }
    }

    // The trail. Only path cells are ever raised, so elsewhere surface, trail and base stay equal and the
    // pass over the path cells is the pass over the whole grid.
    if (k == 1) {
        trailSurface = surface;
        return figures;
    }
    for (std::size_t i = 0; i < pathRows.size(); ++i) {
        const std::size_t cell = static_cast<std::size_t>(pathRows[i]) * mosaicWidth + pathCols[i];
        if (surface[cell] != baseSurface[cell]) {
            trailSurface[cell] = surface[cell];
        } else {
            surface[cell] = trailSurface[cell];
        }
    }
    return figures;
}

void LandslideRun::restoreSurface() {
    for (std::size_t i = 0; i < pathRows.size(); ++i) {
        const std::size_t cell = static_cast<std::size_t>(pathRows[i]) * mosaicWidth + pathCols[i];
        surface[cell] = baseSurface[cell];
    }
}
