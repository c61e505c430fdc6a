#pragma once

#include <string>
#include <vector>

enum class AudioBackend { Jack, Alsa, Pulse, InternalClock };

// One device a stream can be opened on, as the sound-card dialog lists it.
struct AudioDeviceEntry {
    std::string name; // "JACK: system", "ALSA: HDA Intel PCH", "No sound card (internal clock)"
    AudioBackend backend = AudioBackend::InternalClock;
    std::string deviceName; // the back end's own name for it
    unsigned deviceId = 0;  // the back end's own device number when the list was made
    unsigned channels = 0;
    std::vector<unsigned> rates;
    unsigned preferredRate = 0;
    unsigned periodFrames = 0; // a JACK server's period; 0 where the stream chooses its own
    bool isDefault = false;    // the back end's own default device
};

// The input and output devices of every back end that answers. A back end that is not
// running is simply absent.
// Thread: window (enumeration talks to the sound servers).
class AudioDeviceCatalog {
public:
    static constexpr const char* kInternalClockName = "No sound card (internal clock)";

    // Asks every back end; the internal clock is always offered as an output.
    static AudioDeviceCatalog scan();
    // Only the internal clock, for machines and tests without any sound server.
    static AudioDeviceCatalog internalClockOnly();

    const std::vector<AudioDeviceEntry>& inputs() const { return inputs_; }
    const std::vector<AudioDeviceEntry>& outputs() const { return outputs_; }
    // Positions in the lists by name, -1 when absent (the dialog's positions are one more).
    int inputIndex(const std::string& name) const { return indexIn(inputs_, name); }
    int outputIndex(const std::string& name) const { return indexIn(outputs_, name); }

    // What a first run plays on, as list positions (-1: none): a running JACK server (which
    // is also how PipeWire offers itself to JACK programs), else PulseAudio's default (a
    // PipeWire desktop's too), else ALSA's default, else the internal clock. The input is
    // the same back end's default, so that one stream carries both directions.
    int defaultOutput() const;
    int defaultInput() const;

    // A catalog of given devices, for tests of what is chosen from them.
    static AudioDeviceCatalog of(std::vector<AudioDeviceEntry> inputs, std::vector<AudioDeviceEntry> outputs);

private:
    static int indexIn(const std::vector<AudioDeviceEntry>& list, const std::string& name);
    // The back end's default in `list`: one named "default" or "system", else the one it
    // marks, else its first; -1 when the back end offers nothing there.
    static int defaultIn(const std::vector<AudioDeviceEntry>& list, AudioBackend backend);

    std::vector<AudioDeviceEntry> inputs_;
    std::vector<AudioDeviceEntry> outputs_;
};
