#include "screenoverlay.h"

#include <osgText/Font>

osg::ref_ptr<osg::Camera> makeScreenOverlayCamera(osg::Node* content) {
    osg::ref_ptr<osg::Camera> camera = new osg::Camera;
    camera->setProjectionMatrix(osg::Matrixd::ortho2D(0, overlayWidth, 0, overlayHeight));
    camera->setReferenceFrame(osg::Transform::ABSOLUTE_RF);
    camera->setViewMatrix(osg::Matrixd::identity());
    camera->setClearMask(GL_DEPTH_BUFFER_BIT);
    camera->setAllowEventFocus(false);
    camera->setRenderOrder(osg::Camera::POST_RENDER, 0);
    camera->addChild(content);
    return camera;
}

osg::ref_ptr<osg::Geode> makeOverlayGeode() {
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    osg::StateSet* state = geode->getOrCreateStateSet();
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::OFF);
    state->setMode(GL_BLEND, osg::StateAttribute::ON);
    return geode;
}

osg::ref_ptr<osgText::Text> makeOverlayText(const std::string& utf8, const osg::Vec3& position, float size,
                                            const osg::Vec4& colour) {
    osg::ref_ptr<osgText::Text> text = new osgText::Text;
    text->setFont(osgText::readRefFontFile("fonts/simhei.ttf"));
    text->setPosition(position);
    text->setColor(colour);
    text->setCharacterSize(size);
    text->setText(utf8, osgText::String::ENCODING_UTF8);
    return text;
}
