#pragma once

#include <QString>
#include <osg/Group>
#include <osg/Node>
#include <osg/Vec3d>
#include <osg/ref_ptr>
#include <memory>
#include <string>
#include <vector>

#include "resultfiles.h"
#include "resultwriter.h"

class EvolutionController;
class MonitorDock;
class PresentationPace;
class QStandardItemModel;
class QWidget;
class ViewerQT;

// What every hazard's session draws into and is driven by: the scene root (child 0 the terrain), the
// view, the playback controller, the pace of timed steps, the monitor dock and the scene tree, all owned
// by the window; and what the sessions share among themselves: the nodes of the frame on screen and the
// thread that writes a live run's results.
class SessionStage {
public:
    SessionStage(osg::Group& root, ViewerQT& viewer, EvolutionController& evolution, const PresentationPace& pace,
                 MonitorDock& monitorDock, QStandardItemModel& sceneTree);

    // Adds a node of the current run's or replay's frame.
    void addRunNode(osg::Node* node);
    // Takes away every node the run or replay on screen added; the scene's own nodes stay.
    void removeRunNodes();
    // Removes every child of the root after the terrain (child 0).
    void keepOnlyTerrain();
    // Waits for the live run's result files in flight; false, after telling the user which file could not
    // be written, when they failed.
    bool finishResultFiles();
    // Enables every entry of the scene tree again (the end of a replay or of a case's opening).
    void enableSceneTree();
    // Whether `node` lies over the terrain (child 0 of the root) seen from above; true when there is no
    // terrain to compare with.
    bool liesOnTerrain(osg::Node& node) const;
    // Puts the view at a look-at viewpoint with a fresh terrain manipulator.
    void placeCamera(const osg::Vec3d& eye, const osg::Vec3d& center, const osg::Vec3d& up);
    // Hands a look-at view to the current camera manipulator as its view matrix.
    void applyView(const osg::Vec3d& eye, const osg::Vec3d& center, const osg::Vec3d& up);
    // Tells the user of the first file of a replay that could not be read, or held values no run writes,
    // naming it and why; the replay waits while the message is up and shows the rest of the frame. Later
    // problems of the same replay, and those met while a film is made (no one may be there to answer), go
    // to standard output only, where the readers have already put them.
    void reportReplayProblem(const std::string& problem);
    // A new replay starts: its first problem is told again.
    void startReplayReports() { replayProblemTold = false; }

    // Set while a film is made of the replay.
    bool filming = false;

    osg::Group& root;
    ViewerQT& viewer;
    EvolutionController& evolution;
    const PresentationPace& pace;
    MonitorDock& monitorDock;
    // Writes the result files of the live flood and debris-flow runs while the next tick computes.
    ResultWriter resultWriter;

private:
    QStandardItemModel& sceneTree;
    std::vector<osg::ref_ptr<osg::Node>> runNodes;
    bool replayProblemTold = false;
};

// Frames available in a result folder: the highest result number in it (a missing frame among them is
// skipped by the replay).
int resultFrameCount(const QString& folder);

// A nine-value camera entry of a scene file (eye, centre, up, as decimal text) as a view; false when the
// list is shorter.
bool cameraFromValues(const std::vector<std::string>& values, osg::Vec3d& eye, osg::Vec3d& center,
                      osg::Vec3d& up);

// Tells the user that a result file could not be written and the run has stopped.
void reportUnwrittenFile(const std::string& failedFile);

// Asks for the output folder of a computed run ("save && save as"). A folder holding results of an earlier
// run is used only when the user agrees to remove them, and its summary files go with them. A folder
// another run, of this window or another program, writes into is refused. On success `folder` holds the
// folder's bytes and `lock` holds the folder for the run from then until it stops; false when the user
// chose none or it cannot be used.
bool chooseRunFolder(QWidget* parent, std::string& folder, std::unique_ptr<ResultFolderLock>& lock);

// Reads a model the window shows (terrain, a stored frame, a layer) once readModelFile has found it a
// regular file: a pipe named like one would hold the window in open() for good. One that does not load
// is null, and the reason, naming the file, goes to standard error and into `problem` when given.
osg::ref_ptr<osg::Node> loadShownModel(const std::string& path, std::string* problem = nullptr);

// Text in the local 8-bit encoding (file names, engine messages) for a message box.
inline QString localText(const std::string& text) {
    return QString::fromLocal8Bit(text.c_str());
}
