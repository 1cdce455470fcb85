// Binding a scene to a data folder through the real dialog, its folder chooser and its message boxes.
#include <gtest/gtest.h>

#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include "choosefiledialog.h"
#include "modaldriver.h"
#include "scenelistfile.h"

namespace {

const std::list<FileManage> initialScenes = {
    {"金江洪水", "/data/jinjiang", "1"},
    {"七盘泥石流", "/data/qipan", "2"},
    {"茂滑坡", "/data/mao", "3"},
};

class ChooseFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        listFile = dir.path() + "/TreeMeta.json";
        ASSERT_TRUE(writeSceneList(listFile, initialScenes));
        ASSERT_EQ(catalog.load(listFile), 3);
        newFolder = dir.path() + "/新 数据";
        ASSERT_TRUE(QDir().mkpath(newFolder));
        openDialog("七盘泥石流");
    }
    void TearDown() override { delete dialog; }

    void openDialog(const QString& sceneName) {
        delete dialog;
        dialog = new ChooseFileDialog(catalog);
        dialog->setSceneListFile(listFile);
        dialog->sceneName = sceneName;
        dialog->setWindowTitle(sceneName + " 设置路径");
        dialog->show();
        ASSERT_TRUE(waitUntil([this] { return dialog->isVisible(); }));
    }

    QPushButton* button(const char* name) const { return dialog->findChild<QPushButton*>(name); }
    QTextEdit* pathEdit() const { return dialog->findChild<QTextEdit*>("filePathEdit"); }

    void chooseFolder(const QString& folder) {
        ModalDriver folderDialog(chooseFile(folder), 15000, "QFileDialog");
        button("chooseButton")->click();
        ASSERT_TRUE(folderDialog.answered());
    }

    // Presses "确定" and answers the box that follows with OK; returns what the box said.
    QString confirm() {
        ModalDriver box(clickButton("OK"), 15000, "QMessageBox");
        button("ConfirmButton")->click();
        EXPECT_TRUE(box.answered());
        EXPECT_EQ(box.title(), "绑定");
        return box.text();
    }

    QTemporaryDir dir;
    SceneCatalog catalog;
    QString listFile;
    QString newFolder;
    ChooseFileDialog* dialog = nullptr;
};

TEST_F(ChooseFileDialogTest, ChosenOrTypedFolderIsBoundAndWrittenBackInOrder) {
    for (const bool typed : {false, true}) {
        SCOPED_TRACE(typed ? "typed, with blanks around" : "chosen");
        ASSERT_TRUE(writeSceneList(listFile, initialScenes));
        ASSERT_EQ(catalog.load(listFile), 3);
        openDialog("七盘泥石流");
        const QString folder = typed ? "/data/typed" : newFolder;
        if (typed) {
            pathEdit()->setFocus();
            QTest::keyClicks(pathEdit(), " /data/typed ");
            QTest::keyClick(pathEdit(), Qt::Key_Return);
        } else {
            chooseFolder(newFolder);
            EXPECT_EQ(pathEdit()->toPlainText(), newFolder);
        }
        EXPECT_EQ(confirm(), "绑定文件路径完成！");
        EXPECT_TRUE(waitUntil([this] { return !dialog->isVisible(); }));
        EXPECT_EQ(dialog->path, folder);
        EXPECT_EQ(dialog->type, "2");

        std::list<FileManage> expected = initialScenes;
        std::next(expected.begin())->path = folder;
        EXPECT_EQ(catalog.scenes, expected);
        EXPECT_EQ(catalog.pathOf("七盘泥石流"), folder);
        EXPECT_EQ(readSceneList(listFile), expected);
        QStringList lines;
        for (const FileManage& scene : expected) {
            lines << pythonLine(scene);
        }
        EXPECT_EQ(recordsSeenByPython(listFile), lines);
    }
}

TEST_F(ChooseFileDialogTest, SceneBoundTwiceIsReboundTwice) {
    catalog.scenes = {{"A", "/a1", "1"}, {"B", "/b", "2"}, {"A", "/a2", "3"}};
    ASSERT_TRUE(writeSceneList(listFile, catalog.scenes));
    openDialog("A");
    chooseFolder(newFolder);
    EXPECT_EQ(confirm(), "绑定文件路径完成！");
    // Every record of the name takes the folder; the type is the last such record's.
    const std::list<FileManage> expected = {{"A", newFolder, "1"}, {"B", "/b", "2"}, {"A", newFolder, "3"}};
    EXPECT_EQ(catalog.scenes, expected);
    EXPECT_EQ(readSceneList(listFile), expected);
    EXPECT_EQ(dialog->type, "3");
}

TEST_F(ChooseFileDialogTest, EmptyPathAsksFirstAndBindsNothing) {
    const std::string before = readTextFile(listFile.toStdString());
    for (const char* answer : {"取 消", "确 定"}) {
        QString informative;
        QString defaultButton;
        ModalDriver question(
            [&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                informative = box->informativeText();
                defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
                clickButton(answer)(modal);
            },
            15000, "QMessageBox");
        button("ConfirmButton")->click();
        ASSERT_TRUE(question.answered()) << answer;
        EXPECT_EQ(question.text(), "提示!");
        EXPECT_EQ(informative, "确定所选路径为空吗？");
        EXPECT_EQ(defaultButton, "取 消");
        runEventLoop(50);
        // "取 消" keeps the dialog up for another try; "确 定" closes it.
        EXPECT_EQ(dialog->isVisible(), QString(answer) == "取 消") << answer;
        EXPECT_EQ(catalog.scenes, initialScenes);
        EXPECT_EQ(readTextFile(listFile.toStdString()), before);
        EXPECT_TRUE(dialog->path.isEmpty());
    }
}

struct UnwritableCase {
    const char* what;
    QString relativeFile;
    bool fileIsFolder;
    rlim_t sizeLimit;  // 0: none
};

TEST_F(ChooseFileDialogTest, UnwritableListIsReportedAndTheOldFileKept) {
    const UnwritableCase cases[] = {
        {"path is a folder", "TreeMeta.json", true, 0},
        {"folder does not exist", "missing/TreeMeta.json", false, 0},
        {"disk fills up while writing", "TreeMeta.json", false, 64},
    };
    for (const UnwritableCase& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir place;
        ASSERT_TRUE(place.isValid());
        listFile = place.path() + "/" + c.relativeFile;
        if (c.fileIsFolder) {
            ASSERT_TRUE(QDir().mkpath(listFile + "/inside"));
        } else if (QFileInfo(listFile).dir().exists()) {
            ASSERT_TRUE(writeSceneList(listFile, initialScenes));
        }
        const std::string before = readTextFile(listFile.toStdString());
        const bool existed = QFileInfo(listFile).isFile();
        catalog.scenes = initialScenes;
        openDialog("茂滑坡");
        chooseFolder(newFolder);

        QString said;
        {
            std::unique_ptr<FileSizeLimit> limit(c.sizeLimit ? new FileSizeLimit(c.sizeLimit) : nullptr);
            said = confirm();
        }
        EXPECT_FALSE(said.contains("完成")) << said.toStdString();
        EXPECT_TRUE(said.contains(QDir::toNativeSeparators(listFile))) << said.toStdString();
        EXPECT_EQ(readTextFile(listFile.toStdString()), before);
        EXPECT_EQ(QFileInfo(listFile).isDir(), c.fileIsFolder);
        EXPECT_EQ(QDir(QFileInfo(listFile).path()).entryList(QDir::Files | QDir::Hidden).size(),
                  existed ? 1 : 0)
            << "temporary file left behind";
        // The binding still holds for this run.
        EXPECT_EQ(catalog.pathOf("茂滑坡"), newFolder);
        EXPECT_TRUE(waitUntil([this] { return !dialog->isVisible(); }));
    }
}

}  // namespace
