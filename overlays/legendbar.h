#pragma once

#include <osg/Projection>
#include <osg/Vec3>
#include <osg/Vec4>
#include <osg/ref_ptr>

// The legend's place on the screen, in pixels from the view's lower right corner: a bar this long whose
// right end stands this far in from the right edge and whose foot stands this far above the bottom edge,
// with its value labels above it.
constexpr float legendBarLengthPixels = 350.0f;
constexpr float legendRightMarginPixels = 44.0f;
constexpr float legendBottomPixels = 18.0f;
// Height of the value labels' characters, pixels.
constexpr float legendLabelPixels = 18.0f;

// The view width the legend and its caption need; narrower views shrink both alike.
constexpr float legendNeedsWidthPixels = legendRightMarginPixels + legendBarLengthPixels + 140.0f;

// Where the caption naming what the legend shows ends (its lower right corner), in pixels from the view's
// lower right corner: just left of the bar, a little above its foot.
osg::Vec3 legendCaptionAnchor();

// Builds the colour legend of a depth scale: a horizontal bar of 30 colour cells with 6 value labels,
// drawn over the scene at the bottom edge of the view, toward its right. Keeps no state; callers
// create one, build one bar and add the returned node to their scene.
class LegendBarBuilder {
public:
    // The bar runs from `lowColour` at `lower` to `highColour` at `upper` (same unit as the values the
    // caller colours, metres of depth). Bounds given the wrong way round are shown in ascending order; equal
    // bounds give a bar of the single colour `highColour` over one unit from `lower`, since the colour
    // interpolation needs a range to divide by.
    osg::ref_ptr<osg::Projection> buildLegendBar(const osg::Vec4& lowColour, const osg::Vec4& highColour,
                                                 int lower, int upper) const;
};
