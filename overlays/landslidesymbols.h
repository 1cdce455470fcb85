#pragma once

#include <osg/Geode>
#include <osg/Group>
#include <osg/ref_ptr>
#include <osgParticle/PrecipitationEffect>
#include <osgText/Text>
#include <string>
#include <vector>

struct SceneCatalog;

// The labels and the rain of a landslide scenario, built from the scenario file "LandslideXML.xml" of the
// catalog's current scene (read anew at every call). Every operation returns a node for the caller to
// attach, and nothing is kept. Value lists shorter than an operation needs give no label instead of
// reading past them.
class LandslideSymbols {
public:
    explicit LandslideSymbols(const SceneCatalog& catalog) : catalog(catalog) {}

    // The label of the slide area's outline: "boundary" value 1 (text) at values 2 to 4, white on a blue
    // box, in a geode named "landslideEvent". Null when "boundary" has no label values.
    osg::ref_ptr<osg::Geode> boundaryLabel();

    // The geological-structure note: "dizhijiegou" value 3 (text) at values 0 to 2, yellow with a red
    // outline. Null when the category has no values; an empty geode when its text is empty or missing.
    osg::ref_ptr<osg::Geode> geologyLabel();

    // The labels of the earlier disasters 1 to `count` of "lishizaihai" (four values each: text, x, y,
    // z), white on a blue box and always in front of the terrain, in one geode under the group. A count
    // beyond the disasters of the file shows them all.
    osg::ref_ptr<osg::Group> disasterLabels(int count);

    // Local 8-bit text to wide text under the user's character locale; text it cannot decode gives an
    // empty string.
    static std::wstring toWideText(const std::string& text);

    // The rainfall that set the slide off: heavy white rain around the viewer.
    osg::ref_ptr<osgParticle::PrecipitationEffect> buildRain();

private:
    std::vector<std::string> scenarioValues(const std::string& category) const;

    const SceneCatalog& catalog;
};

// The look shared by the scenario's labels: auto-rotated to the screen, drawn with a filled box, unlit.
osg::ref_ptr<osgText::Text> makeBoxedLabel(const std::wstring& text, const osg::Vec3& position, float size,
                                           const osg::Vec4& boxColour);
