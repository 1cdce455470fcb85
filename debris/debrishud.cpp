#include "debrishud.h"

#include <QString>
#include <climits>
#include <cmath>
#include <iostream>
#include <limits>
#include <vector>

#include "fileio.h"
#include "texttokens.h"

namespace {

// A frame information file is four short lines.
constexpr std::size_t maxFrameInfoBytes = 64 * 1024;

// A line as a float within [low, high]; anything else gives 0, and an empty line is all that may.
float figure(std::string_view line, double low, double high, bool& unusable) {
    const QString text = QString::fromUtf8(line.data(), static_cast<int>(line.size())).trimmed();
    bool converted = false;
    const double value = text.toDouble(&converted);
    if (converted && value >= low && value <= high) {
        return static_cast<float>(value);
    }
    unusable = !text.isEmpty();
    return 0.0f;
}

// A range line: a float truncated to an int; values beyond an int are as unusable as text that is no
// number.
int wholeNumber(std::string_view line, bool& unusable) {
    const float value =
        figure(line, -std::numeric_limits<float>::max(), std::numeric_limits<float>::max(), unusable);
    if (std::fabs(value) < static_cast<float>(INT_MAX)) {
        return static_cast<int>(value);
    }
    unusable = true;
    return 0;
}

}  // namespace

std::string DebrisHud::frameInfoText() const {
    const QString text = QString("%1").arg(static_cast<double>(maxSpeed)) + '\n' +
                         QString("%1").arg(static_cast<double>(elapsedTime)) + '\n' +
                         QString::number(rangeLower) + '\n' + QString::number(rangeUpper);
    return text.toStdString();
}

bool DebrisHud::writeFrameInfo(const std::string& path) const {
    std::string problem;
    if (!writeFileAtomically(path, frameInfoText(), problem)) {
        std::cout << "Open failed." << std::endl << problem << std::endl;
        return false;
    }
    return true;
}

bool DebrisHud::readFrameInfo(const std::string& path, std::string* problem) {
    std::string text;
    std::string reason;
    if (readRegularFile(path, maxFrameInfoBytes, text, reason) != FileReadStatus::ok) {
        std::cout << "Open failed." << std::endl << reason << std::endl;
        if (problem) {
            *problem = reason;
        }
        return false;
    }
    parseFrameInfo(text, path, problem);
    return true;
}

void DebrisHud::parseFrameInfo(std::string_view text, const std::string& name, std::string* problem) {
    std::vector<std::string_view> lines = firstLines(text, 4);
    lines.resize(4);
    bool unusable[4] = {false, false, false, false};
    const double largest = std::numeric_limits<float>::max();
    maxSpeed = figure(lines[0], -largest, largest, unusable[0]);
    elapsedTime = figure(lines[1], 0.0, maxFrameSeconds, unusable[1]);
    rangeLower = wholeNumber(lines[2], unusable[2]);
    rangeUpper = wholeNumber(lines[3], unusable[3]);
    // Said, so that a damaged file shows as such and not as a frame that stood still.
    for (int i = 0; i < 4; ++i) {
        if (unusable[i]) {
            const QString shown =
                QString::fromUtf8(lines[i].data(), static_cast<int>(lines[i].size())).trimmed();
            const std::string said = "frame information file \"" + name + "\": line " + std::to_string(i + 1) +
                                     " \"" + shown.left(24).toStdString() +
                                     "\" is not a figure a run writes; it reads as 0";
            std::cout << said << std::endl;
            if (problem && problem->empty()) {
                *problem = said;
            }
        }
    }
}
