#include "testshapefiles.h"

#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>
#include <filesystem>

namespace {

std::unique_ptr<OGRGeometry> makeGeometry(const TestFeature& feature) {
    const bool hasZ = OGR_GT_HasZ(feature.kind);
    auto addTo = [&](OGRSimpleCurve& curve) {
        for (const osg::Vec3d& v : feature.vertices) {
            hasZ ? curve.addPoint(v.x(), v.y(), v.z()) : curve.addPoint(v.x(), v.y());
        }
    };
    switch (OGR_GT_Flatten(feature.kind)) {
        case wkbPoint: {
            const osg::Vec3d& v = feature.vertices.at(0);
            return hasZ ? std::make_unique<OGRPoint>(v.x(), v.y(), v.z())
                        : std::make_unique<OGRPoint>(v.x(), v.y());
        }
        case wkbLineString: {
            auto line = std::make_unique<OGRLineString>();
            addTo(*line);
            return line;
        }
        case wkbPolygon: {
            auto ring = std::make_unique<OGRLinearRing>();
            addTo(*ring);
            ring->closeRings();
            auto polygon = std::make_unique<OGRPolygon>();
            polygon->addRingDirectly(ring.release());
            return polygon;
        }
        case wkbMultiLineString: {
            auto line = std::make_unique<OGRLineString>();
            addTo(*line);
            auto lines = std::make_unique<OGRMultiLineString>();
            lines->addGeometryDirectly(line.release());
            return lines;
        }
        default:
            ADD_FAILURE() << "unsupported test geometry " << feature.kind;
            return nullptr;
    }
}

}  // namespace

void writeVectorFile(const std::string& path, OGRwkbGeometryType layerType,
                     const std::vector<TestFeature>& features, bool nameField) {
    GDALAllRegister();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const bool geoJson = path.size() > 8 && path.substr(path.size() - 8) == ".geojson";
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(geoJson ? "GeoJSON" : "ESRI Shapefile");
    ASSERT_NE(driver, nullptr);
    GDALDatasetUniquePtr dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    ASSERT_NE(dataset, nullptr) << path;
    char** options = geoJson ? nullptr : CSLSetNameValue(nullptr, "ENCODING", "UTF-8");
    OGRLayer* layer = dataset->CreateLayer("features", nullptr, layerType, options);
    CSLDestroy(options);
    ASSERT_NE(layer, nullptr) << path;
    if (nameField) {
        OGRFieldDefn name("NAME", OFTString);
        ASSERT_EQ(layer->CreateField(&name), OGRERR_NONE);
    }
    for (const TestFeature& testFeature : features) {
        OGRFeatureUniquePtr feature(OGRFeature::CreateFeature(layer->GetLayerDefn()));
        if (nameField) {
            feature->SetField("NAME", testFeature.name.c_str());
        }
        std::unique_ptr<OGRGeometry> geometry = makeGeometry(testFeature);
        ASSERT_NE(geometry, nullptr);
        feature->SetGeometryDirectly(geometry.release());
        ASSERT_EQ(layer->CreateFeature(feature.get()), OGRERR_NONE) << path;
    }
}

void writeWktShapefile(const std::string& path, OGRwkbGeometryType layerType,
                       const std::vector<const char*>& wkts) {
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    ASSERT_NE(driver, nullptr);
    GDALDatasetUniquePtr dataset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    ASSERT_NE(dataset, nullptr) << path;
    OGRLayer* layer = dataset->CreateLayer("features", nullptr, layerType, nullptr);
    ASSERT_NE(layer, nullptr) << path;
    for (const char* wkt : wkts) {
        OGRFeatureUniquePtr feature(OGRFeature::CreateFeature(layer->GetLayerDefn()));
        OGRGeometry* geometry = nullptr;
        ASSERT_EQ(OGRGeometryFactory::createFromWkt(wkt, nullptr, &geometry), OGRERR_NONE) << wkt;
        feature->SetGeometryDirectly(geometry);
        ASSERT_EQ(layer->CreateFeature(feature.get()), OGRERR_NONE) << path;
    }
}
