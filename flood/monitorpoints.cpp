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
#include <sstream>

#include "fileio.h"
#include "gdaldataset.h"

bool MonitorPoints::load(const std::string& path) {
    std::string problem;
    if (!load(path, problem)) {
        std::cout << "monitor points: " << problem << std::endl;
        return false;
    }
    return true;
}

bool MonitorPoints::load(const std::string& path, std::string& problem) {
    // OGR opens the file and its companions itself; a pipe among them would hold it for good.
    if (!checkDataFile(path, problem)) {
        return false;
    }
    GDALAllRegister();
    CPLSetConfigOption("SHAPE_ENCODING", "");
    GdalDatasetHandle dataset(
        GDALDataset::FromHandle(GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr)));
    if (!dataset) {
        problem = "cannot open " + quoted(path) + " as vector data";
        return false;
    }

    std::list<PointM> loaded;
    std::size_t total = 0;
    std::string badPoint;
    // Every point is counted and checked; only the first maxPoints + 1 are kept, so that a file of
    // millions of vertices takes no memory before it is refused.
    const auto add = [&](double x, double y, double z) {
        ++total;
        if (!(std::isfinite(x) && std::isfinite(y) && std::isfinite(z))) {
            std::ostringstream where;
            where << "point " << total << " of \"" << path << "\" lies at (" << x << ", " << y << ", " << z
                  << "), which is no position on a map";
            badPoint = where.str();
            return false;
        }
        if (loaded.size() <= maxPoints) {
            PointM monitor;
            monitor.x = x;
            monitor.y = y;
            monitor.z = z;
            loaded.push_back(monitor);
        }
        return true;
    };
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
            bool finite = true;
            switch (wkbFlatten(geometry->getGeometryType())) {
                case wkbPoint: {
                    // A point of no coordinates ("POINT EMPTY", as readers make of NaN) is at no position.
                    const auto* point = geometry->toPoint();
                    finite = point->IsEmpty() ? add(NAN, NAN, NAN)
                                              : add(point->getX(), point->getY(), point->getZ());
                    break;
                }
                case wkbLineString: {
                    const auto* line = geometry->toLineString();
                    std::cout << " Geo name:" << line->getGeometryName() << std::endl;
                    std::cout << " Point Count:" << line->getNumPoints() << " Len :" << line->get_Length()
                              << std::endl;
                    for (int vertex = 0; vertex < line->getNumPoints() && finite; ++vertex) {
                        finite = add(line->getX(vertex), line->getY(vertex), line->getZ(vertex));
                    }
                    break;
                }
                default:
                    break;
            }
            if (!finite) {
                problem = badPoint;
                return false;
            }
        }
    }
    if (total > maxPoints) {
        problem = quoted(path) + " holds " + std::to_string(total) + " points, more than the " +
                  std::to_string(maxPoints) + " a flood can show; none is loaded";
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
