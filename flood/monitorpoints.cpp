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

#include "fileio.h"

namespace {

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};

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
