#pragma once

#include <osg/Vec4>

// The water-depth colours: five classes over a colour range `range` metres wide, from one fifth of the
// way between the shallow and the deep colour (depths in the first fifth) to the deep colour (the last
// fifth); deeper water continues past the deep colour. The depth is not shifted by the range's lower
// bound. A range given the wrong way round counts by its width; a range of no width has no classes and
// gives the deep colour.
osg::Vec4 floodDepthColour(float depth, float range, const osg::Vec4& shallow, const osg::Vec4& deep);

// The flood form's two end colours, which the live run and the headless run both paint with.
const osg::Vec4 floodShallowColour(1.0f, 0.89f, 0.76f, 1.0f);
const osg::Vec4 floodDeepColour(0.94f, 0.46f, 0.02f, 1.0f);
