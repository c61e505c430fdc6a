#pragma once

#include "midi/MidiDeviceCatalog.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class RtMidiErrorTrap;
class RtMidiOut;

// The program's one MIDI output port on top of RtMidi.
// Thread: window.
class MidiOutputPort {
public:
    static constexpr const char* kClientName = "QUORVEL MIDI Out";
    static constexpr const char* kPortName = "out";

    MidiOutputPort();
    ~MidiOutputPort();
    MidiOutputPort(const MidiOutputPort&) = delete;
    MidiOutputPort& operator=(const MidiOutputPort&) = delete;

    // Opens a port sending to `device`. Returns 0 or the error code; after a failure
    // nothing is held.
    int open(const MidiDeviceEntry& device);
    // Returns 0 or the error code.
    int close();
    bool isOpen() const { return midi_ != nullptr; }
    const std::string& deviceName() const { return deviceName_; }

    // Sends one three-byte message; nothing happens while the port is closed.
    void send(const std::array<std::uint8_t, 3>& message);

private:
    std::unique_ptr<RtMidiErrorTrap> trap_; // outlives midi_, which reports into it
    std::unique_ptr<RtMidiOut> midi_;
    std::string deviceName_;
};
