#pragma once

#include "audio/WaveDuplex.h"
#include "core/BlockLoop.h"

#include <array>
#include <cstddef>

// The sound card's side of the block loop. Every output buffer the device has played comes
// back here and makes one pass of the block loop, which writes the next block into that
// same buffer before it is queued again; filled input buffers wait in order until a pass
// takes the oldest. The output is the clock: input only queues.
// Thread: window (woken by the device's WakeupSignal); the audio thread never enters this
// class.
class LiveLoop {
public:
    explicit LiveLoop(BlockLoop& loop) : loop_(loop) {}

    // The device whose buffers come back here; null while there is none. Attaching drops
    // whatever input was queued for an earlier device.
    void attach(WaveDuplex* device);
    WaveDuplex* device() const { return device_; }

    // Handles everything the device has handed back since the last call: queues filled
    // input buffers and runs one pass per played output buffer. Returns the passes run.
    int pump();

    std::size_t queuedInput() const { return inputCount_; }
    // Input blocks passed over because they had waited too long.
    std::uint64_t skippedInput() const { return skippedInput_; }
    // Passes that found no input block waiting while the device had its input open.
    std::uint64_t passesWithoutInput() const { return passesWithoutInput_; }

    // The input blocks that may wait for a pass beyond those of the played outputs not yet
    // passed: the one that belongs to the pass and one more for a device whose input runs
    // in a stream of its own.
    static constexpr std::size_t kMaxQueuedInput = 2;
    std::uint64_t passes() const { return passes_; }

private:
    void pass(int outputIndex);
    // Queues the filled input; beyond kMaxQueuedInput + `later` blocks (`later`: the passes
    // still to come for outputs already played) the oldest are passed over.
    void queueFilledInput(std::size_t later);

    BlockLoop& loop_;
    WaveDuplex* device_ = nullptr;
    // The input queue: at most one entry per input buffer, so a fixed ring never overflows.
    std::array<int, kMaxWaveBuffers> inputQueue_{};
    std::size_t inputHead_ = 0;
    std::size_t inputCount_ = 0;
    std::uint64_t passes_ = 0;
    std::uint64_t skippedInput_ = 0;
    std::uint64_t passesWithoutInput_ = 0;
    // The device's underrun and lost-input counts at the last pump: when either has grown,
    // a stall outlasted the ring.
    std::uint64_t underrunsSeen_ = 0;
    std::uint64_t droppedSeen_ = 0;
};
