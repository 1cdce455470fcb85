#pragma once

#include <osg/Camera>
#include <osg/ref_ptr>

// The heads-up layer of a debris frame: the caption "泥深" (debris depth) at the foot of the view, left of
// the colour legend, as its title.
osg::ref_ptr<osg::Camera> makeDebrisDepthCaption();
