#pragma once

#include "audio/LiveEngine.h"
#include "audio/OutputRing.h"
#include "audio/WaveDuplex.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

// The sound card's side of the block loop, inside the output's callback: whenever the
// output needs a block, one pass of the vocoder makes it from the oldest filled input
// block, and its sound goes to the device at once. The output is the clock: input only
// queues. Input that piles up beyond kMaxQueuedInput blocks (a device whose input runs on a
// clock of its own, a start-up) is passed over, so the voice is always as fresh as it can be.
// Thread: audio (makeBlock), stopped (attach), any (the counts).
class LiveLoop final : public BlockSource {
public:
    explicit LiveLoop(LiveEngine& engine) : engine_(engine) {}

    // Thread: stopped. The device whose output asks this loop for its blocks; null while
    // there is none. Attaching drops whatever input was queued for an earlier device.
    void attach(WaveDuplex* device);
    WaveDuplex* device() const { return device_; }

    // Thread: audio.
    void makeBlock(OutputBuffer& out) noexcept override;

    static constexpr std::size_t kMaxQueuedInput = 2;

    // Thread: any.
    std::uint64_t passes() const { return passes_.load(std::memory_order_relaxed); }
    // Input blocks passed over because newer ones were waiting.
    std::uint64_t skippedInput() const { return skippedInput_.load(std::memory_order_relaxed); }
    // Passes that found no input block waiting while the device had its input open.
    std::uint64_t passesWithoutInput() const { return passesWithoutInput_.load(std::memory_order_relaxed); }

private:
    LiveEngine& engine_;
    WaveDuplex* device_ = nullptr;
    // Audio thread: the filled input blocks in order, at most one entry per input buffer.
    std::array<int, kMaxWaveBuffers> inputQueue_{};
    std::size_t inputHead_ = 0;
    std::size_t inputCount_ = 0;
    std::atomic<std::uint64_t> passes_{0};
    std::atomic<std::uint64_t> skippedInput_{0};
    std::atomic<std::uint64_t> passesWithoutInput_{0};
};
