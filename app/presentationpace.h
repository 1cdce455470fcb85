#pragma once

// The pace of the window's timed presentation steps: the stages of a landslide story, the filling of its
// barrier lake, the hand-over to the flood and the pauses between replayed frames. Every such timer
// takes its interval from here, so that the same steps can run many times faster than real time (the
// tests do) without a second code path.
class PresentationPace {
public:
    // How many times faster than real time the steps run; 1 (the user's pace) for anything below 1.
    void setSpeedUp(int factor) { speedUp = factor > 1 ? factor : 1; }
    int currentSpeedUp() const { return speedUp; }

    // The interval for a step that takes `realTimeMs` in real time, ms. A step that waits keeps waiting
    // at least 1 ms, so that it still yields to the event loop (the view draws in between); 0 stays 0.
    int intervalMs(int realTimeMs) const {
        if (realTimeMs <= 0) {
            return 0;
        }
        const int scaled = (realTimeMs + speedUp / 2) / speedUp;
        return scaled > 1 ? scaled : 1;
    }

private:
    int speedUp = 1;
};
