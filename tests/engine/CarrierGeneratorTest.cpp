#include "engine/CarrierGenerator.h"
#include "engine/ChannelBank.h"
#include "NspReports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace {

struct Generator {
    ChannelBank bank;
    CarrierGenerator generator{bank};
    EngineParams params;
    std::array<double, kChannels> values{};
    std::array<double, BLOCK_SIZE> out{};

    Generator() { bank.initialise(false, FilterWidth::Normal); }
    ~Generator() { bank.release(); }
    std::vector<double> raw(int blocks) {
        std::vector<double> all;
        for (int b = 0; b < blocks; ++b) {
            generator.generate(params, values, out.data());
            all.insert(all.end(), generator.rawBlock().begin(), generator.rawBlock().end());
        }
        return all;
    }
};

// Lengths of the runs of equal samples, leaving out the first and last (partial) runs.
std::vector<int> runLengths(const std::vector<double>& s) {
    std::vector<int> runs;
    int length = 1;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == s[i - 1]) {
            ++length;
        } else {
            runs.push_back(length);
            length = 1;
        }
    }
    if (!runs.empty()) runs.erase(runs.begin());
    return runs;
}

using CarrierGeneration = NspReports;

TEST_F(CarrierGeneration, Period200AtHalfDutyIsASquareWaveOf50HighAnd50Low) {
    Generator g;
    g.params.period = 200;
    g.params.duty = 0.5;
    const std::vector<double> s = g.raw(8);
    EXPECT_EQ(std::set<double>(s.begin(), s.end()), (std::set<double>{-20000.0, 20000.0}));
    for (int run : runLengths(s)) EXPECT_EQ(run, 50);
    EXPECT_EQ(s[0], 20000.0);
    EXPECT_EQ(s[49], -20000.0); // (n + 1) mod 100 reaches 50 at n = 49
}

TEST_F(CarrierGeneration, DutySetsTheShareOfEachCycleSpentHigh) {
    Generator g;
    g.params.period = 200;
    g.params.duty = (8 + 1) / 128.0; // the start position of the Width knob
    const std::vector<double> s = g.raw(4);
    const long high = std::count(s.begin(), s.end(), 20000.0);
    EXPECT_NEAR(double(high) / s.size(), 8.0 / 100.0, 0.01); // 8 of every 100 samples
}

TEST_F(CarrierGeneration, AChordSumsThreeVoicesOfPlusMinus10000) {
    Generator g;
    g.params.chord = true;
    g.params.chordFirst = true;
    g.params.duty = 0.5;
    const std::vector<double> s = g.raw(20);
    const std::set<double> levels(s.begin(), s.end());
    for (double v : levels) EXPECT_TRUE(v == 10000 || v == -10000 || v == 30000 || v == -30000) << v;
    EXPECT_TRUE(levels.count(30000.0) && levels.count(-30000.0));
}

TEST_F(CarrierGeneration, ChordVoicesUseThePeriodRatiosOfTheChosenChord) {
    for (bool first : {true, false}) {
        Generator g;
        g.params.chord = true;
        g.params.chordFirst = first;
        g.params.period = 1000; // h0 = 500
        g.params.duty = 0.5;
        const std::vector<double> s = g.raw(40);
        // Subtract the main voice to isolate the other two and look for their repeat lengths.
        std::vector<double> others(s.size());
        for (std::size_t n = 0; n < s.size(); ++n) {
            const double main = (n + 1) % 500 >= 250 ? -10000.0 : 10000.0;
            others[n] = s[n] - main;
        }
        const int h1 = first ? int(500 * 0.840896) : int(500 * 0.793701);
        const int h2 = first ? int(500 * 0.707107) : int(500 * 0.66742);
        for (std::size_t n = 0; n < others.size(); ++n) {
            const double v1 = (n + 43) % h1 >= 0.5 * h1 ? -10000.0 : 10000.0;
            const double v2 = (n + 104) % h2 >= 0.5 * h2 ? -10000.0 : 10000.0;
            ASSERT_EQ(others[n], v1 + v2) << n;
        }
    }
}

TEST_F(CarrierGeneration, YodelAlternatesToAPeriodThreeQuartersAsLongAfterEachTick) {
    Generator g;
    g.params.period = 800; // h0 = 400, or 300 while alternated
    g.params.duty = 0.5;
    g.params.yodel = true;
    g.params.sampleHoldPeriod = 256 * 3; // a tick at the end of every third block
    std::vector<std::uint32_t> cycle;
    for (int b = 0; b < 9; ++b) {
        const bool phase = g.generator.alternationPhase();
        g.generator.generate(g.params, g.values, g.out.data());
        cycle.push_back(phase ? 300 : 400);
        EXPECT_EQ(g.generator.shTick(), b % 3 == 2) << b;
        // The first sample of the block tells which cycle length was in force.
        const std::uint32_t n = g.generator.counter() - 256;
        const double expected = (n + 1) % cycle.back() >= cycle.back() * 0.5 ? -20000.0 : 20000.0;
        EXPECT_EQ(g.generator.rawBlock()[0], expected);
    }
    EXPECT_EQ(cycle, (std::vector<std::uint32_t>{400, 400, 400, 300, 300, 300, 400, 400, 400}));
}

TEST_F(CarrierGeneration, TheSampleAndHoldTickComesEveryPeriodSamples) {
    Generator g;
    g.params.sampleHoldPeriod = 2332; // S/H Rate at 63
    int ticks = 0;
    for (int b = 0; b < 2332; ++b) {
        std::array<double, BLOCK_SIZE> out;
        g.generator.generate(g.params, g.values, out.data());
        ticks += g.generator.shTick();
    }
    EXPECT_EQ(ticks, 256); // 2332 x 256 samples hold exactly 256 periods
}

TEST_F(CarrierGeneration, TrackingFollowsTheCentroidOfTheSixLowestChannels) {
    std::array<double, kChannels> values{};
    EXPECT_EQ(CarrierGenerator::trackedPeriod(897, values), 897); // no centroid: the knob's period
    values[0] = 10;
    EXPECT_EQ(CarrierGenerator::trackedPeriod(897, values), int(100.0 + 0.95 * 897));
    values[0] = 0;
    values[3] = 5;
    EXPECT_EQ(CarrierGenerator::trackedPeriod(897, values), int(100.0 * std::exp(-0.231 * 3) + 0.95 * 897));
    values[17] = 1e6; // only the six lowest count
    EXPECT_EQ(CarrierGenerator::trackedPeriod(897, values), int(100.0 * std::exp(-0.231 * 3) + 0.95 * 897));

    Generator g;
    g.params.track = true;
    g.values[0] = 1000;
    EXPECT_EQ(g.generator.generate(g.params, g.values, g.out.data()), int(100.0 + 0.95 * 897));
    g.values.fill(0);
    EXPECT_EQ(g.generator.generate(g.params, g.values, g.out.data()), 897);
}

TEST_F(CarrierGeneration, TheOutputIsTheRawWaveDecimatedByFour) {
    Generator g;
    g.params.period = 400; // 220.5 Hz at the engine rate
    g.params.duty = 0.5;
    double energy = 0, peak = 0;
    for (int b = 0; b < 50; ++b) {
        g.generator.generate(g.params, g.values, g.out.data());
        for (double s : g.out) {
            energy += s * s;
            peak = std::max(peak, std::abs(s));
        }
    }
    const double rms = std::sqrt(energy / (50 * BLOCK_SIZE));
    EXPECT_GT(rms, 15000.0); // a square wave keeps most of its power below fs/8
    EXPECT_LT(peak, 30000.0);
    EXPECT_TRUE(reports().empty());
}

} // namespace
