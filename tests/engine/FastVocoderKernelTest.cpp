#include "engine/FastVocoderKernel.h"

#include "engine/ChannelBank.h"
#include "NspReports.h"
#include "engine/VocoderKernel.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Block = std::array<double, BLOCK_SIZE>;

// Same bits, except that any NaN equals any NaN: a NaN's payload depends on which operand
// the hardware passes on, which is no part of the sound.
bool sameDouble(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

template <std::size_t N>
::testing::AssertionResult sameArray(const char* what, const std::array<double, N>& expected,
                                     const std::array<double, N>& actual) {
    for (std::size_t i = 0; i < N; ++i)
        if (!sameDouble(expected[i], actual[i]))
            return ::testing::AssertionFailure()
                   << what << "[" << i << "]: reference " << expected[i] << ", optimised " << actual[i];
    return ::testing::AssertionSuccess();
}

// Every bank and switch at random; the ranges cover what the controls produce and more.
void randomise(EngineParams& p, std::mt19937& random) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> channel(0, kChannels - 1), blocks(0, kHistoryLength - 1);
    auto chance = [&](double probability) { return unit(random) < probability; };
    for (int k = 0; k < kChannels; ++k) {
        p.level[k] = 0.004 * unit(random);
        p.pan[k] = 2.0 * unit(random) - 1.0;
        p.distortion[k] = chance(0.5) ? 0.0 : 0.99 * unit(random);
        p.delay[k] = blocks(random);
        p.echoTime[k] = chance(0.3) ? 0 : blocks(random);
        p.echo[k] = unit(random);
        p.regeneration[k] = 0.95 * unit(random);
        p.slew[k] = 2.0 * unit(random);
        p.warp[k] = 2.0 * unit(random) - 1.0;
        p.source[k] = chance(0.5) ? k : channel(random);
    }
    p.shift = chance(0.5) ? 0 : channel(random) - kChannels / 2;
    p.hold = chance(0.1);
    p.sampleHold = chance(0.2);
    p.enhance = chance(0.3);
    p.smooth = chance(0.3);
    p.eq = chance(0.1);
    p.mix = chance(0.5) ? 0.0 : unit(random);
    p.sibilance = 2.0 * unit(random);
    p.carrierLevel = 0.001 + 2.0 * unit(random);
    p.modulatorLevel = 0.001 + 2.0 * unit(random);
}

// A reference kernel and an optimised one, each on its own bank, fed the same blocks.
class KernelPair {
public:
    KernelPair(FilterWidth width, LanePath path) : fast_(fastBank_, path) {
        referenceBank_.initialise(false, width);
        fastBank_.initialise(false, width);
    }
    ~KernelPair() {
        referenceBank_.release();
        fastBank_.release();
    }

    void setWidth(FilterWidth width) {
        referenceBank_.initialise(true, width);
        fastBank_.initialise(true, width);
    }

    // Runs one block through both and compares everything a caller can see afterwards.
    // The reference's outputs go to `left` and `right` when given.
    ::testing::AssertionResult run(const EngineParams& params, const Block& carrier, const Block& modulator,
                                   Block* left = nullptr, Block* right = nullptr) {
        Block referenceCarrier = carrier, referenceModulator = modulator, fastCarrier = carrier,
              fastModulator = modulator;
        Block referenceLeft{}, referenceRight{}, fastLeft{}, fastRight{};
        const Overloads expected =
            reference_.process(params, referenceCarrier.data(), referenceModulator.data(),
                               referenceLeft.data(), referenceRight.data());
        const Overloads actual = fast_.process(params, fastCarrier.data(), fastModulator.data(),
                                               fastLeft.data(), fastRight.data());
        for (auto result :
             {sameArray("left", referenceLeft, fastLeft), sameArray("right", referenceRight, fastRight),
              sameArray("carrier", referenceCarrier, fastCarrier),
              sameArray("modulator", referenceModulator, fastModulator),
              sameArray("value", reference_.values(), fast_.values()),
              sameArray("envelope", reference_.envelopes(), fast_.envelopes()),
              sameArray("gain", reference_.gains(), fast_.gains())})
            if (!result) return result;
        if (expected.carrier != actual.carrier || expected.modulator != actual.modulator ||
            expected.left != actual.left || expected.right != actual.right)
            return ::testing::AssertionFailure() << "overload indicators differ";
        if (reference_.position() != fast_.position())
            return ::testing::AssertionFailure() << "positions differ";
        if (left != nullptr) *left = referenceLeft;
        if (right != nullptr) *right = referenceRight;
        energy_ += referenceLeft[0] * referenceLeft[0] +
                   referenceRight[BLOCK_SIZE - 1] * referenceRight[BLOCK_SIZE - 1];
        return ::testing::AssertionSuccess();
    }

    const FastVocoderKernel& fast() const { return fast_; }
    // Sum of squares of a few output samples, to show that the runs carried sound.
    double energy() const { return energy_; }

private:
    ChannelBank referenceBank_, fastBank_;
    VocoderKernel reference_{referenceBank_};
    FastVocoderKernel fast_;
    double energy_ = 0.0;
};

// Speech-like and synthetic material: partials with moving levels, noise, silence, tiny
// values and blocks far beyond the clip level.
class Signal {
public:
    explicit Signal(unsigned seed) : random_(seed) {}

    void next(Block& carrier, Block& modulator) {
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        if (unit(random_) < 0.05) kind_ = static_cast<int>(unit(random_) * 5);
        for (int i = 0; i < BLOCK_SIZE; ++i, ++t_) {
            const double x = double(t_) / kEngineRate;
            const double voice =
                (0.6 + 0.4 * std::sin(18.0 * x)) * (7000 * std::sin(2 * std::numbers::pi * 190 * x) +
                                                    3000 * std::sin(2 * std::numbers::pi * 1250 * x) +
                                                    1500 * std::sin(2 * std::numbers::pi * 3900 * x));
            const double noise = 20000.0 * (unit(random_) - 0.5);
            switch (kind_) {
            case 0:
                modulator[i] = voice + 0.1 * noise;
                break;
            case 1:
                modulator[i] = noise;
                break;
            case 2:
                modulator[i] = 0.0;
                break;
            case 3:
                modulator[i] = 1e-3 * noise;
                break;
            default:
                modulator[i] = 4.0 * voice;
                break;
            }
            carrier[i] = kind_ == 2 ? 0.0 : (t_ % 97 < 48 ? 14000.0 : -14000.0) + 0.2 * noise;
        }
    }

private:
    std::mt19937 random_;
    long t_ = 0;
    int kind_ = 0;
};

using KernelCase = std::tuple<LanePath, FilterWidth>;

class OptimisedKernel : public NspReports, public ::testing::WithParamInterface<KernelCase> {};

TEST_P(OptimisedKernel, MatchesTheReferenceBitForBitOverALongRandomRun) {
    const auto [path, width] = GetParam();
    if (!lanePathRuns(path)) GTEST_SKIP() << lanePathName(path) << " does not run on this machine";
    KernelPair kernels(width, path);
    ASSERT_EQ(kernels.fast().path(), path);
    std::mt19937 random(static_cast<unsigned>(17 + 3 * static_cast<int>(path) + static_cast<int>(width)));
    Signal signal(static_cast<unsigned>(width) + 5);
    EngineParams params;
    Block carrier, modulator;
    for (int block = 0; block < 3000; ++block) {
        if (block % 40 == 20) randomise(params, random);
        params.shTick = random() % 5 == 0;
        signal.next(carrier, modulator);
        ASSERT_TRUE(kernels.run(params, carrier, modulator)) << "block " << block;
    }
    EXPECT_GT(kernels.energy(), 0.0);
    EXPECT_TRUE(reports().empty());
}

TEST_P(OptimisedKernel, MatchesTheReferenceAcrossWidthChangesMidStream) {
    const auto [path, width] = GetParam();
    if (!lanePathRuns(path)) GTEST_SKIP() << lanePathName(path) << " does not run on this machine";
    KernelPair kernels(width, path);
    std::mt19937 random(5);
    Signal signal(9);
    EngineParams params;
    randomise(params, random);
    params.distortion.fill(0.0);
    Block carrier, modulator;
    // Every width after every other, the same one again too, at varying points of the run.
    constexpr FilterWidth kSequence[] = {FilterWidth::Wide,   FilterWidth::Narrow, FilterWidth::Narrow,
                                         FilterWidth::Normal, FilterWidth::Wide,   FilterWidth::Normal};
    int block = 0;
    for (FilterWidth next : kSequence) {
        for (int end = block + 50 + static_cast<int>(random() % 90); block < end; ++block) {
            signal.next(carrier, modulator);
            ASSERT_TRUE(kernels.run(params, carrier, modulator)) << "block " << block;
        }
        kernels.setWidth(next);
    }
    for (int end = block + 200; block < end; ++block) {
        signal.next(carrier, modulator);
        ASSERT_TRUE(kernels.run(params, carrier, modulator)) << "block " << block;
    }
    EXPECT_GT(kernels.energy(), 0.0);
}

std::string caseName(const ::testing::TestParamInfo<KernelCase>& info) {
    constexpr const char* kWidths[] = {"Normal", "Narrow", "Wide"};
    return std::string(lanePathName(std::get<0>(info.param))) +
           kWidths[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(
    EveryPathAndWidth, OptimisedKernel,
    ::testing::Combine(::testing::Values(LanePath::Portable, LanePath::Avx2, LanePath::Avx512),
                       ::testing::Values(FilterWidth::Normal, FilterWidth::Narrow, FilterWidth::Wide)),
    caseName);

using OptimisedKernelEdges = NspReports;

std::vector<LanePath> pathsThatRunHere() {
    std::vector<LanePath> paths;
    for (LanePath path : {LanePath::Portable, LanePath::Avx2, LanePath::Avx512})
        if (lanePathRuns(path)) paths.push_back(path);
    return paths;
}

// How many rebuild steps the last block ran sample by sample.
int stepsRunSampleBySample(const FastVocoderKernel& kernel) {
    int steps = 0;
    for (int step = 0; step < kOctaves - 1; ++step) steps += kernel.rebuiltSampleBySample(step);
    return steps;
}

TEST_F(OptimisedKernelEdges, InfinitiesAndNaNsLandInTheSamePlacesAsInTheReference) {
    for (LanePath path : pathsThatRunHere()) {
        KernelPair kernels(FilterWidth::Normal, path);
        Signal signal(3);
        EngineParams params;
        Block carrier, modulator;
        for (int block = 0; block < 40; ++block) {
            signal.next(carrier, modulator);
            if (block == 10) modulator[0] = std::numeric_limits<double>::quiet_NaN(); // hides overload
            if (block == 20) carrier[33] = std::numeric_limits<double>::infinity();
            if (block == 30) modulator[5] = -std::numeric_limits<double>::infinity();
            ASSERT_TRUE(kernels.run(params, carrier, modulator)) << lanePathName(path) << " block " << block;
        }
    }
}

TEST_F(OptimisedKernelEdges, TheRebuildStaysExactWhileItRingsDownIntoTheDenormals) {
    // Tiny levels, then every source shifted out of range: the octave sums become +0 and
    // the rebuild filters ring down on their own into the denormals. Their tiny negative
    // outputs make -0 inputs of the next step, which the faster paired form of a step
    // would get wrong in the sign of a zero: those blocks must run sample by sample, until
    // the filters' states, all subnormal, are cleared. (The levels only shorten the
    // ring-down.)
    for (LanePath path : pathsThatRunHere()) {
        KernelPair kernels(FilterWidth::Normal, path);
        Signal signal(5);
        EngineParams params;
        params.level.fill(1e-295);
        Block carrier, modulator;
        int sampleBySample = 0;
        for (int block = 0; block < 400; ++block) {
            if (block == 20) {
                ASSERT_EQ(stepsRunSampleBySample(kernels.fast()), 0) << lanePathName(path);
                params.shift = kChannels;
            }
            signal.next(carrier, modulator);
            ASSERT_TRUE(kernels.run(params, carrier, modulator)) << lanePathName(path) << " block " << block;
            sampleBySample += stepsRunSampleBySample(kernels.fast());
        }
        EXPECT_GT(sampleBySample, 0) << lanePathName(path);
        EXPECT_EQ(stepsRunSampleBySample(kernels.fast()), 0) << lanePathName(path);
    }
}

TEST_F(OptimisedKernelEdges, ALongSilenceAtLevelZeroEndsInExactZerosNotInACycleOfSubnormals) {
    // Every level down after some sound: the octave sums are exact zeros and the rebuild
    // filters ring down from full size. Rounding to nearest, they would settle in a cycle
    // of subnormal numbers for ever (and every block on them took the kernels many times
    // their usual time); once a filter's whole state is subnormal it restarts from
    // silence, in both kernels alike, and the outputs become exact zeros.
    for (LanePath path : pathsThatRunHere()) {
        KernelPair kernels(FilterWidth::Normal, path);
        Signal signal(8);
        EngineParams params;
        params.sibilance = 0.0;
        Block carrier, modulator;
        int block = 0;
        for (; block < 100; ++block) {
            signal.next(carrier, modulator);
            ASSERT_TRUE(kernels.run(params, carrier, modulator)) << lanePathName(path) << " block " << block;
        }
        ASSERT_GT(kernels.energy(), 0.0);
        params.level.fill(0.0);
        int subnormalBlocks = 0;
        bool silent = false;
        for (; block < 30000 && !silent; ++block) {
            signal.next(carrier, modulator);
            Block left{}, right{};
            ASSERT_TRUE(kernels.run(params, carrier, modulator, &left, &right))
                << lanePathName(path) << " block " << block;
            silent = left == Block{} && right == Block{};
            auto subnormal = [](double x) { return std::fpclassify(x) == FP_SUBNORMAL; };
            subnormalBlocks += std::ranges::any_of(left, subnormal) || std::ranges::any_of(right, subnormal);
        }
        ASSERT_TRUE(silent) << lanePathName(path) << ": no block of exact zeros in " << block << " blocks";
        // The ring-down passes through the subnormal range, but only for a few blocks.
        EXPECT_LT(subnormalBlocks, 100) << lanePathName(path);
        for (int end = block + 200; block < end; ++block) {
            signal.next(carrier, modulator);
            Block left{}, right{};
            ASSERT_TRUE(kernels.run(params, carrier, modulator, &left, &right))
                << lanePathName(path) << " block " << block;
            ASSERT_EQ(left, Block{}) << lanePathName(path) << " block " << block;
            ASSERT_EQ(right, Block{}) << lanePathName(path) << " block " << block;
        }
    }
}

TEST_F(OptimisedKernelEdges, DistortionConfinedToSomeOctavesMatchesTheReference) {
    // Each octave's channels, from the top one down to the lowest (distorted in its
    // analysis run).
    const std::vector<std::vector<int>> octaveChannels = {{14, 15, 16, 17}, {11, 12, 13}, {8, 9, 10},
                                                          {5, 6, 7},        {2, 3, 4},    {0, 1}};
    // Which octaves have a distorted band, switched every 40 blocks: the lowest alone, the
    // top alone, one middle octave, some together, none, all.
    const std::vector<std::vector<int>> drivenSets = {{5}, {0},    {1}, {4}, {2, 3}, {0, 5},
                                                      {1, 4, 5}, {}, {0, 1, 2, 3, 4, 5}, {2}};
    for (LanePath path : pathsThatRunHere()) {
        KernelPair kernels(FilterWidth::Normal, path);
        std::mt19937 random(23);
        Signal signal(8);
        EngineParams params;
        params.level.fill(0.004);
        Block carrier, modulator, left, undistortedLeft;
        int block = 0;
        for (const std::vector<int>& octaves : drivenSets) {
            params.distortion.fill(0.0);
            for (int octave : octaves) {
                const std::vector<int>& channels = octaveChannels[octave];
                params.distortion[channels[random() % channels.size()]] = 0.6 + 0.39 * (random() % 100) / 100.0;
            }
            for (int end = block + 40; block < end; ++block) {
                signal.next(carrier, modulator);
                ASSERT_TRUE(kernels.run(params, carrier, modulator, &left))
                    << lanePathName(path) << " block " << block << ", " << octaves.size() << " octaves driven";
            }
        }
        EXPECT_GT(kernels.energy(), 0.0);
        // The distortion did change the sound (the comparison above is of distorted blocks).
        KernelPair undistorted(FilterWidth::Normal, path);
        Signal again(8);
        EngineParams plain;
        plain.level.fill(0.004);
        for (int b = 0; b < block; ++b) {
            again.next(carrier, modulator);
            ASSERT_TRUE(undistorted.run(plain, carrier, modulator, &undistortedLeft));
        }
        EXPECT_NE(left, undistortedLeft) << lanePathName(path);
    }
}

TEST_F(OptimisedKernelEdges, HugeLevelsThatOverflowTheSumsGiveWhatTheReferenceGives) {
    // Levels far beyond any control's range overflow the octave sums to infinities, which
    // the rebuild turns into NaNs; the optimised kernel follows the reference through that.
    for (LanePath path : pathsThatRunHere()) {
        KernelPair kernels(FilterWidth::Normal, path);
        Signal signal(6);
        EngineParams params;
        Block carrier, modulator;
        int sampleBySample = 0;
        for (int block = 0; block < 60; ++block) {
            signal.next(carrier, modulator);
            params.level.fill(block >= 20 && block < 25 ? 1e307 : 0.004);
            ASSERT_TRUE(kernels.run(params, carrier, modulator)) << lanePathName(path) << " block " << block;
            sampleBySample += kernels.fast().rebuiltSampleBySample(0);
        }
        EXPECT_GT(sampleBySample, 0) << lanePathName(path);
    }
}

TEST_F(OptimisedKernelEdges, KeepsProcessingWhenAnEarlierCallLeftAnErrorStatus) {
    // The reference stops filtering on a sticky error status of the primitives (its
    // outputs then keep stale buffers); the optimised kernel calls no primitive per block
    // and goes on exactly as without the error.
    ChannelBank bank, undisturbedBank;
    bank.initialise(false, FilterWidth::Normal);
    undisturbedBank.initialise(false, FilterWidth::Normal);
    FastVocoderKernel kernel(bank), undisturbed(undisturbedBank);
    Signal signal(4);
    EngineParams params;
    Block carrier, modulator, left, right, expectedLeft, expectedRight;
    for (int block = 0; block < 30; ++block) {
        signal.next(carrier, modulator);
        Block c = carrier, m = modulator;
        nspSetErrStatus(block >= 10 ? NSP_StsBadArg : NSP_StsOk);
        kernel.process(params, carrier.data(), modulator.data(), left.data(), right.data());
        nspSetErrStatus(NSP_StsOk);
        undisturbed.process(params, c.data(), m.data(), expectedLeft.data(), expectedRight.data());
        ASSERT_EQ(left, expectedLeft) << "block " << block;
        ASSERT_EQ(right, expectedRight) << "block " << block;
    }
    EXPECT_NE(left, Block{});
    bank.release();
    undisturbedBank.release();
}

TEST_F(OptimisedKernelEdges, TheBestPathRunsHereAndAPathThatCannotRunFallsBackToPortable) {
    EXPECT_TRUE(lanePathRuns(LanePath::Portable));
    EXPECT_TRUE(lanePathRuns(bestLanePath()));
    ChannelBank bank;
    bank.initialise(false, FilterWidth::Normal);
    for (LanePath path : {LanePath::Portable, LanePath::Avx2, LanePath::Avx512}) {
        FastVocoderKernel kernel(bank, path);
        EXPECT_EQ(kernel.path(), lanePathRuns(path) ? path : LanePath::Portable) << lanePathName(path);
    }
    EXPECT_EQ(FastVocoderKernel(bank).path(), bestLanePath());
    bank.release();
}

} // namespace
