#include "engine/ChannelBank.h"
#include "NspReports.h"
#include "engine/VocoderKernel.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>

namespace {

using Block = std::array<double, BLOCK_SIZE>;

// A kernel with its own filter bank, fed from deterministic test signals.
struct Vocoder {
    ChannelBank bank;
    VocoderKernel kernel{bank};
    EngineParams params;
    Block left{}, right{}, carrier{}, modulator{};
    std::mt19937 random{7};
    long t = 0;

    explicit Vocoder(FilterWidth width = FilterWidth::Normal) { bank.initialise(false, width); }
    ~Vocoder() { bank.release(); }

    // Speech-like modulator: a few partials with a slowly moving level; pulse-ish carrier.
    Overloads run(bool silentModulator = false) {
        std::uniform_real_distribution<double> noise(-3000.0, 3000.0);
        for (int i = 0; i < BLOCK_SIZE; ++i, ++t) {
            const double x = double(t) / kEngineRate;
            const double swell = 0.6 + 0.4 * std::sin(2 * std::numbers::pi * 3 * x);
            modulator[i] = silentModulator ? 0.0
                                           : swell * (6000 * std::sin(2 * std::numbers::pi * 220 * x) +
                                                      4000 * std::sin(2 * std::numbers::pi * 1300 * x) +
                                                      2000 * std::sin(2 * std::numbers::pi * 3700 * x)) +
                                                 noise(random);
            carrier[i] = (t % 90) < 45 ? 12000.0 : -12000.0;
        }
        return kernel.process(params, carrier.data(), modulator.data(), left.data(), right.data());
    }
};

using Kernel = NspReports;

TEST_F(Kernel, ASilentModulatorGivesSilentOutputs) {
    Vocoder v;
    for (int b = 0; b < 50; ++b) {
        v.run(true);
        for (int i = 0; i < BLOCK_SIZE; ++i) {
            ASSERT_EQ(v.left[i], 0.0);
            ASSERT_EQ(v.right[i], 0.0);
        }
    }
    EXPECT_TRUE(reports().empty());
}

TEST_F(Kernel, ASilentModulatorStillLetsTheCarrierThroughWithEq) {
    Vocoder v;
    v.params.eq = true;
    double energy = 0;
    for (int b = 0; b < 20; ++b) {
        v.run(true);
        for (double s : v.left) energy += s * s;
    }
    EXPECT_GT(energy, 0.0);
    for (double g : v.kernel.gains()) EXPECT_EQ(g, 1000.0);
}

TEST_F(Kernel, WithMixOneTheOutputsAreHalfTheScaledClippedModulator) {
    Vocoder v;
    v.params.mix = 1.0;
    v.params.modulatorLevel = 2.0;
    for (int b = 0; b < 10; ++b) {
        v.run();
        // The modulator block is left scaled and clipped, then halved into the outputs.
        for (int i = 0; i < BLOCK_SIZE; ++i) {
            const double expected = v.modulator[i];
            ASSERT_EQ(v.left[i], expected) << i;
            ASSERT_EQ(v.right[i], expected) << i;
        }
    }
}

TEST_F(Kernel, PanZeroGivesBothSidesTheSameAndPanOneMovesTheBandRightDoubled) {
    Vocoder centre, hardRight;
    hardRight.params.pan.fill(1.0);
    for (int b = 0; b < 30; ++b) {
        centre.run();
        hardRight.run();
        for (int i = 0; i < BLOCK_SIZE; ++i) {
            ASSERT_EQ(centre.left[i], centre.right[i]);
            ASSERT_EQ(hardRight.left[i], 0.0);
            ASSERT_NEAR(hardRight.right[i], 2.0 * centre.right[i], 1e-9 * std::abs(centre.right[i]) + 1e-9);
        }
    }
}

TEST_F(Kernel, Delay127UsesTheEnvelopeOf127BlocksAgo) {
    Vocoder plain, delayed;
    delayed.params.delay.fill(127);
    std::vector<std::array<double, kChannels>> envelopes;
    for (int b = 0; b < 300; ++b) {
        plain.run();
        delayed.run();
        envelopes.push_back(plain.kernel.envelopes());
        ASSERT_EQ(plain.kernel.values(), plain.kernel.envelopes()); // warp 0 on values below 16000
        for (int k = 0; k < kChannels; ++k) {
            const double expected = b >= 127 ? envelopes[b - 127][k] : 0.0;
            ASSERT_EQ(delayed.kernel.values()[k], expected) << "block " << b << " channel " << k;
        }
    }
}

TEST_F(Kernel, EchoRecirculatesTheDelayedEnvelopeWithRegeneration) {
    Vocoder plain, echoing;
    echoing.params.echoTime.fill(10);
    echoing.params.echo.fill(0.5);
    echoing.params.regeneration.fill(0.25);
    std::vector<std::array<double, kChannels>> a; // envelope per block
    std::vector<std::array<double, kChannels>> line;
    for (int b = 0; b < 60; ++b) {
        plain.run();
        echoing.run();
        a.push_back(plain.kernel.envelopes());
        std::array<double, kChannels> expectedLine{};
        for (int k = 0; k < kChannels; ++k) {
            const double recirculated = b >= 10 ? line[b - 10][k] : 0.0;
            expectedLine[k] = a[b][k] + recirculated * 0.25;
            ASSERT_EQ(echoing.kernel.values()[k], VocoderKernel::warp(a[b][k] + recirculated * 0.5, 0.0));
        }
        line.push_back(expectedLine);
    }
}

TEST_F(Kernel, ShiftMakesEachChannelFollowItsNeighbourAndChannelsOffTheEndGetZero) {
    Vocoder up, down;
    up.params.shift = 1;
    down.params.shift = -3;
    for (int b = 0; b < 20; ++b) {
        up.run();
        down.run();
    }
    // Channels run from 17 down, so value[k + 1] is already this block's.
    for (int k = 0; k < 17; ++k) EXPECT_EQ(up.kernel.gains()[k], up.kernel.values()[k + 1]);
    EXPECT_EQ(up.kernel.gains()[17], 0.0);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(down.kernel.gains()[k], 0.0);
    EXPECT_GT(down.kernel.gains()[3], 0.0);
}

TEST_F(Kernel, AnInputOf40000IsReportedAsOverloadAndClippedBeforeFiltering) {
    Vocoder v;
    v.params.carrierLevel = 1.0;
    v.params.modulatorLevel = 1.0;
    v.params.mix = 1.0; // the outputs then carry half the clipped modulator
    v.modulator.fill(40000.0);
    v.carrier.fill(-40000.0);
    Overloads o = v.kernel.process(v.params, v.carrier.data(), v.modulator.data(), v.left.data(), v.right.data());
    EXPECT_TRUE(o.carrier);
    EXPECT_TRUE(o.modulator);
    for (int i = 0; i < BLOCK_SIZE; ++i) {
        EXPECT_EQ(v.left[i], 16000.0);
        EXPECT_EQ(v.carrier[i], -32000.0);
    }
    Vocoder quiet;
    Overloads none = quiet.run();
    EXPECT_FALSE(none.carrier || none.modulator || none.left || none.right);
}

TEST_F(Kernel, LoudOutputIsReportedAndClippedTo32000) {
    Vocoder v;
    v.params.eq = true;
    v.params.level.fill(0.004); // gain 1000 x 0.004 = 4 on every band
    v.params.carrierLevel = 2.0;
    bool leftOverload = false;
    for (int b = 0; b < 20; ++b) {
        Overloads o = v.run();
        leftOverload |= o.left;
        for (int i = 0; i < BLOCK_SIZE; ++i) {
            ASSERT_LE(std::abs(v.left[i]), 32000.0);
            ASSERT_LE(std::abs(v.right[i]), 32000.0);
        }
    }
    EXPECT_TRUE(leftOverload);
}

TEST_F(Kernel, EnhanceSubtractsAQuarterOfTheNeighboursAndNeverGoesNegative) {
    Vocoder plain, enhanced;
    enhanced.params.enhance = true;
    for (int b = 0; b < 40; ++b) {
        const std::array<double, kChannels> before = enhanced.kernel.values();
        plain.run();
        enhanced.run();
        const std::array<double, kChannels>& v = plain.kernel.values(); // this block's warp(envelope)
        std::array<double, kChannels> expected{};
        for (int k = kChannels - 1; k >= 0; --k) {
            double r;
            if (k == 17)
                r = v[k] - 0.25 * before[16];
            else if (k == 0)
                r = v[k] - 0.25 * expected[1];
            else
                r = v[k] - 0.25 * (expected[k + 1] + before[k - 1]);
            expected[k] = r < 0 ? 0 : r;
        }
        ASSERT_EQ(enhanced.kernel.values(), expected) << "block " << b;
    }
}

TEST_F(Kernel, SmoothAveragesHalfTheChannelWithAQuarterOfEachNeighbour) {
    Vocoder plain, smoothed;
    smoothed.params.smooth = true;
    for (int b = 0; b < 40; ++b) {
        const std::array<double, kChannels> before = smoothed.kernel.values();
        plain.run();
        smoothed.run();
        const std::array<double, kChannels>& v = plain.kernel.values();
        std::array<double, kChannels> expected{};
        for (int k = kChannels - 1; k >= 0; --k) {
            if (k == 17)
                expected[k] = 0.5 * v[k] + 0.25 * before[16];
            else if (k == 0)
                expected[k] = 0.5 * v[k] + 0.25 * expected[1];
            else
                expected[k] = 0.5 * v[k] + 0.25 * (expected[k + 1] + before[k - 1]);
        }
        ASSERT_EQ(smoothed.kernel.values(), expected) << "block " << b;
    }
}

TEST_F(Kernel, HoldFreezesTheValuesAndSampleAndHoldUpdatesThemOnlyOnATick) {
    Vocoder v;
    for (int b = 0; b < 20; ++b) v.run();
    const auto frozen = v.kernel.values();
    v.params.hold = true;
    for (int b = 0; b < 20; ++b) v.run();
    EXPECT_EQ(v.kernel.values(), frozen);

    v.params.hold = false;
    v.params.sampleHold = true;
    for (int b = 0; b < 5; ++b) v.run();
    EXPECT_EQ(v.kernel.values(), frozen);
    v.params.shTick = true;
    v.run();
    EXPECT_EQ(v.kernel.values(), v.kernel.envelopes());
    EXPECT_NE(v.kernel.values(), frozen);
}

TEST_F(Kernel, WarpBendsTheCurveThroughItsThreeFixedPoints) {
    for (double f : {-1.0, -0.5, 0.0, 0.3, 1.0}) {
        EXPECT_EQ(VocoderKernel::warp(0.0, f), 0.0);
        EXPECT_DOUBLE_EQ(VocoderKernel::warp(4000.0, f), 4000.0 * (1 + f) * (1 + f));
        EXPECT_DOUBLE_EQ(VocoderKernel::warp(16000.0, f), 16000.0);
        EXPECT_EQ(VocoderKernel::warp(-5.0, f), 0.0);
        EXPECT_EQ(VocoderKernel::warp(std::nan(""), f), 0.0);
        EXPECT_DOUBLE_EQ(VocoderKernel::warp(1e9, f), 16000.0);
        // Continuous at the knee.
        EXPECT_NEAR(VocoderKernel::warp(3999.999999, f), VocoderKernel::warp(4000.0, f), 1e-5);
    }
    EXPECT_EQ(VocoderKernel::warp(1234.5, 0.0), 1234.5);
    EXPECT_EQ(VocoderKernel::warp(9000.0, 0.0), 9000.0);
    EXPECT_EQ(VocoderKernel::warp(2000.0, 0.5), 2000.0 * (1.5 * 1.5));
    EXPECT_EQ(VocoderKernel::warp(10000.0, 0.5), 10000.0 + (2.0 / 3.0) * 6000.0 * (0.5 + 0.25 / 2));
}

TEST_F(Kernel, DistortionDrivesTheBandIntoAPlusMinus4000Limit) {
    std::array<double, 5> band{-5000, -1000, 0, 500, 3000};
    VocoderKernel::distort(band.data(), 5, 0.004);
    EXPECT_EQ(band, (std::array<double, 5>{-5000, -1000, 0, 500, 3000}));
    VocoderKernel::distort(band.data(), 5, 0.5); // b = 0.25: limit at +-1000, gain 4 inside
    EXPECT_EQ(band, (std::array<double, 5>{-4000, -4000, 0, 2000, 4000}));
}

TEST_F(Kernel, TheWidthGainIsTwiceForNarrowAndHalfForWideAndAppliesToTheSibilanceBand) {
    // With every Level at 0 only the sibilance band reaches the outputs; its filter is the
    // same in every width, so the outputs differ exactly by the width gain.
    Vocoder normal(FilterWidth::Normal), narrow(FilterWidth::Narrow), wide(FilterWidth::Wide);
    for (Vocoder* v : {&normal, &narrow, &wide}) {
        v->params.level.fill(0.0);
        v->params.sibilance = 1.0;
    }
    double energy = 0;
    for (int b = 0; b < 10; ++b) {
        normal.run();
        narrow.run();
        wide.run();
        for (int i = 0; i < BLOCK_SIZE; ++i) {
            ASSERT_EQ(narrow.left[i], 2.0 * normal.left[i]);
            ASSERT_EQ(wide.right[i], 0.5 * normal.right[i]);
            energy += normal.left[i] * normal.left[i];
        }
    }
    EXPECT_GT(energy, 0.0);
}

TEST_F(Kernel, SlewSmoothsTheEnvelopeWithCoefficientOneOverOnePlus32T) {
    Vocoder fast, slow;
    slow.params.slew.fill(1.0);
    std::array<double, kChannels> slowEnvelope{};
    for (int b = 0; b < 30; ++b) {
        fast.run();
        slow.run();
        // The block's mean is the same in both (the filters see the same input).
        const double c = 1.0 / (1.0 + 32.0 * 1.0);
        for (int k = 0; k < kChannels; ++k) {
            slowEnvelope[k] = fast.kernel.envelopes()[k] * c + (1.0 - c) * slowEnvelope[k];
            ASSERT_EQ(slow.kernel.envelopes()[k], slowEnvelope[k]);
        }
    }
}

} // namespace
