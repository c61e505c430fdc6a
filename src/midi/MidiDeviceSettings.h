#pragma once

#include "core/MidiAssignment.h"

#include <array>

using MidiSlots = std::array<MidiAssignment, kMidiSlotCount>;

// The input channel setting's codes around the channels 1..16.
namespace midi_channel {
inline constexpr int kInOmni = 0;
inline constexpr int kFirstIn = 1;
inline constexpr int kLastIn = 16;
inline constexpr int kInOff = 17;
} // namespace midi_channel

// What the device dialog edits: the positions of its four lists and the assignment table.
struct MidiDeviceSettings {
    int inputDevice = 0;  // position in the input device list; 0 is "None"
    int outputDevice = 0; // position in the output device list; 0 is "None"
    int inChannel = midi_channel::kInOmni; // 0 "OMNI", 1..16, 17 "OFF"
    int outChannel = -1;  // 0..15 for channels 1..16, 16 "OFF", -1 none chosen yet
    MidiSlots assignments{};
};
