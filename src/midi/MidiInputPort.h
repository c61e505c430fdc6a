#pragma once

#include "midi/MidiDeviceCatalog.h"

#include <memory>
#include <string>
#include <vector>

class MidiInputQueue;
class RtMidiErrorTrap;
class RtMidiIn;

// The program's one MIDI input port on top of RtMidi. Every event it receives goes into the
// queue on RtMidi's thread; system exclusive, timing clock and active sensing are dropped by
// RtMidi before they reach it.
// Thread: window. While the port is open RtMidi's input thread feeds the queue (deliver).
class MidiInputPort {
public:
    static constexpr const char* kClientName = "QUORVEL MIDI In";
    static constexpr const char* kPortName = "in";

    explicit MidiInputPort(MidiInputQueue& queue);
    ~MidiInputPort();
    MidiInputPort(const MidiInputPort&) = delete;
    MidiInputPort& operator=(const MidiInputPort&) = delete;

    // Opens a port listening to `device` and starts delivering. Returns 0 or the error code;
    // after a failure nothing is held.
    int open(const MidiDeviceEntry& device);
    // Stops delivery and releases the port; returns 0 or the error code. When it returns,
    // RtMidi's thread no longer touches the queue.
    int close();
    bool isOpen() const { return midi_ != nullptr; }
    const std::string& deviceName() const { return deviceName_; }

private:
    // Thread: midi-in. One event into the queue.
    static void deliver(double timeStamp, std::vector<unsigned char>* message, void* queue) noexcept;

    MidiInputQueue& queue_;
    std::unique_ptr<RtMidiErrorTrap> trap_; // outlives midi_, which reports into it
    std::unique_ptr<RtMidiIn> midi_;
    std::string deviceName_;
};
