#include "midi/MidiDeviceCatalog.h"

#include "midi/RtMidiBackends.h"
#include "midi/RtMidiErrorTrap.h"

#include <memory>

namespace {

constexpr const char* kScanClientName = "QUORVEL MIDI Scan";

// Every port of one RtMidi object, listed under the back end's label.
void listPorts(RtMidi& midi, const RtMidiBackend& backend, std::vector<MidiDeviceEntry>& into) {
    const unsigned count = midi.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
        std::string port = midi.getPortName(i);
        // A port that vanished between counting and naming comes back without a name.
        if (port.empty()) continue;
        into.push_back({std::string(backend.label) + ": " + port, backend.backend, std::move(port)});
    }
}

// The back end's ports of one direction; nothing when the back end cannot start.
template <typename Port>
void scanBackend(const RtMidiBackend& backend, std::vector<MidiDeviceEntry>& into) {
    std::unique_ptr<Port> midi;
    try {
        midi = std::make_unique<Port>(backend.api, kScanClientName);
    } catch (const RtMidiError&) {
        return;
    }
    RtMidiErrorTrap trap;
    trap.attach(*midi);
    listPorts(*midi, backend, into);
}

} // namespace

MidiDeviceCatalog MidiDeviceCatalog::scan() {
    MidiDeviceCatalog catalog;
    for (const RtMidiBackend& backend : kRtMidiBackends) {
        scanBackend<RtMidiIn>(backend, catalog.inputs_);
        scanBackend<RtMidiOut>(backend, catalog.outputs_);
    }
    return catalog;
}

std::vector<std::string> MidiDeviceCatalog::inputNames() const {
    std::vector<std::string> names;
    for (const MidiDeviceEntry& e : inputs_) names.push_back(e.name);
    return names;
}

std::vector<std::string> MidiDeviceCatalog::outputNames() const {
    std::vector<std::string> names;
    for (const MidiDeviceEntry& e : outputs_) names.push_back(e.name);
    return names;
}
