#pragma once

#include <osg/Geode>
#include <osg/Vec3>
#include <osg/Vec4>
#include <osg/ref_ptr>
#include <string>

// Free labels placed in the scene whose text keeps one size on screen.
class SymbolBuilder {
public:
    // `text` (local 8-bit) at `position`, `size` pixels high, in `textColour` on a filled box of
    // `boxColour`, facing the viewer and always in front of the terrain.
    osg::ref_ptr<osg::Geode> makeScreenLabel(const std::string& text, const osg::Vec3& position, float size,
                                             const osg::Vec4& textColour, const osg::Vec4& boxColour);
};
