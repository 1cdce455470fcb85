#pragma once

#include <osg/Geode>
#include <osg/Vec4>
#include <osg/ref_ptr>

class LandslideRun;
class PostImage;

// Colour of a vertex that the post-disaster image does not cover: the grey of the bare terrain.
inline const osg::Vec4 postImageOutsideColour(0.5f, 0.5f, 0.5f, 1.0f);

// The colour of a vertex at map position (x, y): red, green and blue from bands 1 to 3 divided by 255,
// alpha 1. An image of fewer than three bands is read as grey from band 1; a position outside the image
// gets `postImageOutsideColour`.
osg::Vec4 postImageColour(const PostImage& image, double mapX, double mapY);

// The meshes of a landslide run. Each is one geode holding one geometry of triangles per grid row L, from
// the second-to-last row up to row 2: for every column M the cell corners 1 = (L + 1, M), 2 = (L, M),
// 3 = (L + 1, M + 1) and 4 = (L, M + 1) give the triangle 1, 2, 3 when those three are drawn and 2, 3, 4
// when those are. A vertex sits at its cell's top-left map corner (x = column × cell width + origin x,
// y = row × cell height + origin y, from the mosaic's geotransform) at the cell's height, coloured from the
// post-disaster image.

// The slide of the step just computed: the cells that `surface` shows raised above the mosaicked DEM.
osg::ref_ptr<osg::Geode> buildStepMesh(const LandslideRun& run);

// The final state: the post-disaster DEM (taken to lie on the mosaic's grid), every cell that is not its
// no-data value.
osg::ref_ptr<osg::Geode> buildFinalMesh(const LandslideRun& run);
