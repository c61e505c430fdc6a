#pragma once

#include <cstdint>

// Conversion of an engine value to a 16-bit sample: truncation toward zero, as everywhere
// in the program. Values beyond the range are clipped: the half-band filters overshoot on
// full-scale input, and keeping only the low 16 bits would turn that into a full-scale
// click of the opposite sign.
inline std::int16_t toSample16(double value) {
    if (value != value) return 0; // NaN
    if (value >= 32767.0) return 32767;
    if (value <= -32768.0) return -32768;
    return static_cast<std::int16_t>(static_cast<int>(value));
}
