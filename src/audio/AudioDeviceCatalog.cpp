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
                    entry.channels = device.inputChannels;
                    catalog.inputs_.push_back(entry);
                }
                if (device.outputChannels > 0) {
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
