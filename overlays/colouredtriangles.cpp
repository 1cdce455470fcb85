#include "colouredtriangles.h"

void ColouredTriangles::start() {
    vertices = new osg::Vec3Array;
    colours = new osg::Vec4Array;
}

osg::ref_ptr<osg::Geometry> ColouredTriangles::take() {
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices.get());
    geometry->setColorArray(colours.get(), osg::Array::BIND_PER_VERTEX);
    geometry->addPrimitiveSet(new osg::DrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices->size())));
    start();
    return geometry;
}
