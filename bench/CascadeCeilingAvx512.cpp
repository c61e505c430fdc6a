// Built with -mavx512f; nothing here runs unless LanePath::Avx512 runs.
#define LANE_ROUTINES kCeilingAvx512Routines
#define LANE_WIDE 1
#include "engine/LaneRoutinesImpl.h"

#include "CascadeCeiling.h"

void runFullGroupAvx512(LaneGroup<8, 5>& group, const double* in, int n, double* out) {
    const Stream input{in, 1};
    runGroup<V8, kModulatorIn | kOut, 0>(group, input, input, n, nullptr, out, nullptr);
}
