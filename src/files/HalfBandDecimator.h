#pragma once

#include "dsp/BiquadCascade.h"
#include "engine/FileBlock.h"

#include <cstdint>

// Brings a WAV file at twice or four times the engine rate down to it: each halving is the
// half-band low-pass followed by keeping every second sample. The filters start from
// silence when the object is made and run on across every buffer of one file.
class HalfBandDecimator {
public:
    static constexpr int kMaxFactor = 4;

    // factor: 2 or 4.
    explicit HalfBandDecimator(int factor);
    HalfBandDecimator(const HalfBandDecimator&) = delete;
    HalfBandDecimator& operator=(const HalfBandDecimator&) = delete;

    int factor() const { return factor_; }
    // `in` holds factor x BLOCK_SIZE samples; `out` receives one block.
    void process(const std::int16_t* in, FileBlock& out);

private:
    int factor_;
    BiquadCascade first_;
    BiquadCascade second_;
};
