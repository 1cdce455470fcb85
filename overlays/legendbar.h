#pragma once

#include <osg/Projection>
#include <osg/Vec4>
#include <osg/ref_ptr>

// Builds the colour legend of a depth scale: a horizontal bar of 30 colour cells with 6 value labels,
// drawn over the scene at the bottom edge of the view, right of the middle. Keeps no state; callers
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
