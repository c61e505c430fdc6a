#pragma once

#include "midi/MidiDeviceCatalog.h"

#include <array>
#include <rtmidi/RtMidi.h>
#include <string>

// Which RtMidi API serves each back end, in the order the catalog asks them. The API is
// always named: RtMidi's default tries ALSA alone and throws where there is no sequencer
// device, instead of going on to JACK.
struct RtMidiBackend {
    MidiBackend backend;
    RtMidi::Api api;
    const char* label;
};

inline constexpr std::array<RtMidiBackend, 2> kRtMidiBackends{{
    {MidiBackend::Alsa, RtMidi::LINUX_ALSA, "ALSA"},
    {MidiBackend::Jack, RtMidi::UNIX_JACK, "JACK"},
}};

constexpr const RtMidiBackend& rtMidiBackendOf(MidiBackend backend) {
    for (const RtMidiBackend& b : kRtMidiBackends)
        if (b.backend == backend) return b;
    return kRtMidiBackends[0];
}

// The position of the port named `portName` among `midi`'s ports, or -1. Positions shift
// as other programs come and go, so a port is always looked up again by name right before
// it is opened.
template <typename Midi>
int findRtMidiPort(Midi& midi, const std::string& portName) {
    const unsigned count = midi.getPortCount();
    for (unsigned i = 0; i < count; ++i)
        if (midi.getPortName(i) == portName) return static_cast<int>(i);
    return -1;
}
