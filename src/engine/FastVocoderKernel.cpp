#include "engine/FastVocoderKernel.h"

#include "engine/SubnormalState.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

constexpr std::uint64_t kAllBits = ~std::uint64_t{0};
constexpr std::uint64_t kMagnitudeBits = kAllBits >> 1;

// The normalised taps of a bank filter (gain, then a1/a0 a2/a0 b1/b0 b2/b0 per section,
// as the primitives computed them), or none when its initialisation failed: such a lane
// then stays silent.
const double* tapsOf(BiquadCascade& filter) {
    return filter.isInitialised() ? filter.state().tapSt.taps : nullptr;
}

// One lane of a group: which of its sections take a filter's sections and its gain.
template <int W, int S>
struct LaneWriter {
    LaneGroup<W, S>& group;
    int lane;

    void sections(const double* taps, int first, int count) {
        for (int i = 0; i < count; ++i)
            for (int j = 0; j < 4; ++j) group.taps[first + i][j][lane] = taps ? taps[1 + 4 * i + j] : 0.0;
    }
    void silence(int first, int count) {
        for (int i = 0; i < count; ++i)
            group.delay[first + i][0][lane] = group.delay[first + i][1][lane] = 0.0;
    }
    void filter(const double* taps, int first, int count) {
        group.gain[lane] = taps ? taps[0] : 0.0;
        sections(taps, first, count);
        silence(first, count);
    }
};

template <int W, int S>
void assignLane(LaneGroup<W, S>& group, int lane, LaneAssignment what, ChannelBank& bank, bool bandsOnly) {
    LaneWriter<W, S> writer{group, lane};
    const bool band = what.job == LaneJob::ModulatorBand || what.job == LaneJob::CarrierBand;
    if (bandsOnly && !band) return;
    if (!bandsOnly) {
        group.midGain[lane] = 1.0;
        group.midMask[lane] = kAllBits;
        const bool carrier = what.job == LaneJob::CarrierBand || what.job == LaneJob::CarrierDecimation;
        group.takesCarrier[lane] = carrier ? -1 : 0;
    }
    switch (what.job) {
    case LaneJob::ModulatorBand:
        writer.filter(tapsOf(bank.modulatorBand[what.index]), 0, 4);
        if constexpr (S == 5) {
            // The envelope low-pass runs on in the lane's last section across a rebuild.
            if (!bandsOnly) {
                const double* envelope = tapsOf(bank.envelopeLowpass[what.index]);
                group.midGain[lane] = envelope ? envelope[0] : 0.0;
                group.midMask[lane] = kMagnitudeBits;
                writer.sections(envelope, 4, 1);
            }
        }
        break;
    case LaneJob::CarrierBand:
        writer.filter(tapsOf(bank.carrierBand[what.index]), 0, 4);
        if constexpr (S == 5) {
            if (!bandsOnly) writer.sections(nullptr, 4, 1); // unused: the band is taken after four
        }
        break;
    case LaneJob::ModulatorDecimation:
        writer.filter(tapsOf(bank.modulatorDecimation[what.index]), 0, S);
        break;
    case LaneJob::CarrierDecimation:
        writer.filter(tapsOf(bank.carrierDecimation[what.index]), 0, S);
        break;
    case LaneJob::Sibilance:
        writer.filter(tapsOf(bank.sibilanceHighpass), 0, S);
        break;
    case LaneJob::Idle:
        writer.filter(nullptr, 0, S);
        break;
    }
}

template <int W, int S>
void assignGroup(LaneGroup<W, S>& group, const LaneAssignment (&jobs)[W], ChannelBank& bank, bool bandsOnly) {
    for (int lane = 0; lane < W; ++lane) assignLane(group, lane, jobs[lane], bank, bandsOnly);
}

// Left and right interpolation low-pass of a rebuild step side by side.
void assignRebuild(LaneGroup<2, 5>& group, int step, ChannelBank& bank) {
    for (int side = 0; side < 2; ++side) {
        LaneWriter<2, 5> writer{group, side};
        BiquadCascade& filter = side == 0 ? bank.leftInterpolation[step] : bank.rightInterpolation[step];
        writer.filter(tapsOf(filter), 0, 5);
        group.midGain[side] = 1.0;
        group.midMask[side] = kAllBits;
        group.takesCarrier[side] = 0;
    }
}

// The paired form of a rebuild step from the taps in its group (KernelLanes'
// PairedRebuild). It computes what the group's filters compute when every a1 is a zero,
// the taps are finite and the gain turns +0 into +0 (the odd samples' input); otherwise
// the step always runs sample by sample. A lane with no filter has all zero taps and
// qualifies.
void assignPaired(PairedRebuild& paired, const LaneGroup<2, 5>& group) {
    bool usable = true;
    for (int side = 0; side < 2; ++side) {
        const double gain = group.gain[side];
        usable = usable && std::isfinite(2.0 * gain) && !std::signbit(gain);
        paired.gain[2 * side] = paired.gain[2 * side + 1] = 2.0 * gain;
        for (int s = 0; s < 5; ++s) {
            usable = usable && group.taps[s][0][side] == 0.0;
            for (int c = 0; c < 3; ++c) {
                const double tap = group.taps[s][c + 1][side];
                usable = usable && std::isfinite(tap);
                paired.taps[s][c][2 * side] = paired.taps[s][c][2 * side + 1] = tap;
            }
        }
    }
    paired.usable = usable;
    paired.checkState = true;
}

// The drive of a group's carrier band lanes for this block (the reference's distort): a
// band distorts from 0.005 on, and a NaN drive distorts too (it fails that comparison).
// Every other lane keeps the pass-through values the kernel set at its start. Returns
// whether any lane of the group is driven.
template <int W, int S>
bool setDrive(LaneGroup<W, S>& group, const LaneAssignment (&jobs)[W], const EngineParams& params) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    bool any = false;
    for (int lane = 0; lane < W; ++lane) {
        if (jobs[lane].job != LaneJob::CarrierBand) continue;
        const double x = params.distortion[jobs[lane].index];
        const bool driven = !(x < 0.005);
        const double b = (1.0 - x) * (1.0 - x);
        group.driveDivisor[lane] = driven ? b : 1.0;
        group.driveLow[lane] = driven ? -4000.0 * b : -kInfinity;
        group.driveHigh[lane] = driven ? 4000.0 * b : kInfinity;
        any = any || driven;
    }
    return any;
}

template <int W, int S>
void passEverything(LaneGroup<W, S>& group) {
    for (int lane = 0; lane < W; ++lane) {
        group.driveDivisor[lane] = 1.0;
        group.driveLow[lane] = -std::numeric_limits<double>::infinity();
        group.driveHigh[lane] = std::numeric_limits<double>::infinity();
    }
}

} // namespace

// The channel value mapping of every channel. The envelopes, the delay and echo lines and
// the warp depend only on their own channel, so they are done for all channels first;
// then the values from 17 down to 0 (enhance and smooth read the neighbours) and the gains.
// History positions wrap with & (kHistoryLength - 1): for a power of two that is the
// non-negative remainder the reference takes with %.
void FastVocoderKernel::mapChannels(const EngineParams& params, const double (&envelopeSum)[kChannels]) {
    static_assert((kHistoryLength & (kHistoryLength - 1)) == 0);
    constexpr int kWrap = kHistoryLength - 1;
    routines_->updateEnvelopes(envelopeSum, params.slew.data(), envelope_.data());

    const int pos = pos_;
    alignas(32) double warpInput[kChannels];
    history_[pos] = envelope_;
    for (int k = 0; k < kChannels; ++k) {
        const double a = history_[(pos - params.delay[k]) & kWrap][k];
        const double b = params.echoTime[k] != 0 ? recirc_[(pos - params.echoTime[k]) & kWrap][k] : a;
        recirc_[pos][k] = a + b * params.regeneration[k];
        warpInput[k] = a + b * params.echo[k];
    }

    // The gains read lower channels' values as they were before this block (the reference
    // maps from 17 down and takes each gain right after its channel).
    const std::array<double, kChannels> before = value_;
    const bool frozen = params.hold || (params.sampleHold && !params.shTick);
    if (!frozen) {
        alignas(32) double v[kChannels];
        routines_->warp(warpInput, params.warp.data(), v);
        // From 17 down: value_[k + 1] is this block's, value_[k - 1] the last block's.
        if (params.enhance) {
            double result = v[17] - 0.25 * value_[16];
            value_[17] = result < 0.0 ? 0.0 : result;
            for (int k = kChannels - 2; k > 0; --k) {
                result = v[k] - 0.25 * (value_[k + 1] + value_[k - 1]);
                value_[k] = result < 0.0 ? 0.0 : result;
            }
            result = v[0] - 0.25 * value_[1];
            value_[0] = result < 0.0 ? 0.0 : result;
        } else if (params.smooth) {
            value_[17] = 0.5 * v[17] + 0.25 * value_[16];
            for (int k = kChannels - 2; k > 0; --k)
                value_[k] = 0.5 * v[k] + 0.25 * (value_[k + 1] + value_[k - 1]);
            value_[0] = 0.5 * v[0] + 0.25 * value_[1];
        } else {
            for (int k = 0; k < kChannels; ++k) value_[k] = v[k];
        }
    }

    for (int k = 0; k < kChannels; ++k) {
        const int j = params.source[k] + params.shift;
        gain_[k] = params.eq ? 1000.0 : j < 0 || j >= kChannels ? 0.0 : j < k ? before[j] : value_[j];
    }
}

FastVocoderKernel::FastVocoderKernel(ChannelBank& bank, LanePath path)
    : bank_(bank), path_(lanePathRuns(path) ? path : LanePath::Portable), routines_(&laneRoutines(path_)) {
    passEverything(lanes_.octave0Carrier);
    for (auto& group : lanes_.middle) passEverything(group);
    passEverything(lanes_.octave5);
}

void FastVocoderKernel::loadFilters(bool bandsOnly) {
    assignGroup(lanes_.octave0, lanes::kOctave0, bank_, bandsOnly);
    assignGroup(lanes_.octave0Carrier, lanes::kOctave0Carrier, bank_, bandsOnly);
    for (int o = 0; o < 4; ++o) assignGroup(lanes_.middle[o], lanes::kMiddle[o], bank_, bandsOnly);
    assignGroup(lanes_.octave5, lanes::kOctave5, bank_, bandsOnly);
    if (bandsOnly) return;
    for (int step = 0; step < kOctaves - 1; ++step) {
        assignRebuild(lanes_.rebuild[step], step, bank_);
        assignPaired(lanes_.paired[step], lanes_.rebuild[step]);
    }
}

Overloads FastVocoderKernel::process(const EngineParams& params, double* carrier, double* modulator,
                                     double* left, double* right) {
    if (!loaded_) {
        loadFilters(false);
        loaded_ = true;
        bandGeneration_ = bank_.bandGeneration();
    } else if (bank_.bandGeneration() != bandGeneration_) {
        loadFilters(true);
        bandGeneration_ = bank_.bandGeneration();
    }

    Overloads overloads;
    pos_ = (pos_ + 1) % kHistoryLength;
    routines_->scaleInputs(carrier, modulator, params.carrierLevel, params.modulatorLevel, overloads.carrier,
                           overloads.modulator);
    // The drive changes only when a distortion slider moves (compared bit for bit, so a
    // NaN drive is no change either).
    if (!driveSet_ || std::memcmp(driveOf_.data(), params.distortion.data(), sizeof driveOf_) != 0) {
        // Blocks in which no band above the lowest octave is distorted keep the arrangement
        // of an undistorted block (the lowest octave's are distorted in its analysis run,
        // which costs nothing), and the top octave's rows are divided only when one of its
        // bands is distorted.
        drivenOctaves_ = setDrive(lanes_.octave0Carrier, lanes::kOctave0Carrier, params) ? 1u : 0u;
        for (int o = 1; o < kOctaves - 1; ++o)
            if (setDrive(lanes_.middle[o - 1], lanes::kMiddle[o - 1], params)) drivenOctaves_ |= 1u << o;
        lowestDriven_ = setDrive(lanes_.octave5, lanes::kOctave5, params);
        std::memcpy(driveOf_.data(), params.distortion.data(), sizeof driveOf_);
        driveSet_ = true;
    }
    double envelopeSum[kChannels];
    routines_->analyse(lanes_, modulator, carrier, lowestDriven_, envelopeSum);
    mapChannels(params, envelopeSum);
    const SynthesisParams synthesis{params.pan.data(),
                                    params.level.data(),
                                    gain_.data(),
                                    drivenOctaves_,
                                    params.sibilance,
                                    params.mix * 0.5,
                                    (1.0 - params.mix) * widthGain(bank_.width())};
    routines_->synthesise(lanes_, synthesis, carrier, modulator, left, right, overloads.left,
                          overloads.right);
    // One step's pair of filters a block, the steps in turn, as in the reference
    // (SubnormalState).
    LaneGroup<2, 5>& step = lanes_.rebuild[silenceStep_];
    for (int side = 0; side < step.kWidth; ++side)
        clearIfSubnormal(&step.delay[0][0][side], 2 * step.kSections, step.kWidth);
    silenceStep_ = (silenceStep_ + 1) % (kOctaves - 1);
    return overloads;
}
