#pragma once

#include <optional>
#include <osg/BoundingBox>
#include <osg/Geode>
#include <osg/Vec3>
#include <osg/ref_ptr>
#include <string>

// The filling of a barrier lake at the end of a landslide scenario: a translucent water plane, 2000 m
// square, rises 3 m per tick over the lake model for 13 ticks, and the lake's name appears at tick 10.
constexpr float lakeFillingSpan = 2000.0f;  // m, both sides of the plane
constexpr float lakeFillingRise = 3.0f;     // m per tick
constexpr int lakeFillingTicks = 13;
constexpr int lakeFillingLabelTick = 10;

// Where the filling starts on the lake model at `path`: the plane's lower-left corner 400 m west and
// 100 m south of the model's box and 20 m below its top, and the label 400 m above the box's centre.
struct LakeFillingStart {
    osg::BoundingBox box;
    osg::Vec3 origin;
    osg::Vec3 labelAnchor;
};
// Nothing when the model does not load or holds no geometry.
std::optional<LakeFillingStart> measureBarrierLake(const std::string& path);

// The water plane with its lower-left corner at `origin`, spanning `spanX` (along x) and `spanY` (along
// y): the lake surface's translucent, unlit quad, drawn before the terrain's bin.
osg::ref_ptr<osg::Geode> makeFillingPlane(const osg::Vec3& origin, const osg::Vec3& spanX,
                                          const osg::Vec3& spanY);

// The lake's name, blue with a white outline, facing the viewer.
osg::ref_ptr<osg::Geode> makeLakeLabel(const std::wstring& name, const osg::Vec3& position);
