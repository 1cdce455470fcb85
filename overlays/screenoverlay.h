#pragma once

#include <osg/Camera>
#include <osg/Geode>
#include <osg/Group>
#include <osg/Vec3>
#include <osg/Vec4>
#include <osg/ref_ptr>
#include <osgText/Text>
#include <string>

// Heads-up displays and captions are drawn after the scene by a camera of their own. Their content is
// laid out in pixels from one corner of the view (x to the right, y up), and follows that corner at every
// frame, so that a wider, taller or squashed view (a resized window, an open dock, a film of another size)
// moves the overlay instead of stretching it.
enum class ViewCorner { LowerLeft, LowerRight, UpperLeft, UpperRight };

// The point of a `width` x `height` pixel view that `corner` names, from its lower left corner.
osg::Vec3 viewCornerPoint(ViewCorner corner, double width, double height);

// Adds `content` under `holder` so that its pixel coordinates count from `corner` of the view being
// drawn. `holder` must map the view onto the unit square: a camera from `makeScreenOverlayCamera`, or an
// osg::Projection of osg::Matrixd::ortho2D(0, 1, 0, 1). In a view narrower than `needsWidthPixels` the
// content shrinks evenly to that width instead of leaving the view (0: never).
void anchorToViewCorner(osg::Group& holder, osg::Node* content, ViewCorner corner, float needsWidthPixels = 0.0f);

// The overlay camera holding `content`, laid out in pixels from `corner` of the view (see anchorToViewCorner).
osg::ref_ptr<osg::Camera> makeScreenOverlayCamera(osg::Node* content, ViewCorner corner,
                                                  float needsWidthPixels = 0.0f);

// A geode for overlay drawables: unlit, no depth test, blended.
osg::ref_ptr<osg::Geode> makeOverlayGeode();

// An overlay text in "fonts/simhei.ttf", given as UTF-8.
osg::ref_ptr<osgText::Text> makeOverlayText(const std::string& utf8, const osg::Vec3& position, float size,
                                            const osg::Vec4& colour);
