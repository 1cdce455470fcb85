#include "landslidestory.h"

#include <QColor>
#include <QFile>
#include <QMessageBox>
#include <iostream>
#include <osg/MatrixTransform>
#include <osgText/Text>

#include "configreader.h"
#include "depthsetter.h"
#include "evolutioncontroller.h"
#include "labellayout.h"
#include "lakefilling.h"
#include "landslidesession.h"
#include "presentationpace.h"
#include "scenelist.h"
#include "sessionstage.h"
#include "smoke.h"
#include "solidtint.h"
#include "symbolbuilder.h"
#include "terrainmanipulator.h"
#include "vectorlayer.h"
#include "viewerqt.h"

namespace {


const osg::Vec4 geologyWhite(1.0f, 1.0f, 1.0f, 1.0f);
const osg::Vec4 geologyYellow(1.0f, 1.0f, 0.6f, 1.0f);
constexpr float geologyLineWidth = 2.0f;
constexpr int shakeTicks = 10;
// Height of a title without a place of its own above the slide point, m: clear of the slope around it.
constexpr float titleHeightAboveSlideMetres = 1000.0f;

// The geological lines among the scenario's values, unlit; none when it names none or they do not load.
osg::ref_ptr<osg::Node> loadGeologicalLines(const std::vector<std::string>& lines) {
    if (lines.empty()) {
        return nullptr;
    }
    osg::ref_ptr<osg::Node> model = loadShownModel(lines.front());
    if (model) {
        model->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::OVERRIDE);
    }
    return model;
}

// The labels of the geodes under `group`, one label per text, each under the label layout.
osg::ref_ptr<osg::Group> laidOutEach(osg::Group& group) {
    osg::ref_ptr<osg::Group> labels = new osg::Group;
    for (unsigned i = 0; i < group.getNumChildren(); ++i) {
        osg::Geode* geode = group.getChild(i)->asGeode();
        for (unsigned k = 0; geode && k < geode->getNumDrawables(); ++k) {
            osg::ref_ptr<osg::Geode> one = new osg::Geode;
            one->setStateSet(geode->getStateSet());
            one->addDrawable(geode->getDrawable(k));
            labels->addChild(makeLaidOutLabel(one, LabelPriority::Story));
        }
    }
    return labels;
}

// Takes away the last child of `group` with this name, if there is one.
void removeLastChildNamed(osg::Group& group, const std::string& name) {
    for (unsigned i = group.getNumChildren(); i-- > 0;) {
        if (group.getChild(i)->getName() == name) {
            group.removeChild(i);
            return;
        }
    }
}

}  // namespace

LandslideStory::LandslideStory(SessionStage& stage, LandslideSession& slide, const SceneCatalog& catalog)
    : stage(stage), slide(slide), catalog(catalog), symbols(catalog) {}

std::vector<std::string> LandslideStory::scenarioValues(const std::string& category) const {
    SceneConfigReader reader(catalog);
    return reader.readLandslideValues(reader.path, category);
}

void LandslideStory::open(bool dynamicTerrain) {
    // A presentation still running (the same case opened again) would go on beside the new one.
    stop();
    // A scenario that does not load plays nothing: a blank view or NaN cameras tell the user nothing.
    SceneConfigReader reader(catalog);
    std::string problem;
    if (!reader.checkLandslideScenario(problem)) {
        std::cerr << problem << std::endl;
        QMessageBox::information(nullptr, QObject::tr("Warning"),
                                 QObject::tr("滑坡场景无法演示：%1").arg(localText(problem)), QMessageBox::Ok);
        return;
    }
    stage.evolution.mode = EvolutionMode::Landslide;
    const std::vector<std::string> slideFolders = scenarioValues("landslide");
    // Without its result folder the story ends at the title instead of replaying another case's slide.
    scenario = slideFolders.empty() ? std::string() : slideFolders.front();
    std::cout << "landslideOutPath: " << scenario << std::endl;
    const std::vector<std::string> paths = scenarioValues("Path");
    stage.root.removeChildren(0, stage.root.getNumChildren());
    lakeGroup->removeChildren(0, lakeGroup->getNumChildren());
    onScreen = true;
    if (!paths.empty()) {
        if (osg::ref_ptr<osg::Node> terrain = loadShownModel(paths.front())) {
            if (dynamicTerrain) {
                terrain->setDataVariance(osg::Object::DYNAMIC);
            }
            stage.root.addChild(terrain);
        }
    }
    osg::Vec3d eye, center, up;
    if (cameraFromValues(scenarioValues("Camera1"), eye, center, up)) {
        stage.placeCamera(eye, center, up);
    }
    step = 0;
    shakeCount = 0;
    stage.evolution.drive(Beat::StoryLabels, stage.pace.intervalMs(2000));
}

void LandslideStory::restart() {
    stage.keepOnlyTerrain();
    onScreen = true;
    step = 0;
    shakeCount = 0;
    stage.evolution.replaceTimer(Beat::StoryLabels, stage.pace.intervalMs(50));
}

void LandslideStory::stop() {
    for (Beat beat : {Beat::StoryLabels, Beat::StoryShake, Beat::StoryFlood, Beat::Replay}) {
        stage.evolution.release(beat);
    }
    stopLakeFilling();
}

bool LandslideStory::takeDown() {
    if (!onScreen) {
        return false;
    }
    stage.keepOnlyTerrain();
    onScreen = false;
    return true;
}

void LandslideStory::showNextStage() {
    EvolutionController& evolution = stage.evolution;
    osg::Group& root = stage.root;
    const int current = ++step;
    const std::vector<std::string> history = scenarioValues("lishizaihai");
    evolution.mode = EvolutionMode::Landslide;
    const int disasters = static_cast<int>(history.size() / 4);

    // The opening view, taken again on every tick of the label stages: the user cannot wander off yet.
    osg::Vec3d eye, center, up;
    if (disasters >= 1 && cameraFromValues(scenarioValues("Camera1"), eye, center, up)) {
        stage.viewer.setCameraManipulator(
            new TerrainManipulator(stage.viewer.getCamera(), osgGA::StandardManipulator::UPDATE_MODEL_SIZE |
                                                                  osgGA::StandardManipulator::PROCESS_MOUSE_WHEEL),
            true);
        stage.viewer.getCameraManipulator()->setByInverseMatrix(osg::Matrixd::lookAt(eye, center, up));
    }

    if (current >= 1 && current <= disasters) {
        // The next earlier disaster joins the labels, then the view wobbles.
        stage.keepOnlyTerrain();
        evolution.release(Beat::StoryLabels);
        evolution.drive(Beat::StoryShake, stage.pace.intervalMs(50));
        root.addChild(laidOutEach(*symbols.disasterLabels(current)));
        if (current == disasters) {
            if (osg::ref_ptr<osg::Geode> geology = symbols.geologyLabel()) {
                root.addChild(makeLaidOutLabel(geology, LabelPriority::Story));
            }
        }
    } else if (current == disasters + 1) {
        // The slide area, its geology and the rain that set it off.
        stage.keepOnlyTerrain();
        const std::vector<std::string> boundary = scenarioValues("boundary");
        if (!boundary.empty()) {
            VectorLayerBuilder builder;
            builder.lineStyle = 1;
            builder.vectorColor = QColor(255, 0, 0, 255);
            builder.readShapefile(QFile::encodeName(QString::fromStdString(boundary.front())).constData());
            root.addChild(builder.buildLayer());
        }
        if (osg::ref_ptr<osg::Node> lines = loadGeologicalLines(scenarioValues("DiZhiXian"))) {
            tintNode(lines, geologyWhite, geologyLineWidth, false);
            root.addChild(lines);
        }
        if (osg::ref_ptr<osg::Geode> label = symbols.boundaryLabel()) {
            root.addChild(makeLaidOutLabel(label, LabelPriority::Story));
        }
        const std::vector<std::string> rain = scenarioValues("rainDescribe");
        if (rain.size() >= 4 && !rain[0].empty()) {
            const osg::Vec3 at(std::atof(rain[1].c_str()), std::atof(rain[2].c_str()), std::atof(rain[3].c_str()));
            // Under the label layout, which keeps it inside the view.
            root.addChild(makeLaidOutLabel(SymbolBuilder()
                                               .makeScreenLabel(rain[0], at, 45.0f, osg::Vec4(0.0f, 0.3f, 0.6f, 1.0f),
                                                                osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f))
                                               .get(),
                                           LabelPriority::Story));
        }
        root.addChild(symbols.buildRain());
        evolution.restartTimer(stage.pace.intervalMs(5000));
    } else if (current == disasters + 2) {
        // The title and the dust, and the slide's frames replayed.
        stage.keepOnlyTerrain();
        evolution.mode = EvolutionMode::Landslide;
        evolution.frameIndex = 1;
        evolution.speedStep = 1;
        // A replay held by an earlier pause or stop would leave the story frozen on its first frame.
        evolution.playing = true;
        slide.replayFolder = scenario;
        evolution.frameCount = scenario.empty() ? 0 : resultFrameCount(QString::fromUtf8(scenario.c_str()));

        if (osg::ref_ptr<osg::Geode> title = makeTitle()) {
            root.addChild(makeLaidOutLabel(title, LabelPriority::Story));
        }
        std::cout << "fileNum: " << evolution.frameCount << std::endl;

        evolution.release(Beat::StoryLabels);
        evolution.drive(Beat::Replay, 0);

        osg::ref_ptr<osg::MatrixTransform> dust = new osg::MatrixTransform;
        Smoke(catalog).addSmoke(dust);
        root.addChild(dust);
    }
}

osg::ref_ptr<osg::Geode> LandslideStory::makeTitle() const {
    // The scenario's own title where it says; else the scene's name above the slide point.
    const std::vector<std::string> title = scenarioValues("title");
    const std::vector<std::string> slidePoint = scenarioValues("landslide");
    std::wstring text;
    osg::Vec3 position;
    const auto coordinate = [](const std::vector<std::string>& values, std::size_t index) {
        return static_cast<float>(std::atof(values[index].c_str()));
    };
    if (title.size() >= 4 && !title[0].empty()) {
        text = LandslideSymbols::toWideText(title[0]);
        position.set(coordinate(title, 1), coordinate(title, 2), coordinate(title, 3));
    } else if (slidePoint.size() >= 5) {
        text = catalog.currentScene.toStdWString();
        position.set(coordinate(slidePoint, 2), coordinate(slidePoint, 3),
                     coordinate(slidePoint, 4) + titleHeightAboveSlideMetres);
    } else {
        std::cout << "no title and no slide point in the scenario: no title" << std::endl;
        return nullptr;
    }
    osg::ref_ptr<osgText::Text> label = makeBoxedLabel(text, position, 85.0f, osg::Vec4(0.3f, 0.6f, 0.7f, 1.0f));
    DepthSetter().setAlwaysOnTop(label);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->setName("landslideinfo");
    geode->addDrawable(label);
    return geode;
}

void LandslideStory::shake() {
    osg::ref_ptr<osg::Node> lines = loadGeologicalLines(scenarioValues("DiZhiXian"));
    osgGA::CameraManipulator* manipulator = stage.viewer.getCameraManipulator();
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
        stage.root.addChild(lines);
    }
    if (shakeCount == shakeTicks) {
        shakeCount = 0;
        stage.evolution.release(Beat::StoryShake);
        stage.evolution.drive(Beat::StoryLabels, stage.pace.intervalMs(1000));
    }
    ++shakeCount;
}

void LandslideStory::afterSlide() {
    if (telling() && !startLakeFilling()) {
        closeSlide(0);
    }
}

bool LandslideStory::startLakeFilling() {
    const std::vector<std::string> lake = scenarioValues("BarrierLake");
    const std::optional<LakeFillingStart> start = lake.empty() ? std::nullopt : measureBarrierLake(lake.front());
    if (!start) {
        return false;
    }
    stopLakeFilling();
    if (!stage.root.containsNode(lakeGroup)) {
        stage.root.addChild(lakeGroup);
    }
    lakeOrigin = start->origin;
    labelAnchor = start->labelAnchor;
    lakeTimer.start(stage.pace.intervalMs(500));
    return true;
}

void LandslideStory::stopLakeFilling() {
    lakeTimer.stop();
    lakePaused = false;
    lakeTick = 0;
    lakeLabelGroup->removeChildren(0, lakeLabelGroup->getNumChildren());
}

void LandslideStory::pauseLakeFilling() {
    if (lakeTimer.isActive()) {
        lakeTimer.stop();
        lakePaused = true;
    }
}

void LandslideStory::resumeLakeFilling() {
    if (lakePaused) {
        lakePaused = false;
        lakeTimer.start(stage.pace.intervalMs(500));
    }
}

void LandslideStory::fillLake() {
    if (lakeTick >= lakeFillingTicks) {
        // The label goes, the plane of the last tick stays.
        stopLakeFilling();
        closeSlide(1000);
        return;
    }
    lakeTick += 1;
    osg::Group& root = stage.root;
    lakeGroup->removeChildren(0, lakeGroup->getNumChildren());
    lakeOrigin += osg::Vec3(0.0f, 0.0f, lakeFillingRise);
    lakeGroup->addChild(makeFillingPlane(lakeOrigin, osg::Vec3(lakeFillingSpan, 0.0f, 0.0f),
                                         osg::Vec3(0.0f, lakeFillingSpan, 0.0f)));
    // One plane in the scene at a time: adding the group once per tick would stack the translucent
    // planes into an opaque one.
    if (!root.containsNode(lakeGroup)) {
        root.addChild(lakeGroup);
    }
    if (lakeTick == lakeFillingLabelTick) {
        const std::vector<std::string> lake = scenarioValues("BarrierLake");
        const std::wstring name = lake.size() > 1 ? symbols.toWideText(lake[1]) : std::wstring();
        lakeLabelGroup->addChild(makeLaidOutLabel(
            makeLakeLabel(name, osg::Vec3(lakeOrigin.x() + 500.0f, lakeOrigin.y() + 500.0f, labelAnchor.z())),
            LabelPriority::Story));
        if (!root.containsNode(lakeLabelGroup)) {
            root.addChild(lakeLabelGroup);
        }
    }
}

void LandslideStory::closeSlide(int intervalMs) {
    removeLastChildNamed(stage.root, "landslideEvent");
    removeLastChildNamed(stage.root, "landslideinfo");
    osg::Vec3d eye, center, up;
    if (cameraFromValues(scenarioValues("Camera2"), eye, center, up)) {
        stage.applyView(eye, center, up);
    }
    stage.evolution.drive(Beat::StoryFlood, stage.pace.intervalMs(intervalMs));
}
