#include "monitorpoints.h"

#include <gdal.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <cmath>
#include <iostream>
#include <limits>
#include <memory>
#include <osg/Depth>
#include <osg/Geode>
#include <osg/Group>
#include <osg/ShapeDrawable>
#include <osgText/Text>

#include "fileio.h"

namespace {

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};

QString labelText(const PointM& point) {
    return "arrive time " + QString::number(point.arrival, 'f', 0) + "s\n" + "velocity " +
           QString::number(point.velocity, 'f', 3) + " m/s\n" + "flow rate " +
           QString::number(point.flow, 'f', 3) + " m^3/s\n" + "depth " +
           QString::number(point.depth, 'f', 3) + " m";
}

osg::ref_ptr<osg::Geode> makeSphere(const PointM& point) {
    osg::ref_ptr<osg::ShapeDrawable> sphere =
        new osg::ShapeDrawable(new osg::Sphere(osg::Vec3(point.x, point.y, point.z), 10.0f));
    sphere->setColor(osg::Vec4(0, 0, 1, 1));
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(sphere.get());
    // Always in front of the terrain, so a point in a valley stays visible from any angle.
    osg::StateSet* state = geode->getOrCreateStateSet();
    osg::ref_ptr<osg::Depth> depthTest = new osg::Depth;
    depthTest->setFunction(osg::Depth::ALWAYS);
    state->setAttributeAndModes(depthTest.get(), osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
    state->setRenderBinDetails(10, "RenderBin", osg::StateSet::USE_RENDERBIN_DETAILS);
    return geode;
}

osg::ref_ptr<osg::Geode> makeLabel(const PointM& point, osgText::Font* font) {
    osg::ref_ptr<osgText::Text> text = new osgText::Text;
    text->setFont(font);
    text->setPosition(osg::Vec3(point.x, point.y, point.z));
    text->setColor(osg::Vec4(1, 1, 1, 1));
    // Legible, and small enough that the labels of a few points fit side by side in an 800 x 600 window.
    text->setCharacterSize(16);
    text->setCharacterSizeMode(osgText::Text::SCREEN_COORDS);
    text->setAxisAlignment(osgText::Text::SCREEN);
    text->setAlignment(osgText::Text::LEFT_TOP);
    text->setBackdropType(osgText::Text::OUTLINE);
    text->setBackdropColor(osg::Vec4(0.3f, 0, 1, 1));
    text->setDrawMode(osgText::Text::TEXT | osgText::Text::BOUNDINGBOX);
    text->setBoundingBoxColor(osg::Vec4(1, 1, 1, 1));
    text->setBoundingBoxMargin(3);
    text->setColorGradientMode(osgText::Text::SOLID);
    text->setText(labelText(point).toUtf8().toStdString(), osgText::String::ENCODING_UTF8);

    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(text.get());
    osg::StateSet* state = geode->getOrCreateStateSet();
    osg::ref_ptr<osg::Depth> depthTest = new osg::Depth(osg::Depth::ALWAYS, 1.0, 100.0);
    state->setAttributeAndModes(depthTest.get(), osg::StateAttribute::ON);
    // After the water surface (bin 10), which would otherwise cover the values of a flooded point.
    state->setRenderBinDetails(11, "RenderBin", osg::StateSet::USE_RENDERBIN_DETAILS);
    return geode;
}

}  // namespace

bool MonitorPoints::load(const std::string& path) {
    GDALAllRegister();
    CPLSetConfigOption("SHAPE_ENCODING", "");
    std::unique_ptr<GDALDataset, DatasetCloser> dataset(
        GDALDataset::FromHandle(GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr)));
    if (!dataset) {
        std::cout << "monitor points: cannot open " << path << " as vector data" << std::endl;
        return false;
    }

    std::list<PointM> loaded;
    for (OGRLayer* layer : dataset->GetLayers()) {
        if (layer->GetName() && layer->GetName()[0] != '\0') {
            std::cout << layer->GetName() << " 's FeatureCount :" << layer->GetFeatureCount() << std::endl;
        }
        layer->ResetReading();
        for (const auto& feature : *layer) {
            const OGRGeometry* geometry = feature->GetGeometryRef();
            if (!geometry) {
                continue;
            }
            switch (wkbFlatten(geometry->getGeometryType())) {
                case wkbPoint: {
                    const auto* point = geometry->toPoint();
                    PointM monitor;
                    monitor.x = point->getX();
                    monitor.y = point->getY();
                    monitor.z = point->getZ();
                    loaded.push_back(monitor);
                    break;
                }
                case wkbLineString: {
                    const auto* line = geometry->toLineString();
                    std::cout << " Geo name:" << line->getGeometryName() << std::endl;
                    std::cout << " Point Count:" << line->getNumPoints() << " Len :" << line->get_Length()
                              << std::endl;
                    for (int vertex = 0; vertex < line->getNumPoints(); ++vertex) {
                        PointM monitor;
                        monitor.x = line->getX(vertex);
                        monitor.y = line->getY(vertex);
                        monitor.z = line->getZ(vertex);
                        loaded.push_back(monitor);
                    }
                    break;
                }
                default:
                    break;
            }
        }
    }
    if (loaded.size() > maxPoints) {
        std::cout << "monitor points: " << path << " holds " << loaded.size() << " points, more than the "
                  << maxPoints << " a flood can show; none is loaded" << std::endl;
        return false;
    }
    points = std::move(loaded);
    return true;
}

bool MonitorPoints::match(double x, double y, double tolerance, float velocity, float flow, float depth,
                          float time) {
    bool matched = false;
    for (PointM& point : points) {
        if (std::abs(x - point.x) < tolerance && std::abs(y - point.y) < tolerance) {
            point.velocity = velocity;
            point.flow = flow;
            point.depth = depth;
            if (point.arrival == 0) {
                point.arrival = time;
            }
            matched = true;
        }
    }
    return matched;
}

QByteArray MonitorPoints::toJson() const {
    QJsonArray monitors;
    for (const PointM& point : points) {
        QJsonObject entry;
        entry.insert("x", point.x);
        entry.insert("y", point.y);
        entry.insert("z", point.z);
        entry.insert("vec", point.velocity);
        entry.insert("flu", point.flow);
        entry.insert("dep", point.depth);
        entry.insert("time", point.arrival);
        monitors.append(entry);
    }
    QJsonObject document;
    document.insert("Monitors", monitors);
    return QJsonDocument(document).toJson();
}

bool MonitorPoints::writeJson(const std::string& path) const {
    if (points.empty()) {
        return false;
    }
    const QByteArray text = toJson();
    std::string problem;
    if (!writeFileAtomically(path, std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                             problem)) {
        std::cout << "monitor points: " << problem << std::endl;
        return false;
    }
    return true;
}

bool MonitorPoints::readJson(const std::string& path) {
    std::string bytes;
    std::string problem;
    const FileReadStatus status = readRegularFile(path, maxJsonBytes, bytes, problem);
    // A frame without monitor values has no file; that is not worth a line.
    if (status == FileReadStatus::missing) {
        return false;
    }
    if (status != FileReadStatus::ok) {
        std::cout << "monitor points: " << problem << std::endl;
        return false;
    }
    return parseJson(QByteArray::fromStdString(bytes), path);
}

bool MonitorPoints::parseJson(const QByteArray& text, const std::string& name) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        std::cout << "parse file failed:" << name << std::endl;
        return false;
    }
    const QJsonArray entries = document.object().value("Monitors").toArray();
    if (static_cast<std::size_t>(entries.size()) > maxPoints) {
        std::cout << "monitor points: " << name << " lists " << entries.size() << " points, more than the "
                  << maxPoints << " a frame may show" << std::endl;
        return false;
    }
    // Coordinates as the flood grid may have them, values as a float holds them.
    const auto coordinate = [](double value) { return std::fabs(value) <= 1e8; };
    const auto figure = [](double value) { return std::fabs(value) <= std::numeric_limits<float>::max(); };
    std::list<PointM> read;
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        const double x = entry.value("x").toDouble();
        const double y = entry.value("y").toDouble();
        const double z = entry.value("z").toDouble();
        const double figures[4] = {entry.value("vec").toDouble(), entry.value("flu").toDouble(),
                                   entry.value("dep").toDouble(), entry.value("time").toDouble()};
        if (!coordinate(x) || !coordinate(y) || !coordinate(z) || !figure(figures[0]) ||
            !figure(figures[1]) || !figure(figures[2]) || !figure(figures[3])) {
            std::cout << "monitor points: " << name << ": point " << read.size() + 1
                      << " holds values no flood writes" << std::endl;
            return false;
        }
        PointM point;
        point.x = x;
        point.y = y;
        point.z = z;
        point.velocity = static_cast<float>(figures[0]);
        point.flow = static_cast<float>(figures[1]);
        point.depth = static_cast<float>(figures[2]);
        point.arrival = static_cast<float>(figures[3]);
        read.push_back(point);
    }
    points = std::move(read);
    return true;
}

osg::ref_ptr<osg::Node> MonitorPoints::makeNode() const {
    osg::ref_ptr<osg::Group> group = new osg::Group;
    osg::ref_ptr<osgText::Font> font;
    for (const PointM& point : points) {
        group->addChild(makeSphere(point).get());
        if (point.velocity != 0 && point.flow != 0 && point.depth != 0) {
            if (!font) {
                font = osgText::readRefFontFile("fonts/simhei.ttf");
            }
            group->addChild(makeLabel(point, font.get()).get());
        }
    }
    return group;
}
