#pragma once

#include "midi/MidiMessage.h"
#include "rt/SpscQueue.h"
#include "rt/WakeupSignal.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Carries incoming messages from the MIDI layer's thread to the window's thread in the
// order they arrived. The MIDI side copies each event into a fixed record, pushes it and
// wakes the window; it never allocates, locks or blocks.
//
// Thread: midi-in and window (each function below says which).
class MidiInputQueue {
public:
    // Room for a burst of several thousand messages while the window is busy with a block.
    static constexpr std::size_t kCapacity = 8192;

    // Thread: any. The signal that wakes the window's thread; null wakes no one (the window
    // polls).
    void setWakeup(WakeupSignal* wake) { wake_.store(wake, std::memory_order_release); }

    // Thread: midi-in (one producer at a time: the port that feeds the queue).
    // One event as the MIDI layer delivered it. Empty and malformed events are counted and
    // dropped here, so that the window only ever sees well-formed short messages.
    void receive(const unsigned char* data, std::size_t count) noexcept;
    // Pushes an already well-formed message (the MIDI thread's own path, and tests).
    void push(const MidiMessage& message) noexcept;

    // Thread: window (the one consumer).
    bool take(MidiMessage& message) { return queue_.pop(message); }
    bool empty() const { return queue_.empty(); }

    // Thread: any.
    // Events dropped as malformed, and well-formed messages lost because the queue was full.
    std::uint64_t malformed() const { return malformed_.load(std::memory_order_relaxed); }
    std::uint64_t overflowed() const { return overflowed_.load(std::memory_order_relaxed); }

private:
    SpscQueue<MidiMessage, kCapacity> queue_;
    std::atomic<WakeupSignal*> wake_{nullptr};
    std::atomic<std::uint64_t> malformed_{0};
    std::atomic<std::uint64_t> overflowed_{0};
};
