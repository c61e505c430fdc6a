// The optimised kernel's vector routines, written once and built once per instruction set:
// each LaneRoutines*.cpp defines LANE_ROUTINES (the table to define) and LANE_WIDE (whether
// eight-lane groups run as one vector) and includes this file. Everything here has
// internal linkage, so the copies built with different instruction sets never meet at
// link time, and no standard-library template is instantiated in them.
//
// Exactness: the compiler's vector extensions apply each operator lane by lane with the
// same IEEE operation as scalar code, the build forbids contraction, and every expression
// in the parts is written in the order of the reference's scalar expression (the reference
// kernel's, or the primitives' filter loop for the rate changes outside the kernel). A lane
// therefore holds bit for bit what the reference computes for its filter or sample.
//
// The parts, in the order they build on each other:
//   LaneVectors.h     the vector types, loads, stores, broadcasts, max and min
//   LaneSections.h    biquad sections in lanes and the runs of a lane group
//   LaneAnalysis.h    input scaling, the analysis groups, envelopes and warp
//   LaneRebuild.h     the rebuild steps, sample by sample and paired
//   LaneSynthesis.h   band sums, the synthesis schedules, the output mix
//   LaneRateChange.h  the halvings, doublings, 16-bit samples and dither outside the kernel

#ifndef LANE_ROUTINES
#error "define LANE_ROUTINES before including LaneRoutinesImpl.h"
#endif

#include "engine/KernelLanes.h"

// In this order, each part using those before it. The order in which the table's routines
// are defined is also the order in which the compiler lays them out in the object: moving
// one moves the code the measurements were taken with.
// clang-format off
#include "engine/LaneVectors.h"
#include "engine/LaneSections.h"
#include "engine/LaneAnalysis.h"
#include "engine/LaneRebuild.h"
#include "engine/LaneSynthesis.h"
#include "engine/LaneRateChange.h"
// clang-format on

extern const LaneRoutines LANE_ROUTINES{scaleInputs, analyse,     updateEnvelopes, warp,      synthesise,
                                        halveTwice,  doublePairs, toSamples16,     toStereo16,
                                        addDither};
