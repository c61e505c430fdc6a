#pragma once

#include <string>
#include <vector>

// The MIDI layers the program can use, in the order they are asked.
enum class MidiBackend { Alsa, Jack };

// One port the program can open: a source for the input side or a destination for the
// output side.
struct MidiDeviceEntry {
    std::string name; // as the dialog lists it: "JACK: midi-keyboard:out", "ALSA: ..."
    MidiBackend backend = MidiBackend::Jack;
    std::string portName; // the back end's own name, which finds the port again when opening
};

// The input and output ports of every MIDI back end that answers. A back end that cannot
// start here (ALSA without a sequencer device, JACK without a server) is simply absent.
// Thread: window (enumeration talks to the MIDI services).
class MidiDeviceCatalog {
public:
    // Asks ALSA, then JACK. The program's own ports are closed while the dialog runs, so
    // they are not listed.
    static MidiDeviceCatalog scan();

    const std::vector<MidiDeviceEntry>& inputs() const { return inputs_; }
    const std::vector<MidiDeviceEntry>& outputs() const { return outputs_; }
    std::vector<std::string> inputNames() const;
    std::vector<std::string> outputNames() const;

private:
    std::vector<MidiDeviceEntry> inputs_;
    std::vector<MidiDeviceEntry> outputs_;
};
