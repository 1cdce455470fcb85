#include "resultwriter.h"

#include <exception>

ResultWriter::~ResultWriter() {
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return !busy; });
        quitting = true;
    }
    changed.notify_all();
    if (thread.joinable()) {
        thread.join();
    }
}

bool ResultWriter::takeOutcome(std::unique_lock<std::mutex>& lock, std::string& failedFile) {
    changed.wait(lock, [this] { return !busy; });
    if (!failed) {
        return true;
    }
    failed = false;
    failedFile = failure;
    failure.clear();
    return false;
}

bool ResultWriter::hand(Job next, std::string& failedFile) {
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (!takeOutcome(lock, failedFile)) {
            return false;
        }
        job = std::move(next);
        busy = true;
        if (!thread.joinable()) {
            thread = std::thread(&ResultWriter::writeJobs, this);
        }
    }
    changed.notify_all();
    return true;
}

bool ResultWriter::finish(std::string& failedFile) {
    std::unique_lock<std::mutex> lock(mutex);
    return takeOutcome(lock, failedFile);
}

void ResultWriter::writeJobs() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return job || quitting; });
        if (!job) {
            return;
        }
        // The files are written without the lock, so that the window can look at the writer meanwhile.
        Job current = std::move(job);
        job = nullptr;
        lock.unlock();
        std::string failedFile;
        bool written = false;
        try {
            written = current(failedFile);
        } catch (const std::exception& error) {
            failedFile += std::string(failedFile.empty() ? "" : " ") + "(" + error.what() + ")";
        }
        current = nullptr;  // its copies go here, not under the lock
        lock.lock();
        if (!written) {
            failed = true;
            failure = failedFile;
        }
        busy = false;
        changed.notify_all();
    }
}
