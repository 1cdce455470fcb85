#include "testmodels.h"

#include <osg/Geometry>
#include <osgGA/TrackballManipulator>

osg::ref_ptr<osg::Geode> makeTerrainPatch(double x0, double y0, double size, double z) {
    osg::ref_ptr<osg::Vec3Array> corners = new osg::Vec3Array;
    corners->push_back(osg::Vec3(x0, y0, z));
    corners->push_back(osg::Vec3(x0 + size, y0, z));
    corners->push_back(osg::Vec3(x0 + size, y0 + size, z));
    corners->push_back(osg::Vec3(x0, y0 + size, z));
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
    colours->push_back(osg::Vec4(0.45f, 0.45f, 0.42f, 1.0f));
    osg::ref_ptr<osg::Geometry> quad = new osg::Geometry;
    quad->setVertexArray(corners.get());
    quad->setColorArray(colours.get(), osg::Array::BIND_OVERALL);
    quad->addPrimitiveSet(new osg::DrawArrays(GL_QUADS, 0, 4));
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(quad.get());
    return geode;
}

void lookDownAt(osgViewer::View& view, const osg::Vec3d& centre, double height) {
    if (!view.getCameraManipulator()) {
        view.setCameraManipulator(new osgGA::TrackballManipulator, false);
    }
    view.getCameraManipulator()->setByInverseMatrix(
        osg::Matrixd::lookAt(centre + osg::Vec3d(0, 0, height), centre, osg::Vec3d(0, 1, 0)));
}

bool isDebrisColour(const QColor& pixel) {
    const int red = pixel.red();
    const int green = pixel.green();
    const int blue = pixel.blue();
    return red > 140 && red < 190 && red - blue > 55 && red - blue < 80 && green - blue > 30 &&
           green - blue < 55;
}
