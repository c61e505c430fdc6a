#pragma once

#include "files/ByteSource.h"

#include <cstdint>
#include <span>

// Bytes already in memory, for tests and fuzzing of the reader. The bytes are not copied:
// they must outlive the source.
class MemoryByteSource : public ByteSource {
public:
    explicit MemoryByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t read(void* into, std::size_t size) override;
    bool seek(std::uint64_t position) override;
    std::uint64_t position() const override { return position_; }
    std::uint64_t size() const override { return bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
    std::uint64_t position_ = 0;
};
