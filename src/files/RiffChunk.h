#pragma once

#include "files/FourCc.h"

#include <cstdint>

// Where one chunk lies in a RIFF file. Offsets are 64-bit so that a size read from a
// damaged header can be added to them without wrapping.
struct RiffChunk {
    FourCc id = 0;
    std::uint64_t size = 0;       // bytes of data as the header (or an RF64 file's ds64) states them
    FourCc formType = 0;          // RIFF and LIST chunks only: the first four bytes of the data
    std::uint64_t dataOffset = 0; // first byte after the 8-byte header

    bool hasFormType() const { return id == kRiffId || id == kRf64Id || id == kListId; }
    // First byte of the chunks nested in a RIFF or LIST chunk.
    std::uint64_t childrenOffset() const { return dataOffset + (hasFormType() ? 4 : 0); }
    std::uint64_t end() const { return dataOffset + size; }
    // Odd-sized chunks are followed by one pad byte that belongs to no chunk.
    std::uint64_t paddedEnd() const { return end() + (size & 1u); }
};
