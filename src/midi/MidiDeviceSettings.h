#pragma once

#include "core/MidiAssignment.h"

#include <array>

using MidiSlots = std::array<MidiAssignment, kMidiSlotCount>;

// What the device dialog edits: the positions of its four lists and the assignment table.
struct MidiDeviceSettings {
    int inputDevice = 0;  // position in the input device list; 0 is "None"
    int outputDevice = 0; // position in the output device list; 0 is "None"
    int inChannel = 0;    // 0 "OMNI", 1..16, 17 "OFF"
    int outChannel = -1;  // 0..15 for channels 1..16, 16 "OFF", -1 none chosen yet
    MidiSlots assignments{};
};
