#include "floodhud.h"

#include <QString>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>

#include "fileio.h"
#include "texttokens.h"

namespace {

// A display-state file is five short lines.
constexpr std::size_t maxStateFileBytes = 64 * 1024;

}  // namespace

std::string FloodHud::stateText() const {
    const QString text = QString("%1").arg(time) + '\n' + QString("%1").arg(residual) + '\n' +
                         QString("%1").arg(capacity) + '\n' + QString::number(colourLow) + '\n' +
                         QString::number(colourHigh);
    return text.toStdString();
}

bool FloodHud::writeState(const std::string& path) const {
    std::string problem;
    if (!writeFileAtomically(path, stateText(), problem)) {
        std::cout << "Open failed." << std::endl << problem << std::endl;
        return false;
    }
    return true;
}

bool FloodHud::readState(const std::string& path, std::string* problem) {
    std::string text;
    std::string reason;
    if (readRegularFile(path, maxStateFileBytes, text, reason) != FileReadStatus::ok) {
        std::cout << "Open failed." << std::endl << reason << std::endl;
        if (problem) {
            *problem = reason;
        }
        return false;
    }
    parseState(text, path, problem);
    return true;
}

void FloodHud::parseState(std::string_view text, const std::string& name, std::string* problem) {
    const std::vector<std::string_view> lines = firstLines(text, 5);
    QString line[5];
    for (std::size_t i = 0; i < lines.size(); ++i) {
        line[i] = QString::fromUtf8(lines[i].data(), static_cast<int>(lines[i].size())).trimmed();
    }
    // A missing line reads as 0 without a word; anything else that is not a value a run writes reads as
    // 0 with one, so that a damaged file shows as such and never as an absurd clock.
    const auto complain = [&](int i, const char* what) {
        const std::string said = "display-state file \"" + name + "\": line " + std::to_string(i + 1) + " \"" +
                                 line[i].left(24).toStdString() + "\" is not " + what + "; it reads as 0";
        std::cout << said << std::endl;
        if (problem && problem->empty()) {
            *problem = said;
        }
    };
    const auto real = [&](int i, double low, double high, const char* what) {
        bool converted = false;
        const double value = line[i].toDouble(&converted);
        if (line[i].isEmpty()) {
            return 0.0f;
        }
        if (!converted) {
            complain(i, "a number");
            return 0.0f;
        }
        if (!(value >= low && value <= high)) {
            complain(i, what);
            return 0.0f;
        }
        return static_cast<float>(value);
    };
    const auto whole = [&](int i) {
        bool converted = false;
        const int value = line[i].toInt(&converted, 10);
        if (!converted && !line[i].isEmpty()) {
            complain(i, "a number");
        }
        return converted ? value : 0;
    };
    const double largestVolume = std::numeric_limits<float>::max();
    time = real(0, 0.0, maxStateSeconds, "a simulated time");
    residual = real(1, -largestVolume, largestVolume, "a volume");
    capacity = real(2, -largestVolume, largestVolume, "a volume");
    colourLow = whole(3);
    colourHigh = whole(4);
}

QString FloodHud::timeLine(double seconds) {
    // A clock beyond an int (or not a number) would be converted undefined; such a clock is no run's.
    const double clamped =
        std::isnan(seconds) ? 0.0 : std::clamp(static_cast<double>(seconds), 0.0, 2147483647.0);
    const int s = static_cast<int>(clamped);
    if (s <= 59) {
        return QString("Time: %1 s").arg(s);
    }
    if (s > 3599) {
        return QString("Time: %1 h %2 m %3 s").arg(s / 3600).arg(s % 3600 / 60).arg(s % 3600 % 60);
    }
    return QString("Time: %1 m %2 s").arg(s / 60).arg(s % 60);
}

// A volume with two decimals in millions, thousands or plain cubic metres.
static QString volumeText(float cubicMetres) {
    if (cubicMetres > 1000000) {
        return QString::number(cubicMetres / 1000000, 'f', 2) + " million m^3";
    }
    if (cubicMetres > 1000) {
        return QString::number(cubicMetres / 1000, 'f', 2) + " thound m^3";
    }
    return QString::number(cubicMetres, 'f', 2) + " m^3";
}

QString FloodHud::storageLine(float cubicMetres) {
    return "Storage: " + volumeText(cubicMetres);
}

QString FloodHud::residualLine(float cubicMetres) {
    return "Residual capacity : " + volumeText(cubicMetres);
}
