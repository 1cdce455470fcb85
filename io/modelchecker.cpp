#include "modelchecker.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <iostream>

#include "modelparse.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

const char* const checkerName = "vantorel-modelcheck";
// A checker loads OpenSceneGraph before it says it is ready; on a loaded machine that takes a while, and a
// checker taken for missing would leave every later file unchecked.
constexpr std::chrono::seconds startSeconds(10);

std::string executableFolder() {
    char path[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (size <= 0) {
        return {};
    }
    const std::string executable(path, static_cast<std::size_t>(size));
    return executable.substr(0, executable.rfind('/'));
}

std::string findChecker() {
    for (const std::string& folder : {executableFolder(), std::string(VANTOREL_CHECKER_DIR)}) {
        const std::string candidate = folder + "/" + checkerName;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

enum class Transfer { done, closed, late };

// Sends or receives `size` bytes through the non-blocking `socket` by `deadline`.
Transfer transfer(int socket, bool sending, char* data, std::size_t size, Clock::time_point deadline) {
    while (size > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return Transfer::late;
        }
        pollfd wait{socket, static_cast<short>(sending ? POLLOUT : POLLIN), 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
        if (ready < 0 && errno != EINTR) {
            return Transfer::closed;
        }
        if (ready <= 0) {
            continue;
        }
        // No SIGPIPE when the checker has died: the window would end of it.
        const ssize_t moved =
            sending ? ::send(socket, data, size, MSG_NOSIGNAL) : ::recv(socket, data, size, 0);
        if (moved < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            continue;
        }
        if (moved <= 0) {
            return Transfer::closed;
        }
        data += moved;
        size -= static_cast<std::size_t>(moved);
    }
    return Transfer::done;
}

Transfer sendField(int socket, const std::string& field, Clock::time_point deadline) {
    std::uint64_t size = field.size();
    const Transfer sent = transfer(socket, true, reinterpret_cast<char*>(&size), sizeof size, deadline);
    if (sent != Transfer::done) {
        return sent;
    }
    return transfer(socket, true, const_cast<char*>(field.data()), field.size(), deadline);
}

}  // namespace

ModelChecker::ModelChecker(std::string program, double baseSeconds, int headroomMegabytes)
    : program(std::move(program)), baseSeconds(baseSeconds), headroom(std::to_string(headroomMegabytes)) {}

ModelChecker::~ModelChecker() {
    stop();
}

pid_t ModelChecker::process() const {
    const std::lock_guard<std::mutex> lock(mutex);
    return child;
}

double ModelChecker::secondsFor(std::size_t bytes) const {
    return baseSeconds + static_cast<double>(bytes) / (1 << 20);
}

bool ModelChecker::start() {
    if (program.empty()) {
        program = findChecker();
    }
    std::string problem;
    int ends[2] = {-1, -1};
    if (program.empty()) {
        problem = std::string("no ") + checkerName + " beside the program";
    } else if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        problem = "no socket for it";
    } else {
        // The checker's end becomes its standard input and output; the duplicates lose close-on-exec.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 0);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // A thread of the window may block signals, and the window may ignore some; the checker starts clean.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t signals;
        sigemptyset(&signals);
        posix_spawnattr_setsigmask(&attributes, &signals);
        sigaddset(&signals, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &signals);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        char* arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>(headroom.c_str()),
                             nullptr};
        const int failed = ::posix_spawn(&child, program.c_str(), &actions, &attributes, arguments, environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        ::close(ends[1]);
        if (failed != 0) {
            child = -1;
            ::close(ends[0]);
            problem = "\"" + program + "\" does not start";
        } else {
            socket = ends[0];
            ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
            char ready = 0;
            const auto deadline = Clock::now() + startSeconds;
            if (transfer(socket, false, &ready, 1, deadline) != Transfer::done ||
                ready != char(checkerReady)) {
                stop();
                problem = "\"" + program + "\" does not answer";
            }
        }
    }
    if (!problem.empty()) {
        startFailed = true;
        std::cerr << "warning: models are read unchecked, in the window: " << problem << std::endl;
    }
    return problem.empty();
}

void ModelChecker::stop() {
    if (socket >= 0) {
        ::close(socket);
        socket = -1;
    }
    if (child > 0) {
        ::kill(child, SIGKILL);
        while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        child = -1;
    }
}

ModelChecker::Answer ModelChecker::check(const std::string& bytes, const std::string& extension,
                                         const std::string& folder) {
    const std::lock_guard<std::mutex> lock(mutex);
    Answer answer{Verdict::unavailable, {}, secondsFor(bytes.size())};
    if (child < 0 && (startFailed || !start())) {
        return answer;
    }
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(answer.seconds));
    Transfer step = sendField(socket, extension, deadline);
    if (step == Transfer::done) {
        step = sendField(socket, folder, deadline);
    }
    if (step == Transfer::done) {
        step = sendField(socket, bytes, deadline);
    }
    std::uint8_t status = 0;
    std::uint64_t size = 0;
    if (step == Transfer::done) {
        step = transfer(socket, false, reinterpret_cast<char*>(&status), 1, deadline);
    }
    if (step == Transfer::done) {
        step = transfer(socket, false, reinterpret_cast<char*>(&size), sizeof size, deadline);
    }
    if (step == Transfer::done && size <= longestNameField) {
        answer.reason.resize(size);
        step = transfer(socket, false, answer.reason.data(), size, deadline);
    }
    if (step == Transfer::done && size <= longestNameField &&
        (status == checkedModel || status == checkedNoModel)) {
        answer.verdict = status == checkedModel ? Verdict::model : Verdict::noModel;
        return answer;
    }
    answer.reason.clear();
    answer.verdict = step == Transfer::late ? Verdict::noAnswer : Verdict::crashed;
    stop();
    return answer;
}

ModelChecker& sharedModelChecker() {
    static ModelChecker checker;
    return checker;
}
