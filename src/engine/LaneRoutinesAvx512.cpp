// The optimised kernel's routines on eight-lane AVX-512 units (built with -mavx512f;
// contraction stays off, a fused multiply-add would round differently from the reference).
#define LANE_ROUTINES kAvx512LaneRoutines
#define LANE_WIDE 1
#include "engine/LaneRoutinesImpl.h"
