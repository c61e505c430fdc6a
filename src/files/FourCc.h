#pragma once

#include <cstddef>
#include <cstdint>

// A RIFF chunk identifier: four characters packed as they lie in the file, first character
// in the lowest byte, so that an identifier read as a little-endian word compares equal.
using FourCc = std::uint32_t;

constexpr FourCc fourCc(const char (&text)[5]) {
    return static_cast<FourCc>(static_cast<unsigned char>(text[0])) |
           static_cast<FourCc>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<FourCc>(static_cast<unsigned char>(text[2])) << 16 |
           static_cast<FourCc>(static_cast<unsigned char>(text[3])) << 24;
}

inline constexpr FourCc kRiffId = fourCc("RIFF");
// RIFF's 64-bit form (EBU Tech 3306): the sizes that outgrow 32 bits are in a ds64 chunk.
inline constexpr FourCc kRf64Id = fourCc("RF64");
inline constexpr FourCc kDs64Id = fourCc("ds64");
// What a 32-bit size field holds when the size is in ds64 (or, in a stream, not known).
inline constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFF;
// ds64 starts with riffSize, dataSize and sampleCount, 64 bits each.
inline constexpr std::size_t kDs64SizesSize = 24;
inline constexpr FourCc kListId = fourCc("LIST");
inline constexpr FourCc kWaveForm = fourCc("WAVE");
inline constexpr FourCc kFmtId = fourCc("fmt ");
inline constexpr FourCc kDataId = fourCc("data");
