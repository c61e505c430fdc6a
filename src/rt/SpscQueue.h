#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <type_traits>

// A bounded lock-free queue for exactly one producer thread and one consumer thread.
// Neither side allocates, locks or blocks, so the audio callback may use it.
// Thread: any. The two ends stay with their threads for the queue's life: each ring of the
// sound card has the audio thread at one end and the window at the other, the MIDI input
// queue has midi-in and the window.
template <typename T, std::size_t Capacity>
class SpscQueue {
    static_assert((Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");
    static_assert(std::is_trivially_copyable_v<T>);

public:
    // Thread: any (the producer only).
    bool push(const T& item) noexcept {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
        items_[tail & (Capacity - 1)] = item;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Thread: any (the consumer only).
    bool pop(T& item) noexcept {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return false;
        item = items_[head & (Capacity - 1)];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    // Thread: any (the producer or the consumer: a third thread could see the head pass the
    // tail it read a moment before).
    std::size_t size() const noexcept {
        return tail_.load(std::memory_order_acquire) - head_.load(std::memory_order_acquire);
    }
    bool empty() const noexcept { return size() == 0; }

    // Thread: stopped (neither side running).
    void clear() noexcept {
        head_.store(0, std::memory_order_relaxed);
        tail_.store(0, std::memory_order_relaxed);
    }

private:
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
    std::array<T, Capacity> items_{};
};
