// The scripted presentation of a landslide case: labels of earlier disasters with a wobbling view, the
// outline, geological lines and rain, then the title, the dust and the replay of the slide; after the
// slide (and the filling of the barrier lake) the flood stage of "danba flood".
//
// Every stage runs on the playback timer and hands it on to the next one:
//   dispatch -> displayInfo (2 s) -> Shake (50 ms) x wobble -> displayInfo (1 s) -> ... -> boundary
//   stage (5 s) -> title stage -> Visualize (0 ms) -> [FloodingAnalysis] -> displayLandslideInfo
//   -> Visualize (flood).
#include <QColor>
#include <QFile>
#include <QTimer>
#include <iostream>
#include <osg/MatrixTransform>
#include <osgDB/ReadFile>
#include <osgText/Text>

#include "configreader.h"
#include "depthsetter.h"
#include "floodhud.h"
#include "lakesurface.h"
#include "landslidesymbols.h"
#include "mainwindow.h"
#include "scenelist.h"
#include "smoke.h"
#include "solidtint.h"
#include "symbolbuilder.h"
#include "terrainmanipulator.h"
#include "vectorlayer.h"
#include "viewerqt.h"

namespace {

std::vector<std::string> scenarioValues(const std::string& category) {
    SceneConfigReader reader;
    return reader.readLandslideValues(reader.path, category);
}

const osg::Vec4 geologyWhite(1.0f, 1.0f, 1.0f, 1.0f);
const osg::Vec4 geologyYellow(1.0f, 1.0f, 0.6f, 1.0f);
constexpr float geologyLineWidth = 2.0f;
constexpr int shakeTicks = 10;

// The geological lines of the scenario, unlit; none when the scenario names none or it does not load.
osg::ref_ptr<osg::Node> loadGeologicalLines() {
    const std::vector<std::string> lines = scenarioValues("DiZhiXian");
    if (lines.empty()) {
        return nullptr;
    }
    osg::ref_ptr<osg::Node> model = osgDB::readRefNodeFile(lines.front());
    if (model) {
        model->getOrCreateStateSet()->setMode(GL_LIGHTING,
                                              osg::StateAttribute::OFF | osg::StateAttribute::OVERRIDE);
    }
    return model;
}

}  // namespace

void MainWindow::openLandslideCase(bool dynamicTerrain) {
    // A presentation still running (the same case opened again) would go on beside the new one.
    stopLandslideScenario();
    evolution->mode = EvolutionMode::Landslide;
    const std::vector<std::string> slide = scenarioValues("landslide");
    // Without its result folder the story ends at the title instead of replaying another case's slide.
    landslideScenario = slide.empty() ? std::string() : slide.front();
    std::cout << "landslideOutPath: " << landslideScenario << std::endl;
    const std::vector<std::string> paths = scenarioValues("Path");
    root->removeChildren(0, root->getNumChildren());
    analysisGroup->removeChildren(0, analysisGroup->getNumChildren());
    storyOnScreen = true;
    if (!paths.empty()) {
        if (osg::ref_ptr<osg::Node> terrain = osgDB::readRefNodeFile(paths.front())) {
            if (dynamicTerrain) {
                terrain->setDataVariance(osg::Object::DYNAMIC);
            }
            root->addChild(terrain);
        }
    }
    osg::Vec3d eye, center, up;
    if (cameraFromValues(scenarioValues("Camera1"), eye, center, up)) {
        placeCamera(eye, center, up);
    }
    infoStep = 0;
    shakeCount = 0;
    evolution->drive(Beat::StoryLabels, pace.intervalMs(2000));
}

void MainWindow::stopLandslideScenario() {
    for (Beat stage : {Beat::StoryLabels, Beat::StoryShake, Beat::StoryFlood, Beat::Replay}) {
        evolution->release(stage);
    }
    stopFloodingAnalysis();
}

void MainWindow::displayInfo() {
    const int step = ++infoStep;
    const std::vector<std::string> history = scenarioValues("lishizaihai");
    evolution->mode = EvolutionMode::Landslide;
    const int disasters = static_cast<int>(history.size() / 4);

    // The opening view, taken again on every tick of the label stages: the user cannot wander off yet.
    osg::Vec3d eye, center, up;
    if (disasters >= 1 && cameraFromValues(scenarioValues("Camera1"), eye, center, up)) {
        viewer->setCameraManipulator(
            new TerrainManipulator(viewer->getCamera(), osgGA::StandardManipulator::UPDATE_MODEL_SIZE |
                                                            osgGA::StandardManipulator::PROCESS_MOUSE_WHEEL),
            true);
        viewer->getCameraManipulator()->setByInverseMatrix(osg::Matrixd::lookAt(eye, center, up));
    }

    if (step >= 1 && step <= disasters) {
        // The next earlier disaster joins the labels, then the view wobbles.
        keepOnlyTerrain();
        evolution->release(Beat::StoryLabels);
        evolution->drive(Beat::StoryShake, pace.intervalMs(50));
        root->addChild(landslideSymbols->disasterLabels(step));
        if (step == disasters) {
            if (osg::ref_ptr<osg::Geode> geology = landslideSymbols->geologyLabel()) {
                root->addChild(geology);
            }
        }
    } else if (step == disasters + 1) {
        // The slide area, its geology and the rain that set it off.
        keepOnlyTerrain();
        const std::vector<std::string> boundary = scenarioValues("boundary");
        if (!boundary.empty()) {
            VectorLayerBuilder builder;
            builder.lineStyle = 1;
            builder.vectorColor = QColor(255, 0, 0, 255);
            builder.readShapefile(QFile::encodeName(QString::fromStdString(boundary.front())).constData());
            root->addChild(builder.buildLayer());
        }
        if (osg::ref_ptr<osg::Node> lines = loadGeologicalLines()) {
            tintNode(lines, geologyWhite, geologyLineWidth, false);
            root->addChild(lines);
        }
        if (osg::ref_ptr<osg::Geode> label = landslideSymbols->boundaryLabel()) {
            root->addChild(label);
        }
        const std::vector<std::string> rain = scenarioValues("rainDescribe");
        if (rain.size() >= 4 && !rain[0].empty()) {
            const osg::Vec3 at(std::atof(rain[1].c_str()), std::atof(rain[2].c_str()),
                               std::atof(rain[3].c_str()));
            root->addChild(SymbolBuilder().makeScreenLabel(
                rain[0], at, 45.0f, osg::Vec4(0.0f, 0.3f, 0.6f, 1.0f), osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f)));
        }
        root->addChild(landslideSymbols->buildRain());
        evolution->restartTimer(pace.intervalMs(5000));
    } else if (step == disasters + 2) {
        // The title and the dust, and the slide's frames replayed.
        keepOnlyTerrain();
        evolution->mode = EvolutionMode::Landslide;
        evolution->frameIndex = 1;
        evolution->speedStep = 1;
        // A replay held by an earlier pause or stop would leave the story frozen on its first frame.
        evolution->playing = true;
        evolution->frameCount =
            landslideScenario.empty() ? 0 : resultFrameCount(QString::fromUtf8(landslideScenario.c_str()));

        osg::ref_ptr<osgText::Text> title =
            makeBoxedLabel(L"Vedodezodav Uzarizezo", osg::Vec3(471971.0f, 3439130.0f, 3247.0f), 85.0f,
                           osg::Vec4(0.3f, 0.6f, 0.7f, 1.0f));
        DepthSetter().setAlwaysOnTop(title);
        osg::ref_ptr<osg::Geode> titleGeode = new osg::Geode;
        titleGeode->setName("landslideinfo");
        titleGeode->addDrawable(title);
        root->addChild(titleGeode);
        std::cout << "fileNum: " << evolution->frameCount << std::endl;

        evolution->release(Beat::StoryLabels);
        evolution->drive(Beat::Replay, 0);

        osg::ref_ptr<osg::MatrixTransform> dust = new osg::MatrixTransform;
        Smoke().addSmoke(dust);
        root->addChild(dust);
    }
}

void MainWindow::Shake() {
    osg::ref_ptr<osg::Node> lines = loadGeologicalLines();
    osgGA::CameraManipulator* manipulator = viewer->getCameraManipulator();
    const bool even = shakeCount % 2 == 0;
    if (manipulator) {
        osg::Matrixd matrix = manipulator->getMatrix();
        osg::Quat rotation = matrix.getRotate();
        rotation = rotation * osg::Quat(even ? 0.01 : -0.01, osg::Vec3d(1.0, 0.0, 1.0));
        matrix.setRotate(rotation);
        manipulator->setByMatrix(matrix);
    }
    // The lines flash white and pale yellow with the wobble; the copies go with the next clearing.
    tintNode(lines, even ? geologyWhite : geologyYellow, geologyLineWidth, false);
    if (lines) {
        root->addChild(lines);
    }
    if (shakeCount == shakeTicks) {
        shakeCount = 0;
        evolution->release(Beat::StoryShake);
        evolution->drive(Beat::StoryLabels, pace.intervalMs(1000));
    }
    ++shakeCount;
}

void MainWindow::displayLandslideInfo() {
    // The flood that the barrier lake causes: both scene files now come from the flood scene's folder.
    currentSceneName = "danba flood";
    evolution->mode = EvolutionMode::Flood;
    // What the story left on screen is now the scene of the flood replay.
    storyOnScreen = false;
    if (root->getNumChildren() > 3) {
        root->removeChildren(3, root->getNumChildren() - 3);
    }
    SceneConfigReader reader;
    const std::vector<std::string> lake = reader.readConfigValues(reader.path, "BarrierLake");
    lakeSurface.reset();
    if (!lake.empty() && !lake.front().empty()) {
        lakeSurface = std::make_unique<LakeSurface>(2000.0f, 2000.0f, 40.0f);
        lakeSurface->placeOn(lake.front());
    }
    addFloodMarksAndLake();
    evolution->playing = true;
    evolution->release(Beat::StoryFlood);
    const std::vector<std::string> play = reader.readConfigValues(reader.path, "Play");
    if (!play.empty()) {
        startCaseReplay(EvolutionMode::Flood, play.front(), 0);
    }
}

// Declared for the later stages of the story (damaged rivers, roads and buildings, risk areas); nothing
// starts them.
void MainWindow::afterLandslide() {}
void MainWindow::OutlineShake() {}
void MainWindow::StripShake1() {}
void MainWindow::StripShake2() {}
void MainWindow::StripShake3() {}
void MainWindow::Twink() {}
