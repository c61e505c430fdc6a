#include "audio/HostedEngine.h"

#include "audio/InputRing.h"

#include "core/EngineParamsUpdate.h"
#include "engine/Engine.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// Host frames converted at a time: a host's call of any length goes through in chunks.
constexpr std::size_t kChunk = 256;

} // namespace

bool HostedEngine::supports(double hostRate) {
    return hostRate == kEngineRate || LowDelayResampler::supports(hostRate);
}

HostedEngine::HostedEngine(double hostRate) : rate_(hostRate) {
    if (!supports(hostRate)) throw std::invalid_argument("no converter for this sample rate");
    hostFrames_.assign(2 * kChunk, 0.0f);
    reset();
    publishImage();
}

HostedEngine::~HostedEngine() = default;

void HostedEngine::reset() {
    input_ = {};
    output_ = {};
    position_ = 0;
    if (rate_ == kEngineRate) {
        engineIn_.assign(2 * kChunk, 0.0f);
        engineOut_.assign(2 * kChunk, 0.0f);
        latency_ = kWaveBufferFrames;
        return;
    }
    down_ = std::make_unique<LowDelayResampler>(rate_, false, kChunk);
    const std::size_t engineMost = down_->maxOutputFrames(kChunk);
    up_ = std::make_unique<LowDelayResampler>(rate_, true, engineMost);
    engineIn_.assign(2 * engineMost, 0.0f);
    engineOut_.assign(2 * engineMost, 0.0f);
    // The converters hand out frames in bursts: the down step one engine frame per few
    // host frames, the up step a burst per engine frame. Three engine frames' worth of host
    // frames covers the most a call can find missing.
    const double ratio = rate_ / kEngineRate;
    prime_ = static_cast<std::size_t>(std::ceil(3 * ratio)) + 4;
    fifo_.assign(2 * (prime_ + up_->maxOutputFrames(engineMost) + kChunk), 0.0f);
    fifoFrames_ = prime_;
    const double delay = down_->delaySeconds() + up_->delaySeconds() + kWaveBufferFrames / kEngineRate;
    latency_ = static_cast<std::uint32_t>(std::lround(delay * rate_)) + static_cast<std::uint32_t>(prime_);
    if (AirBand::hasRoomAt(rate_)) {
        // In step with the top of the sibilance band, which the converters and the
        // sibilance high-pass hold back longer than the low sounds the latency is made of.
        const double meeting = LowDelayResampler::delayFor(rate_, AirBand::kMeetingHz) * 2 +
                               (kWaveBufferFrames + AirBand::sibilanceDelay()) / kEngineRate;
        airDelay_ = static_cast<std::size_t>(std::lround(meeting * rate_)) + prime_;
        airBand_ = std::make_unique<AirBand>(rate_, std::max(airDelay_, AirBand::filterDelay(rate_)));
        airIn_.assign(kChunk, 0.0f);
        airOut_.assign(kChunk, 0.0f);
    }
}

void HostedEngine::setAir(bool on) noexcept {
    // What the band heard while it was off is not the sound the engine plays now.
    if (on && !airOn_ && airBand_) airBand_->clear();
    airOn_ = on;
}

void HostedEngine::addAir(float* outLeft, float* outRight, std::size_t frames) noexcept {
    // The modulator as the input mode chooses it from the two inputs (L/R and M/L: left).
    const int mode = core_.state.inputMode;
    const std::size_t channel = mode == 0 || mode == 2 ? 0 : 1;
    for (std::size_t i = 0; i < frames; ++i) airIn_[i] = hostFrames_[2 * i + channel] * 32768.0f;
    const auto gain = static_cast<float>(AirBand::gainOf(core_.params, core_.filterBank.width()) / 32768.0);
    airBand_->process(airIn_.data(), frames, gain, airOut_.data());
    constexpr float kClip = static_cast<float>(kClipLevel / 32768.0);
    for (std::size_t i = 0; i < frames; ++i) {
        outLeft[i] = std::clamp(outLeft[i] + airOut_[i], -kClip, kClip);
        outRight[i] = std::clamp(outRight[i] + airOut_[i], -kClip, kClip);
    }
}

void HostedEngine::publishImage() noexcept {
    images_.back().capture(core_);
    images_.publish();
}

const PanelImage& HostedEngine::image() noexcept {
    images_.take();
    return images_.front();
}

void HostedEngine::press(ControlId id) noexcept {
    // The banks follow the sliders once a pass; a press sees them as they are now.
    updateEngineParams(core_);
    dispatcher_.dispatch(commandIdOf(id));
}

void HostedEngine::moveSlider(int index, int position) noexcept {
    if (isChannelSlider(index))
        dispatcher_.moveChannelSlider(index, position, SlaveMode::Parallel);
    else
        core_.controls.setSlider(index, position);
}

void HostedEngine::engineFrames(const float* in, float* out, std::size_t frames) noexcept {
    for (std::size_t i = 0; i < frames; ++i) {
        const auto l = static_cast<std::uint16_t>(InputRing::toSample16(in[2 * i]));
        const auto r = static_cast<std::uint16_t>(InputRing::toSample16(in[2 * i + 1]));
        std::uint8_t* bytes = input_.bytes.data() + 4 * position_;
        bytes[0] = static_cast<std::uint8_t>(l & 0xFF);
        bytes[1] = static_cast<std::uint8_t>(l >> 8);
        bytes[2] = static_cast<std::uint8_t>(r & 0xFF);
        bytes[3] = static_cast<std::uint8_t>(r >> 8);
        // The previous block's frame at this place: its pass ran when that block was full.
        out[2 * i] = output_.samples[static_cast<std::size_t>(2 * position_)] * (1.0f / 32768.0f);
        out[2 * i + 1] = output_.samples[static_cast<std::size_t>(2 * position_ + 1)] * (1.0f / 32768.0f);
        if (++position_ == kWaveBufferFrames) {
            loop_.updateParameters();
            loop_.process(&input_, true, output_);
            passes_.fetch_add(1, std::memory_order_relaxed);
            position_ = 0;
        }
    }
}

void HostedEngine::convertedChunk(std::size_t frames) noexcept {
    const std::size_t engine = down_->process(hostFrames_.data(), frames, engineIn_.data());
    engineFrames(engineIn_.data(), engineOut_.data(), engine);
    fifoFrames_ += up_->process(engineOut_.data(), engine, fifo_.data() + 2 * fifoFrames_);
    if (fifoFrames_ < frames) {
        underruns_.fetch_add(frames - fifoFrames_, std::memory_order_relaxed);
        std::fill(fifo_.data() + 2 * fifoFrames_, fifo_.data() + 2 * frames, 0.0f);
        fifoFrames_ = frames;
    }
}

void HostedEngine::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                           std::size_t frames) noexcept {
    const bool converting = down_ != nullptr;
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(kChunk, frames - done);
        for (std::size_t i = 0; i < n; ++i) {
            hostFrames_[2 * i] = inLeft[done + i];
            hostFrames_[2 * i + 1] = inRight[done + i];
        }
        const float* made;
        if (converting) {
            convertedChunk(n);
            made = fifo_.data();
        } else {
            engineFrames(hostFrames_.data(), engineOut_.data(), n);
            made = engineOut_.data();
        }
        for (std::size_t i = 0; i < n; ++i) {
            outLeft[done + i] = made[2 * i];
            outRight[done + i] = made[2 * i + 1];
        }
        if (airOn_ && airBand_) addAir(outLeft + done, outRight + done, n);
        if (converting) {
            std::copy(fifo_.begin() + long(2 * n), fifo_.begin() + long(2 * fifoFrames_), fifo_.begin());
            fifoFrames_ -= n;
        }
        done += n;
    }
}
