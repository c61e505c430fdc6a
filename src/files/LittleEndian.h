#pragma once

#include <cstdint>

// WAV files are little-endian whatever the machine; these read and write byte by byte so
// that neither alignment nor the host's byte order matters.
namespace littleEndian {

inline std::uint16_t getU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t getU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint64_t getU64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(getU32(p)) | static_cast<std::uint64_t>(getU32(p + 4)) << 32;
}

inline void putU16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void putU32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void putU64(std::uint8_t* p, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace littleEndian
