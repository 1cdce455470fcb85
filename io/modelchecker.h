#pragma once

#include <sys/types.h>
#include <cstddef>
#include <mutex>
#include <string>

// The connection to a model checker, a process (vantorel-modelcheck) that parses a model file's bytes
// with the plug-in the window uses before the window does: OpenSceneGraph's ".ive" plug-in writes
// through a null pointer on some damaged files and loops for minutes on others, and neither may end or
// hold the window. One process serves every file, as a replay reads a frame every few tens of
// milliseconds; one that crashes or gives no answer in time is killed, the file refused, and a new one
// started for the next file. Calls from several threads take turns.
//
//     ModelChecker checker;
//     const ModelChecker::Answer answer = checker.check(bytes, ".ive", folder);
//     if (answer.verdict == ModelChecker::Verdict::model) { /* parse the same bytes here */ }
class ModelChecker {
public:
    enum class Verdict {
        model,        // the plug-in read a model from the bytes
        noModel,      // it read none, for `reason` when it said one
        crashed,      // the checker died on the bytes
        noAnswer,     // nor did it answer within `seconds`
        unavailable,  // no checker starts (a warning on standard error said so once): nothing is known
    };
    struct Answer {
        Verdict verdict;
        std::string reason;
        double seconds = 0;
    };

    // `program` empty: vantorel-modelcheck beside the running executable, else in the build's bin
    // folder. A file of n megabytes gets baseSeconds + n seconds for its answer. A model may take
    // headroomMegabytes beyond sixteen times its file's size: a file declaring more is refused.
    explicit ModelChecker(std::string program = {}, double baseSeconds = 4, int headroomMegabytes = 1024);
    ~ModelChecker();
    ModelChecker(const ModelChecker&) = delete;
    ModelChecker& operator=(const ModelChecker&) = delete;

    Answer check(const std::string& bytes, const std::string& extension, const std::string& folder);

    // The process answering now, or -1 while none runs.
    pid_t process() const;

private:
    bool start();
    void stop();
    double secondsFor(std::size_t bytes) const;

    mutable std::mutex mutex;
    std::string program;
    double baseSeconds;
    std::string headroom;
    pid_t child = -1;
    int socket = -1;
    // Once no checker starts, none is tried again: each try may wait seconds for it.
    bool startFailed = false;
};

// The checker readModelFile uses when given none: made at the first read, and its process killed when the
// program ends. The readers of models sit in several libraries and sessions, and a checker process serves
// one program whoever reads; so it is owned here for the process's life rather than passed down to each.
ModelChecker& sharedModelChecker();
