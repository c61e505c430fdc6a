#pragma once

// The rebuild steps that bring each octave's sums up to the rate of the octave above:
// sample by sample as the reference runs them, or in the paired form when that is exact
// for the block. A part of the lane routines, included by LaneRoutinesImpl.h only (see
// LaneVectors.h).

#ifndef LANE_ROUTINES
#error "the lane routines' parts are included by engine/LaneRoutinesImpl.h only"
#endif

namespace {

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

// The pairs rebuild step Step takes (octave Step + 1's samples), and the iterations of its
// paired run: the number of times its side work is called, whichever form the step takes,
// by which the synthesis schedules hand out work.
template <int Step>
constexpr int kStepPairs = BLOCK_SIZE >> (Step + 1);
template <int Step, int Lag = kPairedLag>
constexpr int kStepIterations = PairedRun<kStepPairs<Step>, NoSideWork, false, Lag>::kIterations;

// Step `Step` of the rebuild, from octave Step + 1's sums into octave Step's: in the
// paired form when that is exact for this block, else sample by sample.
// `side` is called with each iteration of the paired form's run, 0 to
// kStepIterations<Step, Lag> - 1, whichever form the step takes.
template <int Step, bool Assign = false, class Side = NoSideWork, int Lag = kPairedLag>
LANE_INLINE void rebuildStep(KernelLanes& k, const double* from, double* to, Side side = {}) {
    constexpr int kPairs = kStepPairs<Step>;
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

} // namespace
