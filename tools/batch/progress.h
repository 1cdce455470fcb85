#pragma once

#include <chrono>
#include <string>

// One progress line on the terminal. On a terminal the line is redrawn in place at most ten times a
// second; when the output goes to a file or a pipe, a full line is printed every few seconds instead.
class ProgressLine {
public:
    ProgressLine();

    // Shows `text` now or at the next update that the rate limit lets through.
    void update(const std::string& text);
    // Shows the last text for good and ends the line.
    void finish();

    // Seconds since construction.
    double elapsedSeconds() const;

private:
    void show();

    bool terminal;
    std::string lastText;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastShown;
    bool shownOnce = false;
};
