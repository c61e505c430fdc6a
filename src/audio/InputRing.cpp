#include "audio/InputRing.h"

#include <cmath>

namespace {

std::int16_t toSample(std::int16_t s) noexcept { return s; }

std::int16_t toSample(float s) noexcept { return InputRing::toSample16(s); }

} // namespace

void InputRing::clear() {
    free_.clear();
    filled_.clear();
    current_ = -1;
    offset_ = 0;
    framesSeen_ = 0;
}

void InputRing::store(int frame, std::int16_t left, std::int16_t right) noexcept {
    std::uint8_t* bytes = buffers_[current_].bytes.data();
    if (sixteenBit_) {
        const auto l = static_cast<std::uint16_t>(left), r = static_cast<std::uint16_t>(right);
        bytes[4 * frame] = static_cast<std::uint8_t>(l & 0xFF);
        bytes[4 * frame + 1] = static_cast<std::uint8_t>(l >> 8);
        bytes[4 * frame + 2] = static_cast<std::uint8_t>(r & 0xFF);
        bytes[4 * frame + 3] = static_cast<std::uint8_t>(r >> 8);
    } else {
        // 8-bit sound-card data is unsigned with 128 as silence.
        bytes[2 * frame] = static_cast<std::uint8_t>((left >> 8) + 128);
        bytes[2 * frame + 1] = static_cast<std::uint8_t>((right >> 8) + 128);
    }
}

template <typename Sample>
void InputRing::captureFrames(const Sample* in, int frames) noexcept {
    for (int i = 0; i < frames; ++i) {
        if (current_ < 0) {
            int index;
            if (!free_.pop(index)) {
                dropped_.fetch_add(static_cast<std::uint64_t>(frames - i), std::memory_order_relaxed);
                framesSeen_ += static_cast<std::uint64_t>(frames - i);
                return;
            }
            current_ = index;
            offset_ = 0;
            startFrames_[static_cast<std::size_t>(index)] = framesSeen_;
        }
        ++framesSeen_;
        store(offset_, toSample(in[2 * i]), toSample(in[2 * i + 1]));
        if (++offset_ == kWaveBufferFrames) {
            filled_.push(current_);
            current_ = -1;
        }
    }
}

void InputRing::capture(const std::int16_t* in, int frames) noexcept { captureFrames(in, frames); }
void InputRing::capture(const float* in, int frames) noexcept { captureFrames(in, frames); }
