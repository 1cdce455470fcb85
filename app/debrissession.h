#pragma once

#include <QElapsedTimer>
#include <QString>
#include <memory>
#include <string>

#include "debrishud.h"
#include "debrisrun.h"
#include "debrissummary.h"
#include "resultfiles.h"
#include "terrainheights.h"

class DebrisFlow;
class SessionStage;

// The debris flow on screen: a live run with its grid, packets, result folder, HUD and summary, or the
// replay of a stored folder. The window starts and stops it through the playback controller; the
// session draws its frames into the stage.
//
//     if (session.load(settings, inputs, problem) && chooseRunFolder(window, folder, lock)) {
//         session.beginRun(folder, std::move(lock));  // then one tick() per beat of Beat::DebrisRun
//     }
class DebrisSession {
public:
    DebrisSession(SessionStage& stage, const DebrisFlow& form);

    // Sets up a run on its own from the form's settings and input files (terrain grid, breach file); a
    // run still going is left as it is. False with the reason in `problem`.
    bool load(const DebrisRunSettings& settings, const std::vector<std::string>& inputs, std::string& problem);
    // The loaded run replaces the previous one and writes its frames into `folder`, numbered from 1; `lock`
    // holds the folder until the run stops.
    void beginRun(const std::string& folder, std::unique_ptr<ResultFolderLock> lock);
    // One beat of the live run: as many model steps as the window's own time allows, with their frames.
    void tick();
    // Lets go of the run's beat once the files in flight have landed; the next run numbers from 1.
    void stopRun();
    // The run's clock waits while the window is held (a pause).
    void holdClock() { tickClock.invalidate(); }
    // Writes the run's summary beside its result folder when frames came since the last time.
    void writeSummary();
    int framesWritten() const { return nextFrame - 1; }
    const std::string& runFolder() const { return folder; }

    // The replay of a stored folder, from the frame the controller holds.
    void showStoredFrame();
    std::string replayFolder;

private:
    // One model step, with its frame when one is due; false once the run has stopped.
    bool advance();

    SessionStage& stage;
    const DebrisFlow& form;
    DebrisRun run;  // parameters, grid, packets and clock of the run
    DebrisRun loaded;  // a run set up by `load`, waiting for its folder
    // Terrain heights of the run's grid, which lift its surface.
    TerrainHeights heights;
    TerrainHeights loadedHeights;
    // Time since the run's last tick ended; not valid before its first.
    QElapsedTimer tickClock;
    DebrisHud hud;
    DebrisSummary summary;  // peak results and volume balance of the run
    std::string folder;
    std::unique_ptr<ResultFolderLock> folderLock;
    int nextFrame = 1;
    int summaryWrittenFrame = 0;
    bool summaryFailed = false;
};
