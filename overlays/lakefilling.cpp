#include "lakefilling.h"

#include <osgText/Font>
#include <osgText/Text>

#include "lakesurface.h"

std::optional<LakeFillingStart> measureBarrierLake(const std::string& path) {
    LakeFillingStart start;
    if (!readModelBounds(path, start.box)) {
        return std::nullopt;
    }
    const osg::Vec3 centre = start.box.center();
    start.origin = osg::Vec3(start.box.xMin() - 400.0f, start.box.yMin() - 100.0f, start.box.zMax() - 20.0f);
    start.labelAnchor = osg::Vec3(centre.x(), centre.y() - 300.0f, centre.z() + 400.0f);
    return start;
}

osg::ref_ptr<osg::Geode> makeFillingPlane(const osg::Vec3& origin, const osg::Vec3& spanX,
                                          const osg::Vec3& spanY) {
    // The same water quad as the lake surface, drawn in a bin of its own before the terrain.
    LakeSurface plane(spanX.x(), spanY.y(), 0.0f);
    plane.position = origin;
    osg::ref_ptr<osg::Geode> geode = plane.makeNode();
    geode->getDrawable(0)->setDataVariance(osg::Object::DYNAMIC);
    geode->getOrCreateStateSet()->setRenderBinDetails(-3, "RenderBin", osg::StateSet::USE_RENDERBIN_DETAILS);
    return geode;
}

osg::ref_ptr<osg::Geode> makeLakeLabel(const std::wstring& name, const osg::Vec3& position) {
    osg::ref_ptr<osgText::Text> text = new osgText::Text;
    text->setFont(osgText::readRefFontFile("fonts/msyh.ttc"));
    text->setText(name.c_str());
    text->setCharacterSize(100.0f);
    text->setAutoRotateToScreen(true);
    text->setBackdropType(osgText::Text::OUTLINE);
    text->setBackdropColor(osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    text->setColor(osg::Vec4(0.0f, 0.0f, 1.0f, 1.0f));
    text->setPosition(position);
    text->getOrCreateStateSet()->setMode(GL_LIGHTING,
                                         osg::StateAttribute::OFF | osg::StateAttribute::OVERRIDE);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(text);
    return geode;
}
