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

StreamResampler::StreamResampler(OutputRing& ring, double deviceRate)
    : output_(&ring), ratio_(deviceRate / kEngineRate), block_(2 * kWaveBufferFrames) {
    int error = 0;
    state_ = src_callback_new(&StreamResampler::pull, kConverter, 2, &error, this);
    if (state_ == nullptr) throw std::runtime_error(std::string("sample-rate converter: ") + src_strerror(error));
}

StreamResampler::StreamResampler(InputRing& ring, double deviceRate, int maxDeviceFrames)
    : input_(&ring), ratio_(kEngineRate / deviceRate) {
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
    long done = 0;
    while (done < frames) {
        const long got = src_callback_read(state_, ratio_, frames - done, out + 2 * done);
        if (got <= 0) break;
        done += got;
    }
    std::fill(out + 2 * done, out + 2 * frames, 0.0f);
}

void StreamResampler::capture(const float* in, int frames) noexcept {
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
    // libsamplerate's medium sinc filter reaches about 3 ms to either side at the lower rate.
    return 0.003;
}
