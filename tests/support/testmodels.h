#pragma once

#include <QColor>
#include <osg/Geode>
#include <osg/ref_ptr>
#include <osgViewer/View>
#include <string>

// A flat square terrain patch of side `size` at height z, lower-left corner (x0, y0), coloured grey.
osg::ref_ptr<osg::Geode> makeTerrainPatch(double x0, double y0, double size, double z);

// Puts the view straight above `centre`, `height` up, north at the top of the screen.
void lookDownAt(osgViewer::View& view, const osg::Vec3d& centre, double height);

// A pixel in one of the first colour classes of the debris surface (light browns), which the terrain
// models of the tests and demo cases (greens, greys, whites) never show.
bool isDebrisColour(const QColor& pixel);

// Folder holding the installed program and its fonts.
inline std::string runtimeDir() {
    return VANTOREL_RUNTIME_DIR;
}
