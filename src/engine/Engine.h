#pragma once

// Fixed sizes of the vocoder engine.
inline constexpr int BLOCK_SIZE = 64;        // frames per block and per sound-card buffer
inline constexpr int kChannels = 18;         // vocoder channels, 0 = lowest band
inline constexpr int kOctaves = 6;           // octaves of the analysis tree
inline constexpr int kHistoryLength = 128;   // blocks of envelope history per channel
inline constexpr double kEngineRate = 11025; // samples per second of live audio
inline constexpr double kClipLevel = 32000;  // inputs (after gain) and outputs are clipped to this
