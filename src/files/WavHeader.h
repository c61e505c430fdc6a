#pragma once

#include "files/RiffChunk.h"
#include "files/RiffReader.h"
#include "files/WavFormat.h"

#include <cstdint>
#include <optional>
#include <string_view>

// What the check of a WAV file's head found: the outer chunk and the format. In an RF64
// file the outer size and the data chunk's size are the ones its ds64 chunk states.
struct WavHeader {
    RiffChunk riff;
    WavFormat format;
    std::optional<std::uint64_t> ds64DataSize;

    // The size of the data chunk `data` found in this file: its own, unless it defers to ds64.
    std::uint64_t dataSize(const RiffChunk& data) const;
};

// Descends into the first chunk, requires RIFF/WAVE or RF64/WAVE with ds64 as its first
// chunk, finds and reads `fmt ` and ascends out of it. Returns the message to show, or an empty view when the file can be read: a
// format this program can convert, with a consistent layout.
std::string_view checkWavHeader(RiffReader& reader, WavHeader& header);
