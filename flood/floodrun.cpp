#include "floodrun.h"

#include "cafloodnew.h"

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
                            const FloodRunSettings& settings) {
    const int ratio = breachRatio(settings.mode);
    const bool total = ratio == 0;
    const float partialWidth = total ? 0.0f : settings.width / static_cast<float>(ratio);
    const float partialHeight = total ? 0.0f : settings.height / static_cast<float>(ratio);

    engine.setTimeStepDivisor(settings.timeStepDivisor);
    if (!engine.loadInputs(inputFiles)) {
        return FloodRunStart::InputsRejected;
    }
    engine.setBreachParameters(settings.capacity, settings.width, settings.height, partialWidth,
                               partialHeight, 1.0f, total);
    return engine.prepareHydrograph() ? FloodRunStart::Ready : FloodRunStart::NoOutflow;
}
