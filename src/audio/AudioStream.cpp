#include "AudioStream.h"

#include "InternalClockStream.h"
#include "RtAudioStream.h"

std::unique_ptr<AudioStream> AudioStream::openOutput(const AudioDeviceEntry& device, OutputRing& ring) {
    if (device.backend == AudioBackend::InternalClock) return std::make_unique<InternalClockStream>(ring);
    return std::make_unique<RtAudioStream>(device, &ring, nullptr);
}

std::unique_ptr<AudioStream> AudioStream::openInput(const AudioDeviceEntry& device, InputRing& ring) {
    if (device.backend == AudioBackend::InternalClock) throw AudioDeviceError("the internal clock has no input");
    return std::make_unique<RtAudioStream>(device, nullptr, &ring);
}
