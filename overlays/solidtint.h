#pragma once

#include <osg/Image>
#include <osg/Node>
#include <osg/Vec4>
#include <osg/ref_ptr>

// A solid-colour look for line and point models (the geological lines of a landslide scenario flash in
// it): a one-colour texture generated on texture unit 1.

// A width x height RGB image of unsigned bytes (packing 1), every pixel the integer parts of red, green
// and blue (0 to 255).
osg::ref_ptr<osg::Image> makeSolidImage(int width, int height, float red, float green, float blue);

// Replaces the node's state set by one that colours it `colour` (components 0 to 1) through a 256 x 256
// solid texture with normal-map texture coordinates on unit 1, and draws points of `size` (with sprites)
// when `points` is set, lines of width `size` otherwise. Modes set on the node before are dropped.
void tintNode(osg::Node* node, const osg::Vec4& colour, float size, bool points);
