#pragma once

#include <QColor>
#include <osg/Geode>
#include <osg/ref_ptr>
#include <osgViewer/View>
#include <string>
#include <vector>

// A flat square terrain patch of side `size` at height z, lower-left corner (x0, y0), coloured grey.
osg::ref_ptr<osg::Geode> makeTerrainPatch(double x0, double y0, double size, double z);

// Vertices of all geometries under a node (an empty geometry read back from a file has no vertex array).
unsigned vertexCount(osg::Node& node);

// The triangles of a result mesh: the vertices and colours of all its geometries in drawing order. Adds a
// test failure for a geometry that is not one GL_TRIANGLES draw-arrays set over all its vertices with
// colours bound per vertex.
struct TriangleMesh {
    std::vector<osg::Vec3> vertices;
    std::vector<osg::Vec4> colours;
    unsigned geometries = 0;
};
TriangleMesh collectTriangles(const osg::Geode& geode);

// Puts the view straight above `centre`, `height` up, north at the top of the screen.
void lookDownAt(osgViewer::View& view, const osg::Vec3d& centre, double height);

// A pixel in one of the first colour classes of the debris surface (light browns), which the terrain
// models of the tests and demo cases (greens, greys, whites) never show.
bool isDebrisColour(const QColor& pixel);

// Folder holding the installed program and its fonts.
inline std::string runtimeDir() {
    return VANTOREL_RUNTIME_DIR;
}
