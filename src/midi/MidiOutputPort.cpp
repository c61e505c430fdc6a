#include "midi/MidiOutputPort.h"

#include "midi/MidiErrorName.h"
#include "midi/RtMidiErrorTrap.h"
#include "midi/RtMidiPort.h"

MidiOutputPort::MidiOutputPort() : trap_(std::make_unique<RtMidiErrorTrap>()) {}

MidiOutputPort::~MidiOutputPort() {
    close();
}

int MidiOutputPort::open(const MidiDeviceEntry& device) {
    close();
    trap_->clear();
    const int code = openRtMidiPort(device, kClientName, kPortName, *trap_, midi_, [](RtMidiOut&) {});
    if (code != midi_error::NoError) return code;
    deviceName_ = device.name;
    return midi_error::NoError;
}

int MidiOutputPort::close() {
    if (!midi_) return midi_error::NoError;
    trap_->clear();
    deviceName_.clear();
    return closeRtMidiPort(midi_, *trap_);
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
