#pragma once

#include "engine/Engine.h"

#include <array>
#include <atomic>
#include <cstddef>

// One output channel of one processed block, in 16-bit sample units.
struct RecordBlock {
    std::array<double, BLOCK_SIZE> samples{};
};

// The recorded blocks of one channel: a list that only grows at its end, in chunks that
// never move once made. The live pass appends on the audio thread while the window saves
// what is already there, so the chunks are made ahead of time by whoever may allocate
// (`reserveAhead`), and a list that must not allocate (`setGrowsOnDemand(false)`) refuses a
// block rather than make a chunk inside the pass. A list that grows on demand (the
// renderer's, the tests') makes its chunks as it goes. The table of chunks is made with
// the first chunk: a list that never holds a block (the take a render streams to its file)
// costs nothing to make or to free.
//
// Thread: owner. One exception, for the live pass: one thread appends (`tryAppend`,
// `pop_back`) while one other reads the blocks below `size()` and calls `reserveAhead`.
class RecordBlockList {
public:
    static constexpr std::size_t kChunkBlocks = 512;  // about 3 s at the engine rate
    static constexpr std::size_t kMaxChunks = 16384;  // about 13 hours

    RecordBlockList();
    explicit RecordBlockList(std::size_t blocks);
    RecordBlockList(const RecordBlockList& other);
    RecordBlockList& operator=(const RecordBlockList& other);
    RecordBlockList(RecordBlockList&& other) noexcept;
    RecordBlockList& operator=(RecordBlockList&& other) noexcept;
    ~RecordBlockList();

    std::size_t size() const noexcept { return size_.load(std::memory_order_acquire); }
    bool empty() const noexcept { return size() == 0; }
    const RecordBlock& operator[](std::size_t i) const noexcept { return chunk(i)[i % kChunkBlocks]; }
    RecordBlock& operator[](std::size_t i) noexcept { return chunk(i)[i % kChunkBlocks]; }
    const RecordBlock& back() const noexcept { return (*this)[size() - 1]; }
    RecordBlock& back() noexcept { return (*this)[size() - 1]; }

    // Reading in order, as the save does.
    template <typename List, typename Block>
    class Iterator {
    public:
        Iterator(List* list, std::size_t at) : list_(list), at_(at) {}
        Block& operator*() const { return (*list_)[at_]; }
        Iterator& operator++() {
            ++at_;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return at_ != other.at_; }

    private:
        List* list_;
        std::size_t at_;
    };
    Iterator<const RecordBlockList, const RecordBlock> begin() const { return {this, 0}; }
    Iterator<const RecordBlockList, const RecordBlock> end() const { return {this, size()}; }

    // A new zeroed block at the end, or null when there is no room for it: the list is
    // full, or it does not grow on demand and its next chunk is not made yet (or cannot be).
    // Never throws.
    RecordBlock* tryAppend() noexcept;
    // As tryAppend, but a failure throws std::bad_alloc.
    RecordBlock& emplace_back();
    void push_back(const RecordBlock& block) { emplace_back() = block; }
    void pop_back() noexcept { size_.store(size() - 1, std::memory_order_release); }
    void resize(std::size_t blocks);
    void clear() noexcept { size_.store(0, std::memory_order_release); }

    void setGrowsOnDemand(bool grows) noexcept { growsOnDemand_ = grows; }
    // Makes sure the chunks for the next `blocks` appends exist; false when memory ran out.
    bool reserveAhead(std::size_t blocks) noexcept;

private:
    using Slot = std::atomic<RecordBlock*>; // one chunk's place in the table

    RecordBlock* chunk(std::size_t i) const noexcept {
        return table_.load(std::memory_order_acquire)[i / kChunkBlocks].load(std::memory_order_acquire);
    }
    bool makeChunk(std::size_t c) noexcept;

    // Null until the first chunk is made; written only by the thread that may allocate.
    std::atomic<Slot*> table_{nullptr}; // kMaxChunks slots
    std::atomic<std::size_t> size_{0};
    bool growsOnDemand_ = true;
};
