#include "audio/LiveAir.h"

#include "audio/LowDelayResampler.h"
#include "engine/Engine.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::size_t kMostFrames = 4096; // a callback's chunk at most

} // namespace

bool LiveAir::servesRate(double rate) { return AirBand::hasRoomAt(rate) && LowDelayResampler::supports(rate); }

LiveAir::LiveAir(double rate)
    : rate_(rate),
      pathDelay_((2 * LowDelayResampler::delayFor(rate, AirBand::kMeetingHz) +
                  AirBand::sibilanceDelay() / kEngineRate) * rate),
      band_(rate, AirBand::filterDelay(rate)),
      filterDelay_(AirBand::filterDelay(rate)),
      ring_(kRing, 0.0f),
      mono_(kMostFrames, 0.0f) {}

void LiveAir::passMade(std::uint64_t inputStart, std::uint64_t outputStart, float gain, int channel) noexcept {
    // A sound at engine input frame e came in at device frame (e + down delay) x ratio and
    // leaves, engineLag frames on, at (e + engineLag + up delay) x ratio; the converters'
    // delays where the bands meet, with the sibilance high-pass's, are pathDelay_.
    const double ratio = rate_ / kEngineRate;
    const double engineLag = double(outputStart) - double(inputStart);
    lag_ = std::llround(engineLag * ratio + pathDelay_);
    gain_ = gain;
    channel_ = channel;
}

void LiveAir::capture(const float* stereo, std::size_t frames) noexcept {
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(frames - done, kMostFrames);
        for (std::size_t i = 0; i < n; ++i) mono_[i] = stereo[2 * (done + i) + std::size_t(channel_)] * 32768.0f;
        // The band of the frame filterDelay_ back: the ring is indexed by that frame.
        band_.process(mono_.data(), n, 1.0f / 32768.0f, mono_.data());
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint64_t frame = inputFrames_ + i;
            if (frame >= filterDelay_) ring_[(frame - filterDelay_) % kRing] = mono_[i];
        }
        inputFrames_ += n;
        done += n;
    }
}

void LiveAir::add(float* stereo, std::size_t frames) noexcept {
    const bool on = on_.load(std::memory_order_relaxed);
    constexpr float kClip = static_cast<float>(kClipLevel / 32768.0);
    for (std::size_t i = 0; i < frames; ++i) {
        const std::int64_t source = std::int64_t(outputFrames_ + i) - lag_;
        // Only a band already filtered and not yet written over.
        const bool ready = lag_ >= 0 && source >= 0 && std::uint64_t(source) + filterDelay_ < inputFrames_ &&
                           inputFrames_ - std::uint64_t(source) < kRing;
        if (!on || !ready || gain_ == 0) continue;
        const float air = gain_ * ring_[std::uint64_t(source) % kRing];
        stereo[2 * i] = std::clamp(stereo[2 * i] + air, -kClip, kClip);
        stereo[2 * i + 1] = std::clamp(stereo[2 * i + 1] + air, -kClip, kClip);
    }
    outputFrames_ += frames;
}
