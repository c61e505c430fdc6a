#pragma once

// The output side of a block: the carrier bands shaped and summed per octave, the
// schedules that set which work runs beside which rebuild step, and the output mix. A part
// of the lane routines, included by LaneRoutinesImpl.h only (see LaneVectors.h).

#ifndef LANE_ROUTINES
#error "the lane routines' parts are included by engine/LaneRoutinesImpl.h only"
#endif

namespace {

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
        const V4 row = load<V4>(rows + i * stride);
        const V4 nextRow = load<V4>(rows + (i + 1) * stride);
        // Band j's left and right of both rows: [l_j r_j | l'_j r'_j].
        const V4 l = row * left, r = row * right;
        const V4 l2 = nextRow * left, r2 = nextRow * right;
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

// ---- Side work of the schedules ------------------------------------------------------------

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

// ---- The schedules of rebuild steps 4 to 1 -------------------------------------------------
//
// Rebuild steps 4 to 1 are short chains of dependent sections that leave the units idle,
// so other work of the block goes beside or between them. Which work goes where is the
// block's schedule, one of three, chosen in synthesise:
//   driven  some band above the lowest octave is distorted: the divisions beside the top
//           octave's band filters and beside the steps (DrivenSchedule);
//   wide    undistorted, on an eight-lane unit: the top octave's band filters beside the
//           steps (WideSchedule);
//   narrow  undistorted, elsewhere: each middle octave's sums just before the step that
//           takes them, the top octave's band filters before step 2.
// Each leaves octave 1's sums complete and the top octave's carrier bands filtered (and
// distorted); step 0 follows, with the top octave's sums beside it on an eight-lane unit
// (TopSums). The driven and narrow schedules are written out in synthesise itself: moved
// into functions of their own, always inlined, they still changed the code GCC made of
// the whole block (some four hundred instructions more in the portable build).

// The driven schedule's offsets. The distortion's divisions, which the divider does a lane
// at a time, go beside work that has none: the middle octaves' beside the top octave's
// carrier band filters, a row in each iteration of their run, and the top octave's beside
// rebuild steps 4 to 1 (the side work of those runs). The top octave's rows are handed to
// the steps in turn, as many as a step's run has iterations: one row an iteration in steps
// 4, 3 and 2, two in step 1, which takes the rest.
struct DrivenSchedule {
    // The band filters' run calls its side work n + S - 1 times, a middle row each time.
    static constexpr int kBandRunCalls = BLOCK_SIZE + decltype(KernelLanes::octave0Carrier)::kSections - 1;
    static_assert(kBandRunCalls == BLOCK_SIZE + 3 && kBandRunCalls >= lanes::middleRow(kOctaves - 1),
                  "a middle row for each call covers every middle row");

    // The first top octave row of each step.
    static constexpr int kStep4Row = 0;
    static constexpr int kStep3Row = kStep4Row + kStepIterations<4>;
    static constexpr int kStep2Row = kStep3Row + kStepIterations<3>;
    static constexpr int kStep1Row = kStep2Row + kStepIterations<2>;
    static constexpr int kStep1Rows = BLOCK_SIZE - kStep1Row;
    static constexpr int kStep1PerIteration = 2;
    static_assert(kStep3Row == 10 && kStep2Row == 22 && kStep1Row == 38);
    static_assert(kStepIterations<1> < kStep1Rows && kStep1PerIteration * kStepIterations<1> >= kStep1Rows,
                  "step 1 has too few iterations for a row each, enough for two");

    using Step4Drive = TopDrive<1, kStep4Row, kStepIterations<4>>;
    using Step3Drive = TopDrive<1, kStep3Row, kStepIterations<3>>;
    using Step2Drive = TopDrive<1, kStep2Row, kStepIterations<2>>;
    using Step1Drive = TopDrive<kStep1PerIteration, kStep1Row, kStep1Rows>;
};

// The wide schedule: the top octave's carrier band filters beside rebuild steps 4 to 1, on
// an eight-lane unit, whose thirty-two registers hold both: the steps are short chains of
// dependent sections that leave the units idle, and the band filters, which need nothing
// from them, fill the gaps. With that work beside them the steps' sections are skewed by
// one iteration, not two: a section's output then arrives later than it is needed, but the
// units have the band filters to do meanwhile, and the runs are shorter (their first and
// last iterations, in which few sections work, fewer). The band filters' iterations left
// over when the steps are done follow them. (Driven, the divisions go beside the band
// filters alone.)
struct WideSchedule {
    using Bands = SkewedGroup<V4, kCarrierIn | kBands, 0, 4, 4>;
    using Beside = BandsBeside<Bands>;
    static constexpr int kLag = 1;
    // The band filters' first iteration after each step; each step takes them on from
    // where the one before stopped, the first from where the band filters' fill stopped.
    static constexpr int kAfter4 = Bands::kFill + kStepIterations<4, kLag>;
    static constexpr int kAfter3 = kAfter4 + kStepIterations<3, kLag>;
    static constexpr int kAfter2 = kAfter3 + kStepIterations<2, kLag>;
    static constexpr int kAfter1 = kAfter2 + kStepIterations<1, kLag>;
    static_assert(kAfter4 == 10 && kAfter3 == 18 && kAfter2 == 30 && kAfter1 == 50);
    static_assert(kAfter1 % 2 == 0 && kAfter1 <= BLOCK_SIZE);

    static LANE_INLINE void run(KernelLanes& k, Stream c0, double* const (&sums)[kOctaves]) {
        Bands bands(k.octave0Carrier, c0, c0, &k.octave0Bands[0][0], nullptr);
        bands.template fill<0>();
        rebuildStep<4, false, Beside, kLag>(k, sums[5], sums[4], Beside{&bands, Bands::kFill});
        rebuildStep<3, false, Beside, kLag>(k, sums[4], sums[3], Beside{&bands, kAfter4});
        rebuildStep<2, false, Beside, kLag>(k, sums[3], sums[2], Beside{&bands, kAfter3});
        rebuildStep<1, false, Beside, kLag>(k, sums[2], sums[1], Beside{&bands, kAfter2});
        for (int i = kAfter1; i < BLOCK_SIZE; i += 2) {
            bands.template iteration<0, Bands::kSections - 1, false>(i);
            bands.template iteration<0, Bands::kSections - 1, true>(i + 1);
        }
        bands.template drain<0>(BLOCK_SIZE);
        bands.finish(nullptr);
    }
};

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
// The step runs with a skew of one iteration: the sums beside it keep the units busy.
struct TopSums {
    const ColumnSums<4>* columns;
    OutputMix* out;
    const double* bands;
    const double* rebuilt; // quads
    static constexpr int kStepLag = 1;
    // Chunk c, samples 4c to 4c + 3, needs the step's pairs 2c and 2c + 1, which leave its
    // last section in iterations 2c + kStepSkew and 2c + kStepSkew + 1; side work runs
    // before the sections of its iteration, so the chunk is done at the start of iteration
    // 2c + kLag: one chunk in each even iteration from kLag on. That leaves the last chunk,
    // from sample kLastChunk, for after the step.
    static constexpr int kStepSkew = PairedRun<kStepPairs<0>, NoSideWork, true, kStepLag>::kSkew;
    static constexpr int kLag = kStepSkew + 2;
    static constexpr int kChunksBeside = (kStepIterations<0, kStepLag> - kLag + 1) / 2;
    static constexpr int kLastChunk = 4 * kChunksBeside;
    static_assert(kChunksBeside == BLOCK_SIZE / 4 - 1, "exactly one chunk is left for after the step");
    static_assert(kLag == 6 && kLastChunk == BLOCK_SIZE - 4);

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
        // The driven schedule (DrivenSchedule).
        using D = DrivenSchedule;
        runFour<kCarrierIn | kBands, 0>(k.octave0Carrier, c0, c0, BLOCK_SIZE, &k.octave0Bands[0][0], nullptr,
                                        nullptr, MiddleDrive{&k});
        for (int o = kOctaves - 2; o >= 1; --o) middleSums(o);
        if ((p.drivenOctaves & 1u) != 0) {
            rebuildStep<4>(k, sums[5], sums[4], D::Step4Drive(k));
            rebuildStep<3>(k, sums[4], sums[3], D::Step3Drive(k));
            rebuildStep<2>(k, sums[3], sums[2], D::Step2Drive(k));
            rebuildStep<1>(k, sums[2], sums[1], D::Step1Drive(k));
        } else {
            // No band of the top octave is distorted.
            rebuildStep<4>(k, sums[5], sums[4]);
            rebuildStep<3>(k, sums[4], sums[3]);
            rebuildStep<2>(k, sums[3], sums[2]);
            rebuildStep<1>(k, sums[2], sums[1]);
        }
    } else if (LANE_WIDE) {
        // The wide schedule.
        for (int o = kOctaves - 2; o >= 1; --o) middleSums(o);
        WideSchedule::run(k, c0, sums);
    } else {
        // The narrow schedule: each octave's sums just before the step that adds to them.
        // The lowest octaves come first: their rebuild is a long chain of dependent steps; the top octave's
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
        top.chunk(TopSums::kLastChunk);
    } else {
        // Sixteen registers hold no side work beside the step: the sums and outputs follow.
        rebuildStep<0, true>(k, sums[1], sums[0]);
        for (int i = 0; i < BLOCK_SIZE; i += 4) top.chunk(i);
    }
    // The clip keeps a NaN first sample a NaN.
    leftOverload = mix.leftExtremes.beyondClip(left[0]);
    rightOverload = mix.rightExtremes.beyondClip(right[0]);
}

} // namespace
