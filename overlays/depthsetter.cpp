#include "depthsetter.h"

#include <osg/Depth>

void DepthSetter::setAlwaysOnTop(osg::Node* node) {
    if (!node) {
        return;
    }
    osg::StateSet* state = node->getOrCreateStateSet();
    auto* depth = dynamic_cast<osg::Depth*>(state->getAttribute(osg::StateAttribute::DEPTH));
    if (!depth) {
        depth = new osg::Depth(osg::Depth::LESS, 0.0, 1.0, true);
        state->setAttributeAndModes(depth, osg::StateAttribute::ON);
    }
    depth->setFunction(osg::Depth::ALWAYS);
    depth->setRange(100.0, 1.0);
}
