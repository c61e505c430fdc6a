#include "midi/MidiInputQueue.h"

void MidiInputQueue::receive(const unsigned char* data, std::size_t count) noexcept {
    const MidiMessage message = MidiMessage::fromBytes(data, count);
    // An event of nothing but real-time bytes leaves nothing the vocoder reads.
    if (message.size == 0) return;
    if (!message.wellFormed()) {
        malformed_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    push(message);
}

void MidiInputQueue::push(const MidiMessage& message) noexcept {
    if (!queue_.push(message)) {
        overflowed_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (WakeupSignal* wake = wake_.load(std::memory_order_acquire)) wake->signal();
}
