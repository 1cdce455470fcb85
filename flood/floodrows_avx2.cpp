// The flood step's stages built for the Avx2 instruction set (see CMakeLists.txt for its flags).
#define FLOOD_ROWS_RUN_STAGES runStagesAvx2
#include "floodrows_kernel.h"
