#pragma once

#include <osg/Camera>
#include <osg/Geode>
#include <osg/Vec3>
#include <osg/Vec4>
#include <osg/ref_ptr>
#include <osgText/Text>
#include <string>

// Heads-up displays and captions are drawn after the scene by a camera of their own, in an 800 x 600
// overlay space stretched over the whole view (origin at the lower left), whatever the view's size.
constexpr double overlayWidth = 800.0;
constexpr double overlayHeight = 600.0;

// The overlay camera holding `content` as its only child.
osg::ref_ptr<osg::Camera> makeScreenOverlayCamera(osg::Node* content);

// A geode for overlay drawables: unlit, no depth test, blended.
osg::ref_ptr<osg::Geode> makeOverlayGeode();

// An overlay text in "fonts/simhei.ttf", given as UTF-8.
osg::ref_ptr<osgText::Text> makeOverlayText(const std::string& utf8, const osg::Vec3& position, float size,
                                            const osg::Vec4& colour);
