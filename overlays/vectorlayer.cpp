// The vector-layer builder: shapefile features into scene-graph layers.
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <QString>
#include <cmath>
#include <iostream>
#include <osg/Depth>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/LineStipple>
#include <osg/LineWidth>
#include <osgText/Font>
#include <osgText/Text>
#include <osgUtil/Tessellator>

#include "depthsetter.h"
#include "fileio.h"
#include "shapefile.h"
#include "vectorlayer.h"

namespace {

ShpFeature outlineOf(const OGRSimpleCurve& curve, const osg::Vec4& color, const std::string& name) {
    ShpFeature outline{{}, color, name};
    for (int i = 0; i < curve.getNumPoints(); ++i) {
        outline.vertices.push_back({curve.getX(i), curve.getY(i), curve.getZ(i), std::string()});
    }
    return outline;
}

}  // namespace

void VectorLayerBuilder::clearFeatures() {
    points.clear();
    lines.clear();
    polygons.clear();
    geometryType = 0;
}

GDALDatasetUniquePtr openShapefile(const std::string& path, std::string& problem) {
    GDALAllRegister();
    // Paths and attribute texts are local 8-bit and pass through unchanged.
    CPLSetConfigOption("GDAL_FILENAME_IS_UTF8", "NO");
    CPLSetConfigOption("SHAPE_ENCODING", "");

    // A pipe named like the file or one of its companions would hold OGR in open() for good.
    if (!checkDataFile(path, problem)) {
        return nullptr;
    }
    GDALDatasetUniquePtr dataset(
        GDALDataset::FromHandle(GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr)));
    if (!dataset) {
        problem = "\"" + path + "\" holds no features that can be read";
    }
    return dataset;
}

void VectorLayerBuilder::readShapefile(const char* path) {
    std::string problem;
    GDALDatasetUniquePtr dataset = openShapefile(path ? path : "", problem);
    if (!dataset) {
        std::cerr << problem << std::endl;
        std::cout << "Open failed" << std::endl;
        valid = false;
        return;
    }

    const osg::Vec4 color(vectorColor.redF(), vectorColor.greenF(), vectorColor.blueF(), featureAlpha);
    for (int layerIndex = 0; layerIndex < dataset->GetLayerCount(); ++layerIndex) {
        OGRLayer* layer = dataset->GetLayer(layerIndex);
        const GIntBig featureCount = layer->GetFeatureCount(TRUE);
        if (layer->GetName() && *layer->GetName()) {
            std::cout << layer->GetName() << " 's FeatureCount :" << featureCount << std::endl;
        }
        layer->ResetReading();
        const int nameField = layer->GetLayerDefn()->GetFieldIndex("NAME");
        for (OGRFeatureUniquePtr feature(layer->GetNextFeature()); feature;
             feature.reset(layer->GetNextFeature())) {
            const std::string name = nameField >= 0 ? feature->GetFieldAsString(nameField) : "";
            const OGRGeometry* geometry = feature->GetGeometryRef();
            if (!geometry || geometry->IsEmpty()) {
                continue;
            }
            switch (OGR_GT_Flatten(geometry->getGeometryType())) {
                case wkbPoint: {
                    const OGRPoint* point = geometry->toPoint();
                    points.push_back({point->getX(), point->getY(), point->getZ(), name});
                    geometryType = 1;
                    break;
                }
                case wkbLineString:
                    lines.push_back(outlineOf(*geometry->toLineString(), color, name));
                    geometryType = 2;
                    break;
                case wkbPolygon:
                    // Holes are not drawn: the outer ring only.
                    polygons.push_back(outlineOf(*geometry->toPolygon()->getExteriorRing(), color, name));
                    geometryType = 3;
                    break;
                default:
                    break;
            }
        }
    }
}

namespace {

// How the name labels of one layer look.
struct LabelStyle {
    osg::ref_ptr<osgText::Font> font;
    osg::Vec4 color;
    int size;  // screen pixels
};

// A name label in screen pixels, turned to the viewer, with a filled box behind the text.
osg::ref_ptr<osgText::Text> makeLabel(const LabelStyle& style, const std::string& localName,
                                      const osg::Vec3& position, const osg::Vec4& boxColor) {
    osg::ref_ptr<osgText::Text> label = new osgText::Text;
    label->setFont(style.font);
    label->setText(QString::fromLocal8Bit(localName.c_str()).toUtf8().toStdString(),
                   osgText::String::ENCODING_UTF8);
    label->setColor(style.color);
    label->setCharacterSizeMode(osgText::Text::SCREEN_COORDS);
    label->setAutoRotateToScreen(true);
    label->setCharacterSize(style.size);
    label->setPosition(position);
    label->setDataVariance(osg::Object::DYNAMIC);
    label->setDrawMode(osgText::Text::TEXT | osgText::Text::FILLEDBOUNDINGBOX);
    label->setBoundingBoxColor(boxColor);
    return label;
}

// Labels a named line or polygon above the centre of its shape.
void labelShape(osg::Geode& labels, const LabelStyle& style, const ShpFeature& feature,
                const osg::Geometry& shape, const osg::Vec4& boxColor) {
    if (!feature.name.empty()) {
        labels.addDrawable(
            makeLabel(style, feature.name, shape.getBound().center() + osg::Vec3(0, 0, 5), boxColor));
    }
}

// Lines and polygons are drawn over the terrain whatever its depth, in a render bin of their own.
void drawOverTerrain(osg::Geode& geode, int bin) {
    osg::StateSet* state = geode.getOrCreateStateSet();
    osg::ref_ptr<osg::Depth> depth = new osg::Depth;
    depth->setFunction(osg::Depth::ALWAYS);
    state->setAttributeAndModes(depth, osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
    state->setRenderBinDetails(bin, "RenderBin", osg::StateSet::USE_RENDERBIN_DETAILS);
}

// The feature's vertices drawn as one primitive of `mode`, in the feature's colour.
osg::ref_ptr<osg::Geometry> makeShape(const ShpFeature& feature, GLenum mode) {
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    for (const ShpPoint& vertex : feature.vertices) {
        vertices->push_back(osg::Vec3(vertex.x, vertex.y, vertex.z));
    }
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices);
    geometry->addPrimitiveSet(new osg::DrawArrays(mode, 0, vertices->size()));
    if (mode == GL_POLYGON) {
        // Outlines may be concave: cut them into triangles.
        osg::ref_ptr<osgUtil::Tessellator> tessellator = new osgUtil::Tessellator;
        tessellator->setTessellationType(osgUtil::Tessellator::TESS_TYPE_GEOMETRY);
        tessellator->setWindingType(osgUtil::Tessellator::TESS_WINDING_ODD);
        tessellator->retessellatePolygons(*geometry);
    }
    osg::ref_ptr<osg::Vec4Array> colors = new osg::Vec4Array;
    colors->push_back(feature.color);
    geometry->setColorArray(colors, osg::Array::BIND_OVERALL);
    return geometry;
}

}  // namespace

osg::ref_ptr<osg::Group> VectorLayerBuilder::buildLayer() {
    osg::ref_ptr<osg::Group> group = new osg::Group;
    if (!valid) {
        valid = true;
        return group;
    }

    const LabelStyle style{
        osgText::readRefFontFile("fonts/simhei.ttf"),
        osg::Vec4(textColor.redF(), textColor.greenF(), textColor.blueF(), textColor.alphaF()), textSize};
    DepthSetter depthSetter;
    osg::ref_ptr<osg::Geode> labelGeode = new osg::Geode;
    depthSetter.setAlwaysOnTop(labelGeode);
    const bool anyFeature = !points.empty() || !lines.empty() || !polygons.empty();
    if (anyFeature && geometryType == 1) {
        for (const ShpPoint& point : points) {
            labelGeode->addDrawable(makeLabel(style, point.name, osg::Vec3(point.x, point.y, point.z + 5),
                                              osg::Vec4(1.0f, 1.0f, 0.6f, 1.0f)));
        }
        group->addChild(labelGeode);
    } else if (anyFeature && geometryType == 2) {
        osg::ref_ptr<osg::Geode> lineGeode = new osg::Geode;
        for (const ShpFeature& line : lines) {
            osg::ref_ptr<osg::Geometry> shape = makeShape(line, GL_LINE_STRIP);
            osg::StateSet* state = shape->getOrCreateStateSet();
            state->setAttribute(new osg::LineWidth(lineWidth));
            if (lineStyle == 1) {
                state->setAttributeAndModes(new osg::LineStipple(3, 0x3F07),
                                            osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
            }
            lineGeode->addDrawable(shape);
            labelShape(*labelGeode, style, line, *shape, osg::Vec4(1, 1, 1, 1));
        }
        drawOverTerrain(*lineGeode, static_cast<int>(std::trunc(renderBin)));
        group->addChild(labelGeode);
        group->addChild(lineGeode);
    } else if (anyFeature && geometryType == 3) {
        osg::ref_ptr<osg::Geode> polygonGeode = new osg::Geode;
        for (const ShpFeature& polygon : polygons) {
            osg::ref_ptr<osg::Geometry> shape = makeShape(polygon, GL_POLYGON);
            osg::StateSet* state = shape->getOrCreateStateSet();
            if (featureAlpha != 1.0f) {
                state->setMode(GL_BLEND, osg::StateAttribute::ON);
            }
            state->setAttribute(new osg::LineWidth(3.0f));
            polygonGeode->addDrawable(shape);
            labelShape(*labelGeode, style, polygon, *shape, osg::Vec4(0.0f, 1.0f, 0.9f, 1.0f));
        }
        drawOverTerrain(*polygonGeode, 30);
        group->addChild(polygonGeode);
        group->addChild(labelGeode);
    }

    featureAlpha = 1.0f;
    renderBin = 3.0f;
    return group;
}
