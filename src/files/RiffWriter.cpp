#include "files/RiffWriter.h"

#include "files/LittleEndian.h"

#include <cstdio>
#include <sys/types.h>

bool RiffWriter::createChunk(RiffChunk& chunk, FourCc id, std::uint32_t size) {
    std::uint8_t header[8];
    littleEndian::putU32(header, id);
    littleEndian::putU32(header + 4, size);
    const std::uint64_t start = position_;
    if (!write(header, sizeof header)) return false;
    chunk = RiffChunk{};
    chunk.id = id;
    chunk.size = size;
    chunk.dataOffset = start + sizeof header;
    return true;
}

bool RiffWriter::createForm(RiffChunk& chunk, FourCc id, FourCc formType, std::uint32_t size) {
    if (!createChunk(chunk, id, size)) return false;
    std::uint8_t form[4];
    littleEndian::putU32(form, formType);
    if (!write(form, sizeof form)) return false;
    chunk.formType = formType;
    return true;
}

bool RiffWriter::write(const void* data, std::size_t size) {
    if (stream_ == nullptr) return false;
    // Refused before writing: a file past the limit could not be described by its header.
    if (position_ > maxFileSize_ || size > maxFileSize_ - position_) return false;
    if (size > 0 && std::fwrite(data, 1, size, stream_) != size) return false;
    position_ += size;
    return true;
}

bool RiffWriter::flush() {
    return stream_ != nullptr && std::fflush(stream_) == 0;
}

bool RiffWriter::ascend(RiffChunk& chunk) {
    if (position_ < chunk.dataOffset) return false;
    const std::uint64_t written = position_ - chunk.dataOffset;
    if (written > 0xFFFFFFFFu) return false;
    const auto size = static_cast<std::uint32_t>(written);
    if (size & 1u) {
        const std::uint8_t pad = 0;
        if (!write(&pad, 1)) return false;
    }
    if (size != chunk.size) {
        std::uint8_t field[4];
        littleEndian::putU32(field, size);
        if (!overwrite(chunk.dataOffset - 4, field, sizeof field)) return false;
        chunk.size = size;
    }
    return true;
}

bool RiffWriter::overwrite(std::uint64_t position, const void* data, std::size_t size) {
    const std::uint64_t end = position_;
    if (::fseeko(stream_, static_cast<off_t>(position), SEEK_SET) != 0) return false;
    const bool written = std::fwrite(data, 1, size, stream_) == size;
    // The flush makes a failed patch show here rather than at the close.
    const bool flushed = std::fflush(stream_) == 0;
    const bool back = ::fseeko(stream_, static_cast<off_t>(end), SEEK_SET) == 0;
    return written && flushed && back;
}
