#include "files/MemoryByteSource.h"

#include <algorithm>
#include <cstring>

std::size_t MemoryByteSource::read(void* into, std::size_t size) {
    if (position_ >= bytes_.size()) return 0;
    const std::size_t available = bytes_.size() - static_cast<std::size_t>(position_);
    const std::size_t count = std::min(size, available);
    if (count > 0) std::memcpy(into, bytes_.data() + position_, count);
    position_ += count;
    return count;
}

bool MemoryByteSource::seek(std::uint64_t position) {
    position_ = position;
    return true;
}
