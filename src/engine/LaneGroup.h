#pragma once

#include <cstdint>

// Several biquad cascades run side by side, one per lane, for the optimised kernel. Every
// field holds one value per lane, so that a row of a field is one vector of the unit the
// lanes run on. Each lane does exactly what BiquadCascade does with its filter: the gain
// once at the input, then every section in order; the normalised taps are copied from the
// bank's filters, never recomputed.
//
// A lane may stop after Sections - 1 sections and take the magnitude and a second gain
// before the last section: that is how a modulator band filter and its envelope low-pass
// share one lane. Lanes that need neither have an all-ones mask and a gain of exactly 1,
// and x & ~0 == x, x * 1.0 == x for every double.
//
// Plain data: lives inside the kernel, which is never copied while in use.
template <int Width, int Sections>
struct alignas(64) LaneGroup {
    static constexpr int kWidth = Width;
    static constexpr int kSections = Sections;

    double gain[Width];
    double midGain[Width];
    std::uint64_t midMask[Width];
    std::int64_t takesCarrier[Width]; // -1: the lane filters the carrier, 0: the modulator
    // A carrier band's distortion, set when it changes (LaneRoutines' drive): the divisor
    // (1 - drive)^2 and the limits -4000 and 4000 times it. Any other lane, and a band that
    // is not driven, has 1 and -inf, +inf, through which every value passes unchanged.
    double driveDivisor[Width];
    double driveLow[Width];
    double driveHigh[Width];
    double taps[Sections][4][Width];  // a1/a0, a2/a0, b1/b0, b2/b0 of each section
    double delay[Sections][2][Width]; // newest, older: the state that runs from block to block
};
