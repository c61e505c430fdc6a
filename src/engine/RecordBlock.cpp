#include "engine/RecordBlock.h"

#include <algorithm>
#include <new>

RecordBlockList::RecordBlockList() = default;

RecordBlockList::RecordBlockList(std::size_t blocks) : RecordBlockList() { resize(blocks); }

RecordBlockList::RecordBlockList(const RecordBlockList& other) : RecordBlockList() { *this = other; }

RecordBlockList& RecordBlockList::operator=(const RecordBlockList& other) {
    if (this == &other) return *this;
    clear();
    const std::size_t n = other.size();
    for (std::size_t i = 0; i < n; ++i) push_back(other[i]);
    growsOnDemand_ = other.growsOnDemand_;
    return *this;
}

RecordBlockList::RecordBlockList(RecordBlockList&& other) noexcept
    : table_(other.table_.exchange(nullptr)), size_(other.size()), growsOnDemand_(other.growsOnDemand_) {
    other.size_.store(0);
}

RecordBlockList& RecordBlockList::operator=(RecordBlockList&& other) noexcept {
    if (this == &other) return *this;
    Slot* const mine = table_.load();
    table_.store(other.table_.load());
    other.table_.store(mine);
    const std::size_t blocks = size();
    size_.store(other.size());
    other.size_.store(blocks);
    std::swap(growsOnDemand_, other.growsOnDemand_);
    other.clear();
    return *this;
}

RecordBlockList::~RecordBlockList() {
    Slot* const table = table_.load(std::memory_order_relaxed);
    if (!table) return;
    for (std::size_t c = 0; c < kMaxChunks; ++c) delete[] table[c].load(std::memory_order_relaxed);
    delete[] table;
}

bool RecordBlockList::makeChunk(std::size_t c) noexcept {
    if (c >= kMaxChunks) return false;
    Slot* table = table_.load(std::memory_order_acquire);
    if (!table) {
        table = new (std::nothrow) Slot[kMaxChunks](); // every slot null
        if (!table) return false;
        table_.store(table, std::memory_order_release);
    }
    if (table[c].load(std::memory_order_acquire)) return true;
    RecordBlock* made = new (std::nothrow) RecordBlock[kChunkBlocks];
    if (!made) return false;
    table[c].store(made, std::memory_order_release);
    return true;
}

RecordBlock* RecordBlockList::tryAppend() noexcept {
    const std::size_t n = size();
    const std::size_t c = n / kChunkBlocks;
    if (c >= kMaxChunks) return nullptr;
    Slot* table = table_.load(std::memory_order_acquire);
    RecordBlock* blocks = table ? table[c].load(std::memory_order_acquire) : nullptr;
    if (!blocks) {
        if (!growsOnDemand_ || !makeChunk(c)) return nullptr;
        blocks = table_.load(std::memory_order_acquire)[c].load(std::memory_order_acquire);
    }
    RecordBlock& block = blocks[n % kChunkBlocks];
    block.samples.fill(0.0);
    size_.store(n + 1, std::memory_order_release);
    return &block;
}

RecordBlock& RecordBlockList::emplace_back() {
    RecordBlock* block = tryAppend();
    if (!block) throw std::bad_alloc();
    return *block;
}

void RecordBlockList::resize(std::size_t blocks) {
    if (blocks <= size()) {
        size_.store(blocks, std::memory_order_release);
        return;
    }
    while (size() < blocks) emplace_back();
}

bool RecordBlockList::reserveAhead(std::size_t blocks) noexcept {
    const std::size_t first = size() / kChunkBlocks;
    const std::size_t last = std::min((size() + blocks) / kChunkBlocks, kMaxChunks - 1);
    for (std::size_t c = first; c <= last; ++c)
        if (!makeChunk(c)) return false;
    return true;
}
