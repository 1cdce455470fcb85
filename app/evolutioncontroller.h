#pragma once

#include <QObject>
#include <array>
#include <functional>

class QTimer;

// What the window is showing an evolution of; the numbers are those the forms send as their start flag.
enum class EvolutionMode { None = 0, Flood = 1, Debris = 2, Landslide = 3 };

// What the playback timer drives: one step of a replay, of a computed run, or of a stage of the landslide
// story.
enum class Beat {
    None,
    Replay,         // Visualize: the next stored frame
    FloodRun,       // resultVisualize
    DebrisRun,      // flowVisualize
    LandslideRun,   // landslideVisualize
    StoryLabels,    // displayInfo
    StoryShake,     // Shake
    StoryFlood,     // displayLandslideInfo
};

// The playback of the window: the one timer that drives every evolution, what it drives, the named mode
// and the replay's position, pace and hold. The window tells it what to drive and acts on its beats;
// the roam controls change its state.
//
//     controller.setAction(Beat::Replay, [&] { showNextFrame(); });
//     controller.drive(Beat::Replay, 0);    // the timer now calls showNextFrame
//     controller.release(Beat::Replay);     // after the last frame: the timer stops
class EvolutionController : public QObject {
    Q_OBJECT

public:
    explicit EvolutionController(QObject* parent = nullptr);

    // The step each beat runs.
    void setAction(Beat beat, std::function<void()> action);

    // Drives `beat` from now on, every `intervalMs`, in place of whatever the timer drove.
    void drive(Beat beat, int intervalMs);
    // Lets go of `beat` when the timer drives it: the timer stops. False when it drove something else.
    bool release(Beat beat);
    // Whether the timer drives `beat` (running or held).
    bool drives(Beat beat) const { return current == beat; }
    Beat driven() const { return current; }
    // A computed run (flood, debris flow, landslide) is driven.
    bool computing() const;
    // The timer is stopped and taken up again by `resume` (a pause or a stop); false when it was idle.
    bool hold();
    // Starts the held timer again; false when nothing was held.
    bool resume();
    // Starts the timer again with `intervalMs`, whatever it drives.
    void restartTimer(int intervalMs);
    // Replaces the timer by a new one driving `beat` (the old one is deleted once its tick is over), so
    // that nothing a stage connected to the old timer fires again.
    void replaceTimer(Beat beat, int intervalMs);
    bool held() const { return isHeld; }
    // Stops the timer and drives nothing (the scene is replaced, or another evolution starts).
    void end();
    // A replay that let go of the timer at its end starts again from its first frame, at its pace; false
    // when none had ended.
    bool replayAgain();
    // Drives `beat` without starting the timer: it waits, held, for `resume`.
    void holdStopped(Beat beat);
    // Whether `beat` let go of the timer by itself (a replay after its last frame) and nothing was driven
    // since.
    bool ended(Beat beat) const { return current == Beat::None && released == beat; }

    QTimer* timer() const { return playTimer; }

    EvolutionMode mode = EvolutionMode::None;
    bool playing = true;  // a replay advances only while true
    int speedStep = 1;    // frames advanced per replay tick, 1 to 4
    int frameIndex = 0;   // the replay's current frame, from 1
    int frameCount = 0;   // the last frame of the replayed folder

    // "&快速演进": 1, 2, 3, 4, 1, ...
    void speedUp() { speedStep = speedStep > 3 ? 1 : speedStep + 1; }
    // Moves the replay on by `frames` while it plays. A step past the last frame stops on it first, so that
    // the last frame is always shown before the replay ends.
    void advance(int frames) {
        if (playing) {
            const int next = frameIndex + frames;
            frameIndex = frameIndex < frameCount && next > frameCount ? frameCount : next;
        }
    }
    // A replay from its first frame, playing at 1x.
    void rewind() {
        frameIndex = 1;
        speedStep = 1;
        playing = true;
    }

private:
    void beat();
    void connectTimer();

    QTimer* playTimer = nullptr;
    Beat current = Beat::None;
    Beat released = Beat::None;
    bool isHeld = false;
    std::array<std::function<void()>, 8> actions;
};
