#pragma once

#include <osg/Geode>
#include <osg/ref_ptr>
#include <osgViewer/View>
#include <string>

// A flat square terrain patch of side `size` at height z, lower-left corner (x0, y0), coloured grey.
osg::ref_ptr<osg::Geode> makeTerrainPatch(double x0, double y0, double size, double z);

// Puts the view straight above `centre`, `height` up, north at the top of the screen.
void lookDownAt(osgViewer::View& view, const osg::Vec3d& centre, double height);

// Folder holding the installed program and its fonts.
inline std::string runtimeDir() {
    return VANTOREL_RUNTIME_DIR;
}
