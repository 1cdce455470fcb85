// The labels of a landslide scenario and the free screen label, built from the scenario file.
#include <gtest/gtest.h>

#include <osgText/Text>

#include "../scenes/boundscene.h"
#include "landslidesymbols.h"
#include "scenegraph.h"
#include "symbolbuilder.h"

namespace {

const osg::Vec4 labelBox(0.3f, 0.6f, 0.7f, 1.0f);

// Ten values: two complete earlier disasters and two texts without positions.
const char* const scenario = R"(<Scenario>
  <lishizaihai>
    <text textstr="1933年 叠溪地震滑坡"/><pos X="1000" Y="2000" Z="300"/>
    <text textstr="1967年 唐古栋滑坡"/><pos X="1100" Y="2100" Z="310"/>
    <text textstr="残缺"/><text textstr="残缺"/>
  </lishizaihai>
  <boundary><location strPath="/outline.shp"/><text textstr="滑坡边界"/><pos X="500" Y="600" Z="700"/></boundary>
  <dizhijiegou><pos X="10" Y="20" Z="30"/><text textstr="断裂带"/><location strPath="/faults.shp"/></dizhijiegou>
</Scenario>)";

void expectBoxedLabel(const osgText::Text* text, const std::string& content, const osg::Vec3& position) {
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(utf8(*text), content);
    EXPECT_EQ(text->getPosition(), position);
    EXPECT_EQ(text->getBoundingBoxColor(), labelBox);
}

TEST(LandslideSymbols, DisasterLabelsShowTheFirstOnesUpToTheCount) {
    BoundScene scene;
    scene.write("LandslideXML.xml", scenario);
    const struct {
        int count;
        unsigned labels;
    } cases[] = {{1, 1}, {2, 2}, {3, 2}, {0, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        osg::ref_ptr<osg::Group> group = LandslideSymbols(scene.catalog()).disasterLabels(c.count);
        ASSERT_EQ(group->getNumChildren(), 1u);
        const std::vector<osgText::Text*> texts = textsOf(geodeAt(group, 0));
        ASSERT_EQ(texts.size(), c.labels);
        expectBoxedLabel(texts[0], "1933年 叠溪地震滑坡", osg::Vec3(1000, 2000, 300));
        expectAlwaysOnTop(texts[0]);
        if (c.labels > 1) {
            expectBoxedLabel(texts[1], "1967年 唐古栋滑坡", osg::Vec3(1100, 2100, 310));
        }
        EXPECT_TRUE(group->getName().empty());
    }
}

TEST(LandslideSymbols, BoundaryLabelIsNamedForTheReplaysThatRemoveIt) {
    BoundScene scene;
    scene.write("LandslideXML.xml", scenario);
    osg::ref_ptr<osg::Geode> label = LandslideSymbols(scene.catalog()).boundaryLabel();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->getName(), "landslideEvent");
    const std::vector<osgText::Text*> texts = textsOf(label);
    ASSERT_EQ(texts.size(), 1u);
    expectBoxedLabel(texts[0], "滑坡边界", osg::Vec3(500, 600, 700));

    // A boundary with its outline only, or none at all: no label to show.
    for (const char* xml : {R"(<S><boundary><location strPath="/outline.shp"/></boundary></S>)", "<S/>"}) {
        scene.write("LandslideXML.xml", xml);
        EXPECT_EQ(LandslideSymbols(scene.catalog()).boundaryLabel(), nullptr) << xml;
    }
}

TEST(LandslideSymbols, GeologyLabelIsYellowWithARedOutlineAndEmptyWithoutText) {
    BoundScene scene;
    scene.write("LandslideXML.xml", scenario);
    osg::ref_ptr<osg::Geode> label = LandslideSymbols(scene.catalog()).geologyLabel();
    const std::vector<osgText::Text*> texts = textsOf(label);
    ASSERT_EQ(texts.size(), 1u);
    const osgText::Text* text = texts[0];
    EXPECT_EQ(utf8(*text), "断裂带");
    EXPECT_EQ(text->getPosition(), osg::Vec3(10, 20, 30));
    EXPECT_EQ(text->getColor(), osg::Vec4(1, 1, 0, 1));
    EXPECT_EQ(text->getBackdropType(), osgText::Text::OUTLINE);
    EXPECT_TRUE(label->getName().empty());

    const struct {
        const char* what;
        const char* xml;
        bool geode;
    } cases[] = {
        {"empty text", R"(<S><dizhijiegou><pos X="1" Y="2" Z="3"/><text textstr=""/></dizhijiegou></S>)",
         true},
        {"no text entry", R"(<S><dizhijiegou><pos X="1" Y="2" Z="3"/></dizhijiegou></S>)", true},
        {"no category", "<S/>", false},
    };
    for (const auto& c : cases) {
        scene.write("LandslideXML.xml", c.xml);
        osg::ref_ptr<osg::Geode> empty = LandslideSymbols(scene.catalog()).geologyLabel();
        ASSERT_EQ(empty != nullptr, c.geode) << c.what;
        if (empty) {
            EXPECT_EQ(empty->getNumDrawables(), 0u) << c.what;
        }
    }
}

TEST(LandslideSymbols, TextTheLocaleCannotDecodeShowsEmpty) {
    EXPECT_EQ(LandslideSymbols::toWideText(u8"金江滑坡"), L"金江滑坡");
    // "滑坡" in GBK, which is not UTF-8.
    EXPECT_EQ(LandslideSymbols::toWideText("\xbb\xac\xc6\xc2"), L"");
    EXPECT_EQ(LandslideSymbols::toWideText(""), L"");
}

TEST(SymbolBuilder, ScreenLabelKeepsItsPixelSizeAndStaysInFront) {
    osg::ref_ptr<osg::Geode> geode = SymbolBuilder().makeScreenLabel(
        u8"8月连续强降雨", osg::Vec3(1, 2, 3), 45.0f, osg::Vec4(0, 0.3f, 0.6f, 1), osg::Vec4(1, 1, 1, 1));
    expectAlwaysOnTop(geode);
    const std::vector<osgText::Text*> texts = textsOf(geode);
    ASSERT_EQ(texts.size(), 1u);
    const osgText::Text* text = texts[0];
    EXPECT_EQ(utf8(*text), "8月连续强降雨");
    EXPECT_EQ(text->getCharacterSizeMode(), osgText::Text::SCREEN_COORDS);
    EXPECT_EQ(text->getCharacterHeight(), 45.0f);
}

}  // namespace
