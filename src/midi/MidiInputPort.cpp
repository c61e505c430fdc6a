#include "MidiInputPort.h"

#include "MidiErrorName.h"
#include "MidiInputQueue.h"
#include "RtMidiBackends.h"
#include "RtMidiErrorTrap.h"

MidiInputPort::MidiInputPort(MidiInputQueue& queue)
    : queue_(queue), trap_(std::make_unique<RtMidiErrorTrap>()) {}

MidiInputPort::~MidiInputPort() {
    close();
}

int MidiInputPort::open(const MidiDeviceEntry& device) {
    close();
    trap_->clear();
    std::unique_ptr<RtMidiIn> midi;
    try {
        midi = std::make_unique<RtMidiIn>(rtMidiBackendOf(device.backend).api, kClientName);
        trap_->attach(*midi);
        const int index = findRtMidiPort(*midi, device.portName);
        if (trap_->code() != midi_error::NoError) return trap_->code();
        if (index < 0) return midi_error::BadDeviceId;
        // The vocoder reads only short messages; a long system exclusive dump or a clock
        // at 24 pulses a beat would only crowd the queue. (RtMidi's JACK input treats every
        // event after a system exclusive without its closing 0xF7 as more of it, until an
        // event ends in 0xF7; those events never reach the queue.)
        midi->ignoreTypes(true, true, true);
        midi->setCallback(&MidiInputPort::deliver, &queue_);
        midi->openPort(static_cast<unsigned>(index), kPortName);
    } catch (const RtMidiError& e) {
        return RtMidiErrorTrap::codeOf(e.getType());
    }
    if (trap_->code() != midi_error::NoError) return trap_->code();
    if (!midi->isPortOpen()) return midi_error::NotEnabled;
    midi_ = std::move(midi);
    deviceName_ = device.name;
    return midi_error::NoError;
}

int MidiInputPort::close() {
    if (!midi_) return midi_error::NoError;
    trap_->clear();
    deviceName_.clear();
    try {
        midi_->closePort();
        // Destroying the object ends RtMidi's client and with it the thread that delivers.
        midi_.reset();
    } catch (const RtMidiError& e) {
        midi_.reset();
        return RtMidiErrorTrap::codeOf(e.getType());
    }
    return trap_->code();
}

// RtMidi's thread (JACK's process thread): copies the event into the queue, nothing more.
void MidiInputPort::deliver(double, std::vector<unsigned char>* message, void* queue) {
    if (message == nullptr) return;
    static_cast<MidiInputQueue*>(queue)->receive(message->data(), message->size());
}
