#include "midi/MidiInputPort.h"

#include "midi/MidiErrorName.h"
#include "midi/MidiInputQueue.h"
#include "midi/RtMidiErrorTrap.h"
#include "midi/RtMidiPort.h"

MidiInputPort::MidiInputPort(MidiInputQueue& queue)
    : queue_(queue), trap_(std::make_unique<RtMidiErrorTrap>()) {}

MidiInputPort::~MidiInputPort() {
    close();
}

int MidiInputPort::open(const MidiDeviceEntry& device) {
    close();
    trap_->clear();
    const int code = openRtMidiPort(device, kClientName, kPortName, *trap_, midi_, [this](RtMidiIn& midi) {
        // The vocoder reads only short messages; a long system exclusive dump or a clock
        // at 24 pulses a beat would only crowd the queue. (RtMidi's JACK input treats every
        // event after a system exclusive without its closing 0xF7 as more of it, until an
        // event ends in 0xF7; those events never reach the queue.)
        midi.ignoreTypes(true, true, true);
        midi.setCallback(&MidiInputPort::deliver, &queue_);
    });
    if (code != midi_error::NoError) return code;
    deviceName_ = device.name;
    return midi_error::NoError;
}

int MidiInputPort::close() {
    if (!midi_) return midi_error::NoError;
    trap_->clear();
    deviceName_.clear();
    return closeRtMidiPort(midi_, *trap_);
}

// RtMidi's thread (JACK's process thread): copies the event into the queue, nothing more.
void MidiInputPort::deliver(double, std::vector<unsigned char>* message, void* queue) noexcept {
    if (message == nullptr) return;
    static_cast<MidiInputQueue*>(queue)->receive(message->data(), message->size());
}
