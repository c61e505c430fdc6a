#pragma once

#include "core/ControlTable.h"

// One of the 20 slots pairing a control with a MIDI controller number. A control outside
// 1..83 (the start value −1, or 0 "Off") leaves the slot unassigned.
struct MidiAssignment {
    ControlId control = -1;
    int controller = 64;

    bool assigned() const { return control > 0 && control < kControlCount; }
};

inline constexpr int kMidiSlotCount = 20;
