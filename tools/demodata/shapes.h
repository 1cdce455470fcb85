#pragma once

#include <osg/Vec3d>
#include <string>
#include <vector>

// Shapefiles of the case-study decorations, written through OGR with a "NAME" field.
struct NamedShape {
    std::string name;
    std::vector<osg::Vec3d> vertices;  // one vertex for a point; a ring (not closed) for a polygon
};

enum class ShapeKind { Points, Lines, Polygons };

// Writes every shape of `shapes` into one layer of a new ESRI shapefile (3-D geometries). False when
// the file cannot be created.
bool writeShapefile(const std::string& path, ShapeKind kind, const std::vector<NamedShape>& shapes);
