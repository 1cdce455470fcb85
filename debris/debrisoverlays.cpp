#include "debrisoverlays.h"

#include "legendbar.h"
#include "screenoverlay.h"

osg::ref_ptr<osg::Camera> makeDebrisDepthCaption() {
    osg::ref_ptr<osg::Geode> geode = makeOverlayGeode();
    osg::ref_ptr<osgText::Text> caption = makeOverlayText("泥深", legendCaptionAnchor(), 16, osg::Vec4(1, 1, 1, 1));
    caption->setAlignment(osgText::Text::RIGHT_BOTTOM);
    // Readable over snow and shadow alike, as the legend's labels beside it.
    caption->setBackdropType(osgText::Text::OUTLINE);
    caption->setBackdropColor(osg::Vec4(0, 0, 0, 1));
    geode->addDrawable(caption.get());
    return makeScreenOverlayCamera(geode.get(), ViewCorner::LowerRight, legendNeedsWidthPixels);
}
