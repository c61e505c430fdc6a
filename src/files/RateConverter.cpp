#include "files/RateConverter.h"

#include "engine/Engine.h"

#include <array>
#include <new>
#include <samplerate.h>

namespace {

constexpr long kOutputChunk = 1024;

} // namespace

bool RateConverter::canConvert(std::uint32_t rate) {
    return rate != 0 && src_is_valid_ratio(kEngineRate / rate);
}

RateConverter::RateConverter(std::uint32_t rate) : RateConverter(rate, kEngineRate) {}

RateConverter::RateConverter(std::uint32_t rate, double to) : ratio_(to / rate) {
    int error = 0;
    state_ = src_new(SRC_SINC_BEST_QUALITY, 1, &error);
    if (state_ == nullptr) throw std::bad_alloc();
}

RateConverter::~RateConverter() {
    src_delete(state_);
}

bool RateConverter::process(const float* in, long count, bool last, std::vector<float>& out) {
    std::array<float, kOutputChunk> chunk;
    SRC_DATA data{};
    data.data_in = in;
    data.input_frames = count;
    data.end_of_input = last ? 1 : 0;
    data.src_ratio = ratio_;
    for (;;) {
        data.data_out = chunk.data();
        data.output_frames = kOutputChunk;
        if (src_process(state_, &data) != 0) return false;
        out.insert(out.end(), chunk.begin(), chunk.begin() + data.output_frames_gen);
        data.data_in += data.input_frames_used;
        data.input_frames -= data.input_frames_used;
        // Done when the input is used up and nothing more comes out; a call that neither
        // takes input nor gives output would repeat forever.
        if (data.output_frames_gen == 0 && (data.input_frames == 0 || data.input_frames_used == 0)) break;
    }
    return true;
}
