#include "landslidesymbols.h"

#include <cstdlib>
#include <osgText/Font>
#include <osgText/Text>

#include "configreader.h"
#include "depthsetter.h"
#include "platform.h"

namespace {

const char* const labelFont = "fonts/msyh.ttc";
const osg::Vec4 labelBoxColour(0.3f, 0.6f, 0.7f, 1.0f);

osg::Vec3 positionAt(const std::vector<std::string>& values, std::size_t first) {
    auto value = [&values](std::size_t index) {
        return static_cast<float>(std::atof(values[index].c_str()));
    };
    return osg::Vec3(value(first), value(first + 1), value(first + 2));
}

}  // namespace

std::vector<std::string> LandslideSymbols::scenarioValues(const std::string& category) const {
    SceneConfigReader reader(catalog);
    return reader.readLandslideValues(reader.path, category);
}

osg::ref_ptr<osgText::Text> makeBoxedLabel(const std::wstring& text, const osg::Vec3& position, float size,
                                           const osg::Vec4& boxColour) {
    osg::ref_ptr<osgText::Text> label = new osgText::Text;
    // The box is laid out with the glyphs, so the draw mode must be set before the text.
    label->setDrawMode(osgText::Text::TEXT | osgText::Text::FILLEDBOUNDINGBOX);
    label->setBoundingBoxColor(boxColour);
    label->setFont(osgText::readRefFontFile(labelFont));
    label->setText(text.c_str());
    label->setCharacterSize(size);
    label->setPosition(position);
    label->setColor(osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    label->setAutoRotateToScreen(true);
    label->getOrCreateStateSet()->setMode(GL_LIGHTING,
                                          osg::StateAttribute::OFF | osg::StateAttribute::OVERRIDE);
    return label;
}

std::wstring LandslideSymbols::toWideText(const std::string& text) {
    platform::setUserCharacterLocale();
    return platform::localToWide(text);
}

osg::ref_ptr<osg::Geode> LandslideSymbols::boundaryLabel() {
    const std::vector<std::string> values = scenarioValues("boundary");
    // The shapefile path comes first; without a text and its position there is no label.
    if (values.size() < 5) {
        return nullptr;
    }
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(makeBoxedLabel(toWideText(values[1]), positionAt(values, 2), 80.0f, labelBoxColour));
    // The end of the slide replay and the close of the lake filling take it away by this name.
    geode->setName("landslideEvent");
    return geode;
}

osg::ref_ptr<osg::Geode> LandslideSymbols::geologyLabel() {
    const std::vector<std::string> values = scenarioValues("dizhijiegou");
    if (values.empty()) {
        return nullptr;
    }
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    if (values.size() < 4 || values[3].empty()) {
        return geode;
    }
    osg::ref_ptr<osgText::Text> text = new osgText::Text;
    text->setText(toWideText(values[3]).c_str());
    text->setFont(osgText::readRefFontFile(labelFont));
    text->setCharacterSize(100.0f);
    text->setColor(osg::Vec4(1.0f, 1.0f, 0.0f, 1.0f));
    text->setPosition(positionAt(values, 0));
    text->setAlignment(osgText::Text::LEFT_CENTER);
    text->setAutoRotateToScreen(true);
    text->setBackdropType(osgText::Text::OUTLINE);
    text->setBackdropColor(osg::Vec4(1.0f, 0.0f, 0.0f, 0.7f));
    geode->addDrawable(text);
    return geode;
}

osg::ref_ptr<osg::Group> LandslideSymbols::disasterLabels(int count) {
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    osg::ref_ptr<osg::Group> group = new osg::Group;
    const std::vector<std::string> values = scenarioValues("lishizaihai");
    const int disasters = static_cast<int>(values.size() / 4);
    for (int k = 0; k < disasters; ++k) {
        const std::size_t first = 4 * static_cast<std::size_t>(k);
        osg::ref_ptr<osgText::Text> label =
            makeBoxedLabel(toWideText(values[first]), positionAt(values, first + 1), 80.0f, labelBoxColour);
        DepthSetter().setAlwaysOnTop(label);
        geode->addDrawable(label);
        if (!group->containsNode(geode)) {
            group->addChild(geode);
        }
        if (k + 1 == count) {
            break;
        }
    }
    return group;
}

osg::ref_ptr<osgParticle::PrecipitationEffect> LandslideSymbols::buildRain() {
    osg::ref_ptr<osgParticle::PrecipitationEffect> rain = new osgParticle::PrecipitationEffect;
    rain->rain(2.0f);
    rain->setParticleSize(0.032f);
    rain->setParticleColor(osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    return rain;
}
