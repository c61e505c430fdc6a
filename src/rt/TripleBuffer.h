#pragma once

#include <array>
#include <atomic>

// The latest value from one writer thread to one reader thread, without either waiting:
// the writer fills a slot of its own and swaps it in; the reader swaps the newest out
// when there is one. Values the reader does not come for are overwritten, never queued.
// Copying into and out of the slots is the callers' business, so T need not be trivial;
// each slot belongs to exactly one side at a time.
// Thread: any (one writer, one reader, each as marked).
template <typename T>
class TripleBuffer {
public:
    // Thread: any (the writer only). The slot to fill; publish() hands it over.
    T& back() noexcept { return slots_[back_]; }
    void publish() noexcept {
        const int previous = middle_.exchange(back_ | kFresh, std::memory_order_acq_rel);
        back_ = previous & kIndex;
    }

    // Thread: any (the reader only). True when a newer value than the last one taken was published;
    // front() then holds it.
    bool take() noexcept {
        if (!(middle_.load(std::memory_order_relaxed) & kFresh)) return false;
        const int previous = middle_.exchange(front_, std::memory_order_acq_rel);
        front_ = previous & kIndex;
        return true;
    }
    const T& front() const noexcept { return slots_[front_]; }

private:
    static constexpr int kIndex = 3;
    static constexpr int kFresh = 4;
    std::array<T, 3> slots_{};
    int back_ = 0;
    int front_ = 1;
    std::atomic<int> middle_{2};
};
