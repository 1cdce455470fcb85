#include "shapes.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <memory>

bool writeShapefile(const std::string& path, ShapeKind kind, const std::vector<NamedShape>& shapes) {
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    if (!driver) {
        return false;
    }
    std::unique_ptr<GDALDataset> dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dataset) {
        return false;
    }
    const OGRwkbGeometryType type = kind == ShapeKind::Points  ? wkbPoint25D
                                    : kind == ShapeKind::Lines ? wkbLineString25D
                                                               : wkbPolygon25D;
    // Names are stored as UTF-8 bytes, which the program reads back unchanged.
    char** options = CSLSetNameValue(nullptr, "ENCODING", "UTF-8");
    OGRLayer* layer = dataset->CreateLayer("shapes", nullptr, type, options);
    CSLDestroy(options);
    if (!layer) {
        return false;
    }
    OGRFieldDefn nameField("NAME", OFTString);
    nameField.SetWidth(64);
    if (layer->CreateField(&nameField) != OGRERR_NONE) {
        return false;
    }
    for (const NamedShape& shape : shapes) {
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetField("NAME", shape.name.c_str());
        if (kind == ShapeKind::Points) {
            const osg::Vec3d& at = shape.vertices.front();
            OGRPoint point(at.x(), at.y(), at.z());
            feature.SetGeometry(&point);
        } else if (kind == ShapeKind::Lines) {
            OGRLineString line;
            for (const osg::Vec3d& at : shape.vertices) {
                line.addPoint(at.x(), at.y(), at.z());
            }
            feature.SetGeometry(&line);
        } else {
            OGRLinearRing ring;
            for (const osg::Vec3d& at : shape.vertices) {
                ring.addPoint(at.x(), at.y(), at.z());
            }
            ring.closeRings();
            OGRPolygon polygon;
            polygon.addRing(&ring);
            feature.SetGeometry(&polygon);
        }
        if (layer->CreateFeature(&feature) != OGRERR_NONE) {
            return false;
        }
    }
    return true;
}
