// The per-scene configuration file "configXML.xml", read by category from the current scene's folder.
#include <gtest/gtest.h>

#include "boundscene.h"
#include "configreader.h"

#include <QFile>

namespace {

using Values = std::vector<std::string>;

struct ConfigCase {
    const char* what;
    const char* xml;
    const char* category;
    Values expected;
};

const ConfigCase configCases[] = {
    {"two Path categories in document order",
     R"(<Scene><Path><a strPath="/d/one.ive"/></Path><Camera/><Path><b strPath="/d/two.ive"/><c strPath="/d/three.ive"/></Path></Scene>)",
     "Path",
     {"/d/one.ive", "/d/two.ive", "/d/three.ive"}},
    {"Camera entries in document order, others ignored",
     R"(<S><Camera><up x="0" y="0" z="1"/><note x="9" y="9" z="9"/><eye x="1.5" y="-2e3" z="abc"/><center x="4" y="5" z="6"/></Camera></S>)",
     "Camera",
     {"0", "0", "1", "1.5", "-2e3", "abc", "4", "5", "6"}},
    {"Camera attributes missing read empty",
     R"(<S><Camera><eye x="7"/></Camera></S>)",
     "Camera",
     {"7", "", ""}},
    {"Othershp reads only entries named path",
     R"(<S><Othershp><path strPath="/a.shp"/><file strPath="/skip.shp"/><path/><Path strPath="/case.shp"/></Othershp></S>)",
     "Othershp",
     {"/a.shp", ""}},
    {"category names are case-sensitive",
     R"(<S><path><x strPath="/lower.ive"/></path><PATH><x strPath="/upper.ive"/></PATH></S>)",
     "Path",
     {}},
    {"unrecognised category asked for", R"(<S><Terrain><x strPath="/t.ive"/></Terrain></S>)", "Terrain", {}},
    {"absent category", R"(<S><Play><x strPath="/play"/></Play></S>)", "House", {}},
    {"entry tags are free; text, comments and instructions skipped",
     "<S><Play>text<!-- c --><?pi x?><frames strPath=\"/r/1\"/>more<z strPath=\"/r/2\"/></Play></S>",
     "Play",
     {"/r/1", "/r/2"}},
    {"categories nested deeper are not read",
     R"(<S><Group><River><x strPath="/deep.shp"/></River></Group><River><x strPath="/top.shp"/></River></S>)",
     "River",
     {"/top.shp"}},
    {"values come back as UTF-8",
     R"(<S><BarrierLake><x strPath="/数据/堰塞湖.shp"/></BarrierLake><PlayH><x strPath="/半溃"/></PlayH></S>)",
     "BarrierLake",
     {"/数据/堰塞湖.shp"}},
    {"every strPath category",
     R"(<S><House><h strPath="h"/></House><Road><r strPath="r"/></Road><PlayH><p strPath="ph"/></PlayH></S>)",
     "Road",
     {"r"}},
};

class ConfigValuesTest : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(ConfigValuesTest, ReadsTheCategoryInDocumentOrder) {
    const ConfigCase& c = GetParam();
    BoundScene scene;
    scene.write("configXML.xml", QByteArray(c.xml));
    SceneConfigReader reader(scene.catalog());
    QString configPath;
    EXPECT_EQ(reader.readConfigValues(configPath, c.category), c.expected) << c.what;
    EXPECT_EQ(configPath, scene.folder() + "/configXML.xml");
}

INSTANTIATE_TEST_SUITE_P(Categories, ConfigValuesTest, ::testing::ValuesIn(configCases));

TEST(SceneConfigReader, FollowsTheCurrentScene) {
    BoundScene first("first");
    first.write("configXML.xml", R"(<S><Path><x strPath="/first.ive"/></Path></S>)");
    QTemporaryDir other;
    ASSERT_TRUE(other.isValid());
    writeTextFile(other.filePath("configXML.xml").toStdString(),
                  R"(<S><Path><x strPath="/second.ive"/></Path></S>)");
    first.catalog().scenes.push_back({"second", other.path(), "1"});

    SceneConfigReader reader(first.catalog());
    EXPECT_EQ(reader.readConfigValues(reader.path, "Path"), Values{"/first.ive"});
    first.catalog().currentScene = "second";
    EXPECT_EQ(reader.readConfigValues(reader.path, "Path"), Values{"/second.ive"});
    EXPECT_EQ(reader.path, other.path() + "/configXML.xml");
}

// A "Path" entry under `depth` levels of elements: the root, the category, the entry and the rest.
QByteArray nested(int depth) {
    QByteArray text = "<S><Path><x strPath=\"/deep.ive\">";
    for (int level = 3; level < depth; ++level) {
        text += "<a>";
    }
    for (int level = 3; level < depth; ++level) {
        text += "</a>";
    }
    return text + "</x></Path></S>";
}

TEST(SceneConfigReader, FileNestedSixtyFourLevelsIsRead) {
    BoundScene scene;
    scene.write("configXML.xml", nested(64));
    SceneConfigReader reader(scene.catalog());
    EXPECT_EQ(reader.readConfigValues(reader.path, "Path"), Values{"/deep.ive"});
}

TEST(SceneConfigReader, BrokenMissingOrHugeFilePrintsTheDiagnosticAndGivesNothing) {
    const struct {
        const char* what;
        QByteArray content;  // null: no file at all
        const char* diagnostic;
        const char* alsoSaid;
    } cases[] = {
        {"syntax error", "<S>\n<Path><x strPath=\"/a.ive\"></Path>\n</S>", "parse file failed:2---", ""},
        {"not XML", "just text", "parse file failed:1---", ""},
        {"truncated", "<S><Path><x strPath=\"/a.ive\"/>", "parse file failed:", ""},
        {"empty file", "", "parse file failed:", ""},
        {"missing file", QByteArray(), "parse file failed:0---0:cannot open ", ""},
        // About 1 MB, well-formed: the document tree alone would overflow the stack.
        {"nested 100 000 levels deep", nested(100000), "parse file failed:1---",
         "nested deeper than 64 levels"},
        {"nested 65 levels deep", nested(65), "parse file failed:1---", "nested deeper than 64 levels"},
        {"a device", QByteArray(), "parse file failed:0---0:", "is not a regular file"},
        // Well-formed: a "Path" entry behind 65 MiB of blanks.
        {"huge file", "<S>" + QByteArray(65 * 1024 * 1024, ' ') + "<Path><x strPath=\"/a.ive\"/></Path></S>",
         "parse file failed:0---0:", "too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BoundScene scene;
        if (!c.content.isNull()) {
            scene.write("configXML.xml", c.content);
        } else if (std::string(c.what) == "a device") {
            ASSERT_TRUE(QFile::link("/dev/zero", scene.folder() + "/configXML.xml"));
        }
        SceneConfigReader reader(scene.catalog());
        for (const char* category : {"Path", "Camera", "Othershp"}) {
            testing::internal::CaptureStdout();
            const Values values = reader.readConfigValues(reader.path, category);
            const std::string printed = testing::internal::GetCapturedStdout();
            EXPECT_TRUE(values.empty()) << category;
            EXPECT_EQ(printed.rfind(c.diagnostic, 0), 0u) << printed;
            EXPECT_NE(printed.find(c.alsoSaid), std::string::npos) << printed;
            EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
        }
    }
}

TEST(SceneConfigReader, SceneWithoutABoundFolderGivesNothing) {
    BoundScene scene;
    // A configuration file at the root of the file system must not be mistaken for the scene's.
    for (const QString& name : {QString("null"), QString("未绑定的场景"), QString("测试场景 ")}) {
        scene.catalog().currentScene = name;
        SceneConfigReader reader(scene.catalog());
        reader.path = "stale";
        testing::internal::CaptureStdout();
        EXPECT_TRUE(reader.readConfigValues(reader.path, "Path").empty());
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(reader.path.isEmpty());
        EXPECT_EQ(printed.rfind("parse file failed:", 0), 0u) << printed;
    }
}

}  // namespace
