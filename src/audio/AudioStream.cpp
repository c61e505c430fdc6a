#include "audio/AudioStream.h"

#include "audio/InternalClockStream.h"
#include "audio/JackStream.h"
#include "audio/RtAudioStream.h"
#include "audio/StreamResampler.h"
#include "engine/Engine.h"

#include <algorithm>
#include <cmath>

std::unique_ptr<AudioStream> AudioStream::openOutput(const AudioDeviceEntry& device, OutputRing& ring) {
    if (device.backend == AudioBackend::InternalClock) return std::make_unique<InternalClockStream>(ring);
    if (device.backend == AudioBackend::Jack) return std::make_unique<JackStream>(device, &ring, nullptr);
    return std::make_unique<RtAudioStream>(device, &ring, nullptr);
}

std::unique_ptr<AudioStream> AudioStream::openInput(const AudioDeviceEntry& device, InputRing& ring) {
    if (device.backend == AudioBackend::InternalClock) throw AudioDeviceError("the internal clock has no input");
    if (device.backend == AudioBackend::Jack) return std::make_unique<JackStream>(device, nullptr, &ring);
    return std::make_unique<RtAudioStream>(device, nullptr, &ring);
}

std::unique_ptr<AudioStream> AudioStream::openDuplex(const AudioDeviceEntry& device, OutputRing& output,
                                                     InputRing& input) {
    if (device.backend == AudioBackend::Jack) return std::make_unique<JackStream>(device, &output, &input);
    return std::make_unique<RtAudioStream>(device, &output, &input);
}

double AudioStream::rateFor(const AudioDeviceEntry& device) {
    if (device.backend == AudioBackend::InternalClock) return kEngineRate;
    if (device.backend == AudioBackend::Jack) return device.rates.empty() ? kEngineRate : device.rates.front();
    if (device.rates.empty() || std::find(device.rates.begin(), device.rates.end(), 11025u) != device.rates.end())
        return kEngineRate;
    if (device.preferredRate) return device.preferredRate;
    return device.rates.back();
}

double AudioStream::expectedLatencySeconds(const AudioDeviceEntry& device, bool output, bool input) {
    const double rate = rateFor(device);
    const double period = device.periodFrames ? device.periodFrames : std::max(64.0, std::floor(64 * rate / kEngineRate));
    if (rate == kEngineRate) return latencyOf(rate, period, 0, 0);
    return latencyOf(rate, period, output ? StreamResampler::expectedDelaySeconds(rate, true) : 0,
                     input ? StreamResampler::expectedDelaySeconds(rate, false) : 0);
}

double AudioStream::latencyOf(double rate, double periodFrames, double outputDelay, double inputDelay) {
    if (rate <= 0) return 0;
    double seconds = periodFrames / rate;
    if (rate != kEngineRate) seconds += BLOCK_SIZE / kEngineRate + outputDelay + inputDelay;
    return seconds;
}

bool AudioStream::sameDevice(const AudioDeviceEntry& a, const AudioDeviceEntry& b) {
    return a.backend == b.backend && a.backend != AudioBackend::InternalClock && a.deviceName == b.deviceName;
}
