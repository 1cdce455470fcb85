#include "debrisoverlays.h"

#include "screenoverlay.h"

osg::ref_ptr<osg::Camera> makeDebrisDepthCaption() {
    osg::ref_ptr<osg::Geode> geode = makeOverlayGeode();
    geode->addDrawable(makeOverlayText("泥深", osg::Vec3(380, 4, 0), 11, osg::Vec4(1, 1, 1, 1)).get());
    return makeScreenOverlayCamera(geode.get());
}
