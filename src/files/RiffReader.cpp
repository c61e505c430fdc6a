#include "files/RiffReader.h"

#include "files/LittleEndian.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

// Chunk identifiers are four printable ASCII characters.
bool plausibleId(const std::uint8_t (&id)[4]) {
    return std::all_of(std::begin(id), std::end(id), [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

} // namespace

bool RiffReader::descend(RiffChunk& chunk) {
    const std::uint64_t start = source_.position();
    std::uint8_t header[8];
    if (source_.read(header, sizeof header) != sizeof header) return false;
    RiffChunk found;
    found.id = littleEndian::getU32(header);
    found.size = littleEndian::getU32(header + 4);
    found.dataOffset = start + sizeof header;
    if (found.hasFormType()) {
        std::uint8_t form[4];
        if (source_.read(form, sizeof form) != sizeof form) return false;
        found.formType = littleEndian::getU32(form);
    }
    chunk = found;
    return true;
}

bool RiffReader::findChunk(RiffChunk& chunk, FourCc id, const RiffChunk& parent) {
    const std::uint64_t parentEnd = parent.end();
    std::uint64_t next = parent.childrenOffset();
    while (next + 8 <= parentEnd) {
        RiffChunk child;
        if (!source_.seek(next) || !descend(child)) return false;
        if (child.id == id) {
            // A nested RIFF or LIST was read up to its form type; the caller wants its data.
            if (!source_.seek(child.dataOffset + (child.hasFormType() ? 4 : 0))) return false;
            chunk = child;
            return true;
        }
        next = nextChunkOffset(child, id);
    }
    return false;
}

std::uint64_t RiffReader::nextChunkOffset(const RiffChunk& chunk, FourCc wanted) {
    if ((chunk.size & 1u) == 0) return chunk.end();
    std::uint8_t unpadded[4];
    if (!source_.seek(chunk.end()) || source_.read(unpadded, sizeof unpadded) != sizeof unpadded)
        return chunk.paddedEnd();
    // Writers set the pad byte to zero; anything else there may be the next header.
    if (unpadded[0] == 0) return chunk.paddedEnd();
    if (littleEndian::getU32(unpadded) == wanted) return chunk.end();
    // The padded position's identifier: three bytes already read and the one after them.
    std::uint8_t padded[4]{unpadded[1], unpadded[2], unpadded[3], 0};
    if (source_.read(padded + 3, 1) != 1) return chunk.paddedEnd();
    return plausibleId(unpadded) && !plausibleId(padded) ? chunk.end() : chunk.paddedEnd();
}

std::size_t RiffReader::read(const RiffChunk& chunk, void* into, std::size_t size) {
    const std::uint64_t position = source_.position();
    if (position >= chunk.end()) return 0;
    const std::uint64_t available = chunk.end() - position;
    return source_.read(into, static_cast<std::size_t>(std::min<std::uint64_t>(size, available)));
}

bool RiffReader::ascend(const RiffChunk& chunk) {
    return source_.seek(chunk.paddedEnd());
}
