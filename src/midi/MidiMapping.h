#pragma once

#include "core/CommandDispatcher.h"
#include "core/VocoderCore.h"
#include "midi/MidiEchoTarget.h"
#include "midi/MidiLearn.h"
#include "midi/MidiMessage.h"

#include <array>

// What incoming MIDI does to the panel, and what the panel echoes back. Control changes
// drive the controls the core's 20 assignment slots name; Note On plays the internal
// carrier's frequency; the values of assigned sliders go out again after every block.
// (Button presses are echoed by the CommandDispatcher through its CommandHost, which
// forwards midiEchoReady() and sendControl() to MidiLink::echoReady() and SendControl().)
//
// Thread: owner (the core's, which in the program is the window).
class MidiMapping {
public:
    // Above this a controller switches its button; below kLatchOffBelow it lets go.
    static constexpr int kLatchOnAbove = 96;
    static constexpr int kLatchOffBelow = 32;

    MidiMapping(VocoderCore& core, CommandDispatcher& dispatcher) : core_(core), dispatcher_(dispatcher) {}

    // One incoming message. Malformed messages and everything but Control Change and
    // Note On are ignored, as are messages the input channel setting filters out.
    void handleMessage(const MidiMessage& message);

    // After every processed block: each slot assigned to a slider sends the slider's value
    // (parameter sliders doubled to 0..126) when it differs from the last value sent.
    void echoSliders(MidiEchoTarget& target);

    // While armed, takes the next control change for the control being learnt.
    MidiLearn& learn() { return learn_; }

    // Per button: 1 after a high value switched it, until a low value lets go.
    const std::array<int, kButtonCount>& buttonLatch() const { return MidiButtonLatch_; }

private:
    void controlChange(int controller, int value);
    void applyToSlot(ControlId control, int value);
    void noteOn(int note);

    VocoderCore& core_;
    CommandDispatcher& dispatcher_;
    // Zero from the start, so the first message already finds every button let go.
    std::array<int, kButtonCount> MidiButtonLatch_{};
    MidiLearn learn_;
};
