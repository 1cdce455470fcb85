#pragma once

#include <QTimer>
#include <osg/Geode>
#include <osg/Group>
#include <osg/Vec3>
#include <osg/ref_ptr>
#include <string>
#include <vector>

#include "landslidesymbols.h"

class LandslideSession;
class SessionStage;
struct SceneCatalog;

// The scripted presentation of a landslide case: labels of earlier disasters with a wobbling view, the
// outline, geological lines and rain, then the title, the dust and the replay of the slide; after the
// slide the filling of the barrier lake, and the hand-over to the flood the lake causes.
//
// Every stage runs on the playback timer and hands it on to the next one:
//   open -> showNextStage (2 s) -> shake (50 ms) x wobble -> showNextStage (1 s) -> ... -> boundary
//   stage (5 s) -> title stage -> the slide's replay (0 ms) -> [fillLake] -> Beat::StoryFlood.
// The lake filling has a timer of its own (`lakeFillingTimer`), which the window connects to its tick.
class LandslideStory {
public:
    LandslideStory(SessionStage& stage, LandslideSession& slide, const SceneCatalog& catalog);

    // Opens the case of the current scene's scenario file and starts its presentation.
    void open(bool dynamicTerrain);
    // Tells the story again from its first stage.
    void restart();
    // Detaches every stage of a running presentation (its beats and the lake filling).
    void stop();
    // Takes the story's nodes off the scene (all after the terrain); false when none were on screen.
    bool takeDown();
    // The story's nodes have become the scene of the flood replay that follows it.
    void handOver() { onScreen = false; }

    // The beats of the label stages and of the wobble.
    void showNextStage();
    void shake();
    // After the slide's last frame: the lake fills, or the story moves on to the flood at once.
    void afterSlide();
    // One tick of the lake filling.
    void fillLake();
    // The lake filling holds with a pause and goes on with continue.
    void pauseLakeFilling();
    void resumeLakeFilling();

    // The story's slide folder; empty when no story is told (or its case names none).
    const std::string& slideFolder() const { return scenario; }
    bool telling() const { return !scenario.empty(); }
    // A story stage has run and its nodes are on screen.
    bool running() const { return step != 0 && onScreen; }
    bool shown() const { return onScreen; }
    // Drops the story's slide folder: a replay of a chosen folder is no story.
    void forget() { scenario.clear(); }
    int presentationStep() const { return step; }
    QTimer* lakeFillingTimer() { return &lakeTimer; }

private:
    // Starts the barrier-lake filling on the scenario's "BarrierLake" model; false when it does not load.
    bool startLakeFilling();
    // Stops the lake filling and takes its label away; the water plane stays where it is.
    void stopLakeFilling();
    // The end of the slide stage: its labels go, the view moves to "Camera2", and the flood stage
    // follows after `intervalMs`.
    void closeSlide(int intervalMs);

    // The title of the slide stage, in a geode named "landslideinfo"; none when the scenario gives
    // neither a title with its place nor a slide point.
    osg::ref_ptr<osg::Geode> makeTitle() const;
    // The values of a category of the current scene's scenario file.
    std::vector<std::string> scenarioValues(const std::string& category) const;

    SessionStage& stage;
    LandslideSession& slide;
    const SceneCatalog& catalog;
    std::string scenario;
    int step = 0;  // the tick count of the presentation
    int shakeCount = 0;
    LandslideSymbols symbols;
    // The story owns every node after the terrain of its scene while it is on screen.
    bool onScreen = false;

    // Barrier-lake filling.
    QTimer lakeTimer;
    int lakeTick = 0;
    osg::Vec3 lakeOrigin;   // lower-left corner of the water plane
    osg::Vec3 labelAnchor;  // its z is the height of the lake's label
    bool lakePaused = false;
    osg::ref_ptr<osg::Group> lakeGroup = new osg::Group;
    osg::ref_ptr<osg::Group> lakeLabelGroup = new osg::Group;
};
