#include "audio/OutputRing.h"

#include <algorithm>

void OutputRing::prime(int delayBlocks) {
    const int delay = std::clamp(delayBlocks, 0, kCapacity - 1);
    for (int i = 0; i < delay; ++i) buffers_[static_cast<std::size_t>(i)].samples.fill(0);
    head_ = 0;
    delay_ = delay;
    offset_ = kWaveBufferFrames;
    playing_ = false;
    pulls_ = 0;
}

const std::int16_t* OutputRing::nextBlock() noexcept {
    if (playing_) {
        head_ = (head_ + 1) % kCapacity;
        played_.fetch_add(1, std::memory_order_relaxed);
    }
    // The slot after the queued ones gets the new block; with no safety blocks that is the
    // very slot that plays next.
    OutputBuffer& made = buffers_[static_cast<std::size_t>((head_ + delay_) % kCapacity)];
    makingAt_ = (pulls_++ + static_cast<std::uint64_t>(delay_)) * kWaveBufferFrames;
    if (source_) {
        source_->makeBlock(made);
    } else {
        made.samples.fill(0);
        underruns_.fetch_add(1, std::memory_order_relaxed);
    }
    playing_ = true;
    offset_ = 0;
    return buffers_[static_cast<std::size_t>(head_)].samples.data();
}

void OutputRing::render(std::int16_t* out, int frames) noexcept {
    const std::int16_t* block = buffers_[static_cast<std::size_t>(head_)].samples.data();
    for (int i = 0; i < frames; ++i) {
        if (offset_ == kWaveBufferFrames) block = nextBlock();
        out[2 * i] = block[2 * offset_];
        out[2 * i + 1] = block[2 * offset_ + 1];
        ++offset_;
    }
}

void OutputRing::pullBlock(float* out) noexcept {
    const std::int16_t* block = nextBlock();
    for (int i = 0; i < 2 * kWaveBufferFrames; ++i) out[i] = block[i] * (1.0f / 32768.0f);
    offset_ = kWaveBufferFrames;
}
