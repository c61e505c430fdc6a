#pragma once

#include "files/RiffChunk.h"
#include "files/RiffReader.h"
#include "files/WavFormat.h"

#include <string_view>

// What the check of a WAV file's head found: the outer chunk and the format.
struct WavHeader {
    RiffChunk riff;
    WavFormat format;
};

// Descends into the first chunk, requires RIFF/WAVE, finds and reads `fmt ` and ascends
// out of it. Returns the message to show, or an empty view when the file can be read: a
// format this program can convert, with a consistent layout.
std::string_view checkWavHeader(RiffReader& reader, WavHeader& header);
