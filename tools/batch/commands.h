#pragma once

#include "commandline.h"

// The most threads --threads takes: far more than any desktop has cores.
constexpr int maxBatchThreads = 256;

// Each sub-command returns the process exit status: 0 done, 1 the run failed, 2 bad command line or input.
int runFloodCommand(const CommandLine& options);
int runDebrisCommand(const CommandLine& options);
int runLandslideCommand(const CommandLine& options);
