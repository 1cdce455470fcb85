// The landslide scenario file "LandslideXML.xml", read by category from the current scene's folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "boundscene.h"
#include "configreader.h"

namespace {

using Values = std::vector<std::string>;

struct ScenarioCase {
    const char* what;
    const char* xml;
    const char* category;
    Values expected;
};

const ScenarioCase scenarioCases[] = {
    {"three earlier disasters give four values each",
     R"(<L><lishizaihai><text textstr="a"/><pos X="1" Y="2" Z="3"/><text textstr="b"/><pos X="4" Y="5" Z="6"/>
        <text textstr="c"/><pos X="7" Y="8" Z="9"/></lishizaihai></L>)",
     "lishizaihai",
     {"a", "1", "2", "3", "b", "4", "5", "6", "c", "7", "8", "9"}},
    {"a position written before its text comes first",
     R"(<L><rainDescribe><pos X="10" Y="20" Z="30"/><text textstr="rain"/></rainDescribe></L>)",
     "rainDescribe",
     {"10", "20", "30", "rain"}},
    {"an extra child of a camera is ignored",
     R"(<L><Camera1><eye x="1" y="2" z="3"/><pos X="9" Y="9" Z="9"/><center x="4" y="5" z="6"/></Camera1></L>)",
     "Camera1",
     {"1", "2", "3", "4", "5", "6"}},
    {"the second camera reads its position, attitude and text too",
     R"(<L><Camera2><up x="0" y="0" z="1"/><text textstr="t"/><attitude X_axis="a" Y_axis="b" Z_axis="c"/></Camera2></L>)",
     "Camera2",
     {"0", "0", "1", "t", "a", "b", "c"}},
    {"category names are case-sensitive",
     R"(<L><camera1><eye x="1" y="2" z="3"/></camera1><CAMERA1><eye x="4" y="5" z="6"/></CAMERA1></L>)",
     "Camera1",
     {}},
    {"any-entry categories read strPath of every child, in every occurrence",
     R"(<L><DiZhiXian><a strPath="/one.ive"/>text<!-- c --><b/></DiZhiXian><Path/><DiZhiXian><c strPath="/two.ive"/></DiZhiXian></L>)",
     "DiZhiXian",
     {"/one.ive", "", "/two.ive"}},
    {"missing attributes give empty values in their place",
     R"(<L><landslide><path strPath="/play"/><location/><pos X="1" Z="3"/></landslide></L>)",
     "landslide",
     {"/play", "", "1", "", "3"}},
    {"entries of other tags are skipped",
     R"(<L><boundary><location strPath="/b.shp"/><label textstr="no"/><text textstr="边界"/><pos X="1" Y="2" Z="3"/></boundary></L>)",
     "boundary",
     {"/b.shp", "边界", "1", "2", "3"}},
};

class LandslideValuesTest : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(LandslideValuesTest, ReadsTheCategoryInDocumentOrder) {
    const ScenarioCase& c = GetParam();
    BoundScene scene;
    scene.write("LandslideXML.xml", QByteArray(c.xml));
    // The configuration file beside it is another file.
    scene.write("configXML.xml", R"(<S><Path><x strPath="/not the scenario"/></Path></S>)");
    SceneConfigReader reader(scene.catalog());
    QString path;
    EXPECT_EQ(reader.readLandslideValues(path, c.category), c.expected) << c.what;
    EXPECT_EQ(path, scene.folder() + "/LandslideXML.xml");
}

INSTANTIATE_TEST_SUITE_P(Categories, LandslideValuesTest, ::testing::ValuesIn(scenarioCases));

TEST(LandslideValues, TextsComeInTheLocalEncodingAndPathsInUtf8) {
    BoundScene scene;
    scene.write("LandslideXML.xml",
                R"(<L><Risk><path strPath="/风险/区.shp"/><text textstr="高风险区"/></Risk></L>)");
    SceneConfigReader reader(scene.catalog());
    const Values values = reader.readLandslideValues(reader.path, "Risk");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0], QString("/风险/区.shp").toUtf8().toStdString());
    EXPECT_EQ(values[1], QString("高风险区").toLocal8Bit().toStdString());
}

TEST(LandslideValues, BrokenFileGivesNothingOnEveryRequestWithADiagnosticEach) {
    BoundScene scene;
    scene.write("LandslideXML.xml", "<L>\n<lishizaihai><text textstr=\"a\"></lishizaihai>\n</L>");
    SceneConfigReader reader(scene.catalog());
    // The presentation asks on every tick; every request says why it got nothing.
    for (int tick = 0; tick < 3; ++tick) {
        for (const char* category : {"lishizaihai", "Camera1", "DiZhiXian"}) {
            testing::internal::CaptureStdout();
            EXPECT_TRUE(reader.readLandslideValues(reader.path, category).empty()) << category;
            const std::string printed = testing::internal::GetCapturedStdout();
            EXPECT_EQ(printed.rfind("parse file failed:2---", 0), 0u) << printed;
            EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
        }
    }
}

TEST(LandslideValues, MissingFileOrUnboundSceneGivesNothing) {
    BoundScene scene;
    SceneConfigReader reader(scene.catalog());
    testing::internal::CaptureStdout();
    EXPECT_TRUE(reader.readLandslideValues(reader.path, "Camera1").empty());
    EXPECT_NE(testing::internal::GetCapturedStdout().find("cannot open"), std::string::npos);
    EXPECT_EQ(reader.path, scene.folder() + "/LandslideXML.xml");

    scene.catalog().currentScene = "null";
    testing::internal::CaptureStdout();
    EXPECT_TRUE(reader.readLandslideValues(reader.path, "Camera1").empty());
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(reader.path.isEmpty());
    EXPECT_EQ(printed.rfind("parse file failed:", 0), 0u) << printed;
}

TEST(LandslideValues, ScenarioThatCannotBePlayedIsNamedWithTheValueAtFault) {
    BoundScene scene;
    scene.write("terrain.ive", "a model");
    scene.write("frames/1.ive", "a frame");
    const std::string terrain = scene.path("terrain.ive");
    const std::string frames = scene.path("frames");
    const auto scenario = [&](const std::string& camera, const std::string& path, const std::string& slide) {
        return "<L><Camera1><eye x=\"" + camera +
               "\" y=\"2\" z=\"3\"/><center x=\"4\" y=\"5\" z=\"6\"/><up x=\"0\" y=\"0\" z=\"1\"/></Camera1>"
               "<Path><a strPath=\"" + path + "\"/></Path><landslide><path strPath=\"" + slide +
               "\"/></landslide></L>";
    };
    const std::string good = scenario("1", terrain, frames);
    const struct {
        const char* what;
        std::string xml;
        std::string problem;  // empty: it plays
    } cases[] = {
        {"a scenario that plays", good, ""},
        {"cut short", good.substr(0, good.size() / 2), "cannot be read: 1---"},
        {"a camera at no number", scenario("nan", terrain, frames),
         "gives \"nan\" as value 1 of its opening camera"},
        {"a camera of six values", "<L><Camera1><eye x=\"1\" y=\"2\" z=\"3\"/><up x=\"0\" y=\"0\" z=\"1\"/></Camera1></L>",
         "gives 6 of the nine values"},
        {"a terrain that is not there", scenario("1", scene.path("none.ive"), frames),
         "names no terrain model that can be opened: \"" + scene.path("none.ive") + "\" does not open"},
        {"frames that are not there", scenario("1", terrain, scene.path("gone")),
         "names no folder of the slide's frames: \"" + scene.path("gone") + "\" is none"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        scene.write("LandslideXML.xml", QByteArray::fromStdString(c.xml));
        SceneConfigReader reader(scene.catalog());
        std::string problem;
        testing::internal::CaptureStdout();
        EXPECT_EQ(reader.checkLandslideScenario(problem), c.problem.empty());
        testing::internal::GetCapturedStdout();
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        if (!c.problem.empty()) {
            EXPECT_NE(problem.find(scene.path("LandslideXML.xml")), std::string::npos) << problem;
        }
    }
}

}  // namespace
