#pragma once

#include "core/WaveBuffers.h"
#include "rt/SpscQueue.h"
#include "rt/WakeupSignal.h"

#include <array>
#include <atomic>
#include <cstdint>

// The input side of the ring: buffers added by the window's thread are filled in order by
// the audio thread and handed back full. With no free buffer the incoming frames are
// dropped and counted.
// Thread: window and audio (each function below says which).
class InputRing {
public:
    explicit InputRing(WakeupSignal& wake) : wake_(wake) {}

    // Thread: stopped. The audio thread reads the width unguarded.
    void setSixteenBit(bool sixteenBit) { sixteenBit_ = sixteenBit; }

    // Thread: window.
    bool sixteenBit() const { return sixteenBit_; }
    int bufferBytes() const { return sixteenBit_ ? 256 : 128; }
    // Only a buffer out of the audio thread's hands: never added, or taken filled and not
    // added again.
    InputBuffer& buffer(int index) { return buffers_[index]; }
    bool addBuffer(int index) { return free_.push(index); }
    // While the output is paused nobody listens: the input is let go by, not queued, so that
    // it neither piles up nor runs out of buffers.
    void setPaused(bool paused) { paused_.store(paused, std::memory_order_release); }
    bool takeFilled(int& index) { return filled_.pop(index); }

    // Thread: any.
    std::uint64_t droppedFrames() const { return dropped_.load(std::memory_order_relaxed); }

    // Thread: stopped.
    void clear();

    // Thread: audio. Interleaved stereo frames at the engine rate.
    void capture(const std::int16_t* in, int frames) noexcept;
    void capture(const float* in, int frames) noexcept;

private:
    // Thread: audio.
    template <typename Sample>
    void captureFrames(const Sample* in, int frames) noexcept;
    void store(int frame, std::int16_t left, std::int16_t right) noexcept;

    WakeupSignal& wake_;
    bool sixteenBit_ = true;
    std::array<InputBuffer, kMaxWaveBuffers> buffers_{};
    SpscQueue<int, 64> free_;
    SpscQueue<int, 64> filled_;
    std::atomic<std::uint64_t> dropped_{0};
    std::atomic<bool> paused_{false};
    int current_ = -1; // audio thread
    int offset_ = 0;   // audio thread
};
