// The breach of the flood engine: released volume, peak outflow and the outflow hydrograph.
#include <algorithm>
#include <climits>
#include <cmath>
#include <iostream>

#include "cafloodnew.h"

namespace {

constexpr double kGravity = 9.8;
// The duration search walks the hydrograph second by second; four times W / Qmax bounds the walk. A
// breach slower than this (over three years) is no dam break, and the engine's single-precision clock
// could not reach its end anyway.
constexpr double kLongestHydrographSeconds = 1.0e8;

double roundToHundredths(double value) {
    return std::floor(value * 100.0 + 0.5) / 100.0;
}

}  // namespace

double CAFlood::hydrographShape(double seconds) const {
    const double* c = hydrographCoefficients;
    const double t = seconds;
    return c[0] * std::pow(t, 5) + c[1] * std::pow(t, 4) + c[2] * std::pow(t, 3) + c[3] * t * t + c[4] * t +
           c[5];
}

double CAFlood::releasedShare(double seconds) const {
    const double* c = hydrographCoefficients;
    const double t = seconds;
    return c[0] * std::pow(t, 6) / 6.0 + c[1] * std::pow(t, 5) / 5.0 + c[2] * std::pow(t, 4) / 4.0 +
           c[3] * std::pow(t, 3) / 3.0 + c[4] * t * t / 2.0 + c[5] * t;
}

int CAFlood::climbWhileRising(int start, int stride, int limit) const {
    int previous = start;
    int t = start;
    do {
        previous = t;
        t += stride;
    } while (releasedShare(t) > releasedShare(previous) && t < limit);
    return previous;
}

void CAFlood::setHydrographCoefficients(double duration) {
    hydrographCoefficients[0] = -19.565 / std::pow(duration, 5);
    hydrographCoefficients[1] = 56.595 / std::pow(duration, 4);
    hydrographCoefficients[2] = -61.153 / std::pow(duration, 3);
    hydrographCoefficients[3] = 30.574 / (duration * duration);
    hydrographCoefficients[4] = -7.43 / duration;
    hydrographCoefficients[5] = 0.9723;
}

void CAFlood::clearHydrograph() {
    peakOutflow = 0.0f;
    outflow = 0.0f;
    hydrographEnd = 0.0f;
    for (double& coefficient : hydrographCoefficients) {
        coefficient = 0.0;
    }
    shapeAtEnd = 0.0;
    releasedAtEnd = 0.0;
    residualStorage = breachVolume > 0.0f ? breachVolume : 0.0;
}

bool CAFlood::prepareHydrograph() {
    const double V = reservoirCapacity;
    const double B = outbreakWidth;
    const double H = outbreakHeight;
    const double b = partialWidth;
    const double h = partialHeight;
    const double m = shapeExponent;

    double volume = 0.0;
    double peak = 0.0;  // unrounded; only the duration search uses it
    if (totalBreak) {
        volume = V;
        peak = std::pow(m, m - 1.0) * std::pow(2.0 * std::sqrt(m) / (2.0 * m + 1.0), 2.0 * m + 1.0) * B *
               std::sqrt(kGravity) * std::pow(H, 1.5);
    } else {
        const double drop = H - h;
        volume = shapeExponent == 1.0f
                     ? V * h / H
                     : V - 70.243 * drop * drop * drop + 784.0 * drop * drop - 8304.5 * drop;
        peak = std::sqrt(kGravity) * 0.2962962962962963 * std::pow(B / b, 0.4) *
               std::pow((11.0 * H - 10.0 * h) / H, 0.3) * b * std::pow(h, 1.5);
    }

    breachVolume = std::isfinite(volume) && volume > 0.0 ? static_cast<float>(volume) : 0.0f;
    if (!(breachVolume > 0.0f)) {
        clearHydrograph();
        std::cerr << "breach: the parameters release no water (volume " << volume
                  << " m^3); the breach lets no water out\n";
        return false;
    }
    // The peak is rounded to 0.01 by truncating peak * 100 + 0.5 to a whole number.
    const double roundedPeak = std::isfinite(peak) ? std::trunc(peak * 100.0 + 0.5) / 100.0 : 0.0;
    if (!(roundedPeak > 0.0)) {
        clearHydrograph();
        std::cerr << "breach: the peak outflow is " << peak << " m^3/s; the breach lets no water out\n";
        return false;
    }
    peakOutflow = static_cast<float>(roundedPeak);

    double duration = static_cast<double>(4.0f * breachVolume) / peakOutflow;
    if (duration > kLongestHydrographSeconds) {
        // Said before the hydrograph is cleared, which sets the peak to 0.
        std::cerr << "breach: a peak outflow of " << peakOutflow << " m^3/s would take over "
                  << kLongestHydrographSeconds << " s (about " << kLongestHydrographSeconds / 31557600.0
                  << " years) to let out " << breachVolume
                  << " m^3; lower the reservoir capacity or widen the breach. The breach lets no water out\n";
        clearHydrograph();
        return false;
    }

    // The first pass ends near the root of the shape polynomial; every later pass lengthens the
    // duration by one second until the area under the hydrograph reaches the released volume.
    int t = 0;
    double remaining = breachVolume;
    while (remaining > 0.0) {
        setHydrographCoefficients(duration);
        const int coarse = climbWhileRising(t, 100, INT_MAX);
        const int medium = climbWhileRising(coarse, 10, coarse + 100);
        const int p = climbWhileRising(medium, 1, medium + 10);
        duration = p;
        remaining = breachVolume - releasedShare(p) * peak;
        t = p + 1;
    }
    hydrographEnd = static_cast<float>(duration);
    shapeAtEnd = hydrographShape(hydrographEnd);
    releasedAtEnd = releasedShare(hydrographEnd) - shapeAtEnd * hydrographEnd;
    if (!(releasedAtEnd > 0.0) || !std::isfinite(releasedAtEnd)) {
        clearHydrograph();
        std::cerr << "breach: the outflow hydrograph of " << hydrographEnd
                  << " s encloses no volume; the breach lets no water out\n";
        return false;
    }
    residualStorage = breachVolume;
    return true;
}

double CAFlood::releasedFraction(double seconds) const {
    const double t = std::min(std::max(seconds, 0.0), static_cast<double>(hydrographEnd));
    return (releasedShare(t) - shapeAtEnd * t) / releasedAtEnd;
}

double CAFlood::updateOutflow(double atTime, double untilTime) {
    if (!(peakOutflow > 0.0f) || !(releasedAtEnd > 0.0)) {
        outflow = 0.0f;
        residualStorage = breachVolume > 0.0f ? breachVolume : 0.0;
        return 0.0;
    }
    // Q(t) = W (P(t) - P(T)) / (F(T) - P(T) T): the shape runs down to 0 at the end T of the hydrograph
    // and its integral over the hydrograph is the released volume W. Nothing flows after T.
    const double volume = breachVolume;
    const double rate =
        atTime <= hydrographEnd ? volume * (hydrographShape(atTime) - shapeAtEnd) / releasedAtEnd : 0.0;
    outflow = rate > 0.0 ? static_cast<float>(roundToHundredths(rate)) : 0.0f;
    const double releasedBefore = releasedFraction(atTime);
    const double releasedAfter = releasedFraction(untilTime);
    residualStorage = std::max(0.0, volume * (1.0 - releasedAfter));
    return std::max(0.0, volume * (releasedAfter - releasedBefore));
}
