#pragma once

#include "engine/ChannelBank.h"
#include "engine/EngineParams.h"
#include "engine/KernelLanes.h"
#include "engine/LanePath.h"
#include "engine/VocoderKernel.h"

#include <array>

// The kernel the block loop runs: the same block as VocoderKernel, bit for bit, in a
// fraction of the time. The band, envelope, sibilance and rate-change filters run side by
// side in vector lanes (KernelLanes.h); the per-channel value mapping stays scalar, it is
// a few operations per channel. VocoderKernel remains the plain statement of the algorithm
// this one is tested against.
//
// The filters' state lives here in lane layout; the bank's filters only provide the
// coefficients. A width button rebuilds the bank's band filters, which raises its band
// generation: the next block then takes the new band coefficients and restarts exactly
// those 36 filters from silence, as the rebuilt bank filters would.
//
// Unlike the reference, this kernel does not stop computing when an earlier call of the
// primitives left an error status behind: it calls none of them per block.
// Thread: owner (the thread that runs the block loop).
class FastVocoderKernel {
public:
    explicit FastVocoderKernel(ChannelBank& bank, LanePath path = bestLanePath());
    FastVocoderKernel(const FastVocoderKernel&) = delete;
    FastVocoderKernel& operator=(const FastVocoderKernel&) = delete;

    // The carrier and modulator blocks are overwritten (scaled and clipped; the modulator
    // then also by mix x 0.5), as by VocoderKernel::process.
    Overloads process(const EngineParams& params, double* carrier, double* modulator, double* left,
                      double* right);

    const std::array<double, kChannels>& values() const { return value_; }
    const std::array<double, kChannels>& envelopes() const { return envelope_; }
    const std::array<double, kChannels>& gains() const { return gain_; }
    int position() const { return pos_; }
    // The unit this kernel runs on (the requested one when it runs here, else portable).
    LanePath path() const { return path_; }
    // Whether the last block ran rebuild step `step` (0 to 4) sample by sample, because
    // its inputs or state ruled out the faster paired form (KernelLanes' PairedRebuild).
    bool rebuiltSampleBySample(int step) const { return lanes_.paired[step].checkState; }

private:
    // Copies the bank's normalised taps into the lanes; with bandsOnly, only the band
    // filters', whose lanes also restart from silence.
    void loadFilters(bool bandsOnly);
    void mapChannels(const EngineParams& params, const double (&envelopeSum)[kChannels]);

    ChannelBank& bank_;
    LanePath path_;
    const LaneRoutines* routines_;
    bool loaded_ = false;
    unsigned bandGeneration_ = 0;

    int pos_ = 0;
    int silenceStep_ = 0; // the rebuild step whose state is checked after this block
    std::array<double, kChannels> envelope_{};
    // The delay and echo lines by block, every channel's value of a block side by side: a
    // block writes one row of each and, at the usual short delays, reads rows near it, so
    // the lines touch a few cache lines a block rather than one per channel (lines a
    // channel apart, 1 KiB, all fell into the same few cache sets and pushed each other out).
    std::array<std::array<double, kChannels>, kHistoryLength> history_{};
    std::array<std::array<double, kChannels>, kHistoryLength> recirc_{};
    std::array<double, kChannels> value_{};
    std::array<double, kChannels> gain_{};
    // The distortion the lanes' drive was set for, the octaves above the lowest in which it
    // drives some band (a bit each), and whether it drives one of the lowest octave's.
    std::array<double, kChannels> driveOf_{};
    bool driveSet_ = false;
    unsigned drivenOctaves_ = 0;
    bool lowestDriven_ = false;

    KernelLanes lanes_{};
};
