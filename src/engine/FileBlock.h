#pragma once

#include "engine/Engine.h"

#include <array>
#include <cstdint>
#include <vector>

// 64 signed 16-bit mono samples at 11025 Hz, zero-filled when made. A loaded WAV file is
// an ordered list of them; an empty list means no file is loaded.
struct FileBlock {
    std::array<std::int16_t, BLOCK_SIZE> samples{};
};
using FileBlockList = std::vector<FileBlock>;
