#include "floodhud.h"

#include <QFile>
#include <QString>
#include <QTextStream>
#include <iostream>

bool FloodHud::writeState(const std::string& path) const {
    QFile file(QString::fromLocal8Bit(path.c_str()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        std::cout << "Open failed." << std::endl;
        return false;
    }
    QTextStream out(&file);
    out << QString("%1").arg(time) << '\n'
        << QString("%1").arg(residual) << '\n'
        << QString("%1").arg(capacity) << '\n'
        << QString::number(colourLow) << '\n'
        << QString::number(colourHigh);
    out.flush();
    file.close();
    if (out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
        std::cout << "display-state file " << path << ": writing failed" << std::endl;
        return false;
    }
    return true;
}

bool FloodHud::readState(const std::string& path) {
    QFile file(QString::fromLocal8Bit(path.c_str()));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::cout << "Open failed." << std::endl;
        return false;
    }
    QTextStream in(&file);
    QString lines[5];
    for (QString& line : lines) {
        if (in.atEnd()) {
            break;
        }
        line = in.readLine();
    }
    // A missing line reads as 0, as does a line that is not a number; the latter is worth a word.
    bool converted[5] = {};
    time = lines[0].toFloat(&converted[0]);
    residual = lines[1].toFloat(&converted[1]);
    capacity = lines[2].toFloat(&converted[2]);
    colourLow = lines[3].toInt(&converted[3], 10);
    colourHigh = lines[4].toInt(&converted[4], 10);
    for (int i = 0; i < 5; ++i) {
        if (!converted[i] && !lines[i].isEmpty()) {
            std::cout << "display-state file " << path << ": line " << i + 1 << " \""
                      << lines[i].toLocal8Bit().constData() << "\" is not a number; it reads as 0"
                      << std::endl;
        }
    }
    return true;
}
