#pragma once

#include "core/WaveBuffers.h"

#include <array>
#include <atomic>
#include <cstdint>

// Makes each block the output plays, at the moment the output needs it: the live loop,
// which runs one pass of the vocoder per block.
// Thread: audio.
class BlockSource {
public:
    virtual ~BlockSource() = default;
    virtual void makeBlock(OutputBuffer& out) noexcept = 0;
};

// The output side of the sound card: whenever the device has played a block, the next one
// is made by the source on the spot, so a block's sound leaves as soon as it exists. The
// `delayBlocks` silent blocks primed ahead of the first pass's are the safety the user
// chose: they keep that many blocks queued between the passes and the device. Without a
// source a block of silence plays and counts as an underrun.
// Thread: audio (except where marked).
class OutputRing {
public:
    static constexpr int kCapacity = kMaxWaveBuffers + 1;

    // Thread: stopped.
    void setSource(BlockSource* source) { source_ = source; }
    void prime(int delayBlocks);
    void clear() { prime(0); }

    // Thread: any.
    std::uint64_t underruns() const { return underruns_.load(std::memory_order_relaxed); }
    std::uint64_t blocksPlayed() const { return played_.load(std::memory_order_relaxed); }

    // Thread: audio (inside the source's makeBlock). Where the block being made will play,
    // in engine frames since the ring was primed.
    std::uint64_t makingAt() const noexcept { return makingAt_; }

    // Fills `frames` interleaved stereo frames at the engine rate.
    void render(std::int16_t* out, int frames) noexcept;
    // Hands over the next whole block as interleaved stereo floats (-1..1).
    void pullBlock(float* out) noexcept;

private:
    // Makes the next block and starts playing the oldest; returns its samples.
    const std::int16_t* nextBlock() noexcept;

    BlockSource* source_ = nullptr;
    std::array<OutputBuffer, kCapacity> buffers_{};
    int head_ = 0;   // the block playing
    int delay_ = 0;  // blocks made and waiting behind the one playing
    int offset_ = kWaveBufferFrames; // frames of the playing block already played
    bool playing_ = false;
    std::uint64_t pulls_ = 0;    // blocks started playing since priming
    std::uint64_t makingAt_ = 0;
    std::atomic<std::uint64_t> underruns_{0};
    std::atomic<std::uint64_t> played_{0};
};
