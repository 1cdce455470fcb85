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
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        saved = boundScenes;
    }
    void TearDown() override { boundScenes = saved; }

    QString file(const QString& name = "TreeMeta.json") const { return dir.path() + "/" + name; }

    QTemporaryDir dir;
    std::list<FileManage> saved;
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
        boundScenes = {{"stale", "/stale", "9"}};
        EXPECT_EQ(loadBoundScenes(file()), static_cast<int>(c.expected.size()));
        EXPECT_EQ(boundScenes, c.expected);
    }
}

TEST_F(SceneListTest, ReadJsonFileGivesAnEmptyObjectOnAnyFailure) {
    writeTextFile(file("good.json").toStdString(), R"({"a": [1, 2]})");
    EXPECT_EQ(readJsonFile(file("good.json")).value("a").toArray().size(), 2);
    writeTextFile(file("bad.json").toStdString(), R"({"a": )");
    EXPECT_TRUE(readJsonFile(file("bad.json")).isEmpty());
    EXPECT_TRUE(readJsonFile(file("absent.json")).isEmpty());
    EXPECT_TRUE(readJsonFile(dir.path()).isEmpty());

    // Well-formed, but far larger than any scene list.
    writeTextFile(file("huge.json").toStdString(), "{\"a\": \"" + std::string(17 * 1024 * 1024, 'x') + "\"}");
    EXPECT_TRUE(readJsonFile(file("huge.json")).isEmpty());
}

TEST_F(SceneListTest, LookUpsTakeTheFirstExactMatch) {
    boundScenes = {{"金江洪水", "/first", "1"}, {"Flood", "/upper", "2"}, {"金江洪水", "/second", "3"}};
    const struct {
        QString name, path, type;
    } lookUps[] = {
        {"金江洪水", "/first", "1"}, {"Flood", "/upper", "2"}, {"flood", "", ""},
        {"金江洪水 ", "", ""},       {"null", "", ""},         {"", "", ""},
    };
    for (const auto& lookUp : lookUps) {
        EXPECT_EQ(findBoundPath(lookUp.name), lookUp.path) << lookUp.name.toStdString();
        EXPECT_EQ(findBoundType(lookUp.name), lookUp.type) << lookUp.name.toStdString();
    }
}

TEST_F(SceneListTest, TreeHasOneRowPerSceneWithThePointIcon) {
    boundScenes = sixScenes;
    boundScenes.push_back({"%1 and %2", "/percent", "1"});
    QStandardItemModel model;
    fillSceneTree(model);
    ASSERT_EQ(model.columnCount(), 1);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Flood");
    ASSERT_EQ(model.rowCount(), 7);
    const QImage point(":/src/images/Point.png");
    ASSERT_FALSE(point.isNull());
    int row = 0;
    for (const FileManage& scene : boundScenes) {
        const QStandardItem* item = model.item(row++);
        EXPECT_EQ(item->text(), scene.name);
        EXPECT_FALSE(item->hasChildren());
        const QImage icon = item->icon().pixmap(point.size()).toImage().convertToFormat(point.format());
        EXPECT_EQ(icon, point) << scene.name.toStdString();
    }
}

}  // namespace
