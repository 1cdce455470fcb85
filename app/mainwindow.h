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

#include "landslidepoint.h"

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
class MonitorPoints;
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
    QStandardItemModel* sceneTreeModel() const { return treeModel; }

    // The playback state the roam controls act on, for display and tests.
    int currentSimulationMode() const { return simulationMode; }
    bool isPlaying() const { return playing; }
    int currentSpeedStep() const { return speedStep; }
    int currentFrameIndex() const { return frameIndex; }
    int availableFrameCount() const { return frameCount; }
    QTimer* playbackTimer() const { return playTimer; }
    // The tick count of a landslide presentation and the timer of the barrier-lake filling (none before
    // the first filling).
    int presentationStep() const { return infoStep; }
    QTimer* lakeFillingTimer() const { return analysisTimer; }

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
    void acceptfloodValues(std::vector<QString> values);
    void resultVisualize();
    void Visualize();
    void acceptdebrisValues(std::vector<double> values);
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
    // Replays a prepared result folder of a case study on playTimer.
    void startCaseReplay(int mode, const std::string& folder, int intervalMs);

    // Flood.
    // Replays the prepared flood folder of the current scene's configuration under `category`
    // ("Play", "PlayH"), in flood mode only; a scene without one is told so.
    void replayFloodModel(const std::string& category, const QString& modelName);
    // One stored flood frame of the replay (the flood branch of Visualize).
    void showStoredFloodFrame();
    // Takes away what the replay added for its previous frame; the scene's own nodes stay.
    void removeReplayFrame();
    // Adds a node of the current replay frame.
    void addReplayNode(osg::Node* node);
    // Enables every entry of the scene tree again (the end of a replay or of a case's opening).
    void enableSceneTree();
    // Writes the flood run's summary beside its result folder when results came since the last time;
    // says once per run when it cannot.
    void writeFloodSummary();
    // The same for the debris-flow run.
    void writeDebrisSummary();

    // Debris flow.
    // One step of the debris-flow run, with its frame when one is due; false once the run has stopped
    // (at its end, or when its frame could not be written).
    bool advanceDebrisRun();
    // One stored debris frame of the replay (the debris-flow branch of Visualize).
    void showStoredDebrisFrame();

    // Simulation control.
    // Connects one evolution slot (a SLOT() signature) to playTimer once, however often it is started.
    void connectPlayback(const char* slot);
    void disconnectPlayback(const char* slot);
    // Removes every child of root after the terrain (child 0).
    void keepOnlyTerrain();

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
    Ui_MainWindow* ui = nullptr;
    QTreeView* treeView = nullptr;
    QBoxLayout* viewLayout = nullptr;
    QLabel* coordLabel = nullptr;
    QStandardItemModel* treeModel = nullptr;
    QString appDir;
    QString currentFile;

    // 3-D view and scene graph. Child 0 of root is the terrain of the open scene.
    ViewerQT* viewer = nullptr;
    osg::ref_ptr<osg::Group> root;
    osg::ref_ptr<osg::Group> analysisGroup;
    osg::ref_ptr<osg::Group> analysisGroup2;
    osg::ref_ptr<osg::Group> resultGroup;
    osg::ref_ptr<osg::Node> models[7];

    // Playback state shared by every evolution.
    int simulationMode = 0;
    QTimer* playTimer = nullptr;
    bool playing = true;
    int speedStep = 1;
    int frameIndex = 0;
    int frameCount = 0;
    std::string resultDir;
    QString resultDirQ;
    std::string landslideScenario;
    std::vector<std::string> inputFiles;
    std::string scenePath;
    int infoStep = 0;

    // Forms, engines and display objects.
    FloodForm* floodForm = nullptr;
    CAFlood* caFlood = nullptr;
    CADebrisFlow* caDebris = nullptr;
    DebrisFlow* debrisForm = nullptr;
    DebrisRun* debrisRun = nullptr;  // parameters, grid, packets and clock of the debris-flow run
    // Terrain heights of the debris-flow run's grid, which lift its surface.
    std::vector<std::vector<double>> demHeights;
    // Time since the debris-flow run's last tick ended; not valid before its first.
    QElapsedTimer debrisTickClock;
    MonitorPoints* monitors = nullptr;
    FloodHud* floodHud = nullptr;
    FloodSummary* floodSummary = nullptr;  // maxima, arrival and volume balance of the flood run
    int floodSummaryWrittenResult = 0;     // the last result the written summary covers
    bool floodSummaryFailed = false;
    DebrisSummary* debrisSummary = nullptr;  // peak results and volume balance of the debris-flow run
    int debrisSummaryWrittenFrame = 0;
    bool debrisSummaryFailed = false;
    DebrisHud* debrisHud = nullptr;
    std::unique_ptr<LakeSurface> lakeSurface;  // made by the case-study dispatch

    // Flood run: its breach settings and the depth colour range shared with the debris-flow run.
    float floodCapacity = 0.0f;
    float floodWidth = 0.0f;
    float floodHeight = 0.0f;
    int colourLow = 0;
    int colourHigh = 20;
    // Nodes the replay added for the frame on screen.
    std::vector<osg::ref_ptr<osg::Node>> replayFrameNodes;

    // Run output and landslide block.
    std::string saveDir;
    std::string outputFormat = ".ive";
    LandslideForm* landslideForm = nullptr;
    LandslideRun* landslideRun = nullptr;  // the grids, centreline and step counter of the landslide run
    // The landslide mesh on screen: the last step's slide, then the post-disaster surface.
    osg::ref_ptr<osg::Node> landslideMesh;
    // The view's frame number when the replay put its current landslide frame on screen.
    unsigned landslideFrameShownAt = 0;

    // Landslide scenario: the label builder and the wobble's tick count.
    LandslideSymbols* landslideSymbols = nullptr;
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

// Number of the next per-step result file of a computed flood or debris-flow run; back to 1 on stop.
extern int outputFrameNumber;

// Frames available in a result folder, counted as the replay counts them: every entry of the folder,
// less the "." and ".." entries.
int resultFrameCount(const QString& folder);

// A nine-value camera entry of a scene file (eye, centre, up, as decimal text) as a view; false when the
// list is shorter.
bool cameraFromValues(const std::vector<std::string>& values, osg::Vec3d& eye, osg::Vec3d& center,
                      osg::Vec3d& up);

// What the entry point does with the window: title "Vantorel", 800 x 600, shown.
void showMainWindow(MainWindow& window);
