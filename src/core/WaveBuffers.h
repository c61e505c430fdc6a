#pragma once

#include <array>
#include <cstdint>

inline constexpr int kMaxWaveBuffers = 50;  // buffers of each direction the device makes
inline constexpr int kWaveBufferFrames = 64; // one engine block

// 64 stereo frames, left then right, 16-bit signed: 256 bytes.
struct OutputBuffer {
    std::array<std::int16_t, 2 * kWaveBufferFrames> samples{};
};

// 64 stereo frames, left then right: 16-bit signed little-endian (256 bytes) or 8-bit
// unsigned (the first 128 bytes), as the device was opened.
struct InputBuffer {
    std::array<std::uint8_t, 4 * kWaveBufferFrames> bytes{};
};
