#include "engine/ChannelBank.h"
#include "NspReports.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace {

using FilterBank = NspReports;
using coefficients::FourSections;

constexpr double kFs = 11025.0;

// Closed-form magnitude in dB of a cascade at frequency f for sample rate fs.
template <std::size_t N>
double responseDb(const std::array<double, N>& taps, double f, double fs) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * f / fs);
    const std::complex<double> z2 = z1 * z1;
    std::complex<double> h = 1.0;
    for (std::size_t s = 0; s < N / 6; ++s) {
        const double* t = taps.data() + 6 * s;
        h *= (t[0] + t[1] * z1 + t[2] * z2) / (t[3] + t[4] * z1 + t[5] * z2);
    }
    return 20.0 * std::log10(std::abs(h));
}

// Gain in dB of a sine through a filter, measured on the output after it has settled.
double measuredDb(BiquadCascade& filter, double f, double fs) {
    const int n = 40000;
    std::vector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) x[i] = 10000.0 * std::sin(2.0 * std::numbers::pi * f / fs * i);
    filter.process(x.data(), y.data(), n);
    double in = 0, out = 0;
    for (int i = n / 2; i < n; ++i) {
        in += x[i] * x[i];
        out += y[i] * y[i];
    }
    return 10.0 * std::log10(out / in);
}

double peakDb(const FourSections& taps, double fs, double* where = nullptr) {
    double best = -1e9;
    for (double f = 1.0; f < fs / 2; f += fs / 20000) {
        const double db = responseDb(taps, f, fs);
        if (db > best) {
            best = db;
            if (where) *where = f;
        }
    }
    return best;
}

TEST_F(FilterBank, MapsChannelsToPrototypesAndOctavesHighestFirst) {
    using P = ChannelBank::Prototype;
    EXPECT_EQ(ChannelBank::prototypeOf(17), P::T);
    EXPECT_EQ(ChannelBank::octaveOf(17), 0);
    EXPECT_EQ(ChannelBank::prototypeOf(14), P::C);
    EXPECT_EQ(ChannelBank::octaveOf(14), 0);
    EXPECT_EQ(ChannelBank::prototypeOf(13), P::A);
    EXPECT_EQ(ChannelBank::octaveOf(13), 1);
    EXPECT_EQ(ChannelBank::prototypeOf(2), P::C);
    EXPECT_EQ(ChannelBank::octaveOf(2), 4);
    EXPECT_EQ(ChannelBank::prototypeOf(1), P::A);
    EXPECT_EQ(ChannelBank::prototypeOf(0), P::B);
    EXPECT_EQ(ChannelBank::octaveOf(0), 5);
}

TEST_F(FilterBank, EveryPrototypeOfEveryWidthPeaksNearZeroDecibels) {
    for (FilterWidth w : {FilterWidth::Normal, FilterWidth::Narrow, FilterWidth::Wide})
        for (auto p : {ChannelBank::Prototype::T, ChannelBank::Prototype::A, ChannelBank::Prototype::B,
                       ChannelBank::Prototype::C})
            EXPECT_NEAR(peakDb(ChannelBank::taps(w, p), kFs), 0.0, 1.0)
                << "width " << int(w) << " prototype " << int(p); // coefficients are given to 6 digits
}

TEST_F(FilterBank, UpperBandEdgesAreTheSameForAllWidthsAndLowerEdgesFollowTheWidth) {
    struct Edge {
        ChannelBank::Prototype p;
        double upper;
        double normalLower, narrowLower, wideLower;
    };
    const Edge edges[] = {{ChannelBank::Prototype::T, 4961, 3938, 4420, 3126},
                          {ChannelBank::Prototype::A, 3938, 3125, 3506, 2481},
                          {ChannelBank::Prototype::B, 3126, 2481, 2784, 1968},
                          {ChannelBank::Prototype::C, 2481, 1968, 2205, 1562}};
    for (const Edge& e : edges) {
        for (FilterWidth w : {FilterWidth::Normal, FilterWidth::Narrow, FilterWidth::Wide}) {
            const FourSections& taps = ChannelBank::taps(w, e.p);
            const double lower = w == FilterWidth::Normal ? e.normalLower
                                 : w == FilterWidth::Narrow ? e.narrowLower
                                                            : e.wideLower;
            // Within half a decibel of -3 dB at both edges: the tables carry six digits.
            EXPECT_NEAR(responseDb(taps, e.upper, kFs), -3.0, 0.6) << int(e.p) << " width " << int(w);
            EXPECT_NEAR(responseDb(taps, lower, kFs), -3.0, 0.6) << int(e.p) << " width " << int(w);
        }
    }
}

TEST_F(FilterBank, ASineAt4600HzPassesAtFullLevelOnlyThroughChannel17) {
    ChannelBank bank;
    bank.initialise(false, FilterWidth::Normal);
    EXPECT_NEAR(measuredDb(bank.modulatorBand[17], 4600, kFs), 0.0, 0.5);
    for (int k = 14; k <= 16; ++k) EXPECT_LT(measuredDb(bank.modulatorBand[k], 4600, kFs), -20.0) << k;
    bank.release();
}

TEST_F(FilterBank, At3200HzTheTPrototypePassesWithin3dBOnlyWhenWide) {
    ChannelBank bank;
    bank.initialise(false, FilterWidth::Wide);
    EXPECT_GT(measuredDb(bank.carrierBand[17], 3200, kFs), -3.0);
    bank.initialise(true, FilterWidth::Normal);
    EXPECT_LT(measuredDb(bank.carrierBand[17], 3200, kFs), -3.0);
    bank.initialise(true, FilterWidth::Narrow);
    EXPECT_LT(measuredDb(bank.carrierBand[17], 3200, kFs), -3.0);
    bank.release();
}

TEST_F(FilterBank, TheAPrototypeAtOneThirtySecondOfTheRateHasItsUpperEdgeAt123Hz) {
    ChannelBank bank;
    bank.initialise(false, FilterWidth::Normal);
    const double rate = kFs / 32;
    EXPECT_NEAR(measuredDb(bank.modulatorBand[1], 123, rate), -3.0, 0.6);
    double peakAt = 0;
    peakDb(ChannelBank::taps(FilterWidth::Normal, ChannelBank::Prototype::A), rate, &peakAt);
    EXPECT_GT(peakAt, 98.0);
    EXPECT_LT(peakAt, 123.0);
    bank.release();
}

TEST_F(FilterBank, EnvelopeSibilanceAndHalfBandFiltersHaveTheirCornersWhereStated) {
    EXPECT_NEAR(responseDb(coefficients::kEnvelopeLowpass, 0.025 * kFs, kFs), -3.0, 0.3);
    EXPECT_NEAR(responseDb(coefficients::kEnvelopeLowpass, 1.0, kFs), 0.0, 0.05);
    EXPECT_NEAR(responseDb(coefficients::kSibilanceHighpass, 2481, kFs), -3.0, 0.3);
    EXPECT_NEAR(responseDb(coefficients::kSibilanceHighpass, 5000, kFs), 0.0, 0.3);
    EXPECT_NEAR(responseDb(coefficients::kHalfBandLowpass, kFs / 4, kFs), -3.0, 0.3);
    EXPECT_NEAR(responseDb(coefficients::kHalfBandLowpass, 1.0, kFs), 0.0, 0.05);
    EXPECT_LT(responseDb(coefficients::kHalfBandLowpass, 0.35 * kFs, kFs), -40.0);
}

TEST_F(FilterBank, AWidthChangeRestartsOnlyTheBandFilters) {
    ChannelBank bank;
    bank.initialise(false, FilterWidth::Normal);
    std::vector<double> x(64), y(64);
    for (int i = 0; i < 64; ++i) x[i] = 1000.0 * std::sin(0.3 * i) + 500.0;
    bank.modulatorBand[5].process(x.data(), y.data(), 64);
    bank.carrierBand[5].process(x.data(), y.data(), 64);
    bank.envelopeLowpass[5].process(x.data(), y.data(), 64);
    bank.sibilanceHighpass.process(x.data(), y.data(), 64);
    bank.modulatorDecimation[0].process(x.data(), y.data(), 64);
    const std::vector<double> envelopeBefore(bank.envelopeLowpass[5].delayLine(),
                                             bank.envelopeLowpass[5].delayLine() + 2);
    const double sibilanceBefore = bank.sibilanceHighpass.delayLine()[0];
    const double decimationBefore = bank.modulatorDecimation[0].delayLine()[0];
    ASSERT_NE(envelopeBefore[0], 0.0);

    bank.initialise(true, FilterWidth::Wide);
    EXPECT_EQ(bank.width(), FilterWidth::Wide);
    for (int k = 0; k < kChannels; ++k) {
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(bank.modulatorBand[k].delayLine()[i], 0.0);
            EXPECT_EQ(bank.carrierBand[k].delayLine()[i], 0.0);
        }
    }
    EXPECT_EQ(bank.envelopeLowpass[5].delayLine()[0], envelopeBefore[0]);
    EXPECT_EQ(bank.envelopeLowpass[5].delayLine()[1], envelopeBefore[1]);
    EXPECT_EQ(bank.sibilanceHighpass.delayLine()[0], sibilanceBefore);
    EXPECT_EQ(bank.modulatorDecimation[0].delayLine()[0], decimationBefore);
    // The rebuilt band filters use the Wide table.
    EXPECT_EQ(bank.modulatorBand[17].state().tapSt.taps[1], coefficients::kWide.t[4]);
    EXPECT_TRUE(reports().empty());
    bank.release();
    EXPECT_FALSE(bank.modulatorBand[0].isInitialised());
    EXPECT_FALSE(bank.generatorDecimation[1].isInitialised());
    EXPECT_TRUE(reports().empty());
}

} // namespace
