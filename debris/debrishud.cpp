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

// A line as a float within [low, high]; anything else gives 0.
float figure(std::string_view line, double low, double high) {
    bool converted = false;
    const double value =
        QString::fromUtf8(line.data(), static_cast<int>(line.size())).trimmed().toDouble(&converted);
    return converted && value >= low && value <= high ? static_cast<float>(value) : 0.0f;
}

// A range line: a float truncated to an int; values beyond an int are as unusable as text that is no
// number.
int wholeNumber(std::string_view line) {
    const float value = figure(line, -std::numeric_limits<float>::max(), std::numeric_limits<float>::max());
    return std::fabs(value) < static_cast<float>(INT_MAX) ? static_cast<int>(value) : 0;
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

bool DebrisHud::readFrameInfo(const std::string& path) {
    std::string text;
    std::string problem;
    if (readRegularFile(path, maxFrameInfoBytes, text, problem) != FileReadStatus::ok) {
        std::cout << "Open failed." << std::endl << problem << std::endl;
        return false;
    }
    parseFrameInfo(text);
    return true;
}

void DebrisHud::parseFrameInfo(std::string_view text) {
    std::vector<std::string_view> lines = firstLines(text, 4);
    lines.resize(4);
    const double largest = std::numeric_limits<float>::max();
    maxSpeed = figure(lines[0], -largest, largest);
    elapsedTime = figure(lines[1], 0.0, maxFrameSeconds);
    rangeLower = wholeNumber(lines[2]);
    rangeUpper = wholeNumber(lines[3]);
}
