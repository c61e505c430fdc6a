#pragma once

// The rate changes outside the kernel: the carrier generator's two halvings, the
// doubling of left, right pairs, the 16-bit samples of the WAV encoder and of the block
// loop's output, and the block loop's dither. A part of the lane routines, included by LaneRoutinesImpl.h only
// (see LaneVectors.h).

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

// One five-section half-band filter keeping every other output, two samples at a time.
// The half-band sections have a1 = 0, so the reference's t - a1*d0 is t itself (the
// product is a zero, and t is never a negative zero: the generator's levels are whole
// thousands and no section's output is -0 unless its input is), and a section's w[n] waits
// only on w[n - 2]: both samples of a pair come out of one vector operation, the second's
// d0 being the first's new w. Each vector holds two sections' pairs, lanes 0, 1 and 2, 3;
// the third only the fifth section's. Section s works on pair k - s in step k, taking what
// section s - 1 gave in the step before, so that nothing in a step waits on anything else
// of that step. In the first four steps the later sections have no pair yet and in the last
// four the earlier ones have none: their state is put back.
struct PairedHalving {
    static constexpr int kLag = 4; // steps from the first section to the fifth

    // Whether the filter's sections all have a1 = 0, as the pair form needs.
    static LANE_INLINE bool applies(HalfBandState f) {
        for (int s = 0; s < 5; ++s)
            if (f.taps[1 + 4 * s] != 0.0) return false;
        return true;
    }

    // `pairs` input pairs (even, at least kLag) into `pairs` kept outputs. The state lives in
    // named vectors, not arrays, so that it stays in registers from step to step.
    static LANE_INLINE void run(HalfBandState f, const double* x, int pairs, double* out) {
        // a2, b1, b2 of each vector's lanes; the unused lanes' are zero.
        alignas(32) double taps[3][3][4] = {};
        double state[3][4] = {};
        for (int v = 0; v < 3; ++v)
            for (int half = 0; half < 2; ++half) {
                const int s = 2 * v + half;
                if (s >= 5) continue;
                for (int c = 0; c < 3; ++c)
                    taps[v][c][2 * half] = taps[v][c][2 * half + 1] = f.taps[1 + 4 * s + 1 + c];
                state[v][2 * half] = f.delay[2 * s + 1];
                state[v][2 * half + 1] = f.delay[2 * s];
            }
        // w[n - 2], w[n - 1] of each lane pair, and each vector's outputs of the last step.
        V4 p0 = load<V4>(state[0]), p1 = load<V4>(state[1]), p2 = load<V4>(state[2]);
        V4 g0 = splat<V4>(0.0), g1 = g0, g2 = g0;

        auto section = [](V4 in, V4& prev, const double* c) LANE_INLINE_LAMBDA {
            const V4 w = in - load<V4>(c) * prev;
            const V4 d0 = __builtin_shufflevector(prev, w, 1, 4, 3, 6);
            const V4 y = w + load<V4>(c + 4) * d0 + load<V4>(c + 8) * prev;
            prev = w;
            return y;
        };
        // Step k on input pair k (times the gain) in lanes 0, 1 of `input`, or in lanes 2, 3
        // when High; gives the fifth section's pair k - 4.
        auto step = [&]<bool High = false>(V4 input) LANE_INLINE_LAMBDA {
            const double* t = &taps[0][0][0];
            const V4 in0 = High ? __builtin_shufflevector(input, g0, 2, 3, 4, 5)
                                : __builtin_shufflevector(input, g0, 0, 1, 4, 5);
            const V4 in1 = __builtin_shufflevector(g0, g1, 2, 3, 4, 5);
            const V4 in2 = __builtin_shufflevector(g1, g1, 2, 3, 2, 3);
            g0 = section(in0, p0, t);
            g1 = section(in1, p1, t + 12);
            g2 = section(in2, p2, t + 24);
            return g2[0];
        };

        // Two steps' input pairs at a time.
        const V4 gain4{f.taps[0], f.taps[0], f.taps[0], f.taps[0]};
        auto inputs = [&](int k) LANE_INLINE_LAMBDA { return gain4 * load<V4>(x + 2 * k); };

        // The first steps: the lanes of sections that have no pair yet are put back.
        const V4 i0 = p0, i1 = p1, i2 = p2;
        const V4 first = inputs(0), second = inputs(2);
        step(first);
        p0 = I4{0, 0, -1, -1} ? i0 : p0;
        p1 = i1;
        p2 = i2;
        step.template operator()<true>(first);
        p1 = i1;
        p2 = i2;
        step(second);
        p1 = I4{0, 0, -1, -1} ? i1 : p1;
        p2 = i2;
        step.template operator()<true>(second);
        p2 = i2;
        for (int k = kLag; k < pairs; k += 2) {
            const V4 two = inputs(k);
            out[k - kLag] = step(two);
            out[k + 1 - kLag] = step.template operator()<true>(two);
        }

        // The last steps: each section's state is taken once its last pair is through.
        const V4 silence = splat<V4>(0.0);
        const V4 d0a = p0;
        out[pairs - 4] = step(silence);
        const V4 d0 = I4{-1, -1, 0, 0} ? d0a : p0;
        out[pairs - 3] = step(silence);
        const V4 d1a = p1;
        out[pairs - 2] = step(silence);
        const V4 d1 = I4{-1, -1, 0, 0} ? d1a : p1;
        out[pairs - 1] = step(silence);
        const V4 done[3] = {d0, d1, p2};
        for (int v = 0; v < 3; ++v)
            for (int half = 0; half < 2; ++half) {
                const int s = 2 * v + half;
                if (s >= 5) continue;
                f.delay[2 * s + 1] = done[v][2 * half];
                f.delay[2 * s] = done[v][2 * half + 1];
            }
    }
};

// The primitives' filter loop for one filter, keeping every other output: for taps the
// pair form does not apply to.
void halveSampleBySample(const double* in, int n, double* out, HalfBandState f) {
    double* d = f.delay;
    const double* c = f.taps + 1;
    for (int i = 0; i < n; ++i) {
        double t = f.taps[0] * in[i];
        for (int k = 0; k < 5; ++k) {
            const double d0 = d[2 * k];
            const double d1 = d[2 * k + 1];
            const double w = t - c[4 * k] * d0 - c[4 * k + 1] * d1;
            const double y = w + c[4 * k + 2] * d0 + c[4 * k + 3] * d1;
            d[2 * k + 1] = d0;
            d[2 * k] = w;
            t = y;
        }
        if ((i & 1) == 0) out[i / 2] = t;
    }
}

void halveTwice(const double* in, double* out, HalfBandState first, HalfBandState second) {
    constexpr int kIn = 4 * BLOCK_SIZE;
    double half[kIn / 2]; // the first halving's kept outputs
    if (PairedHalving::applies(first) && PairedHalving::applies(second)) {
        PairedHalving::run(first, in, kIn / 2, half);
        PairedHalving::run(second, half, kIn / 4, out);
    } else {
        halveSampleBySample(in, kIn, half, first);
        halveSampleBySample(half, kIn / 2, out, second);
    }
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

typedef int I32x4 __attribute__((vector_size(16)));
typedef short I16x8 __attribute__((vector_size(16)));

// Four values as toSample16 makes them, still as 32-bit integers (each in the 16-bit range).
// Once NaN is 0, clipping to the top is the smaller of v and 32767 and to the bottom the
// greater of v and -32768: the same values the two comparisons give, in one instruction each.
LANE_INLINE I32x4 samples32(V4 v) {
    v = v == v ? v : splat<V4>(0.0);
    v = lessOf(v, splat<V4>(32767.0));
    v = greaterOf(v, splat<V4>(-32768.0));
    return __builtin_convertvector(v, I32x4);
}

// The low halves of eight such integers: the 16-bit samples themselves.
LANE_INLINE I16x8 halves(I32x4 a, I32x4 b) {
    return __builtin_shufflevector(reinterpret_cast<I16x8>(a), reinterpret_cast<I16x8>(b), 0, 2, 4, 6, 8, 10, 12,
                                   14);
}

LANE_INLINE std::int16_t sample16(double v) {
    v = v == v ? v : 0.0;
    v = v >= 32767.0 ? 32767.0 : v;
    v = v <= -32768.0 ? -32768.0 : v;
    return static_cast<std::int16_t>(static_cast<int>(v));
}

void toSamples16(const double* in, int n, std::int16_t* out) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const I16x8 s = halves(samples32(load<V4>(in + i)), samples32(load<V4>(in + i + 4)));
        __builtin_memcpy(out + i, &s, sizeof s);
    }
    for (; i < n; ++i) out[i] = sample16(in[i]);
}

void toStereo16(const double* left, const double* right, int n, std::int16_t* out) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const I16x8 l = reinterpret_cast<I16x8>(samples32(load<V4>(left + i)));
        const I16x8 r = reinterpret_cast<I16x8>(samples32(load<V4>(right + i)));
        const I16x8 frames = __builtin_shufflevector(l, r, 0, 8, 2, 10, 4, 12, 6, 14);
        __builtin_memcpy(out + 2 * i, &frames, sizeof frames);
    }
    for (; i < n; ++i) {
        out[2 * i] = sample16(left[i]);
        out[2 * i + 1] = sample16(right[i]);
    }
}

typedef std::uint32_t U32x8 __attribute__((vector_size(32)));
typedef int I32x8 __attribute__((vector_size(32)));
typedef short I16x4 __attribute__((vector_size(8)));

// Four integers as doubles (exact). With AVX, one conversion of all four: the compiler's own
// form converts two at a time and joins them.
LANE_INLINE V4 doublesOf(I32x4 v) {
#if defined(__AVX__)
    return _mm256_cvtepi32_pd(reinterpret_cast<__m128i>(v));
#else
    return __builtin_convertvector(v, V4);
#endif
}

// Eight draws at a time: lane i holds the state after draw 8j + i + 1, and every lane moves
// eight draws on with the generator's step taken eight times (a x' + c with a = 214013^8,
// c = 2531011 (1 + 214013 + ... + 214013^7), all modulo 2^32: the same states as eight
// single steps). The even lanes are four samples' modulator draws, the odd ones their
// carrier draws; each sum is the scalar loop's m + draw x step.
void addDither(std::uint32_t& state, const std::int16_t* modulatorFrom, const double* carrierFrom,
               double* modulator, double* carrier, int n, double modulatorStep, double carrierStep) {
    constexpr std::uint32_t kA = 214013u, kC = 2531011u;
    std::uint32_t a8 = 1, c8 = 0;
    U32x8 s;
    std::uint32_t x = state;
    for (int i = 0; i < 8; ++i) {
        x = x * kA + kC;
        s[i] = x;
        c8 = c8 * kA + kC;
        a8 *= kA;
    }
    const V4 mStep = splat<V4>(modulatorStep), cStep = splat<V4>(carrierStep);
    std::uint32_t last = state;
    auto run = [&]<bool FromFile>() LANE_INLINE_LAMBDA {
        for (int i = 0; i < n; i += 4) {
            // 15-bit draws: as signed numbers they convert the same, with the direct instruction.
            const I32x8 draws = reinterpret_cast<I32x8>((s >> 16) & 0x7fffu);
            const I32x4 even = __builtin_shufflevector(draws, draws, 0, 2, 4, 6);
            const I32x4 odd = __builtin_shufflevector(draws, draws, 1, 3, 5, 7);
            V4 m;
            if constexpr (FromFile) {
                I16x4 samples;
                __builtin_memcpy(&samples, modulatorFrom + i, sizeof samples);
                m = doublesOf(__builtin_convertvector(samples, I32x4));
            } else {
                m = load<V4>(modulator + i);
            }
            store(modulator + i, m + doublesOf(even) * mStep);
            store(carrier + i, load<V4>(carrierFrom + i) + doublesOf(odd) * cStep);
            last = s[7];
            s = s * a8 + c8;
        }
    };
    if (modulatorFrom)
        run.template operator()<true>();
    else
        run.template operator()<false>();
    state = last;
}

} // namespace
