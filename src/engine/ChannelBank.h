#pragma once

#include "dsp/BiquadCascade.h"
#include "engine/Engine.h"
#include "engine/FilterCoefficients.h"
#include "engine/FilterWidth.h"

#include <array>

// Every IIR filter of the engine. Four band-pass prototypes per width serve all 18
// channels: the octave tree runs them at fs, fs/2 ... fs/32, so each prototype yields the
// same relative band one octave lower at each halving of the rate.
// Thread: owner (the thread that runs the block loop).
class ChannelBank {
public:
    enum class Prototype { T, A, B, C };

    // Prototype and octave (0 = full rate) of each channel.
    static Prototype prototypeOf(int channel);
    static int octaveOf(int channel);
    static const coefficients::FourSections& taps(FilterWidth width, Prototype prototype);

    ChannelBank() = default;
    ~ChannelBank() = default;
    ChannelBank(const ChannelBank&) = delete;
    ChannelBank& operator=(const ChannelBank&) = delete;

    // Builds the 36 band filters for `width`. The first call (reinitialise false) also
    // builds the envelope, sibilance and rate-change filters; later calls free and rebuild
    // only the band filters, which restart from silence while everything else runs on.
    int initialise(bool reinitialise, FilterWidth width);
    void release();
    FilterWidth width() const { return width_; }
    // Goes up by one with every build of the band filters. A kernel that runs copies of the
    // filters in its own layout compares it with the value it last saw to notice a restart.
    unsigned bandGeneration() const { return bandGeneration_; }

    std::array<BiquadCascade, kChannels> modulatorBand;
    std::array<BiquadCascade, kChannels> carrierBand;
    std::array<BiquadCascade, kChannels> envelopeLowpass;
    BiquadCascade sibilanceHighpass;
    std::array<BiquadCascade, kOctaves - 1> modulatorDecimation;
    std::array<BiquadCascade, kOctaves - 1> carrierDecimation;
    std::array<BiquadCascade, kOctaves - 1> leftInterpolation;
    std::array<BiquadCascade, kOctaves - 1> rightInterpolation;
    std::array<BiquadCascade, 2> generatorDecimation;

private:
    FilterWidth width_ = FilterWidth::Normal;
    unsigned bandGeneration_ = 0;
};
