#pragma once

#include "midi/MidiAlerts.h"
#include "midi/MidiDeviceCatalog.h"
#include "midi/MidiDeviceChooser.h"
#include "midi/MidiDeviceSettings.h"
#include "midi/MidiEchoTarget.h"
#include "midi/MidiInputPort.h"
#include "midi/MidiInputQueue.h"
#include "midi/MidiOutputPort.h"

#include <array>
#include <cstdint>
#include <utility>

class WakeupSignal;

// The program's one MIDI input port and one MIDI output port, the channels they use, the
// working copy of the assignment table while the device dialog runs, and the last value
// echoed per slot. Both ports start closed; only Reconfigure() opens them.
//
// Incoming short messages are queued on the MIDI layer's thread and taken on the window's
// thread with takeMessage(), in the order they arrived; the window feeds them to its
// MidiMapping. Outgoing messages are control changes on the output channel.
//
// Thread: window (every call); the input port feeds the queue (and signals the notify
// window's wake-up) on midi-in.
class MidiLink final : public MidiEchoTarget {
public:
    explicit MidiLink(MidiAlerts& alerts);
    // Closes both ports.
    ~MidiLink() override;
    MidiLink(const MidiLink&) = delete;
    MidiLink& operator=(const MidiLink&) = delete;

    // The window's wake-up, signalled (from the MIDI thread) after every queued message. It
    // may be shared with the sound card's; null leaves the window to poll.
    void SetNotifyWindow(WakeupSignal* wake);
    // Input 0 "OMNI", 1..16, 17 "OFF"; output 0..15, 16 "OFF", anything negative for none
    // chosen yet. Codes beyond the ends are kept at the nearest end.
    void SetChannels(int inCode, int outCode);
    // (input code, output code).
    std::pair<int, int> GetChannels() const { return {inChannel_, outChannel_}; }
    void PutSlots(const MidiSlots& table) { slots_ = table; }
    MidiSlots GetSlots() const { return slots_; }

    // Closes both ports, runs the device dialog over the devices found now, and opens the
    // ports chosen; every failure is shown through the alerts and the other side goes on.
    void Reconfigure(MidiDeviceChooser& dialog);
    // Closes both ports; a close that fails is shown as a warning.
    void Close();
    // One control change on the output channel: 0xB0 + channel, controller, value, both
    // data bytes masked into 0..127. Nothing goes out unless the output port is open and
    // the channel is 0..15.
    void SendControl(int controller, int value) override;

    // MidiEchoTarget: what a CommandHost's midiEchoReady() and the slider echo ask.
    bool echoReady() const override;
    std::array<int, kMidiSlotCount>& lastSent() override { return lastSent_; }

    // The oldest queued incoming message; false when there is none.
    bool takeMessage(MidiMessage& message) { return queue_.take(message); }
    bool messagesWaiting() const { return !queue_.empty(); }
    // Incoming events dropped as malformed; well-formed messages lost to a full queue.
    std::uint64_t malformedMessages() const { return queue_.malformed(); }
    std::uint64_t lostMessages() const { return queue_.overflowed(); }

    bool inClosed() const { return inClosed_; }
    bool outClosed() const { return outClosed_; }
    int lastError() const { return lastError_; }
    // The names of the open devices as the dialog listed them; empty while closed.
    const std::string& inputDeviceName() const { return input_.deviceName(); }
    const std::string& outputDeviceName() const { return output_.deviceName(); }

private:
    void openInput(const MidiDeviceCatalog& catalog, int position);
    void openOutput(const MidiDeviceCatalog& catalog, int position);

    MidiAlerts& alerts_;
    bool outClosed_ = true;
    bool inClosed_ = true;
    WakeupSignal* notifyWindow_ = nullptr;
    int inChannel_ = 0;
    int outChannel_ = -1;
    std::array<int, kMidiSlotCount> lastSent_{};
    MidiSlots slots_{};
    int lastError_ = 0;
    // The device positions of the dialog's last OK, used again when it is left otherwise.
    int inputDevice_ = 0;
    int outputDevice_ = 0;

    MidiInputQueue queue_;
    MidiInputPort input_{queue_};
    MidiOutputPort output_;
};
