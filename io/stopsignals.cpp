#include "stopsignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace {

volatile std::sig_atomic_t caught = 0;
int signalPipe[2] = {-1, -1};

extern "C" void rememberStop(int signal) {
    caught = signal;
    if (signalPipe[1] >= 0) {
        const char byte = static_cast<char>(signal);
        // Nothing to do when the pipe is full: the watcher has a byte to read already.
        [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    }
}

}  // namespace

void catchStopSignals() {
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = rememberStop;
    sigemptyset(&action.sa_mask);
    // Writes in progress go on; the run looks at the signal between results.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int stopSignal() {
    return caught;
}

const char* stopSignalName() {
    return caught == SIGINT ? "SIGINT" : caught == SIGTERM ? "SIGTERM" : "no signal";
}

int stopSignalDescriptor() {
    return signalPipe[0];
}
