// Construction of the main window: widgets, menus and tool bar, scene graph, camera, light, handlers,
// and the close confirmation.
#include "mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <osg/Light>
#include <osgGA/StateSetManipulator>

#include "debrisflow.h"
#include "debrissession.h"
#include "floodform.h"
#include "floodsession.h"
#include "labellayout.h"
#include "landslideform.h"
#include "landslidesession.h"
#include "landslidestory.h"
#include "monitorcharts.h"
#include "pickhandle.h"
#include "platform.h"
#include "sessionstage.h"
#include "terrainmanipulator.h"
#include "ui_mainwindow.h"
#include "useeventhandler.h"
#include "viewerqt.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    ui = std::make_unique<Ui_MainWindow>();
    ui->setupUi(this);
    treeView = ui->treeView;

    coordLabel = new QLabel;
    coordLabel->resize(100, 30);
    statusBar()->addPermanentWidget(coordLabel, 0);

    monitorDock = new MonitorDock(this);
    addDockWidget(Qt::BottomDockWidgetArea, monitorDock);

    createActions();

    floodForm = std::make_unique<FloodForm>();
    debrisForm = std::make_unique<DebrisFlow>();
    landslideForm = std::make_unique<LandslideForm>();

    evolution = new EvolutionController(this);
    connectBeats();

    viewer = new ViewerQT;

    root = new osg::Group;
    // Every view of the scene, the window's and a film's, lays out its labels before it draws them.
    root->setCullCallback(new LabelLayout);

    stage = std::make_unique<SessionStage>(*root, *viewer, *evolution, pace, *monitorDock, *treeModel);
    flood = std::make_unique<FloodSession>(*stage, *floodForm);
    debris = std::make_unique<DebrisSession>(*stage, *debrisForm);
    landslide = std::make_unique<LandslideSession>(*stage);
    story = std::make_unique<LandslideStory>(*stage, *landslide, catalog);
    connect(story->lakeFillingTimer(), &QTimer::timeout, this, &MainWindow::FloodingAnalysis);

    platform::setChineseLocale();

    viewer->setCameraManipulator(new TerrainManipulator(viewer->getCamera()));
    viewer->setSceneData(root.get());
    viewRecorder = new UseEventHandler;
    viewer->addEventHandler(viewRecorder.get());
    picker = new PickHandle;
    // The label follows each pick as it happens, instead of polling for it.
    picker->onPick = [this](const osg::Vec3d&) { showCoordinate(); };
    viewer->addEventHandler(picker.get());

    osg::Light* headLight = viewer->getLight();
    headLight->setPosition(osg::Vec4(1.0f, 1.0f, 0.0f, 0.0f));
    headLight->setAmbient(osg::Vec4(0.6f, 0.6f, 0.6f, 1.0f));
    headLight->setDiffuse(osg::Vec4(0.2f, 0.2f, 0.2f, 1.0f));

    viewer->addEventHandler(new osgGA::StateSetManipulator(viewer->getCamera()->getOrCreateStateSet()));

    // The scene is drawn unlit whatever the loaded models ask for.
    root->getOrCreateStateSet()->setMode(GL_LIGHTING,
                                         osg::StateAttribute::OFF | osg::StateAttribute::OVERRIDE);

    viewLayout = ui->horizontalLayout;
    viewLayout->addWidget(viewer, 0);
}

MainWindow::~MainWindow() = default;

int MainWindow::presentationStep() const {
    return story->presentationStep();
}

QTimer* MainWindow::lakeFillingTimer() const {
    return story->lakeFillingTimer();
}

void showMainWindow(MainWindow& window) {
    window.setWindowTitle("Vantorel");
    window.resize(800, 600);
    window.show();
}

// An icon from the desktop theme, with the bundled picture where the theme has none.
static QIcon themedIcon(const char* themeName, const char* resourceFile) {
    return QIcon::fromTheme(themeName, QIcon(QString(":/src/images/") + resourceFile));
}

void MainWindow::createActions() {
    appDir = QCoreApplication::applicationDirPath();

    QMenu* fileMenu = menuBar()->addMenu(tr("&File"));

    auto* openAction = new QAction(themedIcon("document-open", "open.png"), tr("&Open"), this);
    openAction->setShortcuts(QKeySequence::Open);
    openAction->setStatusTip(tr("打开已有文件"));
    connect(openAction, &QAction::triggered, this, &MainWindow::open);
    fileMenu->addAction(openAction);
    ui->mainToolBar->addAction(openAction);

    auto* loadAction = new QAction(themedIcon("document-open", "addData.png"), tr("&Load"), this);
    loadAction->setStatusTip(tr("Load Scene"));
    connect(loadAction, &QAction::triggered, this, &MainWindow::addData);
    fileMenu->addAction(loadAction);
    ui->mainToolBar->addAction(loadAction);

    fileMenu->addSeparator();

    auto* previousViewAction = new QAction(themedIcon("document-open", "pre.png"), tr("&返回上一视图"), this);
    previousViewAction->setStatusTip(tr("返回上一视图"));
    connect(previousViewAction, &QAction::triggered, this, &MainWindow::preView);
    fileMenu->addAction(previousViewAction);
    ui->mainToolBar->addAction(previousViewAction);

    auto* nextViewAction = new QAction(themedIcon("document-open", "next.png"), tr("&跳至下一视图"), this);
    nextViewAction->setStatusTip(tr("跳至下一视图"));
    connect(nextViewAction, &QAction::triggered, this, &MainWindow::nextView);
    fileMenu->addAction(nextViewAction);
    ui->mainToolBar->addAction(nextViewAction);

    fileMenu->addSeparator();

    QAction* shapeAction = fileMenu->addAction(tr("加载矢量数据"), this, &MainWindow::OpenShapeFile);
    shapeAction->setStatusTip(tr("加载矢量数据"));
    QAction* clearAction = fileMenu->addAction(tr("清除数据"), this, &MainWindow::DeleteAllNode);
    clearAction->setStatusTip(tr("清除数据"));

    auto* saveAction = new QAction(themedIcon("document-save", "save.png"), tr("&保存"), this);
    saveAction->setShortcuts(QKeySequence::Save);
    saveAction->setStatusTip(tr("保存"));
    connect(saveAction, &QAction::triggered, this, &MainWindow::save);
    fileMenu->addAction(saveAction);
    ui->mainToolBar->addAction(saveAction);

    QAction* saveAsAction = fileMenu->addAction(tr("另存为..."), this, &MainWindow::saveAs);
    saveAsAction->setShortcuts(QKeySequence::SaveAs);
    saveAsAction->setStatusTip(tr("另存为..."));

    fileMenu->addSeparator();

    auto* exitAction = new QAction(QIcon::fromTheme("application-exit"), tr("&退出"), this);
    exitAction->setShortcuts(QKeySequence::Quit);
    exitAction->setStatusTip(tr("退出程序"));
    connect(exitAction, &QAction::triggered, qApp, &QApplication::closeAllWindows);
    fileMenu->addAction(exitAction);

    QMenu* dataMenu = menuBar()->addMenu(tr("&Data Processing"));
    QAction* toolAction = dataMenu->addAction(tr("&数据处理工具"), this, &MainWindow::dataDealTool);
    toolAction->setStatusTip(tr("数据预处理"));

    QMenu* controlMenu = menuBar()->addMenu(tr("&Simulation Control"));
    struct RoamAction {
        const char* text;
        const char* icon;
        const char* tip;
        void (MainWindow::*slot)();
    };
    const RoamAction roamActions[] = {
        {"&开始演进", "start.png", "让演进播放", &MainWindow::startRoam},
        {"&暂停演进", "pause.png", "暂停演进，停在当前一帧", &MainWindow::pauseRoam},
        {"&继续演进", "continue.png", "从暂停或停止处继续演进", &MainWindow::continueRoma},
        {"&停止演进", "stop.png", "停止演进，回到第一帧", &MainWindow::stopRoam},
        {nullptr, nullptr, nullptr, nullptr},
        {"&快速演进", "speedUp.png", "加快演进：每次 1、2、3、4 倍速轮换", &MainWindow::speedControl},
        {"&重新演进", "restart.png", "从第一帧重新演进", &MainWindow::restartRoam},
    };
    for (const RoamAction& roam : roamActions) {
        if (!roam.text) {
            controlMenu->addSeparator();
            continue;
        }
        auto* action = new QAction(themedIcon("document-open", roam.icon), tr(roam.text), this);
        action->setStatusTip(tr(roam.tip));
        connect(action, &QAction::triggered, this, roam.slot);
        controlMenu->addAction(action);
        ui->mainToolBar->addAction(action);
    }
    controlMenu->addSeparator();
    controlMenu->addAction(monitorDock->toggleViewAction());
    controlMenu->addAction(tr("Export video…"), this, &MainWindow::exportVideo)
        ->setStatusTip(tr("把当前回放逐帧写成 MP4 视频"));

    QMenu* calculationMenu = menuBar()->addMenu(tr("&Calculation and Simulation"));
    calculationMenu->addAction(tr("洪水"), this, &MainWindow::setData_flood)
        ->setStatusTip(tr("当前为洪水灾害动态模拟"));
    calculationMenu->addAction(tr("&泥石流"), this, &MainWindow::setData_debrisflow)
        ->setStatusTip(tr("当前为泥石流灾害动态模拟"));
    calculationMenu->addAction(tr("&滑坡"), this, &MainWindow::setData_landslide)
        ->setStatusTip(tr("当前为滑坡动态模拟"));
    calculationMenu->addAction(tr("&获取相机参数"), this, &MainWindow::getCameraParmeter)
        ->setStatusTip(tr("当前为相机参数获取"));
    calculationMenu->addAction(tr("&停止运算"), this, &MainWindow::stopCal)->setStatusTip(tr("停止运算"));

    QMenu* modeMenu = menuBar()->addMenu(tr("&Mode"));
    modeMenu->addAction(tr("全溃"), this, &MainWindow::FloodModelA);
    modeMenu->addAction(tr("半溃"), this, &MainWindow::FloodModelH);

    QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(tr("&软件说明"), this, &MainWindow::help)->setStatusTip(tr("软件说明"));

    buildSceneTree();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    const int answer =
        QMessageBox::question(this, tr("Quit"), tr("是否关闭整个程序?"), QMessageBox::Yes, QMessageBox::No);
    if (answer == QMessageBox::Yes) {
        flood->writeSummary();
        debris->writeSummary();
        event->accept();
        qApp->quit();
    } else {
        event->ignore();
    }
}
