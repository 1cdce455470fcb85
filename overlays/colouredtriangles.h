#pragma once

#include <osg/Array>
#include <osg/Geometry>
#include <osg/ref_ptr>

// Collects triangles with a colour at every vertex into one geometry, as the result surfaces draw each
// strip of their grid.
class ColouredTriangles {
public:
    ColouredTriangles() { start(); }

    void add(const osg::Vec3& vertex, const osg::Vec4& colour) {
        vertices->push_back(vertex);
        colours->push_back(colour);
    }

    // The triangles added so far, drawn as one array (also when there are none); what is added next goes
    // into a new geometry.
    osg::ref_ptr<osg::Geometry> take();

private:
    void start();

    osg::ref_ptr<osg::Vec3Array> vertices;
    osg::ref_ptr<osg::Vec4Array> colours;
};
