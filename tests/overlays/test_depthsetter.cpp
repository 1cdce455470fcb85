// The depth setting that keeps labels in front of the terrain.
#include <gtest/gtest.h>

#include <osg/Geode>

#include "depthsetter.h"
#include "scenegraph.h"

namespace {

TEST(DepthSetter, AddsAnAlwaysPassingDepthWithItsModeOn) {
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    DepthSetter().setAlwaysOnTop(geode);
    expectAlwaysOnTop(geode);
    const osg::StateSet* state = geode->getStateSet();
    EXPECT_EQ(state->getMode(GL_DEPTH_TEST), osg::StateAttribute::ON);
    EXPECT_TRUE(
        static_cast<const osg::Depth*>(state->getAttribute(osg::StateAttribute::DEPTH))->getWriteMask());
}

TEST(DepthSetter, ChangesAnExistingDepthInPlace) {
    osg::ref_ptr<osgText::Text> text = new osgText::Text;
    osg::ref_ptr<osg::Depth> depth = new osg::Depth(osg::Depth::LEQUAL, 0.2, 0.8, false);
    const osg::StateAttribute::GLModeValue mode = osg::StateAttribute::ON | osg::StateAttribute::PROTECTED;
    text->getOrCreateStateSet()->setAttributeAndModes(depth, mode);
    DepthSetter().setAlwaysOnTop(text);
    expectAlwaysOnTop(text);
    const osg::StateSet* state = text->getStateSet();
    EXPECT_EQ(state->getAttribute(osg::StateAttribute::DEPTH), depth.get());
    EXPECT_EQ(state->getMode(GL_DEPTH_TEST), mode);
    EXPECT_FALSE(depth->getWriteMask());
}

}  // namespace
