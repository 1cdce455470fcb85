#include "floodrun.h"

#include <iostream>
#include <sstream>
#include <streambuf>

#include "cafloodnew.h"

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
    if (!engine.loadInputs(inputFiles)) {
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
