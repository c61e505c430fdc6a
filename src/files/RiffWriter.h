#pragma once

#include "files/RiffChunk.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Writes a RIFF file into a stream opened for writing at its start. Chunks are created
// with the size the caller expects; ascending fixes the size from what was really written
// and adds the pad byte an odd size needs. Every operation reports failure instead of
// leaving it for the close, so the caller can say which step went wrong.
class RiffWriter {
public:
    // The largest file RIFF can describe: its outer size field counts everything after
    // the first eight bytes.
    static constexpr std::uint64_t kMaxFileSize = 8 + std::uint64_t{0xFFFFFFFF};

    // The stream is borrowed, not closed.
    explicit RiffWriter(std::FILE* stream) : stream_(stream) {}

    bool createChunk(RiffChunk& chunk, FourCc id, std::uint32_t size = 0);
    // A RIFF (or LIST) chunk: the header and the form type.
    bool createForm(RiffChunk& chunk, FourCc id, FourCc formType);
    bool write(const void* data, std::size_t size);
    bool flush();
    bool ascend(RiffChunk& chunk);

    std::uint64_t position() const { return position_; }

private:
    bool writeAt(std::uint64_t position, const void* data, std::size_t size);

    std::FILE* stream_;
    std::uint64_t position_ = 0;
};
