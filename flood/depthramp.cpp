#include "depthramp.h"

#include <cmath>

osg::Vec4 floodDepthColour(float depth, float range, const osg::Vec4& shallow, const osg::Vec4& deep) {
    const float width = std::abs(range);
    if (!(width > 0) || !std::isfinite(width)) {
        return deep;
    }
    const float step = width / 5;
    // Kept as a float: a depth far beyond the range must not overflow an int.
    const float colourClass = std::trunc(depth / step) + 1;
    osg::Vec4 colour = shallow + (deep - shallow) * (colourClass / 5);
    colour.a() = 1.0f;
    return colour;
}
