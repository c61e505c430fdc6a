#pragma once

#include "engine/KernelLanes.h"

// Which vector unit the optimised engine runs on. Every path computes the same bits; they
// differ only in speed, so the choice is the widest unit the processor and the operating
// system support, unless a caller (a test, a benchmark) asks for a particular one.
enum class LanePath { Portable, Avx2, Avx512 };

// Whether this machine (and this build) can run the path. Portable always can.
bool lanePathRuns(LanePath path);
// The widest path that runs here.
LanePath bestLanePath();
const char* lanePathName(LanePath path);
// The routines of a path that runs here; a path that cannot run gives the portable ones.
const LaneRoutines& laneRoutines(LanePath path);
