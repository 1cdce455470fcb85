#pragma once

#include <osg/Camera>
#include <osg/ref_ptr>

// The heads-up layer of a debris frame: the caption "泥深" (debris depth) at the foot of the view, left of
// the middle, as the title of the colour legend beside it.
osg::ref_ptr<osg::Camera> makeDebrisDepthCaption();
