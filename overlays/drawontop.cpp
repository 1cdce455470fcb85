#include "drawontop.h"

#include <osg/Depth>

void drawOverTerrain(osg::Node& node, int renderBin) {
    osg::StateSet* state = node.getOrCreateStateSet();
    osg::ref_ptr<osg::Depth> depth = new osg::Depth(osg::Depth::LESS, 0.0, 1.0, true);
    depth->setFunction(osg::Depth::ALWAYS);
    state->setAttributeAndModes(depth.get(), osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
    state->setRenderBinDetails(renderBin, "RenderBin", osg::StateSet::USE_RENDERBIN_DETAILS);
}
