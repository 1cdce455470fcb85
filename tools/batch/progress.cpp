#include "progress.h"

#include <unistd.h>
#include <cstdio>
#include <iostream>

ProgressLine::ProgressLine()
    : terminal(isatty(fileno(stdout)) != 0), started(std::chrono::steady_clock::now()), lastShown(started) {}

double ProgressLine::elapsedSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void ProgressLine::update(const std::string& text) {
    lastText = text;
    const auto now = std::chrono::steady_clock::now();
    const auto interval = terminal ? std::chrono::milliseconds(100) : std::chrono::milliseconds(5000);
    if (!shownOnce || now - lastShown >= interval) {
        lastShown = now;
        shownOnce = true;
        show();
    }
}

void ProgressLine::show() {
    if (terminal) {
        std::cout << "\r\033[K" << lastText << std::flush;
    } else {
        std::cout << lastText << std::endl;
    }
}

void ProgressLine::finish() {
    if (terminal) {
        std::cout << "\r\033[K" << lastText << std::endl;
    } else if (!lastText.empty()) {
        std::cout << lastText << std::endl;
    }
}
