#include "evolutioncontroller.h"

#include <QTimer>

EvolutionController::EvolutionController(QObject* parent) : QObject(parent) {
    playTimer = new QTimer(this);
    connectTimer();
}

void EvolutionController::connectTimer() {
    connect(playTimer, &QTimer::timeout, this, &EvolutionController::beat);
}

void EvolutionController::setAction(Beat which, std::function<void()> action) {
    actions[static_cast<std::size_t>(which)] = std::move(action);
}

void EvolutionController::beat() {
    if (const std::function<void()>& action = actions[static_cast<std::size_t>(current)]) {
        action();
    }
}

void EvolutionController::drive(Beat which, int intervalMs) {
    current = which;
    released = Beat::None;
    isHeld = false;
    playTimer->start(intervalMs);
}

bool EvolutionController::release(Beat which) {
    if (current != which || which == Beat::None) {
        return false;
    }
    current = Beat::None;
    released = which;
    isHeld = false;
    // Nothing to drive: a timer left running at 0 ms would keep a core busy.
    playTimer->stop();
    return true;
}

bool EvolutionController::computing() const {
    return current == Beat::FloodRun || current == Beat::DebrisRun || current == Beat::LandslideRun;
}

bool EvolutionController::hold() {
    if (!playTimer->isActive()) {
        return false;
    }
    playTimer->stop();
    isHeld = true;
    return true;
}

bool EvolutionController::resume() {
    if (!isHeld) {
        return false;
    }
    isHeld = false;
    playTimer->start();
    return true;
}

void EvolutionController::restartTimer(int intervalMs) {
    isHeld = false;
    playTimer->start(intervalMs);
}

void EvolutionController::replaceTimer(Beat which, int intervalMs) {
    playTimer->stop();
    playTimer->deleteLater();
    playTimer = new QTimer(this);
    connectTimer();
    drive(which, intervalMs);
}

void EvolutionController::end() {
    playTimer->stop();
    current = Beat::None;
    released = Beat::None;
    isHeld = false;
}

void EvolutionController::holdStopped(Beat which) {
    playTimer->stop();
    current = which;
    released = Beat::None;
    isHeld = true;
}

bool EvolutionController::replayAgain() {
    if (!ended(Beat::Replay)) {
        return false;
    }
    frameIndex = 1;
    playing = true;
    drive(Beat::Replay, playTimer->interval());
    return true;
}
