#include "audio/AudioStream.h"

#include "audio/InternalClockStream.h"
#include "audio/JackStream.h"
#include "audio/RtAudioStream.h"

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

bool AudioStream::sameDevice(const AudioDeviceEntry& a, const AudioDeviceEntry& b) {
    return a.backend == b.backend && a.backend != AudioBackend::InternalClock && a.deviceName == b.deviceName;
}
