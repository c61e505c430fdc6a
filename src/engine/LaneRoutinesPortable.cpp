// The optimised kernel's routines for any processor: the compiler maps the vectors onto
// whatever unit the baseline instruction set has (SSE2 on x86-64).
#define LANE_ROUTINES kPortableLaneRoutines
#define LANE_WIDE 0
#include "engine/LaneRoutinesImpl.h"
