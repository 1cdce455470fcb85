#pragma once

#include <sys/types.h>
#include <string>

// An X server of the test program's own (Xvfb, with Mesa's software OpenGL), so that GUI test programs
// run side by side without sharing focus, activation or the screen: each window is the only one on its
// display, as when the tests ran one after another on a shared one. The server goes with this object,
// and with the program if it dies first.
class VirtualDisplay {
public:
    VirtualDisplay() = default;
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    ~VirtualDisplay();

    // Starts `server` (a program name looked up on PATH) on a free display number of its choosing and
    // points DISPLAY at it. False, with the reason in `problem`, when it cannot be started or does not
    // report ready within `timeoutMs`.
    bool start(std::string& problem, const std::string& server = "Xvfb", int timeoutMs = 20000);

    // ":N" once started.
    const std::string& name() const { return displayName; }

private:
    pid_t serverPid = -1;
    std::string displayName;
};
