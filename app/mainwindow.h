#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QModelIndex>
#include <QString>
#include <memory>
#include <osg/Group>
#include <osg/Node>
#include <osg/Vec3>
#include <osg/Vec3d>
#include <osg/ref_ptr>
#include <string>
#include <vector>

#include "debrisrun.h"
#include "evolutioncontroller.h"
#include "floodform.h"
#include "landslidepoint.h"
#include "presentationpace.h"

class QBoxLayout;
class QCloseEvent;
class QLabel;
class QStandardItemModel;
class QTimer;
class QTreeView;
class CADebrisFlow;
class CAFlood;
class DebrisFlow;
class DebrisHud;
class DebrisRun;
class DebrisSummary;
class FloodForm;
class FloodHud;
class FloodSummary;
class LakeSurface;
class LandslideForm;
class LandslideRun;
class LandslideSymbols;
class MonitorDock;
class MonitorPoints;
class PickHandle;
struct MonitorSeries;
class ResultWriter;
class UseEventHandler;
class ViewHistory;
class ViewerQT;
class Ui_MainWindow;
class shapeFormat;

// The application's one window and the hub of the program: it owns the 3-D view, the scene root, the
// forms, the engines, the display objects and the playback timer. Every user action is one of its slots;
// the slots are implemented in one file per concern (mainwindow_*.cpp) and stay thin, handing the work to
// the engines and builders.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void createActions();

    // Read access for the parts of the program (and tests) that look at the scene the user sees.
    ViewerQT* view() const { return viewer; }
    osg::Group* sceneRoot() const { return root.get(); }
    QLabel* coordinateLabel() const { return coordLabel; }
    // The handlers on the view that keep the last picked point and the visited views.
    const PickHandle& pickHandler() const;
    const ViewHistory& viewHistory() const;
    QStandardItemModel* sceneTreeModel() const { return treeModel; }

    // The playback the roam controls act on, for display and tests.
    const EvolutionController& playback() const { return *evolution; }
    EvolutionMode currentSimulationMode() const { return evolution->mode; }
    bool isPlaying() const { return evolution->playing; }
    int currentSpeedStep() const { return evolution->speedStep; }
    int currentFrameIndex() const { return evolution->frameIndex; }
    int availableFrameCount() const { return evolution->frameCount; }
    QTimer* playbackTimer() const { return evolution->timer(); }
    // The tick count of a landslide presentation and the timer of the barrier-lake filling.
    int presentationStep() const { return infoStep; }
    QTimer* lakeFillingTimer() const { return analysisTimer; }
    // Runs the timed presentation steps (story stages, lake filling, pauses of replays) `factor` times
    // faster than real time; 1 is the user's pace.
    void setPresentationSpeedUp(int factor) { pace.setSpeedUp(factor); }

    // A stop signal (Ctrl+C, SIGTERM) arrived: a computed run stops after its last complete result, and
    // says so on standard output.
    void stopForSignal(const char* signalName);

signals:
    void Sendagrv(std::vector<double> pVectorCameraParameters);

public slots:
    void receiveGroup(shapeFormat* sft);
    void OpenShapeFile();
    void DeleteAllNode();
    void FloodModelA();
    void FloodModelH();
    void BindFilePath();
    void FloodingAnalysis();
    void OnlineTreeViewDoubleClick(QModelIndex index);
    void ClickTree(QModelIndex index);
    void startRoam();
    void pauseRoam();
    void continueRoma();
    void stopRoam();
    void restartRoam();
    void speedControl();
    void open();
    void addData();
    void preView();
    void nextView();
    void save();
    void saveAs();
    void dataDealTool();
    void help();
    void getCameraParmeter();
    void stopCal();
    void setData_flood();
    void setData_debrisflow();
    void setData_landslide();
    void acceptStart(int flag);
    void acceptURL(std::vector<std::string> url);
    void acceptScenePath(std::string path);
    void acceptfloodValues(FloodFormValues values);
    void resultVisualize();
    void Visualize();
    void acceptdebrisValues(DebrisRunSettings values);
    void flowVisualize();
    void acceptLandSlideSignals(bool start);
    void landslideVisualize();
    bool GreaterSort(Point a, Point b);
    void displayInfo();
    void displayLandslideInfo();
    void Shake();
    void afterLandslide();
    void OutlineShake();
    void StripShake1();
    void StripShake2();
    void StripShake3();
    void Twink();
    void showCoordinate();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Case studies.
    // The scene tree from "TreeMeta.json", its context action and its signals.
    void buildSceneTree();
    // Puts the view at a look-at viewpoint with a fresh trackball manipulator.
    void placeCamera(const osg::Vec3d& eye, const osg::Vec3d& center, const osg::Vec3d& up);
    // Adds the model at `path` to the scene; a model that does not load adds nothing.
    void loadTerrain(const std::string& path);
    void addFloodMarksAndLake();
    // Replays a prepared result folder of a case study.
    void startCaseReplay(EvolutionMode mode, const std::string& folder, int intervalMs);

    // Flood.
    // Replays the prepared flood folder of the current scene's configuration under `category`
    // ("Play", "PlayH"), in flood mode only; a scene without one is told so.
    void replayFloodModel(const std::string& category, const QString& modelName);
    // One stored flood frame of the replay (the flood branch of Visualize).
    void showStoredFloodFrame();
    // Moves the flood replay to its next frame, and ends it after the last frame of the folder.
    void advanceStoredFloodFrame();
    // The replayed folder's monitor record up to the result on screen, read from its summary once.
    void showReplayMonitorRecord(int shownResult);
    // Takes away every node the run or replay on screen added (its previous frame); the scene's own
    // nodes (terrain, marks, lake, layers) stay.
    void removeRunNodes();
    // Adds a node of the current run's or replay's frame.
    void addRunNode(osg::Node* node);
    // Enables every entry of the scene tree again (the end of a replay or of a case's opening).
    void enableSceneTree();
    // Writes the flood run's summary beside its result folder when results came since the last time;
    // says once per run when it cannot. The monitor plots, a few hundredths of a second per point, are
    // left to the last write of a run (`withPlots`).
    void writeFloodSummary(bool withPlots = true);
    void reportUnwrittenFloodSummary(const std::string& problem);
    // The same for the debris-flow run.
    void writeDebrisSummary();

    // Debris flow.
    // One step of the debris-flow run, with its frame when one is due; false once the run has stopped
    // (at its end, or when its frame could not be written).
    bool advanceDebrisRun();
    // One stored debris frame of the replay (the debris-flow branch of Visualize).
    void showStoredDebrisFrame();

    // Simulation control.
    // Asks for the output folder of a computed run ("save && save as"). A folder holding results of an
    // earlier run is used only when the user agrees to remove them. On success `folder` holds the
    // folder's bytes and the run's results number from 1 again; false when the user chose none.
    bool chooseRunFolder(std::string& folder);
    // What each beat of the playback timer runs: the tick slots below.
    void connectBeats();
    // Waits for the live run's result files in flight; false, after telling the user which file could
    // not be written, when they failed.
    bool finishResultFiles();
    void reportUnwrittenFile(const std::string& failedFile);
    // Removes every child of root after the terrain (child 0).
    void keepOnlyTerrain();
    // Starts a computation's tick (resultVisualize, flowVisualize, landslideVisualize) on the timer.
    void startComputation(Beat beat);
    // Detaches the computation that ticks, if one does, as "&停止运算" does (the next run numbers its files
    // from 1); its last frame stays on screen. False when none was running.
    bool stopComputation();
    // Ends whatever runs or replays (a computation, a replay, a landslide story with its lake filling)
    // and takes away every node it added, before the scene is replaced or another evolution starts.
    void stopEvolution();
    // Rewinds a replay to its first frame and holds it, with none of its nodes on screen; "continue"
    // plays it again from there.
    void holdReplayAtStart();

    // Landslide.
    // Puts `mesh` in the place of the landslide mesh on screen (none: takes it away).
    void showLandslideMesh(osg::Node* mesh);
    // One stored landslide frame of the replay (the landslide branch of Visualize), and the end of a
    // scripted scenario after its last frame.
    void showStoredLandslideFrame();

    // Landslide scenario.
    // Opens a landslide case from its scenario file and starts its presentation.
    void openLandslideCase(bool dynamicTerrain);
    // Detaches every stage of a running presentation (its timer slots and the lake filling).
    void stopLandslideScenario();
    // Starts the barrier-lake filling on the scenario's "BarrierLake" model; false when it does not load.
    bool startFloodingAnalysis();
    // Stops the lake filling and takes its label away; the water plane stays where it is.
    void stopFloodingAnalysis();
    // The end of the slide stage: its labels go, the view moves to "Camera2", and the flood stage
    // follows after `intervalMs`.
    void closeLandslideScenario(int intervalMs);

    // Scene files and views.
    // The viewpoint of the view as eye, centre and up (the centre far along the line of sight), also
    // printed on standard output for authors of scene files.
    void readCameraView(osg::Vec3d& eye, osg::Vec3d& center, osg::Vec3d& up) const;
    void setCurrentFile(const QString& path);
    void writeScene(const QString& name);
    // Hands a look-at view to the current camera manipulator as its view matrix.
    void applyView(const osg::Vec3d& eye, const osg::Vec3d& center, const osg::Vec3d& up);

    // User interface.
    std::unique_ptr<Ui_MainWindow> ui;
    QTreeView* treeView = nullptr;
    QBoxLayout* viewLayout = nullptr;
    QLabel* coordLabel = nullptr;
    QStandardItemModel* treeModel = nullptr;
    QString appDir;
    QString currentFile;

    // 3-D view and scene graph. Child 0 of root is the terrain of the open scene.
    ViewerQT* viewer = nullptr;
    osg::ref_ptr<UseEventHandler> viewRecorder;
    osg::ref_ptr<PickHandle> picker;
    osg::ref_ptr<osg::Group> root;
    osg::ref_ptr<osg::Group> analysisGroup;
    osg::ref_ptr<osg::Group> analysisGroup2;
    osg::ref_ptr<osg::Group> resultGroup;
    osg::ref_ptr<osg::Node> models[7];

    // The timer, mode and position of whatever evolution runs.
    EvolutionController* evolution = nullptr;
    std::string resultDir;
    QString resultDirQ;
    std::string landslideScenario;
    std::vector<std::string> inputFiles;
    std::string scenePath;
    int infoStep = 0;
    // Every timed step takes its interval from here.
    PresentationPace pace;

    // Forms, engines and display objects.
    std::unique_ptr<FloodForm> floodForm;
    std::unique_ptr<CAFlood> caFlood;
    std::unique_ptr<CADebrisFlow> caDebris;
    std::unique_ptr<DebrisFlow> debrisForm;
    std::unique_ptr<DebrisRun> debrisRun;  // parameters, grid, packets and clock of the debris-flow run
    // Terrain heights of the debris-flow run's grid, which lift its surface.
    std::vector<std::vector<double>> demHeights;
    // Time since the debris-flow run's last tick ended; not valid before its first.
    QElapsedTimer debrisTickClock;
    std::unique_ptr<MonitorPoints> monitors;
    std::unique_ptr<FloodHud> floodHud;
    std::unique_ptr<FloodSummary> floodSummary;  // maxima, arrival and volume balance of the flood run
    // Plots of the monitor points of the run or replay on screen.
    MonitorDock* monitorDock = nullptr;
    // The monitor record of the replayed folder (from its summary) and the folder it was read for.
    std::vector<MonitorSeries> replayMonitorRecord;
    std::string replayMonitorFolder;
    int floodSummaryWrittenResult = 0;  // the last result the written summary covers
    int floodPlotsWrittenResult = 0;    // and the written monitor plots
    bool floodSummaryFailed = false;
    std::unique_ptr<DebrisSummary> debrisSummary;  // peak results and volume balance of the debris-flow run
    int debrisSummaryWrittenFrame = 0;
    bool debrisSummaryFailed = false;
    std::unique_ptr<DebrisHud> debrisHud;
    std::unique_ptr<LakeSurface> lakeSurface;  // made by the case-study dispatch

    // Flood run: the form's values it was started with.
    FloodFormValues floodValues;
    // The depth colour range of the frame on screen (flood or debris flow).
    int colourLow = 0;
    int colourHigh = 20;
    // Nodes the run or replay added for the frame on screen.
    std::vector<osg::ref_ptr<osg::Node>> runNodes;
    // A landslide story owns every node after the terrain of its scene.
    bool storyOnScreen = false;

    // Run output and landslide block.
    std::string saveDir;
    // Number of the next per-step result file of a computed flood or debris-flow run; back to 1 on stop.
    int outputFrameNumber = 1;
    // Writes the result files of the live flood and debris-flow runs while the next tick computes.
    std::unique_ptr<ResultWriter> resultWriter;
    std::string outputFormat = ".ive";
    std::unique_ptr<LandslideForm> landslideForm;
    std::unique_ptr<LandslideRun> landslideRun;  // the grids, centreline and step counter of the landslide run
    // The landslide mesh on screen: the last step's slide, then the post-disaster surface.
    osg::ref_ptr<osg::Node> landslideMesh;
    // The view's frame number when the replay put its current landslide frame on screen.
    unsigned landslideFrameShownAt = 0;

    // Landslide scenario: the label builder and the wobble's tick count.
    std::unique_ptr<LandslideSymbols> landslideSymbols;
    int shakeCount = 0;

    // Barrier-lake filling.
    QTimer* analysisTimer = nullptr;
    double analysisTick = 0;
    osg::Vec3 lakeOrigin;   // lower-left corner of the water plane
    osg::Vec3 labelAnchor;  // its z is the height of the lake's label
    osg::Vec3 lakeSpanX;
    osg::Vec3 lakeSpanY;
    bool lakeFillingPaused = false;  // held by pauseRoam, taken up again by continueRoma
};

// Frames available in a result folder: the highest result number in it (a missing frame among them is
// skipped by the replay).
int resultFrameCount(const QString& folder);

// A nine-value camera entry of a scene file (eye, centre, up, as decimal text) as a view; false when the
// list is shorter.
bool cameraFromValues(const std::vector<std::string>& values, osg::Vec3d& eye, osg::Vec3d& center,
                      osg::Vec3d& up);

// What the entry point does with the window: title "Vantorel", 800 x 600, shown.
void showMainWindow(MainWindow& window);
