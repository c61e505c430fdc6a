#include "audio/AudioDeviceCatalog.h"

#include <jack/jack.h>
#include <rtaudio/RtAudio.h>

#include <cstdlib>
#include <filesystem>

namespace {

struct BackendInfo {
    RtAudio::Api api;
    AudioBackend backend;
    const char* prefix;
};

constexpr BackendInfo kBackends[] = {
    {RtAudio::UNIX_JACK, AudioBackend::Jack, "JACK"},
    {RtAudio::LINUX_ALSA, AudioBackend::Alsa, "ALSA"},
    {RtAudio::LINUX_PULSE, AudioBackend::Pulse, "PulseAudio"},
};

// RtAudio lists a PulseAudio device whether or not a server runs; only offer it when a
// server can be reached, so that a missing server is absent rather than an error later.
bool pulseServerReachable() {
    if (const char* server = std::getenv("PULSE_SERVER"); server && *server) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime) return false;
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(runtime) / "pulse" / "native", error);
}

// A JACK server's period, which every stream on it will have: a client looks for a moment.
unsigned jackPeriod() {
    jack_client_t* client = jack_client_open("quorvel-scan", JackNoStartServer, nullptr);
    if (!client) return 0;
    const unsigned period = jack_get_buffer_size(client);
    jack_client_close(client);
    return period;
}

} // namespace

int AudioDeviceCatalog::indexIn(const std::vector<AudioDeviceEntry>& list, const std::string& name) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].name == name) return static_cast<int>(i);
    return -1;
}

int AudioDeviceCatalog::defaultIn(const std::vector<AudioDeviceEntry>& list, AudioBackend backend) {
    int first = -1;
    int marked = -1;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const AudioDeviceEntry& entry = list[i];
        if (entry.backend != backend) continue;
        // JACK's sound card is "system" and ALSA's mixing device "default", whatever the
        // library marks (it marks the first JACK client it finds).
        if (entry.deviceName == "default" || entry.deviceName == "system") return static_cast<int>(i);
        if (entry.isDefault && marked < 0) marked = static_cast<int>(i);
        if (first < 0) first = static_cast<int>(i);
    }
    return marked >= 0 ? marked : first;
}

int AudioDeviceCatalog::defaultOutput() const {
    for (AudioBackend backend : {AudioBackend::Jack, AudioBackend::Pulse, AudioBackend::Alsa, AudioBackend::InternalClock})
        if (const int at = defaultIn(outputs_, backend); at >= 0) return at;
    return -1;
}

int AudioDeviceCatalog::defaultInput() const {
    const int output = defaultOutput();
    if (output < 0) return -1;
    return defaultIn(inputs_, outputs_[static_cast<std::size_t>(output)].backend);
}

AudioDeviceCatalog AudioDeviceCatalog::of(std::vector<AudioDeviceEntry> inputs, std::vector<AudioDeviceEntry> outputs) {
    AudioDeviceCatalog catalog;
    catalog.inputs_ = std::move(inputs);
    catalog.outputs_ = std::move(outputs);
    return catalog;
}

AudioDeviceCatalog AudioDeviceCatalog::internalClockOnly() {
    AudioDeviceCatalog catalog;
    AudioDeviceEntry clock;
    clock.name = kInternalClockName;
    clock.backend = AudioBackend::InternalClock;
    clock.channels = 2;
    clock.rates = {11025};
    clock.preferredRate = 11025;
    catalog.outputs_.push_back(clock);
    return catalog;
}

AudioDeviceCatalog AudioDeviceCatalog::scan() {
    AudioDeviceCatalog catalog;
    std::vector<RtAudio::Api> compiled;
    RtAudio::getCompiledApi(compiled);
    for (const BackendInfo& info : kBackends) {
        bool present = false;
        for (RtAudio::Api api : compiled) present |= api == info.api;
        if (!present) continue;
        if (info.backend == AudioBackend::Pulse && !pulseServerReachable()) continue;
        try {
            RtAudio audio(info.api);
            audio.showWarnings(false);
            const unsigned count = audio.getDeviceCount();
            const unsigned period = info.backend == AudioBackend::Jack && count > 0 ? jackPeriod() : 0;
            for (unsigned id = 0; id < count; ++id) {
                const RtAudio::DeviceInfo device = audio.getDeviceInfo(id);
                if (!device.probed) continue;
                AudioDeviceEntry entry;
                entry.name = std::string(info.prefix) + ": " + device.name;
                entry.backend = info.backend;
                entry.deviceId = id;
                entry.deviceName = device.name;
                entry.rates = device.sampleRates;
                entry.preferredRate = device.preferredSampleRate;
                entry.periodFrames = period;
                if (device.inputChannels > 0) {
                    entry.isDefault = device.isDefaultInput;
                    entry.channels = device.inputChannels;
                    catalog.inputs_.push_back(entry);
                }
                if (device.outputChannels > 0) {
                    entry.isDefault = device.isDefaultOutput;
                    entry.channels = device.outputChannels;
                    catalog.outputs_.push_back(entry);
                }
            }
        } catch (const RtAudioError&) {
            // A back end that cannot be reached has no devices to offer.
        }
    }
    catalog.outputs_.push_back(internalClockOnly().outputs_.front());
    return catalog;
}
