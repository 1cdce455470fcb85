#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Writes the result files of a live run on a thread of its own while the run computes its next tick.
// One set of files is in flight at a time: handing over the next waits for it first. A job writes
// only copies (of the water model, the grid's depths, the display state), never the scene graph, which
// stays with the window's thread.
//
//     std::string failedFile;
//     if (!writer.hand([copies](std::string& failed) { return write(copies, failed); }, failedFile)) {
//         ... stop the run: failedFile could not be written ...
//     }
//     ...
//     writer.finish(failedFile);  // when the run stops: waits for the files in flight
class ResultWriter {
public:
    // Writes one set of files; false, naming the file in `failedFile`, when one could not be written.
    using Job = std::function<bool(std::string& failedFile)>;

    ResultWriter() = default;
    ResultWriter(const ResultWriter&) = delete;
    ResultWriter& operator=(const ResultWriter&) = delete;
    // Waits for the set in flight.
    ~ResultWriter();

    // Waits for the set in flight, then starts `job`. False, naming the file that set could not write,
    // when it failed; `job` is then dropped.
    bool hand(Job job, std::string& failedFile);
    // Waits for the set in flight. False, naming the file, when it failed. The writer is then idle.
    bool finish(std::string& failedFile);

private:
    void writeJobs();
    // Waits with the lock held until no job is in flight; returns its outcome and forgets it.
    bool takeOutcome(std::unique_lock<std::mutex>& lock, std::string& failedFile);

    std::mutex mutex;
    std::condition_variable changed;
    Job job;            // the set handed over, until the thread takes it
    bool busy = false;  // from the hand-over until the set is written
    bool failed = false;
    std::string failure;
    bool quitting = false;
    std::thread thread;  // started with the first set
};
