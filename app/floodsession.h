#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "cafloodnew.h"
#include "floodform.h"
#include "floodhud.h"
#include "floodsummary.h"
#include "monitorpoints.h"
#include "monitorseries.h"
#include "resultfiles.h"

class LakeSurface;
class SessionStage;

// The flood on screen: a live run of the engine with its result folder, HUD, summary and monitor record,
// or the replay of a stored folder with the scene's lake rising beside it. The window starts and stops
// it through the playback controller; the session draws its frames into the stage.
//
//     if (session.load(values, inputs, refusal) && chooseRunFolder(window, folder, lock)) {
//         session.beginRun(folder, std::move(lock));  // then one tick() per beat of Beat::FloodRun
//     }
class FloodSession {
public:
    FloodSession(SessionStage& stage, const FloodForm& form);
    ~FloodSession();

    // Loads the engine with the form's values and input files, and the monitor points; false with the
    // engine's reason in `refusal` when it refuses them.
    bool load(const FloodFormValues& values, const std::vector<std::string>& inputs, QString& refusal);
    // The loaded run writes its results into `folder`, numbered from 1; `lock` holds the folder until the
    // run stops.
    void beginRun(const std::string& folder, std::unique_ptr<ResultFolderLock> lock);
    // One beat of the live run: its steps, frame, result files and summary; the run stops itself at its end.
    void tick();
    // Lets go of the run's beat once the files in flight have landed; the next run numbers from 1.
    void stopRun();
    // Writes the run's summary beside its result folder when results came since the last time; says once
    // per run when it cannot. The monitor plots, a few hundredths of a second per point, are left to the
    // last write of a run (`withPlots`).
    void writeSummary(bool withPlots = true);
    // The run's monitor record in the dock (it stays there after the run).
    void showRunRecord();
    // Results of the live run written so far, and its folder.
    int resultsWritten() const { return nextResult - 1; }
    const std::string& runFolder() const { return folder; }

    // The replay of a stored folder, from the frame the controller holds.
    void showStoredFrame();
    std::string replayFolder;

    // The scene's barrier lake, which rises with a replay; none in a scene without one.
    void setLake(std::unique_ptr<LakeSurface> surface);
    LakeSurface* lake() const { return lakeSurface.get(); }

private:
    void advanceStoredFrame();
    void showReplayRecord(int shownResult);
    void reportUnwrittenSummary(const std::string& problem);
    // Ends the run with a message after its last result: the files land and the summary is written.
    void endRun(const QString& message);

    SessionStage& stage;
    const FloodForm& form;
    CAFlood engine;
    FloodHud hud;
    FloodSummary summary;  // maxima, arrival and volume balance of the run
    FloodSummary preparedSummary;  // the next run's, made by load with its places and inputs
    MonitorPoints monitors;
    FloodFormValues values;  // the form's values the run was started with
    // The depth colour range of the frame on screen.
    int colourLow = 0;
    int colourHigh = 20;
    std::string folder;
    std::unique_ptr<ResultFolderLock> folderLock;
    int nextResult = 1;  // number of the run's next result files
    int summaryWrittenResult = 0;  // the last result the written summary covers
    int plotsWrittenResult = 0;    // and the written monitor plots
    bool summaryFailed = false;
    // The monitor record of the replayed folder (from its summary) and the folder it was read for.
    std::vector<MonitorSeries> replayRecord;
    std::string replayRecordFolder;
    std::unique_ptr<LakeSurface> lakeSurface;
};
