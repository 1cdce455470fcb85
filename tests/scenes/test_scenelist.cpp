// The scene list: reading and writing "TreeMeta.json", the look-ups by scene name and the tree rows.
#include <gtest/gtest.h>

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QJsonArray>
#include <QStandardItemModel>
#include <QTemporaryDir>

#include "scenelistfile.h"

namespace {

class SceneListTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString file(const QString& name = "TreeMeta.json") const { return dir.path() + "/" + name; }

    QTemporaryDir dir;
    SceneCatalog catalog;
};

const std::list<FileManage> sixScenes = {
    {"金江滑坡", "/data/jinjiang slide", "3"}, {"金江洪水", "/data/jinjiang", "1"},
    {"6.1洪水", "/data/six-one", "1"},         {"七盘泥石流", "/data/qipan", "2"},
    {"文家泥石流", "/data/wenjia", "2"},       {"danba flood", "C:\\data\\danba \"east\"", "1"},
};

TEST_F(SceneListTest, WrittenListReadsBackInOrderAndParsesAsJson) {
    ASSERT_TRUE(writeSceneList(file(), sixScenes));
    EXPECT_EQ(readSceneList(file()), sixScenes);

    QStringList expected;
    for (const FileManage& scene : sixScenes) {
        expected << pythonLine(scene);
    }
    EXPECT_EQ(recordsSeenByPython(file()), expected);

    // Indented, one key per line, UTF-8 on disk.
    const std::string text = readTextFile(file().toStdString());
    EXPECT_EQ(text.rfind("{\n    \"test\": [\n", 0), 0u);
    EXPECT_NE(text.find("\"name\": \"金江洪水\",\n"), std::string::npos);
}

TEST_F(SceneListTest, BadOrPartialFilesGiveWhatCanBeRead) {
    const struct {
        const char* what;
        const char* content;  // nullptr: no file
        std::list<FileManage> expected;
    } cases[] = {
        {"missing file", nullptr, {}},
        {"empty file", "", {}},
        {"malformed", R"({"test": [{"name": "a", "path": "/a", "type": "1"},)", {}},
        {"top level is an array", R"([{"name": "a"}])", {}},
        {"no test member", R"({"scenes": [{"name": "a", "path": "/a", "type": "1"}]})", {}},
        {"test is not an array", R"({"test": {"name": "a"}})", {}},
        {"missing members read empty",
         R"({"test": [{"name": "a"}, {"path": "/b", "type": "2"}]})",
         {{"a", "", ""}, {"", "/b", "2"}}},
        {"records that are not objects are skipped",
         R"({"test": ["x", {"name": "b", "path": "/b", "type": "1"}, 3]})",
         {{"b", "/b", "1"}}},
        {"other members and key order do not matter",
         R"({"extra": 1, "test": [{"type": "2", "path": "/q", "name": "七盘泥石流", "note": "x"}]})",
         {{"七盘泥石流", "/q", "2"}}},
        {"invalid UTF-8 is replaced, not fatal",
         "{\"test\": [{\"name\": \"a\xff\", \"path\": \"/a\", \"type\": \"1\"}]}",
         {{QString("a") + QChar(0xFFFD), "/a", "1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(file());
        if (c.content) {
            writeTextFile(file().toStdString(), c.content);
        }
        EXPECT_EQ(readSceneList(file()), c.expected);
        catalog.scenes = {{"stale", "/stale", "9"}};
        EXPECT_EQ(catalog.load(file()), static_cast<int>(c.expected.size()));
        EXPECT_EQ(catalog.scenes, c.expected);
    }
}

// The document as python3's json module sees it, with sorted keys: what a file holds, whatever its layout.
std::string canonicalJson(const std::string& file) {
    const ProgramRun python = runProgram(
        "python3", {"-c",
                    "import json,sys; print(json.dumps(json.load(open(sys.argv[1], encoding='utf-8')), "
                    "sort_keys=True, ensure_ascii=False))",
                    QString::fromStdString(file)});
    EXPECT_EQ(python.exitCode, 0) << python.err;
    return python.out;
}

TEST_F(SceneListTest, BindingChangesOnlyThePathAndKeepsWhatTheProgramDoesNotUnderstand) {
    // A hand-edited list: a numeric type, members, records and keys of other tools.
    const std::string before = R"({"version": 2, "test": [
        {"name": "金江洪水", "path": "/old", "type": 1, "note": "mine", "tags": ["a", {"b": null}]},
        "a record that is text",
        {"name": "other", "path": "/o", "type": "2", "weight": 3.5},
        {"path": "/nameless", "type": 3}
    ], "owner": {"checked": true}})";
    writeTextFile(file().toStdString(), before);
    catalog.scenes = readSceneList(file());
    // The numeric type reads as the scene type it names, so the scene opens.
    EXPECT_EQ(catalog.scenes, (std::list<FileManage>{
                               {"金江洪水", "/old", "1"}, {"other", "/o", "2"}, {"", "/nameless", "3"}}));

    catalog.scenes.front().path = "/new 数据";
    QString error;
    ASSERT_TRUE(saveSceneBinding(file(), catalog.scenes, "金江洪水", &error)) << error.toStdString();
    writeTextFile(file("expected.json").toStdString(),
                  QString::fromStdString(before).replace("\"/old\"", "\"/new 数据\"").toStdString());
    EXPECT_EQ(canonicalJson(file().toStdString()), canonicalJson(file("expected.json").toStdString()));
    EXPECT_EQ(readSceneList(file()), catalog.scenes);

    // A scene the file no longer lists is added as the program knows it.
    catalog.scenes.push_back({"新场景", "/fresh", "2"});
    ASSERT_TRUE(saveSceneBinding(file(), catalog.scenes, "新场景", &error)) << error.toStdString();
    EXPECT_EQ(readSceneList(file()), catalog.scenes);
    EXPECT_NE(readTextFile(file().toStdString()).find("\"owner\""), std::string::npos);
}

TEST_F(SceneListTest, BindingIsNotSavedIntoAFileThatIsNotASceneList) {
    catalog.scenes = {{"a", "/new", "1"}};
    QString error;
    for (const char* content :
         {R"({"test": [{"name": "a", "path": "/old")", R"([{"name": "a"}])", R"({"test": {"name": "a"}})"}) {
        SCOPED_TRACE(content);
        writeTextFile(file().toStdString(), content);
        EXPECT_FALSE(saveSceneBinding(file(), catalog.scenes, "a", &error));
        EXPECT_TRUE(error.contains(file())) << error.toStdString();
        EXPECT_EQ(readTextFile(file().toStdString()), content);
    }
    // A list that does not exist yet is written from the program's list.
    QFile::remove(file());
    ASSERT_TRUE(saveSceneBinding(file(), catalog.scenes, "a", &error)) << error.toStdString();
    EXPECT_EQ(readSceneList(file()), catalog.scenes);
}

TEST_F(SceneListTest, ReadJsonFileGivesAnEmptyObjectOnAnyFailure) {
    writeTextFile(file("good.json").toStdString(), R"({"a": [1, 2]})");
    EXPECT_EQ(readJsonFile(file("good.json")).value("a").toArray().size(), 2);
    writeTextFile(file("bad.json").toStdString(), R"({"a": )");
    EXPECT_TRUE(readJsonFile(file("bad.json")).isEmpty());
    EXPECT_TRUE(readJsonFile(file("absent.json")).isEmpty());
    EXPECT_TRUE(readJsonFile(dir.path()).isEmpty());
    EXPECT_TRUE(readJsonFile("/dev/zero").isEmpty());

    // Well-formed, but far larger than any scene list.
    writeTextFile(file("huge.json").toStdString(), "{\"a\": \"" + std::string(17 * 1024 * 1024, 'x') + "\"}");
    EXPECT_TRUE(readJsonFile(file("huge.json")).isEmpty());
}

TEST_F(SceneListTest, LookUpsTakeTheFirstExactMatch) {
    catalog.scenes = {{"金江洪水", "/first", "1"}, {"Flood", "/upper", "2"}, {"金江洪水", "/second", "3"}};
    const struct {
        QString name, path, type;
    } lookUps[] = {
        {"金江洪水", "/first", "1"}, {"Flood", "/upper", "2"}, {"flood", "", ""},
        {"金江洪水 ", "", ""},       {"null", "", ""},         {"", "", ""},
    };
    for (const auto& lookUp : lookUps) {
        EXPECT_EQ(catalog.pathOf(lookUp.name), lookUp.path) << lookUp.name.toStdString();
        EXPECT_EQ(catalog.typeOf(lookUp.name), lookUp.type) << lookUp.name.toStdString();
    }
}

TEST_F(SceneListTest, TreeHasOneRowPerSceneWithThePointIcon) {
    catalog.scenes = sixScenes;
    catalog.scenes.push_back({"%1 and %2", "/percent", "1"});
    QStandardItemModel model;
    fillSceneTree(model, catalog.scenes);
    ASSERT_EQ(model.columnCount(), 1);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Flood");
    ASSERT_EQ(model.rowCount(), 7);
    const QImage point(":/src/images/Point.png");
    ASSERT_FALSE(point.isNull());
    int row = 0;
    for (const FileManage& scene : catalog.scenes) {
        const QStandardItem* item = model.item(row++);
        EXPECT_EQ(item->text(), scene.name);
        EXPECT_FALSE(item->hasChildren());
        const QImage icon = item->icon().pixmap(point.size()).toImage().convertToFormat(point.format());
        EXPECT_EQ(icon, point) << scene.name.toStdString();
    }
}

}  // namespace
