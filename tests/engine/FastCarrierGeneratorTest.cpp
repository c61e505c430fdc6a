#include "engine/FastCarrierGenerator.h"

#include "engine/CarrierGenerator.h"
#include "engine/ChannelBank.h"
#include "NspReports.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

// The reference generator and the optimised one, each on its own bank.
class GeneratorPair {
public:
    explicit GeneratorPair(LanePath path) : fast_(fastBank_, path) {
        referenceBank_.initialise(false, FilterWidth::Normal);
        fastBank_.initialise(false, FilterWidth::Normal);
    }
    ~GeneratorPair() {
        referenceBank_.release();
        fastBank_.release();
    }

    void setCounter(std::uint32_t counter) {
        reference_.setCounter(counter);
        fast_.setCounter(counter);
    }

    ::testing::AssertionResult run(const EngineParams& params, const std::array<double, kChannels>& values) {
        std::array<double, BLOCK_SIZE> expected{}, actual{};
        const std::int32_t expectedPeriod = reference_.generate(params, values, expected.data());
        const std::int32_t actualPeriod = fast_.generate(params, values, actual.data());
        if (expectedPeriod != actualPeriod) return ::testing::AssertionFailure() << "periods differ";
        if (reference_.rawBlock() != fast_.rawBlock())
            return ::testing::AssertionFailure() << "raw blocks differ";
        if (expected != actual) return ::testing::AssertionFailure() << "outputs differ";
        if (reference_.shTick() != fast_.shTick()) return ::testing::AssertionFailure() << "S/H ticks differ";
        if (reference_.alternationPhase() != fast_.alternationPhase())
            return ::testing::AssertionFailure() << "alternation phases differ";
        if (reference_.counter() != fast_.counter())
            return ::testing::AssertionFailure() << "counters differ";
        ticks_ += reference_.shTick();
        return ::testing::AssertionSuccess();
    }

    int ticks() const { return ticks_; }

private:
    ChannelBank referenceBank_, fastBank_;
    CarrierGenerator reference_{referenceBank_};
    FastCarrierGenerator fast_;
    int ticks_ = 0;
};

// Every setting the knobs and switches give, and values beyond them.
void randomise(EngineParams& p, std::array<double, kChannels>& values, std::mt19937& random) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto chance = [&](double probability) { return unit(random) < probability; };
    p.period = chance(0.1) ? static_cast<std::int32_t>(random() % 8)
                           : 2 + static_cast<std::int32_t>(random() % 2400);
    p.duty = chance(0.1) ? 2.0 * unit(random) - 0.5 : (1 + random() % 128) / 128.0;
    p.chord = chance(0.5);
    p.chordFirst = chance(0.5);
    p.yodel = chance(0.4);
    p.track = chance(0.3);
    p.sampleHoldPeriod = chance(0.2) ? static_cast<std::int32_t>(random() % 3)
                                     : 1 + static_cast<std::int32_t>(random() % 9000);
    for (double& v : values) v = chance(0.2) ? 0.0 : 3000.0 * unit(random);
}

using OptimisedGenerator = NspReports;

TEST_F(OptimisedGenerator, MatchesTheReferenceOnEveryPathOverLongRandomRuns) {
    for (LanePath path : {LanePath::Portable, LanePath::Avx2, LanePath::Avx512}) {
        if (!lanePathRuns(path)) continue;
        GeneratorPair generators(path);
        EngineParams params;
        std::array<double, kChannels> values{};
        std::mt19937 random(11);
        for (int block = 0; block < 4000; ++block) {
            if (block % 30 == 0) randomise(params, values, random);
            ASSERT_TRUE(generators.run(params, values)) << lanePathName(path) << " block " << block;
        }
        EXPECT_GT(generators.ticks(), 0);
    }
    EXPECT_TRUE(reports().empty());
}

TEST_F(OptimisedGenerator, MatchesTheReferenceWhenTheSampleCounterWrapsAround) {
    // The counter passes 2^32 - 1 at every possible point of a block over the run.
    for (std::uint32_t before : {0u, 1u, 43u, 104u, 105u, 255u, 256u, 361u, 5000u}) {
        GeneratorPair generators(bestLanePath());
        EngineParams params;
        params.chord = true;
        params.period = 333;
        params.sampleHoldPeriod = 97;
        std::array<double, kChannels> values{};
        generators.setCounter(std::numeric_limits<std::uint32_t>::max() - before);
        for (int block = 0; block < 30; ++block)
            ASSERT_TRUE(generators.run(params, values)) << "block " << block << " from 2^32 - 1 - " << before;
    }
}

TEST_F(OptimisedGenerator, KeepsGeneratingWhenAnEarlierCallLeftAnErrorStatus) {
    // The reference's filters stop on a sticky error status; the optimised generator calls
    // no primitive per block, so it goes on exactly as without the error.
    ChannelBank bank, undisturbedBank;
    bank.initialise(false, FilterWidth::Normal);
    undisturbedBank.initialise(false, FilterWidth::Normal);
    FastCarrierGenerator generator(bank), undisturbed(undisturbedBank);
    EngineParams params;
    params.chord = true;
    std::array<double, kChannels> values{};
    std::array<double, BLOCK_SIZE> out{}, expected{};
    for (int block = 0; block < 12; ++block) {
        if (block == 4) nspSetErrStatus(NSP_StsBadArg);
        generator.generate(params, values, out.data());
        nspSetErrStatus(NSP_StsOk);
        undisturbed.generate(params, values, expected.data());
        if (block >= 4) nspSetErrStatus(NSP_StsBadArg);
        ASSERT_EQ(out, expected) << "block " << block;
    }
    nspSetErrStatus(NSP_StsOk); // freeing needs a clean status
    EXPECT_NE(out, (std::array<double, BLOCK_SIZE>{}));
    bank.release();
    undisturbedBank.release();
}

} // namespace
