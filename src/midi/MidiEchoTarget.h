#pragma once

#include "core/MidiAssignment.h"

#include <array>

// Where the slider echo goes: the MidiLink in the program. It keeps the last value echoed
// per assignment slot, so that only changes go out.
// Thread: window.
class MidiEchoTarget {
public:
    virtual ~MidiEchoTarget();

    // True while control changes can go out: an output port open on a channel 0..15.
    virtual bool echoReady() const = 0;
    // One control change on the output channel.
    virtual void SendControl(int controller, int value) = 0;
    // The last value echoed for each slot; all 0 at the start.
    virtual std::array<int, kMidiSlotCount>& lastSent() = 0;
};
