#include "symbolbuilder.h"

#include <osgText/Font>
#include <osgText/Text>

#include "depthsetter.h"
#include "landslidesymbols.h"

osg::ref_ptr<osg::Geode> SymbolBuilder::makeScreenLabel(const std::string& text, const osg::Vec3& position,
                                                        float size, const osg::Vec4& textColour,
                                                        const osg::Vec4& boxColour) {
    osg::ref_ptr<osgText::Text> label = new osgText::Text;
    // The box is laid out with the glyphs, so the draw mode must be set before the text.
    label->setDrawMode(osgText::Text::TEXT | osgText::Text::FILLEDBOUNDINGBOX);
    label->setBoundingBoxColor(boxColour);
    label->setText(LandslideSymbols::toWideText(text).c_str());
    label->setFont(osgText::readRefFontFile("fonts/msyh.ttc"));
    label->setColor(textColour);
    label->setPosition(position);
    label->setCharacterSize(size);
    label->setAutoRotateToScreen(true);
    label->setCharacterSizeMode(osgText::Text::SCREEN_COORDS);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(label);
    DepthSetter().setAlwaysOnTop(geode);
    return geode;
}
