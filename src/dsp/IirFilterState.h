#pragma once

#include <cstdint>

// Marker held by an initialised filter state; a zero-filled state is "not initialised".
inline constexpr std::int32_t kIirInitMarker = 31725;

// Tap part of a filter: the normalised coefficients and how to read them.
struct IirTapState {
    std::int32_t order = 0;   // delay-line length, 2 x sections
    double* taps = nullptr;   // 1 + 4 x sections normalised taps; start of the filter's heap block
    std::int32_t iirType = 0; // stored as given, no other effect
    std::int32_t form = 0;    // 1 = biquad form, the only form created
};

// Delay part: the section memories, two per section, newest first.
struct IirDelayState {
    double* dlyl = nullptr;
};

// One biquad-cascade filter. The engine keeps these by value inside its own objects and
// never moves one while it is initialised: the heap block is reached through `taps`.
struct IirFilterState {
    IirTapState tapSt;
    IirDelayState dlySt;
    std::int32_t initMarker = 0;
};
