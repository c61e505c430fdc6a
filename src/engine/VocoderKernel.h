#pragma once

#include "engine/ChannelBank.h"
#include "engine/EngineParams.h"

#include <array>

// The four overload indicators of one block.
struct Overloads {
    bool carrier = false;
    bool modulator = false;
    bool left = false;
    bool right = false;
};

// One block of 64 modulator and 64 carrier samples in, 64 left and 64 right out. The
// octave tree splits both inputs by repeated halving of the rate, each channel's envelope
// shapes its carrier band through the channel value mapping, and the bands are rebuilt to
// the full rate in stereo. No allocation, no state beyond the members below.
// Thread: owner (the thread that runs the block loop).
class VocoderKernel {
public:
    explicit VocoderKernel(ChannelBank& bank) : bank_(bank) {}

    // The carrier and modulator blocks are overwritten (scaled and clipped).
    Overloads process(const EngineParams& params, double* carrier, double* modulator, double* left,
                      double* right);

    // Channel values after the mapping, as left by the last block (the spectrum display
    // shows them; the generator's tracking reads the lowest six).
    const std::array<double, kChannels>& values() const { return value_; }
    const std::array<double, kChannels>& envelopes() const { return envelope_; }
    // The gain g that shaped each channel's carrier band in the last block.
    const std::array<double, kChannels>& gains() const { return gain_; }
    int position() const { return pos_; }

    // The transfer curve bending an envelope value: identity at f = 0.
    static double warp(double v, double f);
    // Drive x of a carrier band, 0 .. 0.99; below 0.005 the band is left alone.
    static void distort(double* buffer, int n, double x);

private:
    double mapChannel(const EngineParams& params, int k, double env);

    ChannelBank& bank_;
    int pos_ = 0;
    int silenceStep_ = 0; // the rebuild step whose state is checked after this block
    std::array<double, kChannels> envelope_{};
    std::array<std::array<double, kHistoryLength>, kChannels> history_{};
    std::array<std::array<double, kHistoryLength>, kChannels> recirc_{};
    std::array<double, kChannels> value_{};
    std::array<double, kChannels> gain_{};

    // Working buffers of one block; never allocated per block.
    std::array<std::array<double, BLOCK_SIZE>, kOctaves> modOctave_{};
    std::array<std::array<double, BLOCK_SIZE>, kOctaves> carOctave_{};
    std::array<std::array<double, BLOCK_SIZE>, kOctaves> leftSum_{};
    std::array<std::array<double, BLOCK_SIZE>, kOctaves> rightSum_{};
    std::array<double, BLOCK_SIZE> sibilance_{};
    std::array<double, BLOCK_SIZE> band_{};
    std::array<double, BLOCK_SIZE> carrierBand_{};
    std::array<double, BLOCK_SIZE> leftBand_{};
    std::array<double, BLOCK_SIZE> scratch_{};
};
