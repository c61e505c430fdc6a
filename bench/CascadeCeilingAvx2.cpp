// Built with -mavx2; nothing here runs unless LanePath::Avx2 runs.
#define LANE_ROUTINES kCeilingAvx2Routines
#define LANE_WIDE 0
#include "engine/LaneRoutinesImpl.h"

#include "CascadeCeiling.h"

void runFullGroupAvx2(LaneGroup<4, 5>& group, const double* in, int n, double* out) {
    const Stream input{in, 1};
    runGroup<V4, kModulatorIn | kOut, 0>(group, input, input, n, nullptr, out, nullptr);
}
