#include "audio/OutputRing.h"

void OutputRing::clear() {
    queued_.clear();
    done_.clear();
    current_ = -1;
    offset_ = kWaveBufferFrames;
}

const std::int16_t* OutputRing::nextBlock() noexcept {
    current_ = -1;
    offset_ = 0;
    if (paused_.load(std::memory_order_acquire)) return kSilence.data();
    int index;
    if (!queued_.pop(index)) {
        underruns_.fetch_add(1, std::memory_order_relaxed);
        return kSilence.data();
    }
    current_ = index;
    return buffers_[index].samples.data();
}

void OutputRing::finishBlock() noexcept {
    if (current_ < 0) return;
    done_.push(current_); // cannot be full: it holds at most the buffers in existence
    played_.fetch_add(1, std::memory_order_relaxed);
    current_ = -1;
    wake_.signal();
}

void OutputRing::render(std::int16_t* out, int frames) noexcept {
    const std::int16_t* block = current_ >= 0 ? buffers_[current_].samples.data() : kSilence.data();
    for (int i = 0; i < frames; ++i) {
        if (offset_ == kWaveBufferFrames) {
            finishBlock();
            block = nextBlock();
        }
        out[2 * i] = block[2 * offset_];
        out[2 * i + 1] = block[2 * offset_ + 1];
        ++offset_;
    }
    if (offset_ == kWaveBufferFrames) finishBlock();
}

void OutputRing::pullBlock(float* out) noexcept {
    const std::int16_t* block = nextBlock();
    for (int i = 0; i < 2 * kWaveBufferFrames; ++i) out[i] = block[i] * (1.0f / 32768.0f);
    offset_ = kWaveBufferFrames;
    finishBlock();
}
