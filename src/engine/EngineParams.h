#pragma once

#include "engine/Engine.h"

#include <array>
#include <cstdint>

// The numbers the carrier generator and the kernel read, derived from the controls once
// per block. The start values give a plain vocoder: every knob at its start position,
// identity routing, no delay, echo, warp, distortion or pan, Level bank at its start value.
struct EngineParams {
    // Knob-derived.
    double carrierLevel = 0.001 + 32 / 32.0;
    double modulatorLevel = 0.001 + 32 / 32.0;
    double sibilance = 0.0;
    double mix = 0.0;
    double sampleHoldRate = (32 + 1) * 6.7e-6;
    std::int32_t sampleHoldPeriod = static_cast<std::int32_t>(1.0 / ((32 + 1) * 6.7e-6));
    std::int32_t period = 897; // twice the pulse cycle, in samples at four times the engine rate
    double duty = (8 + 1) / 128.0;
    double dutyReciprocal = 128.0 / (8 + 1);

    // Per channel, channel 0 lowest.
    std::array<double, kChannels> level{};
    std::array<double, kChannels> pan{};
    std::array<double, kChannels> distortion{};
    std::array<double, kChannels> delayValue{}; // Delay bank value; the kernel uses `delay`
    std::array<double, kChannels> echo{};
    std::array<double, kChannels> echoTimeValue{}; // ETime bank value; the kernel uses `echoTime`
    std::array<double, kChannels> regeneration{};
    std::array<double, kChannels> slew{};
    std::array<double, kChannels> warp{};
    std::array<std::int32_t, kChannels> delay{};    // blocks, 0..127
    std::array<std::int32_t, kChannels> echoTime{}; // blocks, 0..127, 0 = no echo line
    std::array<std::int32_t, kChannels> source{};   // channel value that drives each channel

    // Spectrum operations and switches.
    std::int32_t shift = 0;
    bool hold = false;
    bool sampleHold = false;
    bool shTick = false; // set by the carrier generator when an S/H period ends
    bool enhance = false;
    bool smooth = false;
    bool eq = false;

    // Carrier generator switches.
    bool chord = false;
    bool chordFirst = false;
    bool yodel = false;
    bool track = false;

    EngineParams() {
        level.fill(0.0002);
        for (int k = 0; k < kChannels; ++k) source[k] = k;
    }
};
