// Case studies: the scene tree and its data-path binding, opening a case, and the vector layers.
#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QStatusBar>
#include <QStandardItemModel>
#include <QTreeView>
#include <iostream>

#include "choosefiledialog.h"
#include "configreader.h"
#include "debrishud.h"
#include "floodhud.h"
#include "lakesurface.h"
#include "floodsession.h"
#include "landslidestory.h"
#include "mainwindow.h"
#include "sessionstage.h"
#include "readshpdialog.h"
#include "scenelist.h"
#include "scenemarks.h"
#include "terrainmanipulator.h"
#include "useeventhandler.h"
#include "viewerqt.h"

void MainWindow::buildSceneTree() {
    treeModel = new QStandardItemModel(treeView);
    catalog.load(appDir + "/TreeMeta.json");
    fillSceneTree(*treeModel, catalog.scenes);

    auto* bindAction = new QAction(tr("设定数据路径"), treeView);
    treeView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(treeView, &QTreeView::customContextMenuRequested, this, [this, bindAction](const QPoint&) {
        QMenu menu;
        const QPoint at = treeView->viewport()->mapFromGlobal(QCursor::pos());
        if (treeView->indexAt(at).isValid()) {
            menu.addAction(bindAction);
        }
        menu.exec(QCursor::pos());
    });
    treeView->setModel(treeModel);
    treeView->setEditTriggers(QAbstractItemView::NoEditTriggers);

    connect(treeView, SIGNAL(doubleClicked(QModelIndex)), this, SLOT(OnlineTreeViewDoubleClick(QModelIndex)));
    connect(treeView, SIGNAL(clicked(QModelIndex)), this, SLOT(ClickTree(QModelIndex)));
    connect(bindAction, SIGNAL(triggered()), this, SLOT(BindFilePath()));
}

void MainWindow::BindFilePath() {
    const QString name = treeView->currentIndex().data().toString();
    auto* dialog = new ChooseFileDialog(catalog);
    dialog->sceneName = name;
    dialog->setWindowTitle(name + tr(" 设置路径"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->exec();
}

void MainWindow::ClickTree(QModelIndex) {
    // How the fixed viewpoints of the case studies were taken.
    osg::Vec3d eye, center, up;
    readCameraView(eye, center, up);
}

namespace {

// The cases wired to their own folders and viewpoints; every other flood scene reads its configuration.
struct WiredFloodCase {
    const char* name;
    const char* terrain;  // below the scene folder
    osg::Vec3d eye;
    osg::Vec3d center;
    osg::Vec3d up;
    float lakeHeightOffset;
};

const WiredFloodCase wiredFloodCases[] = {
    {"金江洪水",
     "/Disaster_DiXing/jinshajiang.ive",
     {483426, 3434170, 16660.2},
     {-1.32e30, -1.15475e29, -2.62126e30},
     {-0.880339, -0.150208, 0.449934},
     40.0f},
    {"6.1洪水",
     "/Disaster_DiXing/flood.ive",
     {247054, 3230686, 5793.4},
     {-7.80682e29, 1.17744e30, -2.57505e30},
     {-0.43, 0.76, 0.48},
     10.0f},
};

// The debris-flow cases wired to their own folders and viewpoints.
struct WiredDebrisCase {
    const char* name;
    const char* terrain;  // below the scene folder
    bool withMarks;
    osg::Vec3d eye;
    osg::Vec3d center;
    osg::Vec3d up;
    const char* play;  // prepared frames, below the scene folder
};

const WiredDebrisCase wiredDebrisCases[] = {
    // Its terrain lies in "DisasterDiXing", without the underscore of the other cases' folders.
    {"七盘泥石流",
     "/DisasterDiXing/qipan/output.ive",
     false,
     {359652, 3481500, 4637.01},
     {1.62035e30, -1.53595e30, -1.90842e30},
     {0.684762, -0.160791, 0.710808},
     "/debrisflow_qipan"},
    {"文家泥石流",
     "/Disaster_DiXing/debrisflow.ive",
     true,
     {414686, 3491320, 3414.15},
     {1.50987e30, -3.63805e29, -2.49293e30},
     {0.845675, -0.0922817, 0.525659},
     "/Disaster_Play"},
};

}  // namespace

std::unique_ptr<LakeSurface> configuredLake(const SceneCatalog& catalog) {
    SceneConfigReader reader(catalog);
    const std::vector<std::string> lake = reader.readConfigValues(reader.path, "BarrierLake");
    if (lake.empty() || lake.front().empty()) {
        return nullptr;
    }
    auto surface = std::make_unique<LakeSurface>(2000.0f, 2000.0f, 40.0f);
    surface->placeOn(lake.front());
    return surface;
}

void MainWindow::loadTerrain(const std::string& path) {
    if (osg::ref_ptr<osg::Node> model = loadModel(path)) {
        root->addChild(model.get());
    }
}

osg::ref_ptr<osg::Node> MainWindow::loadModel(const std::string& path) {
    std::string problem;
    osg::ref_ptr<osg::Node> model = loadShownModel(path, &problem);
    if (!model) {
        statusBar()->showMessage(localText(problem), 10000);
    }
    return model;
}

void MainWindow::addFloodMarksAndLake() {
    root->addChild(buildSceneMarks(catalog).get());
    if (LakeSurface* lake = flood->lake()) {
        root->addChild(lake->makeNode().get());
    }
}

void MainWindow::startCaseReplay(EvolutionMode mode, const std::string& folder, int intervalMs) {
    // The stages of a landslide story share the timer and would run on between the replay's frames.
    story->stop();
    evolution->mode = mode;
    evolution->speedStep = 1;
    assignReplayFolder(folder);
    // A case plays at once, whatever a pause or stop left behind.
    evolution->playing = true;
    evolution->drive(Beat::Replay, pace.intervalMs(intervalMs));
}

void MainWindow::OnlineTreeViewDoubleClick(QModelIndex index) {
    const QString name = index.data().toString();
    const QStandardItem* item = treeModel->itemFromIndex(index);
    const bool enabled = item && item->isEnabled();
    catalog.currentScene = name;
    const std::string folder = catalog.pathOf(name).toUtf8().toStdString();
    const QString type = catalog.typeOf(name);

    // The landslide cases wired by name, then the flood cases.
    const bool wiredLandslide =
        enabled && (name == QString::fromUtf8("金江滑坡") || name == QString::fromUtf8("茂滑坡"));
    const WiredFloodCase* wired = nullptr;
    for (const WiredFloodCase& floodCase : wiredFloodCases) {
        if (name == QString::fromUtf8(floodCase.name) && enabled) {
            wired = &floodCase;
        }
    }
    const WiredDebrisCase* wiredDebris = nullptr;
    for (const WiredDebrisCase& debrisCase : wiredDebrisCases) {
        if (name == QString::fromUtf8(debrisCase.name) && enabled) {
            wiredDebris = &debrisCase;
        }
    }
    // The scenes opened by their type read terrain, viewpoint and result folder from their configuration.
    SceneConfigReader reader(catalog);
    const auto loadConfiguredTerrain = [this, &reader] {
        const std::vector<std::string> paths = reader.readConfigValues(reader.path, "Path");
        if (!paths.empty()) {
            loadTerrain(paths.front());
        }
    };
    const auto placeConfiguredCamera = [this, &reader] {
        osg::Vec3d eye, center, up;
        if (cameraFromValues(reader.readConfigValues(reader.path, "Camera"), eye, center, up)) {
            stage->placeCamera(eye, center, up);
        }
    };
    const auto replayConfiguredFolder = [this, &reader](EvolutionMode mode, int intervalMs) {
        const std::vector<std::string> play = reader.readConfigValues(reader.path, "Play");
        if (!play.empty()) {
            startCaseReplay(mode, play.front(), intervalMs);
        }
    };

    const bool opensCase =
        wiredLandslide || wired || wiredDebris || type == "1" || type == "2" || type == "3";
    if (opensCase) {
        // The case replaces whatever runs or replays in the scene it replaces.
        stopEvolution();
    }
    if (wiredLandslide) {
        story->open(false);
    } else if (wired) {
        root->removeChildren(0, root->getNumChildren());
        loadTerrain(folder + wired->terrain);
        stage->placeCamera(wired->eye, wired->center, wired->up);
        auto lake = std::make_unique<LakeSurface>(2000.0f, 2000.0f, wired->lakeHeightOffset);
        lake->placeOn(folder + "/Disaster_Signs/River/BarrierLake.shp");
        flood->setLake(std::move(lake));
        addFloodMarksAndLake();
        startCaseReplay(EvolutionMode::Flood, folder + "/Disaster_Play", 0);
    } else if (wiredDebris) {
        root->removeChildren(0, root->getNumChildren());
        loadTerrain(folder + wiredDebris->terrain);
        if (wiredDebris->withMarks) {
            root->addChild(buildSceneMarks(catalog).get());
        }
        stage->placeCamera(wiredDebris->eye, wiredDebris->center, wiredDebris->up);
        // At the pace of every other debris replay: with no pause between frames the flow would pass as
        // fast as the machine draws, in about a second.
        startCaseReplay(EvolutionMode::Debris, folder + wiredDebris->play, 60);
    } else if (type == "1") {
        evolution->mode = EvolutionMode::Flood;
        root->removeChildren(0, root->getNumChildren());
        loadConfiguredTerrain();
        flood->setLake(configuredLake(catalog));
        placeConfiguredCamera();
        addFloodMarksAndLake();
        replayConfiguredFolder(EvolutionMode::Flood, 0);
    } else if (type == "2") {
        root->removeChildren(0, root->getNumChildren());
        loadConfiguredTerrain();
        placeConfiguredCamera();
        root->addChild(buildSceneMarks(catalog).get());
        replayConfiguredFolder(EvolutionMode::Debris, 60);
    } else if (type == "3") {
        // Other landslide scenes: the terrain may change while the story plays.
        story->open(true);
    }
    stage->enableSceneTree();
}

void MainWindow::OpenShapeFile() {
    auto* dialog = new ReadshpDialog;
    connect(dialog, SIGNAL(sendGroup(shapeFormat*)), this, SLOT(receiveGroup(shapeFormat*)));
    dialog->show();
}

void MainWindow::receiveGroup(shapeFormat* sft) {
    VectorLayerBuilder builder;
    builder.vectorColor = sft->vectorColor;
    builder.textColor = sft->textColor;
    builder.textSize = sft->textSize;
    builder.readShapefile(sft->filePath.c_str());
    root->addChild(builder.buildLayer().get());
    delete sft;
}

void MainWindow::DeleteAllNode() {
    // Nothing of a run may go on drawing into the emptied scene.
    stopEvolution();
    evolution->mode = EvolutionMode::None;
    root->removeChildren(0, root->getNumChildren());
}
