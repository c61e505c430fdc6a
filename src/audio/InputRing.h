#pragma once

#include "core/WaveBuffers.h"
#include "rt/SpscQueue.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>

// The input side of the sound card: free buffers are filled in order by the input's
// callback and handed to the pass full; the pass gives each back once used. With the
// input in the same stream as the output both ends run in one callback; with a stream of
// its own they are two audio threads. With no free buffer the incoming frames are dropped
// and counted.
// Thread: audio (each function below says which end).
class InputRing {
public:
    // Thread: any. A float sample (-1..1) as the 16-bit value the engine reads: rounded,
    // clipped, NaN as the bottom of the range.
    static std::int16_t toSample16(float s) noexcept {
        const float scaled = std::nearbyint(s * 32768.0f);
        if (!(scaled > -32768.0f)) return -32768; // also catches NaN
        if (scaled > 32767.0f) return 32767;
        return static_cast<std::int16_t>(scaled);
    }

    // Thread: stopped. The audio thread reads the width unguarded.
    void setSixteenBit(bool sixteenBit) { sixteenBit_ = sixteenBit; }

    // Thread: any.
    bool sixteenBit() const { return sixteenBit_; }
    int bufferBytes() const { return sixteenBit_ ? 256 : 128; }

    // Thread: audio (the pass's end; stopped while priming). Only a buffer out of the
    // capturing side's hands: never added, or taken filled and not added again.
    InputBuffer& buffer(int index) { return buffers_[index]; }
    bool addBuffer(int index) noexcept { return free_.push(index); }
    bool takeFilled(int& index) noexcept { return filled_.pop(index); }

    // Thread: audio (the pass's end, for a buffer taken filled). Where the buffer's first
    // frame stands among every engine frame the capturing side was handed, dropped ones too.
    std::uint64_t startFrame(int index) const { return startFrames_[index]; }

    // Thread: any.
    std::uint64_t droppedFrames() const { return dropped_.load(std::memory_order_relaxed); }

    // Thread: stopped.
    void clear();

    // Thread: audio (the capturing end). Interleaved stereo frames at the engine rate.
    void capture(const std::int16_t* in, int frames) noexcept;
    void capture(const float* in, int frames) noexcept;

private:
    // Thread: audio.
    template <typename Sample>
    void captureFrames(const Sample* in, int frames) noexcept;
    void store(int frame, std::int16_t left, std::int16_t right) noexcept;

    bool sixteenBit_ = true;
    std::array<InputBuffer, kMaxWaveBuffers> buffers_{};
    SpscQueue<int, 64> free_;
    SpscQueue<int, 64> filled_;
    std::atomic<std::uint64_t> dropped_{0};
    std::array<std::uint64_t, kMaxWaveBuffers> startFrames_{};
    std::uint64_t framesSeen_ = 0; // audio thread (the capturing end)
    int current_ = -1; // audio thread
    int offset_ = 0;   // audio thread
};
