#pragma once

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
#include "landslideinputs.h"
#include "presentationpace.h"
#include "replayvideo.h"
#include "scenelist.h"

class QBoxLayout;
class QCloseEvent;
class QLabel;
class QStandardItemModel;
class QTimer;
class QTreeView;
class DebrisFlow;
class DebrisSession;
class FloodForm;
class FloodSession;
class LakeSurface;
class LandslideForm;
class LandslideSession;
class LandslideStory;
class MonitorDock;
class PickHandle;
class SessionStage;
class UseEventHandler;
class ViewHistory;
class ViewerQT;
class Ui_MainWindow;
class shapeFormat;

// The application's one window: it wires the menus, the forms and the 3-D view to the playback controller
// and to one session per hazard (flood, debris flow, landslide run, landslide story), which own the
// engines, result folders, HUDs, summaries and monitor records. Every user action is one of its slots;
// the slots are implemented in one file per concern (mainwindow_*.cpp) and stay thin.
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
    // The scene list and the open scene.
    SceneCatalog& sceneCatalog() { return catalog; }

    // The playback the roam controls act on, for display and tests.
    const EvolutionController& playback() const { return *evolution; }
    EvolutionMode currentSimulationMode() const { return evolution->mode; }
    bool isPlaying() const { return evolution->playing; }
    int currentSpeedStep() const { return evolution->speedStep; }
    int currentFrameIndex() const { return evolution->frameIndex; }
    int availableFrameCount() const { return evolution->frameCount; }
    QTimer* playbackTimer() const { return evolution->timer(); }
    // The tick count of a landslide presentation and the timer of the barrier-lake filling.
    int presentationStep() const;
    QTimer* lakeFillingTimer() const;
    // Runs the timed presentation steps (story stages, lake filling, pauses of replays) `factor` times
    // faster than real time; 1 is the user's pace.
    void setPresentationSpeedUp(int factor) { pace.setSpeedUp(factor); }

    // A stop signal (Ctrl+C, SIGTERM) arrived: a computed run stops after its last complete result, and
    // says so on standard output.
    void stopForSignal(const char* signalName);

    // Replays the result folder `folder` of `mode` in place of whatever runs or replays.
    void startReplayOf(EvolutionMode mode, const std::string& folder);
    // Films the flood or debris-flow replay on screen into the MP4 `path` at `size`, every stored frame
    // once, as "Export video…" does after asking. Failed, with the reason in `problem`, when there is no
    // such replay or the film cannot be made.
    FilmOutcome filmReplay(const QString& path, QSize size, QString& problem);

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
    void acceptLandSlideSignals(LandslideRunRequest request);
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
    void exportVideo();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Case studies.
    // The scene tree from "TreeMeta.json", its context action and its signals.
    void buildSceneTree();
    // Adds the model at `path` to the scene; a model that does not load adds nothing.
    void loadTerrain(const std::string& path);
    // Reads a model the window shows through loadShownModel; the reason one does not load, naming the
    // file, goes to the status bar as well.
    osg::ref_ptr<osg::Node> loadModel(const std::string& path);
    void addFloodMarksAndLake();
    // Replays a prepared result folder of a case study.
    void startCaseReplay(EvolutionMode mode, const std::string& folder, int intervalMs);

    // The replayed folder of the mode on screen, from its first frame.
    void assignReplayFolder(const std::string& folder);

    // Flood.
    // Replays the prepared flood folder of the current scene's configuration under `category`
    // ("Play", "PlayH"), in flood mode only; a scene without one is told so.
    void replayFloodModel(const std::string& category, const QString& modelName);
    // Simulation control.
    // What each beat of the playback timer runs: the tick slots below.
    void connectBeats();
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

    // Scene files and views.
    // The viewpoint of the view as eye, centre and up (the centre far along the line of sight), also
    // printed on standard output for authors of scene files.
    void readCameraView(osg::Vec3d& eye, osg::Vec3d& center, osg::Vec3d& up) const;
    void setCurrentFile(const QString& path);
    void writeScene(const QString& name);

    // User interface.
    std::unique_ptr<Ui_MainWindow> ui;
    QTreeView* treeView = nullptr;
    QBoxLayout* viewLayout = nullptr;
    QLabel* coordLabel = nullptr;
    QStandardItemModel* treeModel = nullptr;
    SceneCatalog catalog;
    QString appDir;
    QString currentFile;

    // 3-D view and scene graph. Child 0 of root is the terrain of the open scene.
    ViewerQT* viewer = nullptr;
    osg::ref_ptr<UseEventHandler> viewRecorder;
    osg::ref_ptr<PickHandle> picker;
    osg::ref_ptr<osg::Group> root;
    osg::ref_ptr<osg::Node> models[7];

    // The timer, mode and position of whatever evolution runs.
    EvolutionController* evolution = nullptr;
    std::vector<std::string> inputFiles;
    std::string scenePath;
    // Every timed step takes its interval from here.
    PresentationPace pace;

    // The forms.
    std::unique_ptr<FloodForm> floodForm;
    std::unique_ptr<DebrisFlow> debrisForm;
    std::unique_ptr<LandslideForm> landslideForm;
    // Plots of the monitor points of the run or replay on screen.
    MonitorDock* monitorDock = nullptr;
    // What the sessions draw into, and the session of each hazard.
    std::unique_ptr<SessionStage> stage;
    std::unique_ptr<FloodSession> flood;
    std::unique_ptr<DebrisSession> debris;
    std::unique_ptr<LandslideSession> landslide;
    std::unique_ptr<LandslideStory> story;
};

// The barrier lake named by the current scene's configuration ("BarrierLake"); none without one.
std::unique_ptr<LakeSurface> configuredLake(const SceneCatalog& catalog);

// What the entry point does with the window: title "Vantorel", 800 x 600, shown.
void showMainWindow(MainWindow& window);
