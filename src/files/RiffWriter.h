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

    // The stream is borrowed, not closed. Writes that would take the file past
    // `maxFileSize` are refused: a larger limit is for a file whose header describes its
    // sizes some other way (RF64, or a stream that says they are unknown).
    explicit RiffWriter(std::FILE* stream, std::uint64_t maxFileSize = kMaxFileSize)
        : stream_(stream), maxFileSize_(maxFileSize) {}

    bool createChunk(RiffChunk& chunk, FourCc id, std::uint32_t size = 0);
    // A RIFF (or LIST) chunk: the header and the form type. `size` is what the header says
    // until ascend() fixes it.
    bool createForm(RiffChunk& chunk, FourCc id, FourCc formType, std::uint32_t size = 4);
    bool write(const void* data, std::size_t size);
    bool flush();
    bool ascend(RiffChunk& chunk);
    // Replaces bytes written earlier and comes back to the end. Needs a seekable stream.
    bool overwrite(std::uint64_t position, const void* data, std::size_t size);

    std::uint64_t position() const { return position_; }

private:
    std::FILE* stream_;
    std::uint64_t maxFileSize_;
    std::uint64_t position_ = 0;
};
