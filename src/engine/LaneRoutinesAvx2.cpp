// The optimised kernel's routines on four-lane AVX2 units (built with -mavx2; contraction
// stays off, a fused multiply-add would round differently from the reference).
#define LANE_ROUTINES kAvx2LaneRoutines
#define LANE_WIDE 0
#include "engine/LaneRoutinesImpl.h"
