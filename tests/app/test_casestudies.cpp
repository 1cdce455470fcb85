// The case studies as a new user meets them: the demo data built by vantorel-demo-data, the scene list,
// and a double-click on each flood case replaying its prepared flood over its valley.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <osg/Geode>
#include <osg/Geometry>

#include "casestudywindow.h"
#include "scenelist.h"
#include "testfiles.h"
#include "testmodels.h"
#include "viewerqt.h"

namespace {

const QStringList caseNames = {"金江洪水",   "6.1洪水",  "danba flood", "七盘泥石流",
                               "文家泥石流", "金江滑坡", "茂滑坡"};

const auto* const demoData = ::testing::AddGlobalTestEnvironment(new DemoData);

TEST_F(CaseStudyTest, SceneListShowsEveryCaseInOrder) {
    QStandardItemModel* model = window->sceneTreeModel();
    ASSERT_EQ(model->rowCount(), caseNames.size());
    for (int i = 0; i < caseNames.size(); ++i) {
        EXPECT_EQ(model->item(i)->text(), caseNames[i]);
        EXPECT_TRUE(QDir(findBoundPath(caseNames[i])).exists()) << caseNames[i].toStdString();
        EXPECT_TRUE(QDir(findBoundPath(caseNames[i])).isAbsolute());
    }
    EXPECT_EQ(findBoundType("金江洪水"), "1");
    EXPECT_EQ(findBoundType("七盘泥石流"), "2");
    EXPECT_EQ(findBoundType("茂滑坡"), "3");
}

TEST_F(CaseStudyTest, EachFloodCaseReplaysOverItsValleyWithMarksAndLake) {
    for (const QString name : {"金江洪水", "6.1洪水", "danba flood"}) {
        SCOPED_TRACE(name.toStdString());
        doubleClick(name);
        osg::Group* root = window->sceneRoot();
        ASSERT_GE(root->getNumChildren(), 3u);
        // Terrain, then the marks (house, river and road layers and the text marks), then the lake.
        EXPECT_GT(root->getChild(0)->getBound().radius(), 1500.0f);
        osg::Group* marks = root->getChild(1)->asGroup();
        ASSERT_NE(marks, nullptr);
        EXPECT_EQ(marks->getNumChildren(), 4u);
        EXPECT_NE(root->getChild(2)->asGeode(), nullptr);
        EXPECT_EQ(window->currentSimulationMode(), 1);
        // The demo data holds 40 results per flood.
        EXPECT_EQ(window->availableFrameCount(), 40);

        ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 6; }, 20000));
        const QImage frame = window->view()->grabFrameBuffer();
        int terrain = 0;
        for (int y = 0; y < frame.height(); y += 4) {
            for (int x = 0; x < frame.width(); x += 4) {
                terrain += frame.pixelColor(x, y) != QColor(Qt::white);
            }
        }
        // The fixed viewpoint looks at the valley: most of the view is terrain.
        EXPECT_GT(terrain, (frame.width() / 4) * (frame.height() / 4) * 7 / 10);

        ASSERT_TRUE(
            waitUntil([this] { return window->currentFrameIndex() > window->availableFrameCount(); }, 60000));
        const int last = window->currentFrameIndex();
        runEventLoop(200);
        EXPECT_EQ(window->currentFrameIndex(), last) << "the replay stops at its end";
        for (int i = 0; i < window->sceneTreeModel()->rowCount(); ++i) {
            EXPECT_TRUE(window->sceneTreeModel()->item(i)->isEnabled());
        }
    }
}

TEST_F(CaseStudyTest, OpeningACaseTwiceReplaysOnce) {
    doubleClick("金江洪水");
    doubleClick("金江洪水");
    window->playbackTimer()->stop();
    EXPECT_EQ(window->currentFrameIndex(), 1);
    // One timer tick: one replay step of five frames, not two.
    window->playbackTimer()->setSingleShot(true);
    window->playbackTimer()->start(0);
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() != 1; }, 5000));
    runEventLoop(100);
    EXPECT_EQ(window->currentFrameIndex(), 6);
    // The scene was rebuilt, not added to: terrain, marks and one lake surface, then the replay frame.
    int lakes = 0;
    for (unsigned i = 0; i < window->sceneRoot()->getNumChildren(); ++i) {
        const osg::Geode* geode = window->sceneRoot()->getChild(i)->asGeode();
        const osg::Geometry* quad =
            geode && geode->getNumDrawables() == 1 ? geode->getDrawable(0)->asGeometry() : nullptr;
        lakes += quad && quad->getVertexArray()->getNumElements() == 4 &&
                 quad->getPrimitiveSet(0)->getMode() == GL_QUADS;
    }
    // The scene's own lake and the risen copy the replay draws with its frame.
    EXPECT_EQ(lakes, 2);
}

TEST_F(CaseStudyTest, StopKeepsTheCaseSceneAndTheNextCasePlaysAtOnce) {
    doubleClick("金江洪水");
    osg::Group* root = window->sceneRoot();
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 1; }, 20000));
    triggerMenuAction(*window, "&暂停演进");
    triggerMenuAction(*window, "&停止演进");
    // Terrain, marks and the case's lake; the frame's water, clock, legend and risen lake are gone.
    EXPECT_EQ(root->getNumChildren(), 3u);
    EXPECT_EQ(window->currentFrameIndex(), 1);
    runEventLoop(600);
    EXPECT_EQ(root->getNumChildren(), 3u) << "the stopped replay draws its first frame again";
    EXPECT_EQ(window->currentFrameIndex(), 1);

    // Continue replays from the first frame with the place names.
    triggerMenuAction(*window, "&继续演进");
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 1; }, 20000));
    EXPECT_GT(root->getNumChildren(), 3u);
    ASSERT_NE(root->getChild(1)->asGroup(), nullptr);
    EXPECT_EQ(root->getChild(1)->asGroup()->getNumChildren(), 4u) << "houses, river, road and place names";

    // Another case after a pause, and after a stop, plays without "start".
    for (const char* control : {"&暂停演进", "&停止演进"}) {
        SCOPED_TRACE(control);
        triggerMenuAction(*window, control);
        doubleClick(control == QString("&暂停演进") ? "6.1洪水" : "danba flood");
        EXPECT_TRUE(window->isPlaying());
        ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 1; }, 20000));
    }
}

TEST_F(CaseStudyTest, BindingAFolderIsWrittenAndReadAtTheNextStart) {
    QTemporaryDir newFolder;
    tree->setCurrentIndex(row("danba flood"));
    QAction* bind = tree->findChild<QAction*>();
    ASSERT_NE(bind, nullptr);
    EXPECT_EQ(bind->text(), "设定数据路径");
    ModalDriver confirm(clickButton("OK"), 15000, "QMessageBox");
    ModalDriver dialog(
        [&](QWidget* modal) {
            modal->findChild<QTextEdit*>("filePathEdit")->setPlainText(newFolder.path());
            QTest::mouseClick(modal->findChild<QPushButton*>("ConfirmButton"), Qt::LeftButton);
        },
        15000, "ChooseFileDialog");
    bind->trigger();
    ASSERT_TRUE(dialog.answered());
    ASSERT_TRUE(confirm.answered());
    EXPECT_EQ(confirm.text(), "绑定文件路径完成！");
    EXPECT_EQ(findBoundPath("danba flood"), newFolder.path());

    // The next start reads the same scenes in the same order, with the new folder.
    window.reset();
    boundScenes.clear();
    window = std::make_unique<MainWindow>();
    ASSERT_EQ(window->sceneTreeModel()->rowCount(), caseNames.size());
    for (int i = 0; i < caseNames.size(); ++i) {
        EXPECT_EQ(window->sceneTreeModel()->item(i)->text(), caseNames[i]);
    }
    EXPECT_EQ(findBoundPath("danba flood"), newFolder.path());
    EXPECT_EQ(findBoundPath("金江洪水"), DemoData::folder.path() + "/金江洪水");
}

TEST_F(CaseStudyTest, EachDebrisCaseReplaysItsFlowDownItsSlope) {
    const struct {
        const char* name;
        const char* playFolder;
        bool marks;  // "七盘泥石流" opens without the scene's marks
    } cases[] = {{"七盘泥石流", "/debrisflow_qipan", false}, {"文家泥石流", "/Disaster_Play", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window->sceneTreeModel()->item(0)->setEnabled(false);
        doubleClick(c.name);
        osg::Group* root = window->sceneRoot();
        // The terrain, then the road layer and the gully's name, before the replay adds its frame.
        ASSERT_GE(root->getNumChildren(), 1u);
        EXPECT_GT(root->getChild(0)->getBound().radius(), 1500.0f);
        if (c.marks) {
            ASSERT_GE(root->getNumChildren(), 2u);
            osg::Group* marks = root->getChild(1)->asGroup();
            ASSERT_NE(marks, nullptr);
            EXPECT_EQ(marks->getNumChildren(), 2u);
        }
        EXPECT_EQ(window->currentSimulationMode(), 2);
        EXPECT_EQ(window->playbackTimer()->interval(), 0);
        const QString folder = findBoundPath(c.name) + c.playFolder;
        EXPECT_EQ(window->availableFrameCount(), QDir(folder).entryList({"*.txt"}, QDir::Files).size());
        EXPECT_GT(window->availableFrameCount(), 30);
        EXPECT_TRUE(window->sceneTreeModel()->item(0)->isEnabled());

        // Replaying at once, with the flow on its slope in the fixed view.
        ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() > 25; }, 20000));
        window->playbackTimer()->stop();
        runEventLoop(300);
        const QImage frame = window->view()->grabFrameBuffer();
        int terrain = 0;
        int debris = 0;
        for (int y = 0; y < frame.height(); y += 4) {
            for (int x = 0; x < frame.width(); x += 4) {
                terrain += frame.pixelColor(x, y) != QColor(Qt::white);
                debris += isDebrisColour(frame.pixelColor(x, y));
            }
        }
        EXPECT_GT(terrain, (frame.width() / 4) * (frame.height() / 4) * 7 / 10);
        EXPECT_GT(debris, (frame.width() / 4) * (frame.height() / 4) / 100);

        window->playbackTimer()->start(0);
        ASSERT_TRUE(waitUntil(
            [this] { return window->currentFrameIndex() > window->availableFrameCount(); }, 60000));
        const int last = window->currentFrameIndex();
        runEventLoop(200);
        EXPECT_EQ(window->currentFrameIndex(), last) << "the replay stops at its end";
    }
}

TEST_F(CaseStudyTest, ADebrisSceneOfAnotherNameReadsItsConfigurationAndReplaysEverySixtyMilliseconds) {
    std::list<FileManage> scenes = readSceneList(sceneList);
    scenes.push_back({"岷江泥石流", findBoundPath("文家泥石流"), "2"});
    ASSERT_TRUE(writeSceneList(sceneList, scenes));
    window = std::make_unique<MainWindow>();
    showMainWindow(*window);
    ASSERT_TRUE(waitUntil([this] { return window->isVisible(); }));
    tree = window->findChild<QTreeView*>("treeView");

    doubleClick("岷江泥石流");
    osg::Group* root = window->sceneRoot();
    ASSERT_GE(root->getNumChildren(), 2u);
    EXPECT_GT(root->getChild(0)->getBound().radius(), 1500.0f);
    ASSERT_NE(root->getChild(1)->asGroup(), nullptr);
    EXPECT_EQ(root->getChild(1)->asGroup()->getNumChildren(), 2u);
    EXPECT_EQ(window->currentSimulationMode(), 2);
    EXPECT_EQ(window->playbackTimer()->interval(), 60);
    EXPECT_TRUE(window->playbackTimer()->isActive());
    ASSERT_TRUE(waitUntil([this] { return window->currentFrameIndex() >= 4; }, 10000));
}

}  // namespace
