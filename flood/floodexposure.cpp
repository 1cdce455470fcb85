#include "floodexposure.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>

#include "gdaldataset.h"
#include "summaryfiles.h"

namespace {


// The cells of `frame` a geometry covers, by map coordinates.
class CellCollector {
public:
    explicit CellCollector(const RasterFrame& frame) : frame(frame) {}

    void add(const OGRGeometry& geometry) {
        switch (wkbFlatten(geometry.getGeometryType())) {
            case wkbPoint:
                addPoint(geometry.toPoint()->getX(), geometry.toPoint()->getY());
                break;
            case wkbLineString:
            case wkbLinearRing:
                addLine(*geometry.toSimpleCurve());
                break;
            case wkbPolygon:
                addPolygon(*geometry.toPolygon());
                break;
            case wkbMultiPoint:
            case wkbMultiLineString:
            case wkbMultiPolygon:
            case wkbGeometryCollection:
                for (const OGRGeometry* part : *geometry.toGeometryCollection()) {
                    add(*part);
                }
                break;
            default:
                break;
        }
    }

    std::vector<std::size_t> take() {
        std::sort(cells.begin(), cells.end());
        cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
        return std::move(cells);
    }

private:
    double cellSize() const { return frame.geoTransform[1]; }

    void addPoint(double x, double y) {
        const double column = std::floor((x - frame.geoTransform[0]) / frame.geoTransform[1]);
        const double row = std::floor((y - frame.geoTransform[3]) / frame.geoTransform[5]);
        if (column >= 0 && row >= 0 && column < frame.width && row < frame.height) {
            cells.push_back(static_cast<std::size_t>(row) * frame.width + static_cast<std::size_t>(column));
        }
    }

    // Samples half a cell apart catch every cell the line passes through but for corners it only grazes.
    void addLine(const OGRSimpleCurve& line) {
        for (int i = 0; i < line.getNumPoints(); ++i) {
            addPoint(line.getX(i), line.getY(i));
            if (i + 1 == line.getNumPoints()) {
                break;
            }
            const double dx = line.getX(i + 1) - line.getX(i);
            const double dy = line.getY(i + 1) - line.getY(i);
            const double steps = std::ceil(std::hypot(dx, dy) / (0.5 * cellSize()));
            // A segment longer than the grid many times over is cut off rather than walked.
            const double limit = 4.0 * (frame.width + frame.height);
            for (double step = 1; step < std::min(steps, limit); ++step) {
                addPoint(line.getX(i) + dx * step / steps, line.getY(i) + dy * step / steps);
            }
        }
    }

    // The cells whose centres lie inside, and those its outline crosses: a house smaller than a cell
    // still covers the cell it stands in.
    void addPolygon(const OGRPolygon& polygon) {
        for (const OGRLinearRing* ring : polygon) {
            addLine(*ring);
        }
        OGREnvelope envelope;
        polygon.getEnvelope(&envelope);
        const auto clampTo = [](double value, int high) {
            return static_cast<int>(std::clamp(value, 0.0, static_cast<double>(high)));
        };
        const int firstColumn = clampTo(std::floor((envelope.MinX - frame.geoTransform[0]) / cellSize()),
                                        frame.width);
        const int lastColumn = clampTo(std::ceil((envelope.MaxX - frame.geoTransform[0]) / cellSize()),
                                       frame.width);
        const int firstRow =
            clampTo(std::floor((envelope.MaxY - frame.geoTransform[3]) / frame.geoTransform[5]), frame.height);
        const int lastRow =
            clampTo(std::ceil((envelope.MinY - frame.geoTransform[3]) / frame.geoTransform[5]), frame.height);
        OGRPoint centre;
        for (int row = firstRow; row < lastRow; ++row) {
            for (int column = firstColumn; column < lastColumn; ++column) {
                centre.setX(frame.geoTransform[0] + (column + 0.5) * cellSize());
                centre.setY(frame.geoTransform[3] + (row + 0.5) * frame.geoTransform[5]);
                if (polygon.Contains(&centre)) {
                    cells.push_back(static_cast<std::size_t>(row) * frame.width + column);
                }
            }
        }
    }

    const RasterFrame& frame;
    std::vector<std::size_t> cells;
};

int nameField(const OGRFeatureDefn& definition) {
    for (int i = 0; i < definition.GetFieldCount(); ++i) {
        std::string name = definition.GetFieldDefn(i)->GetNameRef();
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (name.find("name") != std::string::npos) {
            return i;
        }
    }
    return -1;
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace

bool loadPlaces(const std::string& path, const RasterFrame& frame, std::vector<Place>& places,
                std::string& problem) {
    GDALAllRegister();
    QuietGdal quiet;
    GdalDatasetHandle dataset(
        GDALDataset::FromHandle(GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr)));
    if (!dataset) {
        problem = quoted(path) + " does not open as vector data" + gdalReason();
        return false;
    }
    OGRSpatialReference gridReference;
    const bool gridReferenced =
        !frame.projection.empty() && gridReference.importFromWkt(frame.projection.c_str()) == OGRERR_NONE;
    gridReference.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::vector<Place> loaded;
    for (OGRLayer* layer : dataset->GetLayers()) {
        std::unique_ptr<OGRCoordinateTransformation> toGrid;
        const OGRSpatialReference* layerReference = layer->GetSpatialRef();
        if (gridReferenced && layerReference && !layerReference->IsSame(&gridReference)) {
            toGrid.reset(OGRCreateCoordinateTransformation(layerReference, &gridReference));
            if (!toGrid) {
                problem = quoted(path) + ": the places of layer " + layer->GetName() +
                          " cannot be brought into the grid's coordinate system" + gdalReason();
                return false;
            }
        }
        const int field = nameField(*layer->GetLayerDefn());
        layer->ResetReading();
        for (const auto& feature : *layer) {
            const OGRGeometry* geometry = feature->GetGeometryRef();
            if (!geometry || geometry->IsEmpty()) {
                continue;
            }
            if (loaded.size() == maxPlaces) {
                problem = quoted(path) + " holds more than " + std::to_string(maxPlaces) + " places";
                return false;
            }
            std::unique_ptr<OGRGeometry> onGrid(geometry->clone());
            if (toGrid && onGrid->transform(toGrid.get()) != OGRERR_NONE) {
                problem = quoted(path) + ": place " + std::to_string(loaded.size() + 1) +
                          " cannot be brought into the grid's coordinate system";
                return false;
            }
            const int dimension = onGrid->getDimension();
            if (dimension < 0 || dimension > 2) {
                continue;
            }
            Place place;
            place.name = field >= 0 ? feature->GetFieldAsString(field) : "";
            if (place.name.empty()) {
                place.name = "place " + std::to_string(loaded.size() + 1);
            }
            CellCollector collector(frame);
            collector.add(*onGrid);
            place.cells = collector.take();
            loaded.push_back(std::move(place));
        }
    }
    if (loaded.empty()) {
        problem = quoted(path) + " holds no point, line or polygon";
        return false;
    }
    places = std::move(loaded);
    return true;
}

std::vector<PlaceExposure> exposePlaces(const std::vector<Place>& places, const std::vector<float>& arrival,
                                        const std::vector<float>& maxDepth, const std::vector<float>& maxSpeed,
                                        const std::vector<std::uint8_t>& hazard) {
    std::vector<PlaceExposure> exposure;
    for (const Place& place : places) {
        PlaceExposure row;
        row.name = place.name;
        row.onGrid = !place.cells.empty();
        for (const std::size_t cell : place.cells) {
            if (cell >= arrival.size() || cell >= maxDepth.size() || cell >= maxSpeed.size() ||
                cell >= hazard.size()) {
                continue;
            }
            if (arrival[cell] != summaryNoData) {
                row.arrivalSeconds = row.reached ? std::min(row.arrivalSeconds, arrival[cell]) : arrival[cell];
                row.reached = true;
            }
            if (maxDepth[cell] != summaryNoData) {
                row.maxDepth = std::max(row.maxDepth, maxDepth[cell]);
                row.maxSpeed = std::max(row.maxSpeed, maxSpeed[cell]);
            }
            row.hazardClass = std::max<int>(row.hazardClass, hazard[cell]);
        }
        exposure.push_back(row);
    }
    return exposure;
}

std::string exposureCsv(const std::vector<PlaceExposure>& exposure) {
    std::string csv = "name,status,first_arrival_s,max_depth_m,max_speed_m_s,hazard_class\n";
    char line[160];
    for (const PlaceExposure& place : exposure) {
        csv += csvField(place.name);
        if (!place.onGrid) {
            csv += ",off the grid,,,,\n";
        } else if (!place.reached) {
            csv += ",not reached,,,,\n";
        } else {
            std::snprintf(line, sizeof line, ",reached,%.1f,%.3f,%.3f,H%d\n", place.arrivalSeconds,
                          place.maxDepth, place.maxSpeed, place.hazardClass);
            csv += line;
        }
    }
    return csv;
}
