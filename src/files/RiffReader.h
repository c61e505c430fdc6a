#pragma once

#include "files/ByteSource.h"
#include "files/RiffChunk.h"

#include <cstddef>

// Reads the chunk structure of a RIFF file. Every size comes from the file and may be
// wrong, so nothing here trusts one: reads stop at the chunk's end and at the source's
// end, searches stop at the parent's end, and each step of a search moves forward by at
// least one header, so a damaged file ends a search instead of looping.
class RiffReader {
public:
    explicit RiffReader(ByteSource& source) : source_(source) {}

    // Reads the chunk header at the current position (and the form type of a RIFF or LIST
    // chunk) and leaves the position at the chunk's first byte after them.
    bool descend(RiffChunk& chunk);
    // Finds the first chunk `id` among the chunks nested directly in `parent`, searching
    // from the parent's first child whatever the current position, so that chunks may come
    // in any order. Leaves the position at the found chunk's data.
    bool findChunk(RiffChunk& chunk, FourCc id, const RiffChunk& parent);
    // Reads up to `size` bytes from the current position, never past the chunk's end.
    std::size_t read(const RiffChunk& chunk, void* into, std::size_t size);
    // Moves past the chunk and its pad byte, to where the next chunk's header would be.
    bool ascend(const RiffChunk& chunk);

private:
    // Where the header after `chunk` starts. An odd-sized chunk is followed by a pad byte,
    // but some writers leave it out; a header found right at the chunk's end (the one
    // searched for, or any identifier where the padded position holds none) is taken.
    std::uint64_t nextChunkOffset(const RiffChunk& chunk, FourCc wanted);

    ByteSource& source_;
};
