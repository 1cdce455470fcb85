#pragma once

#include <QString>
#include <QStringList>
#include <string>

// Files and programs for tests and benchmarks, without the test framework.

// Writes `text` to `path` as it stands, creating its folder; throws std::runtime_error when it cannot.
void writeTextFile(const std::string& path, const std::string& text);

// The bytes of a file, or "(unreadable)" when it does not open.
std::string readTextFile(const std::string& path);

// What a program run by a test did: its exit code (-1 when it crashed or ran past the time limit) and
// what it wrote on its two streams.
struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};
ProgramRun runProgram(const QString& program, const QStringList& arguments, int timeoutMs = 120000);
