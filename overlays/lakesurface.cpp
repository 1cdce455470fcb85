#include "lakesurface.h"

#include <ogrsf_frmts.h>
#include <osg/ComputeBoundsVisitor>
#include <osg/Geometry>
#include <osgDB/FileNameUtils>

#include "modelfile.h"
#include "shapefile.h"

LakeSurface::LakeSurface(float width, float depth, float heightOffset)
    : position(0, 0, 0),
      width(width),
      depth(depth),
      heightOffset(heightOffset),
      riseOffset(0, 0, 0),
      savedPosition(0, 0, 0) {}

namespace {

// The box of every feature's geometry in the shapefile, through OGR: the scene reader's shapefile plug-in
// parses in the window with nothing guarding it, where OGR's reader is the one the monitor points take.
bool readShapefileBounds(const std::string& path, osg::BoundingBox& box) {
    std::string problem;
    const GDALDatasetUniquePtr dataset = openShapefile(path, problem);
    if (!dataset) {
        return false;
    }
    osg::BoundingBox read;
    for (OGRLayer* layer : dataset->GetLayers()) {
        layer->ResetReading();
        for (OGRFeatureUniquePtr feature(layer->GetNextFeature()); feature;
             feature.reset(layer->GetNextFeature())) {
            const OGRGeometry* geometry = feature->GetGeometryRef();
            if (geometry == nullptr || geometry->IsEmpty()) {
                continue;
            }
            OGREnvelope3D envelope;
            geometry->getEnvelope(&envelope);
            read.expandBy(osg::Vec3(envelope.MinX, envelope.MinY, envelope.MinZ));
            read.expandBy(osg::Vec3(envelope.MaxX, envelope.MaxY, envelope.MaxZ));
        }
    }
    box = read;
    return true;
}

}  // namespace

bool readModelBounds(const std::string& path, osg::BoundingBox& box) {
    if (osgDB::getLowerCaseFileExtension(path) == "shp") {
        return readShapefileBounds(path, box) && box.valid();
    }
    std::string problem;
    const osg::ref_ptr<osg::Node> model = readModelFile(path, problem);
    if (!model) {
        return false;
    }
    osg::ComputeBoundsVisitor bounds(osg::NodeVisitor::TRAVERSE_ALL_CHILDREN);
    model->accept(bounds);
    box = bounds.getBoundingBox();
    // An empty model has an inverted box (FLT_MAX corners); placing on it would throw the quad away.
    return box.valid();
}

bool LakeSurface::placeOn(const std::string& path) {
    osg::BoundingBox box;
    if (!readModelBounds(path, box)) {
        return false;
    }
    position = osg::Vec3(box.xMin(), box.yMin(), box.zMax() + heightOffset);
    savedPosition = position;
    return true;
}

osg::ref_ptr<osg::Geode> LakeSurface::makeNode() const {
    osg::ref_ptr<osg::Vec3Array> corners = new osg::Vec3Array;
    corners->push_back(position);
    corners->push_back(position + osg::Vec3(width, 0, 0));
    corners->push_back(position + osg::Vec3(width, depth, 0));
    corners->push_back(position + osg::Vec3(0, depth, 0));

    // Water tones, darker and more opaque at the near edge.
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
    colours->push_back(osg::Vec4(99 / 255.0f, 119 / 255.0f, 115 / 255.0f, 0.98f));
    colours->push_back(osg::Vec4(122 / 255.0f, 138 / 255.0f, 128 / 255.0f, 0.98f));
    colours->push_back(osg::Vec4(157 / 255.0f, 161 / 255.0f, 159 / 255.0f, 0.85f));
    colours->push_back(osg::Vec4(158 / 255.0f, 151 / 255.0f, 154 / 255.0f, 0.9f));

    osg::ref_ptr<osg::Geometry> quad = new osg::Geometry;
    quad->setVertexArray(corners.get());
    quad->setColorArray(colours.get(), osg::Array::BIND_PER_VERTEX);
    quad->addPrimitiveSet(new osg::DrawArrays(GL_QUADS, 0, 4));

    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(quad.get());
    // Unlit and drawn after the opaque scene, so the terrain shows through.
    osg::StateSet* state = geode->getOrCreateStateSet();
    state->setMode(GL_BLEND, osg::StateAttribute::ON);
    state->setRenderingHint(osg::StateSet::TRANSPARENT_BIN);
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    return geode;
}

void LakeSurface::rise() {
    position = savedPosition + riseOffset;
}

void LakeSurface::reset() {
    position = savedPosition;
}
