// The main window as the user first sees it: title, size, menus, tool bar, view and closing.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <osg/Geode>
#include <osgGA/TrackballManipulator>

#include "mainwindow.h"
#include "modaldriver.h"
#include "testmodels.h"
#include "viewerqt.h"

namespace {

QStringList visibleTexts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* action : actions) {
        texts << (action->isSeparator() ? QString("|") : action->text());
    }
    return texts;
}

QMenu* menuTitled(MainWindow& window, const QString& title) {
    for (QAction* action : window.menuBar()->actions()) {
        if (action->text() == title) {
            return action->menu();
        }
    }
    return nullptr;
}

QAction* actionTitled(MainWindow& window, const QString& text) {
    for (QAction* menuAction : window.menuBar()->actions()) {
        for (QAction* action : menuAction->menu()->actions()) {
            if (action->text() == text) {
                return action;
            }
        }
    }
    return nullptr;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        showMainWindow(window);
        ASSERT_TRUE(waitUntil([this] { return window.isVisible(); }));
        runEventLoop(200);
    }
    MainWindow window;
};

TEST_F(MainWindowTest, StartsAsVantorelWithMenusAndTheirActionsInOrder) {
    EXPECT_EQ(window.windowTitle(), "Vantorel");
    // The entry point's size, not the 683 x 476 of the form.
    EXPECT_EQ(window.size(), QSize(800, 600));
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_TRUE(window.coordinateLabel()->text().isEmpty());
    EXPECT_EQ(visibleTexts(window.menuBar()->actions()),
              QStringList({"&File", "&Data Processing", "&Simulation Control", "&Calculation and Simulation",
                           "&Mode", "&Help"}));
    EXPECT_EQ(visibleTexts(menuTitled(window, "&File")->actions()),
              QStringList({"&Open", "&Load", "|", "&返回上一视图", "&跳至下一视图", "|", "加载矢量数据",
                           "清除数据", "&保存", "另存为...", "|", "&退出"}));
    EXPECT_EQ(visibleTexts(menuTitled(window, "&Data Processing")->actions()),
              QStringList({"&数据处理工具"}));
    EXPECT_EQ(visibleTexts(menuTitled(window, "&Simulation Control")->actions()),
              QStringList({"&开始演进", "&暂停演进", "&继续演进", "&停止演进", "|", "&快速演进", "&重新演进",
                           "|", "Monitor Points", "Export video…"}));
    EXPECT_EQ(visibleTexts(menuTitled(window, "&Calculation and Simulation")->actions()),
              QStringList({"洪水", "&泥石流", "&滑坡", "&获取相机参数", "&停止运算"}));
    EXPECT_EQ(visibleTexts(menuTitled(window, "&Mode")->actions()), QStringList({"全溃", "半溃"}));
    EXPECT_EQ(visibleTexts(menuTitled(window, "&Help")->actions()), QStringList({"&软件说明"}));
}

TEST_F(MainWindowTest, ToolBarHoldsTheFileAndRoamActionsWithBundledIcons) {
    auto* toolBar = window.findChild<QToolBar*>("mainToolBar");
    ASSERT_NE(toolBar, nullptr);
    EXPECT_EQ(visibleTexts(toolBar->actions()),
              QStringList({"&Open", "&Load", "&返回上一视图", "&跳至下一视图", "&保存", "&开始演进",
                           "&暂停演进", "&继续演进", "&停止演进", "&快速演进", "&重新演进"}));
    for (QAction* action : toolBar->actions()) {
        EXPECT_FALSE(action->icon().availableSizes().isEmpty()) << action->text().toStdString();
        EXPECT_EQ(action->parent(), &window) << action->text().toStdString();
    }
    // Without an icon theme the exit action has no picture, and "save as" never had one.
    EXPECT_TRUE(actionTitled(window, "&退出")->icon().isNull());
    EXPECT_TRUE(actionTitled(window, "另存为...")->icon().isNull());
}

TEST_F(MainWindowTest, ShortcutsAndStatusTips) {
    const std::pair<const char*, QKeySequence> shortcuts[] = {{"&Open", QKeySequence::Open},
                                                              {"&保存", QKeySequence::Save},
                                                              {"另存为...", QKeySequence::SaveAs},
                                                              {"&退出", QKeySequence::Quit},
                                                              {"&Load", QKeySequence()}};
    for (const auto& [text, shortcut] : shortcuts) {
        EXPECT_EQ(actionTitled(window, text)->shortcut(), shortcut) << text;
    }

    const std::pair<const char*, const char*> tips[] = {
        {"&Open", "打开已有文件"},
        {"&Load", "Load Scene"},
        {"&返回上一视图", "返回上一视图"},
        {"&跳至下一视图", "跳至下一视图"},
        {"加载矢量数据", "加载矢量数据"},
        {"&退出", "退出程序"},
        {"&数据处理工具", "数据预处理"},
        {"&快速演进", "加快演进：每次 1、2、3、4 倍速轮换"},
        {"&停止演进", "停止演进，回到第一帧"},
        {"洪水", "当前为洪水灾害动态模拟"},
        {"&滑坡", "当前为滑坡动态模拟"},
        {"&停止运算", "停止运算"},
        {"&软件说明", "软件说明"},
        {"全溃", ""},
    };
    for (const auto& [text, tip] : tips) {
        QAction* action = actionTitled(window, text);
        ASSERT_NE(action, nullptr) << text;
        EXPECT_EQ(action->statusTip(), QString(tip)) << text;
    }
    // Every tool-bar action says what it does: no two share a tip.
    QStringList toolBarTips;
    for (QAction* action : window.findChild<QToolBar*>("mainToolBar")->actions()) {
        EXPECT_FALSE(toolBarTips.contains(action->statusTip())) << action->text().toStdString();
        toolBarTips << action->statusTip();
    }
}

TEST_F(MainWindowTest, TreeStaysNarrowAndTheViewTakesTheRest) {
    auto* tree = window.findChild<QTreeView*>("treeView");
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->model()->headerData(0, Qt::Horizontal).toString(), "Flood");
    window.resize(1400, 700);
    runEventLoop(200);
    EXPECT_LE(tree->width(), 200);
    EXPECT_GT(window.view()->width(), 1000);
    EXPECT_GT(window.view()->x(), tree->x());
}

TEST_F(MainWindowTest, EmptySceneRendersWhite) {
    runEventLoop(300);
    const QImage frame = window.view()->grabFrameBuffer();
    ASSERT_FALSE(frame.isNull());
    for (const QPoint& at : {QPoint(5, 5), QPoint(frame.width() / 2, frame.height() / 2),
                             QPoint(frame.width() - 5, frame.height() - 5)}) {
        EXPECT_EQ(frame.pixelColor(at), QColor(Qt::white)) << at.x() << "," << at.y();
    }
}

TEST_F(MainWindowTest, AnIdleWindowDrawsNothingAndPrintsNothing) {
    runEventLoop(300);
    const unsigned drawn = window.view()->getFrameStamp()->getFrameNumber();
    const IdleSpell idle = idleSpell(3000);
    // Under 3 % of a core, the software renderer's threads included.
    EXPECT_LT(idle.processorSeconds, 0.03 * 3.0);
    EXPECT_EQ(window.view()->getFrameStamp()->getFrameNumber(), drawn);
    EXPECT_EQ(idle.printed, "");
}

TEST_F(MainWindowTest, ModelsUnderTheRootAreDrawnUnlitWhateverTheyAsk) {
    osg::ref_ptr<osg::Geode> patch = makeTerrainPatch(0, 0, 100, 0);
    patch->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::ON);
    window.sceneRoot()->addChild(patch.get());
    lookDownAt(*window.view(), osg::Vec3d(50, 50, 0), 150);
    runEventLoop(400);
    const QImage frame = window.view()->grabFrameBuffer();
    const QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
    // The patch's own colour (0.45, 0.45, 0.42) unchanged by the head light.
    EXPECT_NEAR(centre.red(), 115, 2);
    EXPECT_NEAR(centre.green(), 115, 2);
    EXPECT_NEAR(centre.blue(), 107, 2);
}

TEST_F(MainWindowTest, TheViewTakesKeyboardFocusOnlyWhenClicked) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_FALSE(window.view()->hasFocus());
    QTest::mouseClick(window.view(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_TRUE(window.view()->hasFocus());
}

TEST_F(MainWindowTest, HelpDescribesTheProgramInOneBox) {
    ModalDriver box(clickButton("&Yes"));
    actionTitled(window, "&软件说明")->trigger();
    ASSERT_TRUE(box.answered());
    EXPECT_EQ(box.title(), "说明");
    EXPECT_TRUE(box.text().contains("OSG"));
    EXPECT_TRUE(box.text().contains(QString("Qt ") + qVersion())) << box.text().toStdString();
    EXPECT_TRUE(box.text().contains("GDAL"));
}

TEST_F(MainWindowTest, DataToolThatIsNotThereIsStartedWithoutAWord) {
    // No pre-processing program lies beside the test programs.
    ModalDriver anyDialog(cancelDialog(), 1000);
    actionTitled(window, "&数据处理工具")->trigger();
    runEventLoop(1200);
    EXPECT_FALSE(anyDialog.answered());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindowTest, ClosingAsksAndNoKeepsTheWindowOpen) {
    ModalDriver refuse(clickButton("&No"));
    window.close();
    EXPECT_TRUE(refuse.answered());
    EXPECT_EQ(refuse.title(), "Quit");
    EXPECT_EQ(refuse.text(), "是否关闭整个程序?");
    runEventLoop(100);
    EXPECT_TRUE(window.isVisible());

    ModalDriver agree(clickButton("&Yes"));
    window.close();
    EXPECT_TRUE(agree.answered());
    runEventLoop(100);
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
