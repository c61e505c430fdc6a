#pragma once

#include "core/WaveBuffers.h"
#include "rt/SpscQueue.h"
#include "rt/WakeupSignal.h"

#include <array>
#include <atomic>
#include <cstdint>

// The output side of the ring: buffers written by the window's thread are played in
// order by the audio thread and handed back once played. A buffer that is not back in
// time is an underrun: a block of silence plays in its place and is counted.
// Thread: window and audio (each function below says which).
class OutputRing {
public:
    explicit OutputRing(WakeupSignal& wake) : wake_(wake) {}

    // Thread: window.
    // Only a buffer out of the audio thread's hands: never written, or taken done and not
    // written again.
    OutputBuffer& buffer(int index) { return buffers_[index]; }
    bool write(int index) { return queued_.push(index); }
    bool takeDone(int& index) { return done_.pop(index); }
    void setPaused(bool paused) { paused_.store(paused, std::memory_order_release); }
    bool paused() const { return paused_.load(std::memory_order_acquire); }

    // Thread: any.
    std::uint64_t underruns() const { return underruns_.load(std::memory_order_relaxed); }
    std::uint64_t blocksPlayed() const { return played_.load(std::memory_order_relaxed); }

    // Thread: stopped.
    void clear();

    // Thread: audio. Fills `frames` interleaved stereo frames at the engine rate.
    void render(std::int16_t* out, int frames) noexcept;
    // Thread: audio. Hands over the next whole block as interleaved stereo floats (-1..1).
    void pullBlock(float* out) noexcept;

private:
    // Thread: audio.
    // Makes the next block current (or a silent one), returns its samples.
    const std::int16_t* nextBlock() noexcept;
    void finishBlock() noexcept;

    WakeupSignal& wake_;
    std::array<OutputBuffer, kMaxWaveBuffers> buffers_{};
    SpscQueue<int, 64> queued_;
    SpscQueue<int, 64> done_;
    std::atomic<bool> paused_{false};
    std::atomic<std::uint64_t> underruns_{0};
    std::atomic<std::uint64_t> played_{0};
    static constexpr std::array<std::int16_t, 2 * kWaveBufferFrames> kSilence{};
    int current_ = -1;          // audio thread: buffer playing, -1 for a block of silence
    int offset_ = kWaveBufferFrames; // audio thread: frames of the current block already played
};
