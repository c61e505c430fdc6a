#include "audio/StreamResampler.h"

#include "engine/Engine.h"

#include <samplerate.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

// Medium quality keeps a 48 kHz stream well inside one core's budget while its pass band
// (flat to about 97% of Nyquist) covers everything the 11025 Hz engine makes.
constexpr int kConverter = SRC_SINC_MEDIUM_QUALITY;

} // namespace

StreamResampler::StreamResampler(OutputRing& ring, double deviceRate, int maxDeviceFrames)
    : output_(&ring), ratio_(deviceRate / kEngineRate), block_(2 * kWaveBufferFrames) {
    if (LowDelayResampler::supports(deviceRate)) {
        lowDelay_ = std::make_unique<LowDelayResampler>(deviceRate, true, kWaveBufferFrames);
        fifo_.assign(2 * (std::size_t(maxDeviceFrames) + lowDelay_->maxOutputFrames(kWaveBufferFrames)), 0.0f);
        return;
    }
    int error = 0;
    state_ = src_callback_new(&StreamResampler::pull, kConverter, 2, &error, this);
    if (state_ == nullptr) throw std::runtime_error(std::string("sample-rate converter: ") + src_strerror(error));
}

StreamResampler::StreamResampler(InputRing& ring, double deviceRate, int maxDeviceFrames)
    : input_(&ring), ratio_(kEngineRate / deviceRate) {
    if (LowDelayResampler::supports(deviceRate)) {
        lowDelay_ = std::make_unique<LowDelayResampler>(deviceRate, false, std::size_t(maxDeviceFrames));
        converted_.resize(2 * lowDelay_->maxOutputFrames(std::size_t(maxDeviceFrames)));
        return;
    }
    int error = 0;
    state_ = src_new(kConverter, 2, &error);
    if (state_ == nullptr) throw std::runtime_error(std::string("sample-rate converter: ") + src_strerror(error));
    converted_.resize(2 * (static_cast<std::size_t>(maxDeviceFrames * ratio_) + 64));
}

StreamResampler::~StreamResampler() {
    if (state_) src_delete(state_);
}

long StreamResampler::pull(void* self, float** data) noexcept {
    auto* me = static_cast<StreamResampler*>(self);
    me->output_->pullBlock(me->block_.data());
    *data = me->block_.data();
    return kWaveBufferFrames;
}

void StreamResampler::render(float* out, int frames) noexcept {
    if (lowDelay_) {
        const std::size_t wanted = std::size_t(frames);
        // A block is made only when what is left cannot fill the period: as late as it can be.
        while (fifoFrames_ < wanted) {
            output_->pullBlock(block_.data());
            fifoFrames_ += lowDelay_->process(block_.data(), kWaveBufferFrames, fifo_.data() + 2 * fifoFrames_);
        }
        std::copy_n(fifo_.data(), 2 * wanted, out);
        std::copy(fifo_.begin() + long(2 * wanted), fifo_.begin() + long(2 * fifoFrames_), fifo_.begin());
        fifoFrames_ -= wanted;
        return;
    }
    long done = 0;
    while (done < frames) {
        const long got = src_callback_read(state_, ratio_, frames - done, out + 2 * done);
        if (got <= 0) break;
        done += got;
    }
    std::fill(out + 2 * done, out + 2 * frames, 0.0f);
}

void StreamResampler::capture(const float* in, int frames) noexcept {
    if (lowDelay_) {
        const std::size_t made = lowDelay_->process(in, std::size_t(frames), converted_.data());
        input_->capture(converted_.data(), static_cast<int>(made));
        return;
    }
    const long capacity = static_cast<long>(converted_.size() / 2);
    long used = 0;
    while (used < frames) {
        SRC_DATA data{};
        data.data_in = in + 2 * used;
        data.input_frames = frames - used;
        data.data_out = converted_.data();
        data.output_frames = capacity;
        data.src_ratio = ratio_;
        if (src_process(state_, &data) != 0) return;
        input_->capture(converted_.data(), static_cast<int>(data.output_frames_gen));
        if (data.input_frames_used == 0 && data.output_frames_gen == 0) return;
        used += data.input_frames_used;
    }
}

double StreamResampler::delaySeconds() const {
    if (lowDelay_) return lowDelay_->delaySeconds();
    return expectedDelaySeconds(0, output_ != nullptr);
}

double StreamResampler::expectedDelaySeconds(double deviceRate, bool output) {
    if (LowDelayResampler::supports(deviceRate)) return LowDelayResampler::delayFor(deviceRate);
    // libsamplerate's medium sinc converter, as bench/converter-choice measures it at 48 kHz.
    return output ? 0.0045 : 0.0043;
}
