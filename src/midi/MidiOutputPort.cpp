#include "MidiOutputPort.h"

#include "MidiErrorName.h"
#include "RtMidiBackends.h"
#include "RtMidiErrorTrap.h"

MidiOutputPort::MidiOutputPort() : trap_(std::make_unique<RtMidiErrorTrap>()) {}

MidiOutputPort::~MidiOutputPort() {
    close();
}

int MidiOutputPort::open(const MidiDeviceEntry& device) {
    close();
    trap_->clear();
    std::unique_ptr<RtMidiOut> midi;
    try {
        midi = std::make_unique<RtMidiOut>(rtMidiBackendOf(device.backend).api, kClientName);
        trap_->attach(*midi);
        const int index = findRtMidiPort(*midi, device.portName);
        if (trap_->code() != midi_error::NoError) return trap_->code();
        if (index < 0) return midi_error::BadDeviceId;
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

int MidiOutputPort::close() {
    if (!midi_) return midi_error::NoError;
    trap_->clear();
    deviceName_.clear();
    try {
        midi_->closePort();
        midi_.reset();
    } catch (const RtMidiError& e) {
        midi_.reset();
        return RtMidiErrorTrap::codeOf(e.getType());
    }
    return trap_->code();
}

void MidiOutputPort::send(const std::array<std::uint8_t, 3>& message) {
    if (!midi_) return;
    try {
        midi_->sendMessage(message.data(), message.size());
    } catch (const RtMidiError&) {
        // A message the layer could not take is lost like one sent to a closed port: the
        // echo goes out again with the next change.
    }
}
