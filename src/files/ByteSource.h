#pragma once

#include <cstddef>
#include <cstdint>

// Where the RIFF reader takes its bytes from: a file on disk, streamed, or bytes already in
// memory. Seeking past the end is allowed; reads there simply return nothing, which is how
// a chunk that claims more bytes than exist shows up.
class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Reads up to `size` bytes at the current position and moves past them. Fewer bytes
    // than asked mean the end of the source (or a read error).
    virtual std::size_t read(void* into, std::size_t size) = 0;
    virtual bool seek(std::uint64_t position) = 0;
    virtual std::uint64_t position() const = 0;
    // How many bytes the source really holds, whatever its headers claim.
    virtual std::uint64_t size() const = 0;
};
