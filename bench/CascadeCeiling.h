#pragma once

#include "engine/LaneGroup.h"

class ChannelBank;

// What the vector unit can do at best with the kernel's filter work: every lane of a
// five-section group busy, nothing but the sections, run by the kernel's own vector code.
// A block's filters need a fixed number of lane-sections (one filter section applied to
// one sample); the kernel cannot keep every lane of every group busy (three bands an
// octave, two sides in the rebuild, one octave waiting on the next), so the time these
// take for a block's count is a floor no arrangement of the kernel's filters gets under.
// Thread: any; the groups are the caller's.

// The section applications a block's filters make: each band, envelope, decimation,
// sibilance and interpolation filter's sections times the samples it runs per block.
int blockLaneSections(const ChannelBank& bank);

// Every lane of `group` over n samples of `in` (n even); the outputs go to `out`, rows of
// the group's width. Each exists only where its unit does (LanePath says which runs).
void runFullGroupAvx512(LaneGroup<8, 5>& group, const double* in, int n, double* out);
void runFullGroupAvx2(LaneGroup<4, 5>& group, const double* in, int n, double* out);
