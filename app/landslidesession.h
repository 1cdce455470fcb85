#pragma once

#include <osg/Group>
#include <osg/Node>
#include <osg/ref_ptr>
#include <memory>
#include <string>
#include <vector>

#include "landsliderun.h"
#include "resultfiles.h"

class SessionStage;

// The landslide on screen: a live run with its grids and result folder, or the replay of a stored folder
// (also the slide of a landslide story). The window starts and stops it through the playback
// controller; the session draws into the stage.
//
//     if (session.load(inputs, format, problem) && chooseRunFolder(window, folder, lock)) {
//         session.beginRun(folder, std::move(lock));  // then one tick() per beat of Beat::LandslideRun
//     }
class LandslideSession {
public:
    explicit LandslideSession(SessionStage& stage);

    // Prepares the run's grids from the form's inputs and output format; false with the reason in
    // `problem`. A run still going must have been stopped: it works on the grids this replaces.
    bool load(const LandslideInputs& inputs, const std::string& format, std::string& problem);
    // The prepared run writes its results into `folder`. `lock` holds the folder until the run stops.
    void beginRun(const std::string& folder, std::unique_ptr<ResultFolderLock> lock);
    // One step of the live run with its mesh and result file; the run stops itself after its last step.
    void tick();
    // Lets go of the run's beat.
    void stopRun();

    // One stored frame of the replay of `replayFolder`, from the frame the controller holds. True once
    // the replay has shown its last frame and let go of the timer. A replay that is not part of a story
    // also lets go when there is nothing to show.
    bool showStoredFrame(bool partOfStory);
    std::string replayFolder;

    // Takes the run's mesh and the replay's frame off the scene.
    void clear();

private:
    // Puts `mesh` in the place of the landslide mesh on screen (none: takes it away).
    void showMesh(osg::Node* mesh);

    SessionStage& stage;
    LandslideRun run;  // the grids, centreline and step counter of the run
    std::string folder;
    std::unique_ptr<ResultFolderLock> folderLock;
    std::string format = ".ive";
    // The mesh on screen: the last step's slide, then the post-disaster surface.
    osg::ref_ptr<osg::Node> mesh;
    // The replay's frame on screen.
    osg::ref_ptr<osg::Group> frameGroup = new osg::Group;
    // The view's frame number when the replay put its current frame on screen.
    unsigned frameShownAt = 0;
};
