#include "virtualdisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

bool VirtualDisplay::start(std::string& problem, const std::string& server, int timeoutMs) {
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) {
        problem = std::string("cannot make a pipe for ") + server + ": " + std::strerror(errno);
        return false;
    }
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        problem = std::string("cannot start ") + server + ": " + std::strerror(errno);
        close(channel[0]);
        close(channel[1]);
        return false;
    }
    if (child == 0) {
        // The server goes when the test program goes, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(1);
        }
        // The write end stays open across exec: the server writes its display number into it.
        fcntl(channel[1], F_SETFD, 0);
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) {
            dup2(quiet, STDOUT_FILENO);
            dup2(quiet, STDERR_FILENO);
        }
        const std::string fd = std::to_string(channel[1]);
        execlp(server.c_str(), server.c_str(), "-displayfd", fd.c_str(), "-screen", "0", "1920x1200x24",
               "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(channel[1]);
    serverPid = child;

    // The server writes the number followed by a newline once it accepts clients.
    std::string reply;
    bool closed = false;  // the server closed its end: it has ended, or never will report
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!closed && reply.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{channel[0], POLLIN, 0};
        const int polled = left.count() > 0 ? poll(&ready, 1, static_cast<int>(left.count())) : 0;
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled <= 0) {
            break;
        }
        char buffer[32];
        const ssize_t got = read(channel[0], buffer, sizeof buffer);
        closed = got <= 0;
        reply.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    close(channel[0]);
    char* end = nullptr;
    const long number = std::strtol(reply.c_str(), &end, 10);
    if (reply.empty() || end == reply.c_str() || *end != '\n' || number < 0) {
        // A server that closed the pipe is ending; give it a moment to be reaped.
        int status = 0;
        bool exited = waitpid(serverPid, &status, WNOHANG) == serverPid;
        for (int wait = 0; closed && !exited && wait < 100; ++wait) {
            usleep(10000);
            exited = waitpid(serverPid, &status, WNOHANG) == serverPid;
        }
        if (exited && WIFEXITED(status) && WEXITSTATUS(status) == 127) {
            problem = "cannot run " + server + " (is it installed?)";
        } else if (exited) {
            problem = server + " ended before it reported its display";
        } else {
            problem = server + " reported no display within " + std::to_string(timeoutMs) + " ms";
        }
        if (!exited) {
            kill(serverPid, SIGKILL);
            waitpid(serverPid, nullptr, 0);
        }
        serverPid = -1;
        return false;
    }
    displayName = ":" + std::to_string(number);
    setenv("DISPLAY", displayName.c_str(), 1);
    return true;
}

VirtualDisplay::~VirtualDisplay() {
    if (serverPid > 0) {
        kill(serverPid, SIGTERM);
        waitpid(serverPid, nullptr, 0);
    }
}
