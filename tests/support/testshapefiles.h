#pragma once

#include <ogr_core.h>
#include <osg/Vec3d>
#include <string>
#include <vector>

// One feature of a generated vector file: a point (one vertex), a line, the outline of a polygon, or a
// multi-line of one part.
struct TestFeature {
    OGRwkbGeometryType kind;
    std::vector<osg::Vec3d> vertices;
    std::string name;  // UTF-8; the "NAME" field
};

// Writes the features with OGR into a new file (its folder is created): an ESRI shapefile for ".shp" (UTF-8
// attributes), a GeoJSON file for ".geojson" (which may mix kinds). With `nameField` false the file has no
// "NAME" field. Adds a test failure when the file cannot be written.
void writeVectorFile(const std::string& path, OGRwkbGeometryType layerType,
                     const std::vector<TestFeature>& features, bool nameField = true);

// Writes one layer of `layerType` holding the given geometries (well-known text), without attributes,
// into a new ESRI shapefile.
void writeWktShapefile(const std::string& path, OGRwkbGeometryType layerType,
                       const std::vector<const char*>& wkts);
