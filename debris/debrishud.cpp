#include "debrishud.h"

#include <QFile>
#include <QString>
#include <QTextStream>
#include <climits>
#include <cmath>
#include <iostream>

#include "scenemarks.h"
#include "screenoverlay.h"

namespace {

// A frame information line holds one number; a longer line is not one of ours and reads as no number.
constexpr qint64 longestLine = 256;

// Reads one line of at most `longestLine` characters; the rest of a longer line is skipped so that the
// next read starts on the next line, and the line reads as empty.
QString readShortLine(QFile& file) {
    QByteArray line = file.readLine(longestLine + 1);
    if (line.endsWith('\n') || file.atEnd()) {
        return QString::fromLocal8Bit(line).trimmed();
    }
    while (!file.atEnd() && !line.endsWith('\n')) {
        line = file.readLine(longestLine + 1);
    }
    return QString();
}

int wholeNumber(const QString& line) {
    const float value = line.toFloat();
    // Values beyond an int are as unusable as text that is no number.
    if (!std::isfinite(value) || std::fabs(value) >= static_cast<float>(INT_MAX)) {
        return 0;
    }
    return static_cast<int>(value);
}

}  // namespace

bool DebrisHud::writeFrameInfo(const std::string& path) const {
    QFile file(QString::fromLocal8Bit(path.c_str()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate)) {
        std::cout << "Open failed." << std::endl;
        return false;
    }
    QTextStream out(&file);
    out << QString("%1").arg(static_cast<double>(maxSpeed)) << '\n'
        << QString("%1").arg(static_cast<double>(elapsedTime)) << '\n'
        << rangeLower << '\n'
        << rangeUpper;
    out.flush();
    file.close();
    if (out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
        std::cout << "Write failed." << std::endl;
        return false;
    }
    return true;
}

bool DebrisHud::readFrameInfo(const std::string& path) {
    QFile file(QString::fromLocal8Bit(path.c_str()));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::cout << "Open failed." << std::endl;
        return false;
    }
    QString lines[4];
    for (int i = 0; i < 4 && !file.atEnd(); ++i) {
        lines[i] = readShortLine(file);
    }
    maxSpeed = lines[0].toFloat();
    elapsedTime = lines[1].toFloat();
    rangeLower = wholeNumber(lines[2]);
    rangeUpper = wholeNumber(lines[3]);
    return true;
}

osg::ref_ptr<osg::Camera> DebrisHud::hudCamera() const {
    osg::ref_ptr<osg::Geode> geode = makeOverlayGeode();
    geode->addDrawable(makeOverlayText("泥深", osg::Vec3(380, 4, 0), 11, osg::Vec4(1, 1, 1, 1)).get());
    return makeScreenOverlayCamera(geode.get());
}

osg::ref_ptr<osg::Group> DebrisHud::buildSceneMarks() const {
    return ::buildSceneMarks();
}
