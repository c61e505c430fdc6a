#pragma once

#include "core/MidiAssignment.h"

#include <array>
#include <atomic>

// "Learn MIDI controller": the window arms it for one control, and the next control change
// that passes the input channel is taken here instead of being played. The mapping offers
// every control change on the core's thread (the sound card's while a device plays), so the
// hand-over is one atomic and the window makes the assignment itself, as the MIDI dialog
// does, through the table it sends the core.
class MidiLearn {
public:
    // Thread: window.
    void arm() noexcept { state_.store(kWaiting, std::memory_order_relaxed); }
    void cancel() noexcept { state_.store(kIdle, std::memory_order_relaxed); }
    bool waiting() const noexcept { return state_.load(std::memory_order_relaxed) == kWaiting; }
    // The controller taken since arm(), once; -1 while none has come.
    int collect() noexcept {
        int taken = state_.load(std::memory_order_relaxed);
        if (taken < 0 || !state_.compare_exchange_strong(taken, kIdle, std::memory_order_relaxed)) return -1;
        return taken;
    }

    // Thread: owner (of the core: the mapping). True when the controller was taken.
    bool offer(int controller) noexcept {
        int expected = kWaiting;
        return state_.compare_exchange_strong(expected, controller, std::memory_order_relaxed);
    }

    // Thread: any (plain values). Puts `controller` on `control`: in the slot that already
    // holds the control, else in the first free one; false when all 20 hold other controls.
    static bool assign(std::array<MidiAssignment, kMidiSlotCount>& slots, ControlId control, int controller);
    // Frees every slot that holds `control`; false when none did.
    static bool forget(std::array<MidiAssignment, kMidiSlotCount>& slots, ControlId control);
    static bool isAssigned(const std::array<MidiAssignment, kMidiSlotCount>& slots, ControlId control);

private:
    static constexpr int kIdle = -1;
    static constexpr int kWaiting = -2;
    std::atomic<int> state_{kIdle};
};
