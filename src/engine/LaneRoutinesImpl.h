// The optimised kernel's vector routines, written once and built once per instruction set:
// each LaneRoutines*.cpp defines LANE_ROUTINES (the table to define) and LANE_WIDE (whether
// eight-lane groups run as one vector) and includes this file. Everything here has
// internal linkage, so the copies built with different instruction sets never meet at
// link time, and no standard-library template is instantiated in them.
//
// Exactness: the compiler's vector extensions apply each operator lane by lane with the
// same IEEE operation as scalar code, the build forbids contraction, and every expression
// below is written in the order of the reference's scalar expression (the reference
// kernel's, or the primitives' filter loop for the rate changes outside the kernel). A lane
// therefore holds bit for bit what the reference computes for its filter or sample.

#include "engine/KernelLanes.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#ifndef LANE_ROUTINES
#error "define LANE_ROUTINES before including LaneRoutinesImpl.h"
#endif

namespace {

#define LANE_INLINE inline __attribute__((always_inline))
#define LANE_INLINE_LAMBDA __attribute__((always_inline))

typedef double V2 __attribute__((vector_size(16)));
typedef double V4 __attribute__((vector_size(32)));
typedef double V8 __attribute__((vector_size(64)));
typedef long long I2 __attribute__((vector_size(16)));
typedef long long I4 __attribute__((vector_size(32)));
typedef long long I8 __attribute__((vector_size(64)));
// The same vectors at any double's address.
typedef double M2 __attribute__((vector_size(16), aligned(8), may_alias));
typedef double M4 __attribute__((vector_size(32), aligned(8), may_alias));
typedef double M8 __attribute__((vector_size(64), aligned(8), may_alias));
typedef long long N2 __attribute__((vector_size(16), aligned(8), may_alias));
typedef long long N4 __attribute__((vector_size(32), aligned(8), may_alias));
typedef long long N8 __attribute__((vector_size(64), aligned(8), may_alias));

template <class V>
struct Vec;
template <>
struct Vec<V2> {
    static constexpr int kLanes = 2;
    using Int = I2;
    using Mem = M2;
    using IntMem = N2;
};
template <>
struct Vec<V4> {
    static constexpr int kLanes = 4;
    using Int = I4;
    using Mem = M4;
    using IntMem = N4;
};
template <>
struct Vec<V8> {
    static constexpr int kLanes = 8;
    using Int = I8;
    using Mem = M8;
    using IntMem = N8;
};

template <class V>
LANE_INLINE V load(const double* p) {
    return *reinterpret_cast<const typename Vec<V>::Mem*>(p);
}
template <class V>
LANE_INLINE typename Vec<V>::Int loadMask(const void* p) {
    return *reinterpret_cast<const typename Vec<V>::IntMem*>(p);
}
template <class V>
LANE_INLINE void store(double* p, V v) {
    *reinterpret_cast<typename Vec<V>::Mem*>(p) = v;
}
// Written as lists, which the compiler turns into a single broadcast.
template <class V>
LANE_INLINE V splat(double x);
template <>
LANE_INLINE V2 splat<V2>(double x) {
    return V2{x, x};
}
template <>
LANE_INLINE V4 splat<V4>(double x) {
    return V4{x, x, x, x};
}
template <>
LANE_INLINE V8 splat<V8>(double x) {
    return V8{x, x, x, x, x, x, x, x};
}

// a > b ? a : b and a < b ? a : b, lane by lane: b whenever the comparison fails (a NaN,
// equal values, zeros of either sign), which is exactly what the x86 max and min
// instructions do. The compiler does not see that and would spend a comparison and a blend
// on each, so where the unit has them they are asked for by name.
template <class V>
LANE_INLINE V greaterOf(V a, V b) {
#if defined(__AVX512F__)
    // (The masked form: GCC's plain one reads an undefined vector, which it warns about.)
    if constexpr (sizeof(V) == 64) return _mm512_mask_max_pd(a, 0xff, a, b);
#endif
#if defined(__AVX__)
    if constexpr (sizeof(V) == 32) return _mm256_max_pd(a, b);
#endif
#if defined(__SSE2__)
    if constexpr (sizeof(V) == 16) return _mm_max_pd(a, b);
#endif
    return a > b ? a : b;
}
template <class V>
LANE_INLINE V lessOf(V a, V b) {
#if defined(__AVX512F__)
    if constexpr (sizeof(V) == 64) return _mm512_mask_min_pd(a, 0xff, a, b);
#endif
#if defined(__AVX__)
    if constexpr (sizeof(V) == 32) return _mm256_min_pd(a, b);
#endif
#if defined(__SSE2__)
    if constexpr (sizeof(V) == 16) return _mm_min_pd(a, b);
#endif
    return a < b ? a : b;
}

// ---- Biquad sections ------------------------------------------------------------------

// One direct-form-II section of every lane, as in the primitives' filter loop:
// w = t - a1*d0 - a2*d1, y = w + b1*d0 + b2*d1, evaluated left to right. The new w
// replaces the older value, so the two delay values swap roles with every sample; the
// loops below run samples in pairs and so never move a value between registers.
// The four products are independent of each other and of t; naming them first (the older
// value's last) lets the register allocator overwrite the older value in place.
template <class V>
LANE_INLINE V section(V t, const double* taps, int stride, V newest, V& older) {
    const V olderB = load<V>(taps + 3 * stride) * older;
    const V olderA = load<V>(taps + stride) * older;
    const V newestA = load<V>(taps) * newest;
    const V newestB = load<V>(taps + 2 * stride) * newest;
    const V w = t - newestA - olderA;
    const V y = w + newestB + olderB;
    older = w;
    return y;
}

// The delay values of S sections of V lanes. Between pairs of samples d[s][0] is the
// newest; after the first sample of a pair it is d[s][1].
template <class V, int S>
struct Delays {
    V d[S][2];

    template <int W>
    LANE_INLINE void load(const double (&delay)[S][2][W], int offset) {
        for (int s = 0; s < S; ++s) {
            d[s][0] = ::load<V>(delay[s][0] + offset);
            d[s][1] = ::load<V>(delay[s][1] + offset);
        }
    }
    // Only after an even number of samples, when d[s][0] is the newest again.
    template <int W>
    LANE_INLINE void save(double (&delay)[S][2][W], int offset) const {
        for (int s = 0; s < S; ++s) {
            store(delay[s][0] + offset, d[s][0]);
            store(delay[s][1] + offset, d[s][1]);
        }
    }
    template <bool Odd>
    LANE_INLINE V run(V t, const double* taps, int section, int stride) {
        return Odd ? ::section(t, taps, stride, d[section][1], d[section][0])
                   : ::section(t, taps, stride, d[section][0], d[section][1]);
    }
};

// A signal read one sample per step at a stride (the decimated octaves are read straight
// out of the rows their decimator wrote, every second row).
struct Stream {
    const double* samples;
    int stride;
};

enum : unsigned {
    kModulatorIn = 1, // every lane reads the modulator
    kCarrierIn = 2,   // every lane reads the carrier
    kMixedIn = 3,     // each lane reads what takesCarrier says
    kMid = 4,         // magnitude and second gain before the last section
    kSum = 8,         // add up the last section's output
    kBands = 16,      // keep the output of the first four sections
    kOut = 32,        // keep the last section's output
    kOutEven = 64,    // keep it for even samples only (a decimator's output)
    kDrive = 128,     // distort what kBands keeps (the lanes' drive, LaneGroup)
};

// The distortion of each lane's band: -4000 below low, +4000 above high, s / divisor
// between. The divisions are slow and the divider does a lane at a time: synthesise does
// them beside work that has none (TopDrive, MiddleDrive); only the lowest octave's few are done as
// its bands leave their filters.
template <class V>
LANE_INLINE V drive(V s, V divisor, V low, V high) {
    const V q = s / divisor;
    const V r = s > high ? splat<V>(4000.0) : q;
    return s < low ? splat<V>(-4000.0) : r;
}

// Runs lanes [Offset, Offset + lanes of V) of a group over n samples (n even). Outputs are
// rows of the group's width; `sums` receives the lane sums (kSum).
template <class V, unsigned Flags, int Offset, int W, int S>
LANE_INLINE void runGroup(LaneGroup<W, S>& g, Stream modulator, Stream carrier, int n, double* bands,
                          double* out, double* sums) {
    using Int = typename Vec<V>::Int;
    Delays<V, S> delays;
    delays.load(g.delay, Offset);
    const V gain = load<V>(g.gain + Offset);
    const Int takesCarrier = loadMask<V>(g.takesCarrier + Offset);
    V sum = splat<V>(0.0);
    V divisor{}, low{}, high{};
    if constexpr ((Flags & kDrive) != 0) {
        divisor = load<V>(g.driveDivisor + Offset);
        low = load<V>(g.driveLow + Offset);
        high = load<V>(g.driveHigh + Offset);
    }

    auto sample = [&]<bool Odd>(int i) {
        // The taps stay in memory, one operand of each product: kept in registers they
        // would push the delay values out of them. The empty asm hides that the pointer
        // does not change, so the compiler cannot hoist the loads.
        const LaneGroup<W, S>* taps = &g;
        __asm__("" : "+r"(taps));
        V x;
        if constexpr ((Flags & kMixedIn) == kMixedIn)
            x = takesCarrier ? splat<V>(carrier.samples[i * carrier.stride])
                             : splat<V>(modulator.samples[i * modulator.stride]);
        else if constexpr ((Flags & kMixedIn) == kCarrierIn)
            x = splat<V>(carrier.samples[i * carrier.stride]);
        else
            x = splat<V>(modulator.samples[i * modulator.stride]);
        V t = gain * x;
        constexpr int kFirst = S < 4 ? S : 4;
#pragma GCC unroll 4
        for (int s = 0; s < kFirst; ++s) t = delays.template run<Odd>(t, &taps->taps[s][0][Offset], s, W);
        if constexpr ((Flags & kBands) != 0 && (Flags & kDrive) != 0)
            store(bands + i * W + Offset, drive(t, divisor, low, high));
        else if constexpr ((Flags & kBands) != 0)
            store(bands + i * W + Offset, t);
        if constexpr (S == 5) {
            if constexpr ((Flags & kMid) != 0)
                t = V(Int(t) & loadMask<V>(taps->midMask + Offset)) * load<V>(taps->midGain + Offset);
            t = delays.template run<Odd>(t, &taps->taps[4][0][Offset], 4, W);
            if constexpr ((Flags & kSum) != 0) sum = sum + t;
            if constexpr ((Flags & kOut) != 0 || ((Flags & kOutEven) != 0 && !Odd))
                store(out + i * W + Offset, t);
        }
    };
    for (int i = 0; i < n; i += 2) {
        sample.template operator()<false>(i);
        sample.template operator()<true>(i + 1);
    }
    delays.save(g.delay, Offset);
    if constexpr ((Flags & kSum) != 0) store(sums + Offset, sum);
}

// Work a run does beside its own, a share in each of its iterations: none, the drive of
// some rows of carrier bands (TopDrive, MiddleDrive), another group's filters
// (BandsBeside) or the top octave's sums and outputs (TopSums).
struct NoSideWork {
    LANE_INLINE void operator()(int) const {}
};

// runGroup with the sections skewed: in iteration k section s runs sample k - s, on what
// section s - 1 gave in the iteration before, so that the sections of an iteration are
// independent of each other and each waits only on its own recursion. Sample by sample,
// each waited on the section before it, a chain several samples long that kept more work
// waiting than the core holds. Same operations, same order within each lane and sample;
// n even and at least 4.
template <class V, unsigned Flags, int Offset, int W, int S, class Side = NoSideWork>
struct SkewedGroup {
    using Int = typename Vec<V>::Int;
    static constexpr int kFirst = S < 4 ? S : 4; // sections before the bands are kept
    static constexpr int kFill = 4;              // iterations before every section runs (even)
    static constexpr int kSections = S;
    static_assert(S - 1 <= kFill);

    LaneGroup<W, S>& g;
    Stream modulator, carrier;
    double* bands;
    double* out;
    Delays<V, S> delays;
    V passed[S - 1]; // each section's last output, which the next takes
    const V gain;
    const Int takesCarrier;
    V sum = splat<V>(0.0);
    V divisor{}, low{}, high{};
    const Side side; // called with each iteration k, 0 to n + S - 2

    LANE_INLINE SkewedGroup(LaneGroup<W, S>& group, Stream m, Stream c, double* bandRows, double* outRows,
                            Side sideWork = {})
        : g(group), modulator(m), carrier(c), bands(bandRows), out(outRows), gain(load<V>(group.gain + Offset)),
          takesCarrier(loadMask<V>(group.takesCarrier + Offset)), side(sideWork) {
        delays.load(g.delay, Offset);
        if constexpr ((Flags & kDrive) != 0) {
            divisor = load<V>(g.driveDivisor + Offset);
            low = load<V>(g.driveLow + Offset);
            high = load<V>(g.driveHigh + Offset);
        }
    }

    // Section Sec, then the ones before it down to First, in iteration k (parity KOdd).
    template <int Sec, int First, bool KOdd>
    LANE_INLINE void sections(const LaneGroup<W, S>* taps, int k) {
        if constexpr (Sec >= First) {
            constexpr bool Odd = KOdd != ((Sec & 1) != 0); // sample k - Sec
            const int i = k - Sec;
            V t;
            if constexpr (Sec == 0) {
                V x;
                if constexpr ((Flags & kMixedIn) == kMixedIn)
                    x = takesCarrier ? splat<V>(carrier.samples[i * carrier.stride])
                                     : splat<V>(modulator.samples[i * modulator.stride]);
                else if constexpr ((Flags & kMixedIn) == kCarrierIn)
                    x = splat<V>(carrier.samples[i * carrier.stride]);
                else
                    x = splat<V>(modulator.samples[i * modulator.stride]);
                t = gain * x;
            } else {
                t = passed[Sec - 1];
                if constexpr (Sec == 4 && (Flags & kMid) != 0)
                    t = V(Int(t) & loadMask<V>(taps->midMask + Offset)) * load<V>(taps->midGain + Offset);
            }
            t = delays.template run<Odd>(t, &taps->taps[Sec][0][Offset], Sec, W);
            if constexpr (Sec == kFirst - 1 && (Flags & kBands) != 0) {
                if constexpr ((Flags & kDrive) != 0)
                    store(bands + i * W + Offset, drive(t, divisor, low, high));
                else
                    store(bands + i * W + Offset, t);
            }
            if constexpr (Sec == S - 1) {
                if constexpr (S == 5 && (Flags & kSum) != 0) sum = sum + t;
                if constexpr (S == 5 && ((Flags & kOut) != 0 || ((Flags & kOutEven) != 0 && !Odd)))
                    store(out + i * W + Offset, t);
            } else {
                passed[Sec] = t;
            }
            sections<Sec - 1, First, KOdd>(taps, k);
        }
    }
    // Iteration k with sections First to Last; the last runs first, so that each section
    // takes what the one before gave last iteration before that one overwrites it.
    template <int First, int Last, bool KOdd>
    LANE_INLINE void iteration(int k) {
        side(k);
        // The taps stay in memory, as in runGroup.
        const LaneGroup<W, S>* taps = &g;
        __asm__("" : "+r"(taps));
        sections<Last, First, KOdd>(taps, k);
    }
    template <int K>
    LANE_INLINE void fill() {
        if constexpr (K < kFill) {
            iteration<0, (K < S - 1 ? K : S - 1), (K & 1) != 0>(K);
            fill<K + 1>();
        }
    }
    // Iteration n + E (n even): sections E + 1 on have samples left.
    template <int E>
    LANE_INLINE void drain(int n) {
        if constexpr (E < S - 1) {
            iteration<E + 1, S - 1, (E & 1) != 0>(n + E);
            drain<E + 1>(n);
        }
    }

    // The state back into the group, the sums out.
    LANE_INLINE void finish(double* sums) {
        delays.save(g.delay, Offset);
        if constexpr ((Flags & kSum) != 0) store(sums + Offset, sum);
    }

    LANE_INLINE void run(int n, double* sums) {
        fill<0>();
        for (int k = kFill; k < n; k += 2) {
            iteration<0, S - 1, false>(k);
            iteration<0, S - 1, true>(k + 1);
        }
        drain<0>(n);
        finish(sums);
    }
};

// Calls a side work for iteration k of a run whose iterations alternate in parity: with the
// parity known at compile time where the side work takes it (a skewed run's iteration
// does), else as side(k).
template <bool Odd, class Side>
LANE_INLINE void sideWork(const Side& side, int k) {
    if constexpr (requires { side.template withParity<Odd>(k); })
        side.template withParity<Odd>(k);
    else
        side(k);
}

template <class V, unsigned Flags, int Offset, int W, int S, class Side = NoSideWork>
LANE_INLINE void runSkewed(LaneGroup<W, S>& g, Stream modulator, Stream carrier, int n, double* bands,
                           double* out, double* sums, Side side = {}) {
    SkewedGroup<V, Flags, Offset, W, S, Side>(g, modulator, carrier, bands, out, side).run(n, sums);
}

// A group of four lanes over a long run, with `side` called n + S - 1 times beside it:
// skewed where the unit has four-lane registers; in two-lane registers (half as many
// values each) the skewed state does not fit.
template <unsigned Flags, int Offset, int W, int S, class Side = NoSideWork>
LANE_INLINE void runFour(LaneGroup<W, S>& g, Stream modulator, Stream carrier, int n, double* bands,
                         double* out, double* sums, Side side = {}) {
#if defined(__AVX__)
    runSkewed<V4, Flags, Offset>(g, modulator, carrier, n, bands, out, sums, side);
#else
    runGroup<V4, Flags, Offset>(g, modulator, carrier, n, bands, out, sums);
    for (int k = 0; k < n + S - 1; ++k) side(k);
#endif
}

// An eight-lane group: at once on an eight-lane unit, else as two halves with their own
// flags (each half then skips what none of its lanes needs).
template <unsigned Flags, unsigned LowFlags, unsigned HighFlags, int S>
LANE_INLINE void runWide(LaneGroup<8, S>& g, Stream modulator, Stream carrier, int n, double* bands,
                         double* out, double* sums) {
#if LANE_WIDE
    runSkewed<V8, Flags, 0>(g, modulator, carrier, n, bands, out, sums);
#else
    // Not skewed: with the values a skewed run passes on, a half's state (five sections, and
    // the sums or the drive) no longer fits in the sixteen registers of a four-lane unit,
    // and the spills cost some 1,500 instructions a block.
    runGroup<V4, LowFlags, 0>(g, modulator, carrier, n, bands, out, sums);
    runGroup<V4, HighFlags, 4>(g, modulator, carrier, n, bands, out, sums);
#endif
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

// A vector of values just stored one at a time: loaded one at a time too, since a vector
// load of several recent scalar stores cannot be served from the store buffer and waits
// for them to reach the cache. The empty asm keeps the compiler from merging the loads.
LANE_INLINE double loadOne(const double* p) {
    double x = *p;
#if defined(__SSE2__)
    __asm__("" : "+x"(x));
#endif
    return x;
}
template <class V>
LANE_INLINE V loadEach(const double* p);
template <>
LANE_INLINE V2 loadEach<V2>(const double* p) {
    return V2{loadOne(p), loadOne(p + 1)};
}
template <>
LANE_INLINE V4 loadEach<V4>(const double* p) {
    return V4{loadOne(p), loadOne(p + 1), loadOne(p + 2), loadOne(p + 3)};
}

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

// ---- Shaping and summing the carrier bands ----------------------------------------------

LANE_INLINE V4 reversed(V4 v) {
    return __builtin_shufflevector(v, v, 3, 2, 1, 0);
}

// Each channel's band factors, four channels at a time; the last four overlap the ones
// before, which only writes the same values twice.
LANE_INLINE void shapeBands(BandShaping& shaping, const SynthesisParams& p) {
    const V4 one = splat<V4>(1.0);
    for (int k = 0;; k += 4) {
        if (k > kChannels - 4) k = kChannels - 4;
        const V4 pan = load<V4>(p.pan + k);
        const V4 g = loadEach<V4>(p.gain + k);
        const V4 level = load<V4>(p.level + k);
        store(shaping.left + k + 2, (one - pan) * g * level);
        store(shaping.right + k + 2, (one + pan) * g * level);
        if (k == kChannels - 4) break;
    }
}

// Each row holds one sample of the octave's bands (channels in processing order, highest
// first). The left and right sums start from 0 and take the bands in that order, as the
// reference adds them band by band. Four rows at a time are turned into four columns, one
// channel's samples each, so that the factors are per column and the sums come out per
// sample, two samples of left then right at a time (quads).
template <int Count>
struct ColumnSums {
    V4 left[Count], right[Count]; // each column's factors

    LANE_INLINE ColumnSums(const BandShaping& shaping, int octave) {
        const int first = lanes::kShapingFirst[octave];
        for (int j = 0; j < Count; ++j) {
            // Channel j of the rows sits at slot first + 3 - j of the shaping.
            left[j] = splat<V4>(shaping.left[first + 3 - j]);
            right[j] = splat<V4>(shaping.right[first + 3 - j]);
        }
    }
    // The sums of rows i to i + 3, a sample a lane.
    LANE_INLINE void sum(const double* rows, int stride, int i, V4& l, V4& r) const {
        const V4 r0 = load<V4>(rows + i * stride);
        const V4 r1 = load<V4>(rows + (i + 1) * stride);
        const V4 r2 = load<V4>(rows + (i + 2) * stride);
        const V4 r3 = load<V4>(rows + (i + 3) * stride);
        const V4 lo01 = __builtin_shufflevector(r0, r1, 0, 4, 2, 6);
        const V4 hi01 = __builtin_shufflevector(r0, r1, 1, 5, 3, 7);
        const V4 lo23 = __builtin_shufflevector(r2, r3, 0, 4, 2, 6);
        const V4 hi23 = __builtin_shufflevector(r2, r3, 1, 5, 3, 7);
        V4 column[4];
        column[0] = __builtin_shufflevector(lo01, lo23, 0, 1, 4, 5);
        column[1] = __builtin_shufflevector(hi01, hi23, 0, 1, 4, 5);
        column[2] = __builtin_shufflevector(lo01, lo23, 2, 3, 6, 7);
        column[3] = __builtin_shufflevector(hi01, hi23, 2, 3, 6, 7);
        l = splat<V4>(0.0);
        r = splat<V4>(0.0);
        for (int j = 0; j < Count; ++j) {
            l = l + column[j] * left[j];
            r = r + column[j] * right[j];
        }
    }
};

template <int Count>
LANE_INLINE void sumColumns(const double* rows, int stride, int n, const BandShaping& shaping, int octave,
                            double* sums) {
    const ColumnSums<Count> columns(shaping, octave);
    for (int i = 0; i < n; i += 4) {
        V4 l, r;
        columns.sum(rows, stride, i, l, r);
        store(sums + 2 * i, __builtin_shufflevector(l, r, 0, 1, 4, 5));
        store(sums + 2 * i + 4, __builtin_shufflevector(l, r, 2, 3, 6, 7));
    }
}

// Two rows at a time, for the lowest octave's two samples.
template <int Count>
LANE_INLINE void sumRows(const double* rows, int stride, int n, const BandShaping& shaping, int octave,
                         double* sums) {
    const int first = lanes::kShapingFirst[octave];
    const V4 left = reversed(load<V4>(shaping.left + first));
    const V4 right = reversed(load<V4>(shaping.right + first));
    for (int i = 0; i < n; i += 2) {
        const V4 first = load<V4>(rows + i * stride);
        const V4 second = load<V4>(rows + (i + 1) * stride);
        // Band j's left and right of both rows: [l_j r_j | l'_j r'_j].
        const V4 l = first * left, r = first * right;
        const V4 l2 = second * left, r2 = second * right;
        const V4 even = __builtin_shufflevector(l, r, 0, 4, 2, 6);
        const V4 odd = __builtin_shufflevector(l, r, 1, 5, 3, 7);
        const V4 even2 = __builtin_shufflevector(l2, r2, 0, 4, 2, 6);
        const V4 odd2 = __builtin_shufflevector(l2, r2, 1, 5, 3, 7);
        V4 sum = splat<V4>(0.0) + __builtin_shufflevector(even, even2, 0, 1, 4, 5);
        if constexpr (Count > 1) sum = sum + __builtin_shufflevector(odd, odd2, 0, 1, 4, 5);
        if constexpr (Count > 2) sum = sum + __builtin_shufflevector(even, even2, 2, 3, 6, 7);
        if constexpr (Count > 3) sum = sum + __builtin_shufflevector(odd, odd2, 2, 3, 6, 7);
        store(sums + 2 * i, __builtin_shufflevector(sum, sum, 0, 2, 1, 3));
    }
}

template <int Count, bool Columns>
LANE_INLINE void sumOctave(const double* rows, int stride, int n, const BandShaping& shaping, int octave,
                           double* sums) {
    if constexpr (Columns)
        sumColumns<Count>(rows, stride, n, shaping, octave, sums);
    else
        sumRows<Count>(rows, stride, n, shaping, octave, sums);
}

// ---- Rebuilding the full rate -------------------------------------------------------------

// The octaves' sums are kept two samples at a time as [left, left, right, right] (quads),
// the layout the paired form reads and writes: sample j's left is at quad(j), its right
// two further on.
constexpr int quad(int j) {
    return 4 * (j >> 1) + (j & 1);
}

// A rebuild step sample by sample, as the reference runs it: `pairs` samples of `from`
// up to twice as many, added to `to` (or written there, Assign). Sample 2i's input is
// twice from[i], sample 2i + 1's is zero; each goes through the step's left and right
// low-pass.
template <bool Assign>
LANE_INLINE void rebuildExact(LaneGroup<2, 5>& g, const double* from, double* to, int pairs) {
    Delays<V2, 5> delays;
    delays.load(g.delay, 0);
    const V2 gain = load<V2>(g.gain);
    const V2 zero{0.0, 0.0};
    auto sample = [&]<bool Odd>(V2 x, int j) LANE_INLINE_LAMBDA {
        V2 t = gain * x;
        for (int s = 0; s < 5; ++s) t = delays.template run<Odd>(t, &g.taps[s][0][0], s, 2);
        to[quad(j)] = Assign ? t[0] : to[quad(j)] + t[0];
        to[quad(j) + 2] = Assign ? t[1] : to[quad(j) + 2] + t[1];
    };
    for (int i = 0; i < pairs; ++i) {
        sample.template operator()<false>(V2{2.0, 2.0} * V2{from[quad(i)], from[quad(i) + 2]}, 2 * i);
        sample.template operator()<true>(zero, 2 * i + 1);
    }
    delays.save(g.delay, 0);
}

// Inputs and state of the paired form stay below this (2^900): the filters then cannot
// overflow, whatever the block.
constexpr long long kPairedLimitBits = 0x7830000000000000LL;
constexpr long long kMinusZeroBits = static_cast<long long>(0x8000000000000000ULL);
constexpr long long kMagnitudeBits = 0x7fffffffffffffffLL;

// Whether every input of a step's block, after the gain, is neither -0 nor beyond the
// limit (NaN, infinity). In a section w = t - a2 x older and y = w + b1 x newest + b2 x
// older are -0 only if t is (a sum is -0 only when both its terms are), so without a -0
// input no section takes a -0; finite inputs and state keep every value finite. Under
// both, subtracting the a1 product (a zero) changes nothing.
LANE_INLINE bool pairedInputsPlain(const PairedRebuild& p, const double* from, int pairs) {
    const V4 gain = load<V4>(p.gain);
    I4 bad = {0, 0, 0, 0};
    for (int k = 0; k < 2 * pairs; k += 4) {
        const I4 bits = I4(gain * load<V4>(from + k));
        bad |= (bits == kMinusZeroBits) | ((bits & kMagnitudeBits) > kPairedLimitBits);
    }
    return (bad[0] | bad[1] | bad[2] | bad[3]) == 0;
}

// Whether a state left by a sample-by-sample block is finite and within the limit.
LANE_INLINE bool pairedStatePlain(const LaneGroup<2, 5>& g) {
    I4 bad = {0, 0, 0, 0};
    for (int s = 0; s < 5; ++s) bad |= (loadMask<V4>(g.delay[s]) & kMagnitudeBits) > kPairedLimitBits;
    return (bad[0] | bad[1] | bad[2] | bad[3]) == 0;
}

// A rebuild step in the paired form (KernelLanes' PairedRebuild), from quads to quads:
// `Pairs` samples of `from` up to twice as many, added to `to` (or written there, Assign).
// Between blocks a section's newest delay value (d[s][0]) is its odd recursion's, the older
// one (d[s][1]) its even recursion's.
//
// The sections are skewed: in iteration k section s runs pair k - Lag x s, on what
// section s - 1 gave Lag iterations before. The five sections of an iteration are
// independent of each other, and what a section passes on has Lag iterations to arrive
// (a section's output comes some eleven cycles after its input; run alone, with one
// iteration that chain, not the units, set the pace: kPairedLag). The first and last
// iterations, in which some sections have no pair, are unrolled at compile time.
constexpr int kPairedLag = 2;

template <int Pairs, class Side = NoSideWork, bool Assign = false, int Lag = kPairedLag>
struct PairedRun {
    static_assert((Lag == 1 || Lag == 2) && Pairs % 2 == 0, "iterations run in twos, slot = parity % Lag");
    static constexpr int kSkew = 4 * Lag; // iterations from a pair's first section to its last

    LaneGroup<2, 5>& g;
    const PairedRebuild& p;
    const double* from;
    double* to;
    V4 d[5]; // each section's w of its last pair: [left even, left odd, right even, right odd]
    V4 passed[4][Lag]; // sections 0 to 3's outputs of the last Lag iterations
    const V4 gain;
    const Side side;
    static constexpr int kIterations = Pairs + kSkew;

    LANE_INLINE PairedRun(LaneGroup<2, 5>& group, const PairedRebuild& paired, const double* in, double* out,
                          Side sideWork = {})
        : g(group), p(paired), from(in), to(out), gain(load<V4>(paired.gain)), side(sideWork) {
        for (int s = 0; s < 5; ++s)
            d[s] = V4{g.delay[s][1][0], g.delay[s][0][0], g.delay[s][1][1], g.delay[s][0][1]};
    }
    LANE_INLINE ~PairedRun() {
        for (int s = 0; s < 5; ++s) {
            g.delay[s][1][0] = d[s][0];
            g.delay[s][0][0] = d[s][1];
            g.delay[s][1][1] = d[s][2];
            g.delay[s][0][1] = d[s][3];
        }
    }

    // Pair j's input: the even sample takes twice the sum times the gain, the odd one zero
    // (the gain times zero, which is +0 for the gains the paired form takes).
    template <bool Odd>
    LANE_INLINE V4 input(int j) const {
        const V4 scaled = gain * load<V4>(from + 4 * (j >> 1));
        return Odd ? __builtin_shufflevector(scaled, splat<V4>(0.0), 1, 5, 3, 7)
                   : __builtin_shufflevector(scaled, splat<V4>(0.0), 0, 5, 2, 7);
    }

    // Iteration k, with sections First to Last running; Parity is k modulo 2.
    template <int First, int Last, int Parity>
    LANE_INLINE void iteration(int k) {
        constexpr int Slot = Parity % Lag;
        sideWork<(Parity & 1) != 0>(side, k);
        const double* taps = &p.taps[0][0][0];
        __asm__("" : "+r"(taps));
        // The last section first: each takes what the one before gave Lag iterations ago,
        // before that one overwrites it.
#pragma GCC unroll 5
        for (int s = Last; s >= First; --s) {
            const double* t = taps + 12 * s;
            const V4 y = s == 0 ? input<(Parity & 1) != 0>(k) : passed[s - 1][Slot];
            // Each sample's w from its own recursion (t - a2 x older); the even sample's
            // newest delay value is the last odd w, the odd sample's the new even w.
            const V4 w = y - load<V4>(t) * d[s];
            const V4 newest = __builtin_shufflevector(d[s], w, 1, 4, 3, 6);
            const V4 out = w + load<V4>(t + 4) * newest + load<V4>(t + 8) * d[s];
            d[s] = w;
            if (s < 4) {
                passed[s][Slot] = out;
            } else {
                double* pair = to + 4 * (k - kSkew);
                store(pair, Assign ? out : load<V4>(pair) + out);
            }
        }
    }

    // Section s runs in iteration K when 0 <= K - Lag x s < Pairs.
    template <int K>
    LANE_INLINE void edge() {
        constexpr int over = K - Pairs + 1; // at most Lag x the first section
        constexpr int first = over > 0 ? (over + Lag - 1) / Lag : 0;
        constexpr int last = K / Lag < 4 ? K / Lag : 4;
        iteration<first, last, K % 2>(K);
    }
    template <int K, int End>
    LANE_INLINE void edges() {
        if constexpr (K < End) {
            edge<K>();
            edges<K + 1, End>();
        }
    }

    LANE_INLINE void run() {
        edges<0, kSkew>();
        for (int k = kSkew; k < Pairs; k += 2) {
            iteration<0, 4, 0>(k);
            iteration<0, 4, 1>(k + 1);
        }
        edges<(Pairs > kSkew ? Pairs : kSkew), Pairs + kSkew>();
    }
};

// Step `Step` of the rebuild, from octave Step + 1's sums into octave Step's: in the
// paired form when that is exact for this block, else sample by sample.
// `side` is called with each iteration of the paired form's run, 0 to
// PairedRun<...>::kIterations - 1, whichever form the step takes.
template <int Step, bool Assign = false, class Side = NoSideWork, int Lag = kPairedLag>
LANE_INLINE void rebuildStep(KernelLanes& k, const double* from, double* to, Side side = {}) {
    constexpr int kPairs = BLOCK_SIZE >> (Step + 1);
    LaneGroup<2, 5>& g = k.rebuild[Step];
    PairedRebuild& p = k.paired[Step];
    if (p.usable && (!p.checkState || pairedStatePlain(g)) && pairedInputsPlain(p, from, kPairs)) {
        p.checkState = false;
        PairedRun<kPairs, Side, Assign, Lag>(g, p, from, to, side).run();
    } else {
        p.checkState = true;
        rebuildExact<Assign>(g, from, to, kPairs);
        for (int i = 0; i < PairedRun<kPairs, Side, Assign, Lag>::kIterations; i += 2) {
            sideWork<false>(side, i);
            sideWork<true>(side, i + 1);
        }
    }
}

// Distorts four bands of a row in place.
LANE_INLINE void driveInPlace(double* bands, V4 divisor, V4 low, V4 high) {
    store(bands, drive(load<V4>(bands), divisor, low, high));
}

// The drive of the top octave's carrier band rows First to First + Count - 1,
// PerIteration rows in each iteration of a paired run. The divisions, which the divider
// does a lane at a time, then overlap the rebuild, which has none, rather than the band
// filters, which wait for them when the divider falls behind.
template <int PerIteration, int First, int Count>
struct TopDrive {
    double* first;
    V4 divisor, low, high;

    LANE_INLINE explicit TopDrive(KernelLanes& k)
        : first(&k.octave0Bands[First][0]), divisor(load<V4>(k.octave0Carrier.driveDivisor)),
          low(load<V4>(k.octave0Carrier.driveLow)), high(load<V4>(k.octave0Carrier.driveHigh)) {}
    LANE_INLINE void operator()(int k) const {
        for (int r = 0; r < PerIteration; ++r) {
            const int row = PerIteration * k + r;
            if (row >= Count) return;
            driveInPlace(first + 4 * row, divisor, low, high);
        }
    }
};

// The top octave's carrier band filters as side work of the rebuild steps: iteration
// `first` + k of their skewed run beside iteration k of a step (`first` even, so that the
// parities agree), up to its last full iteration. The steps before the top octave's sums
// are short chains of dependent sections that leave the units idle; the band filters,
// which need nothing from them, fill the gaps.
template <class Bands>
struct BandsBeside {
    Bands* bands;
    int first;
    template <bool Odd>
    LANE_INLINE void withParity(int k) const {
        const int i = first + k;
        if (i < BLOCK_SIZE) bands->template iteration<0, Bands::kSections - 1, Odd>(i);
    }
    LANE_INLINE void operator()(int) const = delete;
};

// The drive of the middle octaves' carrier band rows, one row (the four lanes from the
// first band) in each of the first 60 iterations: octave 1's 32 rows, then 2's, 3's and
// 4's, each with its group's drive. (Those of an octave with no distorted band are divided
// by 1 too: beside the band filters the divisions cost next to nothing, and skipping them
// costs a test a row.)
struct MiddleDrive {
    KernelLanes* k;
    LANE_INLINE void operator()(int row) const {
        constexpr int kRows = lanes::middleRow(kOctaves - 1);
        if (row >= kRows) return;
        const int o = row < lanes::middleRow(2) ? 1 : row < lanes::middleRow(3) ? 2 : row < lanes::middleRow(4) ? 3 : 4;
        const LaneGroup<8, 5>& g = k->middle[o - 1];
        constexpr int lane = lanes::kMiddleFirstBand;
        driveInPlace(&k->middleBands[row][lane], load<V4>(g.driveDivisor + lane), load<V4>(g.driveLow + lane),
                     load<V4>(g.driveHigh + lane));
    }
};

// Rebuild steps 4 to 1 with the top octave's carrier band filters beside them, on an
// eight-lane unit, whose thirty-two registers hold both: the steps are short chains of
// dependent sections that leave the units idle, and the band filters, which need nothing
// from them, fill the gaps. With that work beside them the steps' sections are skewed by
// one iteration, not two: a section's output then arrives later than it is needed, but the
// units have the band filters to do meanwhile, and the runs are shorter (their first and
// last iterations, in which few sections work, fewer). The band filters' iterations left
// over when the steps are done follow them. (Driven, the divisions go beside the band
// filters alone.)
LANE_INLINE void rebuildWithBands(KernelLanes& k, Stream c0, double* const (&sums)[kOctaves]) {
    using Bands = SkewedGroup<V4, kCarrierIn | kBands, 0, 4, 4>;
    using Beside = BandsBeside<Bands>;
    constexpr int kLag = 1;
    Bands bands(k.octave0Carrier, c0, c0, &k.octave0Bands[0][0], nullptr);
    constexpr int kAfter4 = Bands::kFill + PairedRun<2, Beside, false, kLag>::kIterations;
    constexpr int kAfter3 = kAfter4 + PairedRun<4, Beside, false, kLag>::kIterations;
    constexpr int kAfter2 = kAfter3 + PairedRun<8, Beside, false, kLag>::kIterations;
    constexpr int kAfter1 = kAfter2 + PairedRun<16, Beside, false, kLag>::kIterations;
    static_assert(kAfter1 % 2 == 0 && kAfter1 <= BLOCK_SIZE);
    bands.template fill<0>();
    rebuildStep<4, false, Beside, kLag>(k, sums[5], sums[4], Beside{&bands, Bands::kFill});
    rebuildStep<3, false, Beside, kLag>(k, sums[4], sums[3], Beside{&bands, kAfter4});
    rebuildStep<2, false, Beside, kLag>(k, sums[3], sums[2], Beside{&bands, kAfter3});
    rebuildStep<1, false, Beside, kLag>(k, sums[2], sums[1], Beside{&bands, kAfter2});
    for (int i = kAfter1; i < BLOCK_SIZE; i += 2) {
        bands.template iteration<0, 3, false>(i);
        bands.template iteration<0, 3, true>(i + 1);
    }
    bands.template drain<0>(BLOCK_SIZE);
    bands.finish(nullptr);
}

// ---- Rate doubling outside the kernel -----------------------------------------------------

LANE_INLINE V2 stuffed(const double* pair) {
    return V2{2.0, 2.0} * load<V2>(pair);
}

// A pair of five-section low-passes (left, right) over samples [first, last) of a rate
// doubling, split across the four lanes: sections 1-3 of sample j in lanes 0, 1 and
// sections 4, 5 of sample j - kSplitLag in lanes 2, 3, which take what lanes 0, 1 left
// that many steps before. Each lane still runs its sections in order on its samples; the
// split fills four lanes with two filters. A step's vector waits on the hand-over from
// lanes 0, 1 (three sections), so the hand-over has kSplitLag steps to arrive: with two it
// set the pace. `split` holds the taps in that arrangement (its third slot is unused in
// lanes 2, 3), `delays` the state. Sample 2i's input is twice from[i], sample 2i + 1's is
// zero; `output(j, y)` receives each sample's left, right result. In the first kSplitLag
// steps lanes 2, 3 have nothing to do and in the last kSplitLag lanes 0, 1: their state is
// put back afterwards.
constexpr int kSplitLow[3] = {0, 1, 2};  // the sections lanes 0, 1 run in each slot
constexpr int kSplitHigh[3] = {3, 4, 4}; // lanes 2, 3 (the last slot's state is never used)
constexpr int kSplitLag = 4;

// Steps From .. From + Count - 1 of a split run from step k on, each with its hand-over
// slot and delay parity fixed at compile time.
template <int From, int Count, bool Real, bool Out, class Step>
LANE_INLINE void splitSteps(Step& step, int k) {
    if constexpr (Count > 0) {
        step.template operator()<From % kSplitLag, Real, Out>(k);
        splitSteps<From + 1, Count - 1, Real, Out>(step, k + 1);
    }
}

template <class Output>
LANE_INLINE void runSplit(Delays<V4, 3>& delays, const LaneGroup<4, 3>& split, V2 gain, const double* from,
                          int first, int last, Output output) {
    static_assert(kSplitLag == 4, "the hand-over slots below are V2 held[4]");
    const V2 zero{0.0, 0.0};
    const int n = last - first; // at least kSplitLag
    V2 held[kSplitLag] = {zero, zero, zero, zero}; // lanes 0, 1's output of the last steps

    // Step k: lanes 0, 1 take sample first + k (Real) or nothing, lanes 2, 3 what lanes 0, 1
    // left kSplitLag steps before, and give sample first + k - kSplitLag (Out).
    auto step = [&]<int Slot, bool Real, bool Out>(int k) LANE_INLINE_LAMBDA {
        const LaneGroup<4, 3>* taps = &split;
        __asm__("" : "+r"(taps));
        constexpr bool Odd = Slot & 1;
        const int j = first + k;
        V2 input = zero;
        if constexpr (Real) input = (j & 1) ? gain * zero : gain * stuffed(from + 2 * (j / 2));
        V4 t = __builtin_shufflevector(input, held[Slot], 0, 1, 2, 3);
        t = delays.template run<Odd>(t, &taps->taps[0][0][0], 0, 4);
        t = delays.template run<Odd>(t, &taps->taps[1][0][0], 1, 4);
        if constexpr (Out) output(j - kSplitLag, __builtin_shufflevector(t, t, 2, 3));
        t = delays.template run<Odd>(t, &taps->taps[2][0][0], 2, 4);
        held[Slot] = __builtin_shufflevector(t, t, 0, 1);
    };
    // Lanes 0, 1 of `low` with lanes 2, 3 of `high`.
    auto join = [](V4 low, V4 high) { return __builtin_shufflevector(low, high, 0, 1, 6, 7); };

    // The first steps: lanes 2, 3 have nothing yet and are put back.
    const Delays<V4, 3> initial = delays;
    splitSteps<0, kSplitLag, true, false>(step, 0);
    for (int slot = 0; slot < 3; ++slot)
        for (int d = 0; d < 2; ++d) delays.d[slot][d] = join(delays.d[slot][d], initial.d[slot][d]);
    int k = kSplitLag;
    for (; k + kSplitLag <= n; k += kSplitLag) splitSteps<0, kSplitLag, true, true>(step, k);

    // The last n - k samples of lanes 0, 1, then kSplitLag steps in which only lanes 2, 3
    // have work; lanes 0, 1's state is taken from before those.
    Delays<V4, 3> lowDone;
    auto finish = [&]<int Rest>() LANE_INLINE_LAMBDA {
        splitSteps<0, Rest, true, true>(step, k);
        lowDone = delays;
        splitSteps<Rest, kSplitLag, false, true>(step, k + Rest);
    };
    switch (n - k) {
    case 0: finish.template operator()<0>(); break;
    case 1: finish.template operator()<1>(); break;
    case 2: finish.template operator()<2>(); break;
    default: finish.template operator()<3>(); break;
    }
    // Both halves stopped n samples on: when n is odd their newest values are in d[s][1]
    // and go back to d[s][0].
    for (int slot = 0; slot < 3; ++slot) {
        const V4 a = join(lowDone.d[slot][0], delays.d[slot][0]);
        const V4 b = join(lowDone.d[slot][1], delays.d[slot][1]);
        delays.d[slot][0] = (n & 1) ? b : a;
        delays.d[slot][1] = (n & 1) ? a : b;
    }
}

// ---- Inputs and outputs -------------------------------------------------------------------

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

void scaleInputs(double* carrier, double* modulator, double carrierLevel, double modulatorLevel,
                 bool& carrierOverload, bool& modulatorOverload) {
    carrierOverload = scaleAndClip(carrier, carrierLevel);
    modulatorOverload = scaleAndClip(modulator, modulatorLevel);
}

// The outputs from the top octave's sums, four samples at a time: the sibilance band added,
// the dry modulator (left scaled by mixHalf) mixed in, overload noted, clipped.
struct OutputMix {
    const V4 sibilance, dry, wetGain;
    const double* sib; // the sibilance band, a sample every eight values
    double* modulator;
    double* left;
    double* right;
    Extremes<> leftExtremes, rightExtremes;

    LANE_INLINE OutputMix(const SynthesisParams& p, const double* sibilanceBand, double* dryIn, double* l, double* r)
        : sibilance(splat<V4>(p.sibilanceGain)), dry(splat<V4>(p.mixHalf)), wetGain(splat<V4>(p.wet)),
          sib(sibilanceBand), modulator(dryIn), left(l), right(r) {}
    LANE_INLINE void mix(int i, V4 l, V4 r) {
        const V4 s = V4{sib[8 * i], sib[8 * i + 8], sib[8 * i + 16], sib[8 * i + 24]} * sibilance;
        l = l + s;
        r = r + s;
        const V4 m = load<V4>(modulator + i) * dry;
        store(modulator + i, m);
        l = l * wetGain + m;
        r = r * wetGain + m;
        leftExtremes.add(l);
        rightExtremes.add(r);
        store(left + i, clip(l));
        store(right + i, clip(r));
    }
};

// The top octave's sums and the outputs, four samples at a time beside rebuild step 0 (on
// an eight-lane unit; elsewhere after it), which writes its outputs (the rebuilt octave
// below) rather than adding them: the bands' sums are added to them here, in the
// reference's order (bands, then the rebuilt octave), and go straight on to the outputs.
// Chunk c, samples 4c to 4c + 3, needs the step's pairs 2c and 2c + 1, which leave its last
// section in iterations 2c + 4 and 2c + 5; it is done at the start of iteration 2c + 6
// (chunks 0 to 14), the last one after the step. The step runs with a skew of one
// iteration: the sums beside it keep the units busy.
struct TopSums {
    const ColumnSums<4>* columns;
    OutputMix* out;
    const double* bands;
    const double* rebuilt; // quads
    static constexpr int kStepLag = 1;
    static constexpr int kLag = PairedRun<2, NoSideWork, false, kStepLag>::kSkew + 2;

    LANE_INLINE void chunk(int i) const {
        V4 l, r;
        columns->sum(bands, 4, i, l, r);
        const V4 a = load<V4>(rebuilt + 2 * i);
        const V4 b = load<V4>(rebuilt + 2 * i + 4);
        out->mix(i, l + __builtin_shufflevector(a, b, 0, 1, 4, 5), r + __builtin_shufflevector(a, b, 2, 3, 6, 7));
    }
    template <bool Odd>
    LANE_INLINE void withParity(int k) const {
        if constexpr (!Odd)
            if (k >= kLag) chunk(2 * (k - kLag));
    }
    LANE_INLINE void operator()(int) const = delete;
};

void synthesise(KernelLanes& k, const SynthesisParams& p, const double* carrier, double* modulator,
                double* left, double* right, bool& leftOverload, bool& rightOverload) {
    using lanes::sumsRow;
    BandShaping& shaping = k.shaping;
    shapeBands(shaping, p);
    double* sums[kOctaves];
    for (int o = 0; o < kOctaves; ++o) sums[o] = &k.sums[sumsRow(o)][0];
    auto middleSums = [&](int o) {
        sumOctave<3, true>(&k.middleBands[lanes::middleRow(o)][lanes::kMiddleFirstBand], 8, BLOCK_SIZE >> o,
                           shaping, o, sums[o]);
    };
    sumOctave<2, false>(&k.octave5Bands[0][lanes::kOctave5FirstBand], 4, BLOCK_SIZE >> 5, shaping, 5, sums[5]);
    const Stream c0{carrier, 1};
    if (p.drivenOctaves != 0) {
        // The distortion's divisions, which the divider does a lane at a time, go beside
        // work that has none: the middle octaves' beside the top octave's carrier band
        // filters, the top octave's beside the rebuild steps before its sums (the side
        // work of those runs).
        runFour<kCarrierIn | kBands, 0>(k.octave0Carrier, c0, c0, BLOCK_SIZE, &k.octave0Bands[0][0], nullptr,
                                        nullptr, MiddleDrive{&k});
        for (int o = kOctaves - 2; o >= 1; --o) middleSums(o);
        if ((p.drivenOctaves & 1u) != 0) {
            rebuildStep<4>(k, sums[5], sums[4], TopDrive<1, 0, 10>(k));
            rebuildStep<3>(k, sums[4], sums[3], TopDrive<1, 10, 12>(k));
            rebuildStep<2>(k, sums[3], sums[2], TopDrive<1, 22, 16>(k));
            rebuildStep<1>(k, sums[2], sums[1], TopDrive<2, 38, BLOCK_SIZE - 38>(k));
        } else {
            // No band of the top octave is distorted.
            rebuildStep<4>(k, sums[5], sums[4]);
            rebuildStep<3>(k, sums[4], sums[3]);
            rebuildStep<2>(k, sums[3], sums[2]);
            rebuildStep<1>(k, sums[2], sums[1]);
        }
        static_assert(BLOCK_SIZE + 3 >= lanes::middleRow(kOctaves - 1) && PairedRun<2>::kIterations == 10 &&
                      PairedRun<4>::kIterations == 12 && PairedRun<8>::kIterations == 16 &&
                      2 * PairedRun<16>::kIterations >= BLOCK_SIZE - 38);
    } else if (LANE_WIDE) {
        for (int o = kOctaves - 2; o >= 1; --o) middleSums(o);
        rebuildWithBands(k, c0, sums);
    } else {
        // Each octave's sums just before the step that adds to them. The lowest octaves
        // come first: their rebuild is a long chain of dependent steps; the top octave's
        // carrier bands, which nothing before needs, follow.
        middleSums(4);
        rebuildStep<4>(k, sums[5], sums[4]);
        middleSums(3);
        rebuildStep<3>(k, sums[4], sums[3]);
        middleSums(2);
        runFour<kCarrierIn | kBands, 0>(k.octave0Carrier, c0, c0, BLOCK_SIZE, &k.octave0Bands[0][0], nullptr,
                                        nullptr);
        rebuildStep<2>(k, sums[3], sums[2]);
        middleSums(1);
        rebuildStep<1>(k, sums[2], sums[1]);
    }
    OutputMix mix{p, &k.octave0Out[0][lanes::kOctave0SibilanceOut], modulator, left, right};
    const ColumnSums<4> columns(shaping, 0);
    const TopSums top{&columns, &mix, &k.octave0Bands[0][0], sums[0]};
    if (LANE_WIDE) {
        rebuildStep<0, true, TopSums, TopSums::kStepLag>(k, sums[1], sums[0], top);
        top.chunk(BLOCK_SIZE - 4);
    } else {
        // Sixteen registers hold no side work beside the step: the sums and outputs follow.
        rebuildStep<0, true>(k, sums[1], sums[0]);
        for (int i = 0; i < BLOCK_SIZE; i += 4) top.chunk(i);
    }
    // The clip keeps a NaN first sample a NaN.
    leftOverload = mix.leftExtremes.beyondClip(left[0]);
    rightOverload = mix.rightExtremes.beyondClip(right[0]);
}

// ---- Rate changes outside the kernel ------------------------------------------------------

// One half-band filter keeping every other output, run in three stages across the lanes:
// lane 0 runs sections 1, 2 on sample j, lane 1 sections 3, 4 on sample j - 4 and lane 2
// section 5 on sample j - 8, each stage taking what the one before gave four steps earlier,
// so that a step waits on nothing but each section's own recursion. Three of the four lanes
// work, and a stage's output has four steps to get to the next stage. In the first eight
// steps the later stages have no sample yet and in the last eight the earlier ones have
// none: their state is put back afterwards. Lane 3 and lane 2's second slot only fill the
// vector (their taps are zero, their results unused).
//
// A run: begin() on samples 0-7, four() on each next four samples, end(); each four() and
// end() give the kept outputs of two samples eight behind.
struct StagedHalving {
    static constexpr int kLag = 4;
    HalfBandState f;
    alignas(32) double taps[2][4][4] = {};
    Delays<V4, 2> delays;
    double gain;
    V4 held[kLag]; // the stages' outputs of the last four steps, by step modulo 4

    // The filter's section of a lane's slot, or -1 for none.
    static constexpr int sectionOf(int slot, int lane) {
        return lane < 2 ? 2 * lane + slot : lane == 2 && slot == 0 ? 4 : -1;
    }

    LANE_INLINE explicit StagedHalving(HalfBandState filter) : f(filter), gain(filter.taps[0]) {
        for (int slot = 0; slot < 2; ++slot)
            for (int lane = 0; lane < 4; ++lane) {
                const int section = sectionOf(slot, lane);
                for (int c = 0; c < 4; ++c)
                    taps[slot][c][lane] = section >= 0 ? f.taps[1 + 4 * section + c] : 0.0;
                for (int k = 0; k < 2; ++k)
                    delays.d[slot][k][lane] = section >= 0 ? f.delay[2 * section + k] : 0.0;
            }
        for (V4& h : held) h = splat<V4>(0.0);
    }

    // Step j: lane 0 takes sample x, lanes 1 and 2 what lanes 0 and 1 gave at step j - 4;
    // returns lane 2's section 5 output.
    template <bool Odd>
    LANE_INLINE double step(double x, V4& heldSlot) {
        const double* t = &taps[0][0][0];
        __asm__("" : "+r"(t));
        const V4 input = splat<V4>(gain * x);
        V4 v = __builtin_shufflevector(input, heldSlot, 0, 4, 5, 3);
        v = delays.template run<Odd>(v, t, 0, 4);
        const double last = v[2];
        v = delays.template run<Odd>(v, t + 16, 1, 4);
        heldSlot = v;
        return last;
    }
    LANE_INLINE void four(const double* x, double* y) {
        y[0] = step<false>(x[0], held[0]);
        step<true>(x[1], held[1]);
        y[1] = step<false>(x[2], held[2]);
        step<true>(x[3], held[3]);
    }
    // Puts back the lanes `mask` selects from `saved`.
    LANE_INLINE void keep(const Delays<V4, 2>& saved, I4 mask) {
        for (int slot = 0; slot < 2; ++slot)
            for (int k = 0; k < 2; ++k) delays.d[slot][k] = mask ? saved.d[slot][k] : delays.d[slot][k];
    }

    LANE_INLINE void begin(const double* x) {
        double unused[2];
        const Delays<V4, 2> before = delays;
        four(x, unused);
        keep(before, I4{0, -1, -1, -1});
        four(x + kLag, unused);
        keep(before, I4{0, 0, -1, -1});
    }
    // The last four kept outputs, and the filter's state written back.
    LANE_INLINE void end(double* y) {
        const double silence[kLag] = {};
        const Delays<V4, 2> firstDone = delays;
        four(silence, y);
        const Delays<V4, 2> secondDone = delays;
        four(silence, y + 2);
        keep(firstDone, I4{-1, 0, 0, 0});
        keep(secondDone, I4{0, -1, 0, 0});
        for (int slot = 0; slot < 2; ++slot)
            for (int lane = 0; lane < 3; ++lane) {
                const int section = sectionOf(slot, lane);
                if (section < 0) continue;
                for (int k = 0; k < 2; ++k) f.delay[2 * section + k] = delays.d[slot][k][lane];
            }
    }
};

void halveTwice(const double* in, double* out, HalfBandState first, HalfBandState second) {
    // The second halving runs along with the first as soon as it has samples, so that the
    // two recursions overlap.
    constexpr int kIn = 4 * BLOCK_SIZE;
    constexpr int kHalf = kIn / 2;
    double half[kHalf]; // the first halving's kept outputs
    StagedHalving a(first), b(second);
    a.begin(in);
    int ready = 0; // kept outputs of the first so far
    int taken = 0; // of those, what the second has run on
    for (int j = 8; j < kIn; j += 4) {
        a.four(in + j, half + ready);
        ready += 2;
        if (taken == 0 && ready >= 8) {
            b.begin(half);
            taken = 8;
        } else if (taken > 0 && ready >= taken + 4) {
            b.four(half + taken, out + (taken - 8) / 2);
            taken += 4;
        }
    }
    a.end(half + ready);
    for (; taken < kHalf; taken += 4) b.four(half + taken, out + (taken - 8) / 2);
    b.end(out + (kHalf - 8) / 2);
}

void doublePairs(const double* in, int n, double* out, HalfBandState left, HalfBandState right) {
    // The two filters split across the lanes as runSplit runs them; taps[1 + 4s + c] is
    // coefficient c of section s, delay[2s + k] delay value k of section s.
    LaneGroup<4, 3> split;
    Delays<V4, 3> delays;
    const HalfBandState sides[2] = {left, right};
    for (int slot = 0; slot < 3; ++slot) {
        for (int lane = 0; lane < 4; ++lane) {
            const HalfBandState& f = sides[lane & 1];
            const bool used = lane < 2 || slot < 2;
            const int section = lane < 2 ? kSplitLow[slot] : kSplitHigh[slot];
            for (int c = 0; c < 4; ++c) split.taps[slot][c][lane] = used ? f.taps[1 + 4 * section + c] : 0.0;
            for (int k = 0; k < 2; ++k) delays.d[slot][k][lane] = used ? f.delay[2 * section + k] : 0.0;
        }
    }
    runSplit(delays, split, V2{left.taps[0], right.taps[0]}, in, 0, 2 * n,
             [&](int j, V2 y) { store(out + 2 * j, y); });
    for (int slot = 0; slot < 3; ++slot)
        for (int lane = 0; lane < 4; ++lane) {
            if (lane >= 2 && slot == 2) continue;
            const HalfBandState& f = sides[lane & 1];
            const int section = lane < 2 ? kSplitLow[slot] : kSplitHigh[slot];
            for (int k = 0; k < 2; ++k) f.delay[2 * section + k] = delays.d[slot][k][lane];
        }
}

void toSamples16(const double* in, int n, std::int16_t* out) {
    typedef int I32x4 __attribute__((vector_size(16)));
    typedef short I16x4 __attribute__((vector_size(8)));
    const V4 zero = splat<V4>(0.0);
    const V4 top = splat<V4>(32767.0);
    const V4 bottom = splat<V4>(-32768.0);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        V4 v = load<V4>(in + i);
        v = v == v ? v : zero;
        v = v >= top ? top : v;
        v = v <= bottom ? bottom : v;
        const I16x4 s = __builtin_convertvector(__builtin_convertvector(v, I32x4), I16x4);
        __builtin_memcpy(out + i, &s, sizeof s);
    }
    for (; i < n; ++i) {
        double v = in[i];
        v = v == v ? v : 0.0;
        v = v >= 32767.0 ? 32767.0 : v;
        v = v <= -32768.0 ? -32768.0 : v;
        out[i] = static_cast<std::int16_t>(static_cast<int>(v));
    }
}

} // namespace

extern const LaneRoutines LANE_ROUTINES{scaleInputs, analyse,    updateEnvelopes, warp,
                                        synthesise,  halveTwice, doublePairs,     toSamples16};
