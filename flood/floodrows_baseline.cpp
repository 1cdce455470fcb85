// The flood step's stages built for any x86-64 processor.
#define FLOOD_ROWS_RUN_STAGES runStagesBaseline
#include "floodrows_kernel.h"
