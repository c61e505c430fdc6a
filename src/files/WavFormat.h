#pragma once

#include <cstdint>

// The fields of a WAV format record that the reader uses. An extensible record whose
// subformat is integer PCM is stored here as plain PCM (tag 1).
struct WavFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t bytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;

    // Samples lie left-justified in whole bytes: 12 bits take two, 20 bits three.
    int bytesPerSample() const { return (bitsPerSample + 7) / 8; }
};
