#include "floodoverlays.h"

#include <algorithm>
#include <osg/Geometry>

#include "legendbar.h"
#include "screenoverlay.h"

osg::ref_ptr<osg::Camera> makeFloodHud(const FloodHud& hud) {
    // In pixels from the view's upper right corner.
    const float size = floodHudCharacterSize;
    const float margin = 8.0f;
    const float lineStep = size + 8.0f;
    const osg::Vec4 black(0, 0, 0, 1);
    // Top to bottom: time, residual, storage.
    osg::ref_ptr<osgText::Text> timeText =
        makeOverlayText(FloodHud::timeLine(hud.time).toStdString(), {0, 0, 0}, size, black);
    osg::ref_ptr<osgText::Text> residualText =
        makeOverlayText(FloodHud::residualLine(hud.residual).toStdString(), {0, 0, 0}, size, black);
    osg::ref_ptr<osgText::Text> storageText =
        makeOverlayText(FloodHud::storageLine(hud.capacity).toStdString(), {0, 0, 0}, size, black);
    // The box grows to the left to hold the longest line, however the font measures it.
    float widest = 0.0f;
    for (const osgText::Text* text : {timeText.get(), residualText.get(), storageText.get()}) {
        const osg::BoundingBox bounds = text->computeBoundingBox();
        if (bounds.valid()) {
            widest = std::max(widest, bounds.xMax() - bounds.xMin());
        }
    }
    const float left = -widest - 2.0f * margin;
    const float top = -margin - size;
    timeText->setPosition({left + margin, top, 0});
    residualText->setPosition({left + margin, top - lineStep, 0});
    storageText->setPosition({left + margin, top - 2.0f * lineStep, 0});
    const float bottom = top - 2.0f * lineStep - margin;

    osg::ref_ptr<osg::Geode> geode = makeOverlayGeode();
    osg::ref_ptr<osg::Geometry> background = osg::createTexturedQuadGeometry(
        osg::Vec3(left, bottom, 0), osg::Vec3(-left, 0, 0), osg::Vec3(0, -bottom, 0), 1.0f, 1.0f);
    osg::ref_ptr<osg::Vec4Array> grey = new osg::Vec4Array;
    grey->push_back(osg::Vec4(0.8f, 0.8f, 0.8f, 0.75f));
    background->setColorArray(grey.get(), osg::Array::BIND_OVERALL);
    geode->addDrawable(background.get());
    geode->addDrawable(storageText.get());
    geode->addDrawable(timeText.get());
    geode->addDrawable(residualText.get());
    return makeScreenOverlayCamera(geode.get(), ViewCorner::UpperRight, -left);
}

osg::ref_ptr<osg::Camera> makeFloodDepthCaption() {
    osg::ref_ptr<osg::Geode> geode = makeOverlayGeode();
    // Left of the legend bar, white with a dark outline so that it reads over snow and shadow alike.
    osg::ref_ptr<osgText::Text> caption =
        makeOverlayText("Water Depth", legendCaptionAnchor(), 16, osg::Vec4(1, 1, 1, 1));
    caption->setAlignment(osgText::Text::RIGHT_BOTTOM);
    caption->setBackdropType(osgText::Text::OUTLINE);
    caption->setBackdropColor(osg::Vec4(0, 0, 0, 1));
    geode->addDrawable(caption.get());
    return makeScreenOverlayCamera(geode.get(), ViewCorner::LowerRight, legendNeedsWidthPixels);
}
