// The flood step's stages built for the Avx512 instruction set (see CMakeLists.txt for its flags).
#define FLOOD_ROWS_RUN_STAGES runStagesAvx512
#include "floodrows_kernel.h"
