#pragma once

// The rate changes outside the kernel: the carrier generator's two halvings, the
// doubling of left, right pairs, and the WAV encoder's 16-bit samples. A part of the lane
// routines, included by LaneRoutinesImpl.h only (see LaneVectors.h).

#ifndef LANE_ROUTINES
#error "the lane routines' parts are included by engine/LaneRoutinesImpl.h only"
#endif

namespace {

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
