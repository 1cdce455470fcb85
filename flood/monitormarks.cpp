#include "monitormarks.h"

#include <QString>
#include <osg/Depth>
#include <osg/Geode>
#include <osg/Group>
#include <osg/ShapeDrawable>
#include <osgText/Text>

#include "labellayout.h"

namespace {

QString labelText(const PointM& point) {
    return "arrive time " + QString::number(point.arrival, 'f', 0) + "s\n" + "velocity " +
           QString::number(point.velocity, 'f', 3) + " m/s\n" + "flow rate " +
           QString::number(point.flow, 'f', 3) + " m^3/s\n" + "depth " +
           QString::number(point.depth, 'f', 3) + " m";
}

osg::ref_ptr<osg::Geode> makeSphere(const PointM& point) {
    osg::ref_ptr<osg::ShapeDrawable> sphere =
        new osg::ShapeDrawable(new osg::Sphere(osg::Vec3(point.x, point.y, point.z), 10.0f));
    sphere->setColor(osg::Vec4(0, 0, 1, 1));
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(sphere.get());
    // Always in front of the terrain, so a point in a valley stays visible from any angle.
    osg::StateSet* state = geode->getOrCreateStateSet();
    osg::ref_ptr<osg::Depth> depthTest = new osg::Depth;
    depthTest->setFunction(osg::Depth::ALWAYS);
    state->setAttributeAndModes(depthTest.get(), osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
    state->setRenderBinDetails(10, "RenderBin", osg::StateSet::USE_RENDERBIN_DETAILS);
    return geode;
}

osg::ref_ptr<osg::Geode> makeLabel(const PointM& point, osgText::Font* font) {
    osg::ref_ptr<osgText::Text> text = new osgText::Text;
    text->setFont(font);
    text->setPosition(osg::Vec3(point.x, point.y, point.z));
    text->setColor(osg::Vec4(1, 1, 1, 1));
    // Legible, and small enough that the labels of a few points fit side by side in an 800 x 600 window.
    text->setCharacterSize(16);
    text->setCharacterSizeMode(osgText::Text::SCREEN_COORDS);
    text->setAxisAlignment(osgText::Text::SCREEN);
    text->setAlignment(osgText::Text::LEFT_TOP);
    text->setBackdropType(osgText::Text::OUTLINE);
    text->setBackdropColor(osg::Vec4(0.3f, 0, 1, 1));
    text->setDrawMode(osgText::Text::TEXT | osgText::Text::BOUNDINGBOX);
    text->setBoundingBoxColor(osg::Vec4(1, 1, 1, 1));
    text->setBoundingBoxMargin(3);
    text->setColorGradientMode(osgText::Text::SOLID);
    text->setText(labelText(point).toUtf8().toStdString(), osgText::String::ENCODING_UTF8);

    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(text.get());
    osg::StateSet* state = geode->getOrCreateStateSet();
    osg::ref_ptr<osg::Depth> depthTest = new osg::Depth(osg::Depth::ALWAYS, 1.0, 100.0);
    state->setAttributeAndModes(depthTest.get(), osg::StateAttribute::ON);
    // After the water surface (bin 10), which would otherwise cover the values of a flooded point.
    state->setRenderBinDetails(11, "RenderBin", osg::StateSet::USE_RENDERBIN_DETAILS);
    return geode;
}

}  // namespace

osg::ref_ptr<osg::Node> makeMonitorNode(const MonitorPoints& monitors) {
    osg::ref_ptr<osg::Group> group = new osg::Group;
    osg::ref_ptr<osgText::Font> font;
    for (const PointM& point : monitors.list()) {
        group->addChild(makeSphere(point).get());
        if (point.velocity != 0 && point.flow != 0 && point.depth != 0) {
            if (!font) {
                font = osgText::readRefFontFile("fonts/simhei.ttf");
            }
            group->addChild(makeLaidOutLabel(makeLabel(point, font.get()).get(), LabelPriority::MonitorValues));
        }
    }
    return group;
}
