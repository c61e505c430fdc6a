#pragma once

#include "midi/MidiDeviceCatalog.h"
#include "midi/MidiErrorName.h"
#include "midi/RtMidiBackends.h"
#include "midi/RtMidiErrorTrap.h"

#include <memory>

// Opening and closing one RtMidi port, the same for input and output: every failure,
// thrown or reported through the trap, becomes the error code the MIDI dialogs know.
// Thread: window (like the ports that use them).

// Opens `device`'s port on a new Port (RtMidiIn or RtMidiOut) with the client and port
// names given; `prepare` sets the object up before its port opens. On success `opened`
// holds the object; on failure nothing is left open.
template <class Port, class Prepare>
int openRtMidiPort(const MidiDeviceEntry& device, const char* clientName, const char* portName,
                   RtMidiErrorTrap& trap, std::unique_ptr<Port>& opened, Prepare prepare) {
    std::unique_ptr<Port> midi;
    try {
        midi = std::make_unique<Port>(rtMidiBackendOf(device.backend).api, clientName);
        trap.attach(*midi);
        const int index = findRtMidiPort(*midi, device.portName);
        if (trap.code() != midi_error::NoError) return trap.code();
        if (index < 0) return midi_error::BadDeviceId;
        prepare(*midi);
        midi->openPort(static_cast<unsigned>(index), portName);
    } catch (const RtMidiError& e) {
        return RtMidiErrorTrap::codeOf(e.getType());
    }
    if (trap.code() != midi_error::NoError) return trap.code();
    if (!midi->isPortOpen()) return midi_error::NotEnabled;
    opened = std::move(midi);
    return midi_error::NoError;
}

// Closes the port. Destroying the object ends RtMidi's client, and with it any thread that
// delivers from the port.
template <class Port>
int closeRtMidiPort(std::unique_ptr<Port>& midi, RtMidiErrorTrap& trap) {
    try {
        midi->closePort();
        midi.reset();
    } catch (const RtMidiError& e) {
        midi.reset();
        return RtMidiErrorTrap::codeOf(e.getType());
    }
    return trap.code();
}
