#pragma once

// Running biquad sections in lanes: one section of every lane, the delay values of a run,
// the flags that say what a group's run reads and keeps, and the runs themselves (plain,
// skewed, four lanes, eight lanes) with the side work a run can carry. A part of the lane
// routines, included by LaneRoutinesImpl.h only (see LaneVectors.h).

#ifndef LANE_ROUTINES
#error "the lane routines' parts are included by engine/LaneRoutinesImpl.h only"
#endif

namespace {

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
// (BandsBeside) or the top octave's sums and outputs (TopSums), all in LaneSynthesis.h.
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

} // namespace
