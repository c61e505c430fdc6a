#pragma once

// The input side of a block: scaling and checking the inputs, the analysis groups octave
// by octave, the envelopes and the warp of each channel. A part of the lane routines,
// included by LaneRoutinesImpl.h only (see LaneVectors.h).

#ifndef LANE_ROUTINES
#error "the lane routines' parts are included by engine/LaneRoutinesImpl.h only"
#endif

namespace {

// The overload test of the reference: the largest value found from the first sample on is
// above the clip level, or the smallest below its negative. A NaN first sample hides
// everything; later NaNs are passed over. `v > high ? v : high` is what the reference's
// running maximum does with each value, lane by lane.
template <class V = V4>
struct Extremes {
    V high = splat<V>(-__builtin_inf());
    V low = splat<V>(__builtin_inf());
    LANE_INLINE void add(V v) {
        high = greaterOf(v, high);
        low = lessOf(v, low);
    }
    LANE_INLINE bool beyondClip(double first) const {
        const typename Vec<V>::Int beyond = (high > splat<V>(kClipLevel)) | (low < splat<V>(-kClipLevel));
        long long any = 0;
        for (int i = 0; i < Vec<V>::kLanes; ++i) any |= beyond[i];
        return first == first && any != 0;
    }
};

template <class V>
LANE_INLINE V clip(V v) {
    const V top = splat<V>(kClipLevel);
    const V bottom = splat<V>(-kClipLevel);
    v = lessOf(top, v);        // v > top ? top : v
    return greaterOf(bottom, v); // v < bottom ? bottom : v
}

// Scales a block by its level, reports overload and clips it.
// Eight lanes where the unit has them: the running extremes are chains of dependent
// steps, half as long so (any lane beyond the clip level is an overload, as any sample).
LANE_INLINE bool scaleAndClip(double* block, double level) {
#if LANE_WIDE
    using V = V8;
#else
    using V = V4;
#endif
    constexpr int kLanes = Vec<V>::kLanes;
    const V gain = splat<V>(level);
    Extremes<V> extremes;
    for (int i = 0; i < BLOCK_SIZE; i += kLanes) {
        const V v = load<V>(block + i) * gain;
        extremes.add(v);
        store(block + i, clip(v));
    }
    return extremes.beyondClip(block[0]); // the clip keeps a NaN a NaN
}

template <int W>
LANE_INLINE void collectEnvelopes(const LaneAssignment (&jobs)[W], const double* sums,
                                  double (&envelopeSum)[kChannels]) {
    for (int lane = 0; lane < W; ++lane)
        if (jobs[lane].job == LaneJob::ModulatorBand) envelopeSum[jobs[lane].index] = sums[lane];
}

template <unsigned Drive>
LANE_INLINE void analyseWith(KernelLanes& k, const double* modulator, const double* carrier,
                             double (&envelopeSum)[kChannels]) {
    alignas(64) double sums[8] = {};
    const Stream m0{modulator, 1};
    const Stream c0{carrier, 1};

    runWide<kMixedIn | kMid | kSum | kOut, kModulatorIn | kMid | kSum, kMixedIn | kOut>(
        k.octave0, m0, c0, BLOCK_SIZE, nullptr, &k.octave0Out[0][0], sums);
    collectEnvelopes(lanes::kOctave0, sums, envelopeSum);

    Stream m{&k.octave0Out[0][lanes::kOctave0ModulatorOut], 16};
    Stream c{&k.octave0Out[0][lanes::kOctave0CarrierOut], 16};
    for (int o = 1; o < kOctaves - 1; ++o) {
        double* bands = &k.middleBands[lanes::middleRow(o)][0];
        double* out = &k.middleOut[lanes::middleRow(o)][0];
        // Their carrier bands are distorted in the synthesis, beside the rebuild.
        runWide<kMixedIn | kMid | kSum | kBands | kOutEven, kModulatorIn | kMid | kSum | kOutEven,
                kCarrierIn | kBands | kOutEven>(k.middle[o - 1], m, c, BLOCK_SIZE >> o, bands, out, sums);
        collectEnvelopes(lanes::kMiddle[o - 1], sums, envelopeSum);
        m = {out + lanes::kMiddleModulatorOut, 16};
        c = {out + lanes::kMiddleCarrierOut, 16};
    }
    runGroup<V4, kMixedIn | kMid | kSum | kBands | Drive, 0>(k.octave5, m, c, BLOCK_SIZE >> (kOctaves - 1),
                                                             &k.octave5Bands[0][0], nullptr, sums);
    collectEnvelopes(lanes::kOctave5, sums, envelopeSum);
}

void analyse(KernelLanes& k, const double* modulator, const double* carrier, bool driven,
             double (&envelopeSum)[kChannels]) {
    if (driven)
        analyseWith<kDrive>(k, modulator, carrier, envelopeSum);
    else
        analyseWith<0>(k, modulator, carrier, envelopeSum);
}

// Samples per block of each channel's octave.
constexpr double kLengthOfChannel[kChannels] = {2,  2,  4,  4,  4,  8,  8,  8,  16,
                                                16, 16, 32, 32, 32, 64, 64, 64, 64};

template <class V>
LANE_INLINE void updateEnvelopesAt(const double* sum, const double* slew, double* envelope, int k) {
    const V one = splat<V>(1.0);
    const V c = one / (one + splat<V>(32.0) * load<V>(slew + k));
    const V mean = loadEach<V>(sum + k) / load<V>(kLengthOfChannel + k);
    store(envelope + k, mean * c + (one - c) * load<V>(envelope + k));
}

void updateEnvelopes(const double (&envelopeSum)[kChannels], const double* slew, double* envelope) {
    static_assert(kChannels == 4 * 4 + 2);
    for (int k = 0; k < 16; k += 4) updateEnvelopesAt<V4>(envelopeSum, slew, envelope, k);
    updateEnvelopesAt<V2>(envelopeSum, slew, envelope, 16);
}

// VocoderKernel::warp lane by lane: both branches are computed and the knee picks one.
template <class V>
LANE_INLINE void warpAt(const double* u, const double* f, double* v, int k) {
    const V x = loadEach<V>(u + k);
    const V bend = load<V>(f + k);
    const V zero = splat<V>(0.0);
    const V top = splat<V>(16000.0);
    V d = greaterOf(x, zero);
    d = lessOf(top, d); // d > top ? top : d
    const V one = splat<V>(1.0);
    const V below = d * ((one + bend) * (one + bend));
    const V above = d + splat<V>(2.0 / 3.0) * (top - d) * (bend + bend * bend / splat<V>(2.0));
    store(v + k, d < splat<V>(4000.0) ? below : above);
}

void warp(const double* u, const double* f, double* v) {
    for (int k = 0; k < 16; k += 4) warpAt<V4>(u, f, v, k);
    warpAt<V2>(u, f, v, 16);
}

// After the analysis routines although it runs before them: the compiler lays the
// routines out in the order they are defined, and the figures measured are this layout's.
void scaleInputs(double* carrier, double* modulator, double carrierLevel, double modulatorLevel,
                 bool& carrierOverload, bool& modulatorOverload) {
    carrierOverload = scaleAndClip(carrier, carrierLevel);
    modulatorOverload = scaleAndClip(modulator, modulatorLevel);
}

} // namespace
