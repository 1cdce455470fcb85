// The map decoration of a case-study scene: house, river, road and further shapefile layers named in its
// configuration, and the text marks of its "mark.xml".
#include <gtest/gtest.h>

#include <osg/Geometry>
#include <osg/LineWidth>

#include "../scenes/boundscene.h"
#include "scenegraph.h"
#include "labellayout.h"
#include "scenemarks.h"
#include "testshapefiles.h"

namespace {

// ---- "mark.xml"

void expectSameMarks(const std::vector<SceneMark>& actual, const std::vector<SceneMark>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].text, expected[i].text) << i;
        EXPECT_EQ(actual[i].position, expected[i].position) << i;
        EXPECT_EQ(actual[i].color, expected[i].color) << i;
        EXPECT_EQ(actual[i].size, expected[i].size) << i;
    }
}

const osg::Vec4 none(0, 0, 0, 0);

TEST(SceneMarks, MarkFileRules) {
    const struct {
        const char* what;
        const char* xml;  // nullptr: no file
        std::vector<SceneMark> expected;
    } cases[] = {
        {"two typical marks in file order",
         R"(<Marks>
              <Mark><text textstr="堰塞湖"/><pos X="480000.5" Y="3430000" Z="2100"/><color r="1" g="0" b="0" a="1"/><size S="150"/></Mark>
              <Mark><size S="80"/><color r="0" g="1" b="0.5" a="0.8"/><pos X="1" Y="2" Z="3"/><text textstr="Village"/></Mark>
            </Marks>)",
         {{{480000.5f, 3430000, 2100}, "堰塞湖", {1, 0, 0, 1}, 150},
          {{1, 2, 3}, "Village", {0, 1, 0.5f, 0.8f}, 80}}},
        {"a mark with three children is ignored",
         R"(<M><Mark><text textstr="short"/><pos X="1" Y="1" Z="1"/><color r="1" g="1" b="1" a="1"/></Mark></M>)",
         {}},
        {"four children of any names make a mark with what they set",
         R"(<M><Mark><note/><pos X="5" Y="6" Z="7"/><extra a="1"/><text textstr="any"/></Mark></M>)",
         {{{5, 6, 7}, "any", none, 0}}},
        {"children after the fourth still count",
         R"(<M><Mark><a/><b/><c/><d/><text textstr="late"/><size S="42"/></Mark></M>)",
         {{{0, 0, 0}, "late", none, 42}}},
        {"root children other than Mark are skipped",
         R"(<M><Label><text textstr="x"/><pos/><color/><size/></Label><Mark><text textstr="kept"/><pos/><color/><size/></Mark><mark><text/><pos/><color/><size/></mark></M>)",
         {{{0, 0, 0}, "kept", none, 0}}},
        {"marks deeper than the root's children are not read",
         R"(<M><Group><Mark><text textstr="deep"/><pos/><color/><size/></Mark></Group></M>)",
         {}},
        {"missing attributes and text that is no number read as 0",
         R"(<M><Mark><text/><pos X="abc" Z="1e2"/><color r="0.5" g="" b="x"/><size/></Mark></M>)",
         {{{0, 0, 100}, "", {0.5f, 0, 0, 0}, 0}}},
        {"malformed file", "<M><Mark><text textstr=\"a\"/><pos/><color/><size/></Mark>", {}},
        {"no file", nullptr, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BoundScene scene;
        if (c.xml) {
            scene.write("Disaster_Signs/mark.xml", c.xml);
        }
        testing::internal::CaptureStdout();
        expectSameMarks(readSceneMarks(scene.folder() + "/Disaster_Signs/mark.xml"), c.expected);
        // Most scenes have no marks: a missing file is not worth a diagnostic.
        const std::string printed = testing::internal::GetCapturedStdout();
        if (!c.xml) {
            EXPECT_EQ(printed, "");
        }
    }
}

TEST(SceneMarks, MarkFileNestedTooDeepIsRefusedAndNumbersBeyondAFloatReadAsZero) {
    BoundScene scene;
    // About 1 MB: the document tree of such a file would overflow the stack of the window.
    std::string deep = "<M><Mark><text textstr=\"a\"/><pos/><color/><size/></Mark>";
    for (int level = 0; level < 100000; ++level) {
        deep += "<g>";
    }
    scene.write("Disaster_Signs/mark.xml", QByteArray::fromStdString(deep));
    testing::internal::CaptureStdout();
    EXPECT_TRUE(readSceneMarks(scene.folder() + "/Disaster_Signs/mark.xml").empty());
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.rfind("parse file failed:1---", 0), 0u) << printed;
    EXPECT_NE(printed.find("nested deeper than 64 levels"), std::string::npos) << printed;

    scene.write(
        "Disaster_Signs/mark.xml",
        R"(<M><Mark><text textstr="far"/><pos X="inf" Y="1e39" Z="nan"/><color r="-inf" g="1" b="1" a="1"/>)"
        R"(<size S="3e38"/></Mark></M>)");
    expectSameMarks(readSceneMarks(scene.folder() + "/Disaster_Signs/mark.xml"),
                    {{{0, 0, 0}, "far", {0, 1, 1, 1}, 3e38f}});
}

TEST(SceneMarks, MarkNodeFloatsEachTextAboveItsPoint) {
    const std::vector<SceneMark> marks = {{{480000.5f, 3430000, 2100}, "堰塞湖", {1, 0, 0, 1}, 150},
                                          {{-10, 20, -300}, "Bridge", {0, 0.5f, 1, 0.25f}, 12.5f}};
    osg::ref_ptr<osg::Group> node = buildMarkNode(marks);
    ASSERT_EQ(node->getNumChildren(), 2u);
    for (unsigned i = 0; i < 2; ++i) {
        // A place name under the label layout, drawn at its own size or, where that is too small, at the
        // smallest size the layout draws.
        auto* label = dynamic_cast<ScreenLabel*>(node->getChild(i));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->priority, LabelPriority::PlaceName);
        ASSERT_EQ(label->getNumChildren(), 2u);
        const std::vector<osgText::Text*> smallest = textsOf(geodeAt(label, 1));
        ASSERT_EQ(smallest.size(), 1u);
        EXPECT_EQ(utf8(*smallest[0]), marks[i].text);
        EXPECT_EQ(smallest[0]->getCharacterSizeMode(), osgText::Text::SCREEN_COORDS);
        EXPECT_EQ(smallest[0]->getCharacterHeight(), smallestLabelPixels);
        const std::vector<osgText::Text*> texts = textsOf(geodeAt(label, 0));
        ASSERT_EQ(texts.size(), 1u);
        const osgText::Text& text = *texts[0];
        EXPECT_EQ(utf8(text), marks[i].text);
        EXPECT_EQ(text.getPosition(), marks[i].position + osg::Vec3(0, 0, 200));
        EXPECT_EQ(text.getColor(), marks[i].color);
        EXPECT_EQ(text.getCharacterHeight(), marks[i].size);
        EXPECT_EQ(text.getCharacterSizeMode(), osgText::Text::OBJECT_COORDS);
        EXPECT_EQ(text.getAxisAlignment(), osgText::Text::SCREEN);
        EXPECT_EQ(fontFile(text).substr(fontFile(text).rfind('/') + 1), "simhei.ttf");
    }
}

// ---- buildSceneMarks

// The configuration of a decorated scene; an empty name leaves its category out.
QByteArray configXml(const std::string& house, const std::string& river, const std::string& road,
                     const std::vector<std::string>& others) {
    std::string xml = "<Scene>\n<Path><p strPath=\"/terrain.ive\"/></Path>\n";
    const std::pair<const char*, std::string> layers[] = {{"House", house}, {"River", river}, {"Road", road}};
    for (const auto& [category, path] : layers) {
        if (!path.empty()) {
            xml += std::string("<") + category + "><f strPath=\"" + path +
                   "\"/><f strPath=\"/second.shp\"/></" + category + ">\n";
        }
    }
    if (!others.empty()) {
        xml += "<Othershp>";
        for (const std::string& path : others) {
            xml += "<path strPath=\"" + path + "\"/>";
        }
        xml += "</Othershp>\n";
    }
    return QByteArray::fromStdString(xml + "</Scene>\n");
}

osg::Vec4 color255(int r, int g, int b) {
    return osg::Vec4(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f);
}

const osg::Vec4 houseColor = color255(176, 232, 220);
const osg::Vec4 riverColor = color255(0, 102, 255);
const osg::Vec4 roadColor = color255(246, 222, 145);
const osg::Vec4 otherColor = color255(77, 179, 118);

// The geode drawing the shapes of a layer group: lines put their labels first, polygons second.
osg::Geode* shapeGeode(osg::Node* layer) {
    osg::Group* group = layer ? layer->asGroup() : nullptr;
    if (!group || group->getNumChildren() != 2) {
        ADD_FAILURE() << "not a line or polygon layer";
        return nullptr;
    }
    osg::Geode* first = geodeAt(group, 0);
    return first && first->getNumDrawables() && first->getDrawable(0)->asGeometry() ? first
                                                                                    : geodeAt(group, 1);
}

struct DrawnLayer {
    osg::Vec4 color;
    int bin;
    float lineWidth;
    unsigned features;
    bool lines;
};

DrawnLayer drawnLayer(osg::Node* layer) {
    osg::Geode* geode = shapeGeode(layer);
    if (!geode || geode->getNumDrawables() == 0) {
        ADD_FAILURE() << "layer draws nothing";
        return {};
    }
    osg::Geometry* geometry = geode->getDrawable(0)->asGeometry();
    const auto* colors = static_cast<const osg::Vec4Array*>(geometry->getColorArray());
    const auto* width = static_cast<const osg::LineWidth*>(
        geometry->getStateSet()->getAttribute(osg::StateAttribute::LINEWIDTH));
    return {colors->front(), geode->getStateSet()->getBinNumber(), width->getWidth(),
            geode->getNumDrawables(), geometry->getPrimitiveSet(0)->getMode() == GL_LINE_STRIP};
}

class SceneMarksTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<osg::Vec3d> square = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
        writeVectorFile(scene.path("Disaster_Signs/House/house.shp"), wkbPolygon,
                        {{wkbPolygon, square, "民居"}});
        for (const char* name : {"River/river", "Road/road", "Other/trail", "Other/canal"}) {
            writeVectorFile(scene.path(QString("Disaster_Signs/%1.shp").arg(name)), wkbLineString,
                            {{wkbLineString, {{0, 0, 0}, {50, 50, 0}}, name}});
        }
    }

    std::string shp(const char* name) const { return scene.path(QString("Disaster_Signs/%1.shp").arg(name)); }

    void writeMarks() const {
        scene.write(
            "Disaster_Signs/mark.xml",
            R"(<Marks><Mark><text textstr="金江"/><pos X="1" Y="2" Z="3"/><color r="1" g="1" b="1" a="1"/><size S="90"/></Mark></Marks>)");
    }

    osg::ref_ptr<osg::Group> build() {
        testing::internal::CaptureStdout();
        osg::ref_ptr<osg::Group> group = buildSceneMarks(scene.catalog());
        printed = testing::internal::GetCapturedStdout();
        return group;
    }

    BoundScene scene{"金江洪水"};
    std::string printed;
};

TEST_F(SceneMarksTest, LayersAndMarksComeInTheirOrderWithTheirColours) {
    scene.write("configXML.xml", configXml(shp("House/house"), shp("River/river"), shp("Road/road"),
                                           {shp("Other/trail"), shp("Other/canal")}));
    writeMarks();
    osg::ref_ptr<osg::Group> marks = build();
    ASSERT_EQ(marks->getNumChildren(), 6u);

    // House (the first "House" file only, polygons), river, road, the marks, then the Othershp files.
    const struct {
        unsigned child;
        DrawnLayer layer;
    } layers[] = {{0, {houseColor, 30, 3.0f, 1, false}},
                  {1, {riverColor, 3, 3.0f, 1, true}},
                  {2, {roadColor, 6, 5.0f, 1, true}},
                  {4, {otherColor, 3, 5.0f, 1, true}},
                  {5, {otherColor, 3, 5.0f, 1, true}}};
    for (const auto& [child, expected] : layers) {
        SCOPED_TRACE(child);
        const DrawnLayer drawn = drawnLayer(marks->getChild(child));
        EXPECT_EQ(drawn.color, expected.color);
        EXPECT_EQ(drawn.bin, expected.bin);
        EXPECT_EQ(drawn.lineWidth, expected.lineWidth);
        EXPECT_EQ(drawn.features, expected.features);
        EXPECT_EQ(drawn.lines, expected.lines);
    }

    // The text mark under the label layout.
    const std::vector<osgText::Text*> texts =
        textsOf(geodeAt(marks->getChild(3)->asGroup()->getChild(0)->asGroup(), 0));
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(utf8(*texts[0]), "金江");
    EXPECT_EQ(texts[0]->getPosition(), osg::Vec3(1, 2, 203));
    // Each layer holds its own file's features only.
    const std::vector<osgText::Text*> canal = textsOf(geodeAt(marks->getChild(5)->asGroup(), 0));
    ASSERT_EQ(canal.size(), 1u);
    EXPECT_EQ(utf8(*canal[0]), "Other/canal");
}

TEST_F(SceneMarksTest, RenderBinAndLineWidthCarryOverFromEarlierLayers) {
    const struct {
        const char* what;
        bool house, river, road;
        int riverBin;  // unused without river
        int otherBin;
        float otherWidth;
    } cases[] = {
        {"river first, then Othershp", false, true, false, 1, 3, 3.0f},
        {"house before river", true, true, false, 3, 3, 3.0f},
        {"road before Othershp", false, false, true, 0, 3, 5.0f},
        {"Othershp alone", false, false, false, 0, 1, 3.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        scene.write("configXML.xml",
                    configXml(c.house ? shp("House/house") : "", c.river ? shp("River/river") : "",
                              c.road ? shp("Road/road") : "", {shp("Other/trail")}));
        osg::ref_ptr<osg::Group> marks = build();
        const unsigned layers = c.house + c.river + c.road;
        ASSERT_EQ(marks->getNumChildren(), layers + 1);
        if (c.river) {
            EXPECT_EQ(drawnLayer(marks->getChild(layers - 1)).bin, c.riverBin);
        }
        const DrawnLayer other = drawnLayer(marks->getChild(layers));
        EXPECT_EQ(other.bin, c.otherBin);
        EXPECT_EQ(other.lineWidth, c.otherWidth);
        EXPECT_EQ(other.color, otherColor);
    }
}

TEST_F(SceneMarksTest, SceneWithoutDecorationOrWithoutABoundFolderGetsNoMarks) {
    scene.write("configXML.xml", configXml("", "", "", {}));
    EXPECT_EQ(build()->getNumChildren(), 0u);
    EXPECT_EQ(printed, "");

    scene.write("configXML.xml", configXml(shp("House/house"), "", "", {}));
    writeMarks();
    for (const char* name : {"null", "金江洪水 ", "unknown"}) {
        scene.catalog().currentScene = name;
        EXPECT_EQ(build()->getNumChildren(), 0u) << name;
    }
}

TEST_F(SceneMarksTest, LayerThatDoesNotOpenIsEmptyAndTheRestAreBuilt) {
    scene.write("configXML.xml",
                configXml(shp("House/missing"), shp("River/river"), "", {"", shp("Other/canal")}));
    osg::ref_ptr<osg::Group> marks = build();
    ASSERT_EQ(marks->getNumChildren(), 4u);
    EXPECT_EQ(marks->getChild(0)->asGroup()->getNumChildren(), 0u);
    EXPECT_EQ(drawnLayer(marks->getChild(1)).color, riverColor);
    EXPECT_EQ(marks->getChild(2)->asGroup()->getNumChildren(), 0u);
    EXPECT_EQ(drawnLayer(marks->getChild(3)).color, otherColor);
    size_t failures = 0;
    for (size_t at = printed.find("Open failed\n"); at != std::string::npos;
         at = printed.find("Open failed\n", at + 1)) {
        ++failures;
    }
    EXPECT_EQ(failures, 2u) << printed;
}

}  // namespace
