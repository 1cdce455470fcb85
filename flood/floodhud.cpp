#include "floodhud.h"

#include <QFile>
#include <QString>
#include <QTextStream>
#include <algorithm>
#include <iostream>
#include <osg/Geometry>

#include "scenemarks.h"
#include "screenoverlay.h"

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

QString FloodHud::timeLine(float seconds) {
    const int s = static_cast<int>(seconds);
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

osg::ref_ptr<osg::Camera> FloodHud::makeHud() const {
    // In overlay units: the overlay is stretched over a view that is smaller than 800 x 600 in a window of
    // that size, so the lines need this size to stay legible there.
    const float size = hudCharacterSize;
    const float margin = 8.0f;
    const float lineStep = size + 8.0f;
    const osg::Vec4 black(0, 0, 0, 1);
    // Top to bottom: time, residual, storage.
    osg::ref_ptr<osgText::Text> timeText =
        makeOverlayText(timeLine(time).toStdString(), {0, 0, 0}, size, black);
    osg::ref_ptr<osgText::Text> residualText =
        makeOverlayText(residualLine(residual).toStdString(), {0, 0, 0}, size, black);
    osg::ref_ptr<osgText::Text> storageText =
        makeOverlayText(storageLine(capacity).toStdString(), {0, 0, 0}, size, black);
    // The box grows to the left to hold the longest line, however the font measures it.
    float widest = 0.0f;
    for (const osgText::Text* text : {timeText.get(), residualText.get(), storageText.get()}) {
        const osg::BoundingBox bounds = text->computeBoundingBox();
        if (bounds.valid()) {
            widest = std::max(widest, bounds.xMax() - bounds.xMin());
        }
    }
    const float left = static_cast<float>(overlayWidth) - widest - 2.0f * margin;
    const float top = static_cast<float>(overlayHeight) - margin - size;
    timeText->setPosition({left + margin, top, 0});
    residualText->setPosition({left + margin, top - lineStep, 0});
    storageText->setPosition({left + margin, top - 2.0f * lineStep, 0});
    const float bottom = top - 2.0f * lineStep - margin;

    osg::ref_ptr<osg::Geode> geode = makeOverlayGeode();
    osg::ref_ptr<osg::Geometry> background = osg::createTexturedQuadGeometry(
        osg::Vec3(left, bottom, 0), osg::Vec3(static_cast<float>(overlayWidth) - left, 0, 0),
        osg::Vec3(0, static_cast<float>(overlayHeight) - bottom, 0), 1.0f, 1.0f);
    osg::ref_ptr<osg::Vec4Array> grey = new osg::Vec4Array;
    grey->push_back(osg::Vec4(0.8f, 0.8f, 0.8f, 0.75f));
    background->setColorArray(grey.get(), osg::Array::BIND_OVERALL);
    geode->addDrawable(background.get());
    geode->addDrawable(storageText.get());
    geode->addDrawable(timeText.get());
    geode->addDrawable(residualText.get());
    return makeScreenOverlayCamera(geode.get());
}

osg::ref_ptr<osg::Camera> FloodHud::makeDepthCaption() const {
    osg::ref_ptr<osg::Geode> geode = makeOverlayGeode();
    // Left of the legend bar, white with a dark outline so that it reads over snow and shadow alike.
    osg::ref_ptr<osgText::Text> caption =
        makeOverlayText("Water Depth", depthCaptionAnchor, 16, osg::Vec4(1, 1, 1, 1));
    caption->setAlignment(osgText::Text::RIGHT_BOTTOM);
    caption->setBackdropType(osgText::Text::OUTLINE);
    caption->setBackdropColor(osg::Vec4(0, 0, 0, 1));
    geode->addDrawable(caption.get());
    return makeScreenOverlayCamera(geode.get());
}

osg::ref_ptr<osg::Group> FloodHud::buildSceneMarks() const {
    return ::buildSceneMarks();
}
