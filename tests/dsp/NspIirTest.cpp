#include "dsp/BiquadCascade.h"
#include "dsp/Nsp.h"
#include "NspReports.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <malloc.h>
#include <random>
#include <vector>

namespace {

using IirFilter = NspReports;

std::vector<double> noise(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-30000.0, 30000.0);
    std::vector<double> v(n);
    for (double& x : v) x = dist(gen);
    return v;
}

// The unnormalised difference equation of one section, direct form II:
// a0 w[n] = x[n] - a1 w[n-1] - a2 w[n-2]; y[n] = b0 w[n] + b1 w[n-1] + b2 w[n-2].
std::vector<double> referenceSection(const std::array<double, 6>& t, const std::vector<double>& x) {
    std::vector<double> y(x.size());
    double w1 = 0, w2 = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double w = (x[i] - t[4] * w1 - t[5] * w2) / t[3];
        y[i] = t[0] * w + t[1] * w1 + t[2] * w2;
        w2 = w1;
        w1 = w;
    }
    return y;
}

TEST_F(IirFilter, PassesTheInputThroughWithTapsOneZeroZeroOneZeroZero) {
    const double taps[6] = {1, 0, 0, 1, 0, 0};
    BiquadCascade filter;
    filter.init(taps, 1);
    const std::vector<double> in = noise(64, 1);
    std::vector<double> out(64);
    filter.process(in.data(), out.data(), 64);
    EXPECT_EQ(in, out);
    EXPECT_TRUE(reports().empty());
}

TEST_F(IirFilter, NormalisesTapsByB0AndA0AndAppliesTheGainOnceAtTheInput) {
    const std::array<double, 6> taps{2.0, 0.6, -0.4, 4.0, -1.2, 0.8};
    BiquadCascade filter;
    filter.init(taps.data(), 1);
    const double* normalised = filter.state().tapSt.taps;
    EXPECT_DOUBLE_EQ(normalised[0], 0.5);        // g = b0/a0
    EXPECT_DOUBLE_EQ(normalised[1], -1.2 / 4.0); // a1/a0
    EXPECT_DOUBLE_EQ(normalised[2], 0.8 / 4.0);  // a2/a0
    EXPECT_DOUBLE_EQ(normalised[3], 0.6 / 2.0);  // b1/b0
    EXPECT_DOUBLE_EQ(normalised[4], -0.4 / 2.0); // b2/b0
    EXPECT_EQ(filter.state().tapSt.order, 2);
    EXPECT_EQ(filter.state().tapSt.form, 1);
    EXPECT_EQ(filter.state().tapSt.iirType, 1);

    const std::vector<double> in = noise(200, 2);
    std::vector<double> out(in.size());
    filter.process(in.data(), out.data(), static_cast<int>(in.size()));
    const std::vector<double> expected = referenceSection(taps, in);
    for (std::size_t i = 0; i < in.size(); ++i) EXPECT_NEAR(out[i], expected[i], 1e-9 * 30000) << i;
}

TEST_F(IirFilter, GainIsTheProductOfEverySectionsB0OverA0) {
    const double taps[12] = {3, 1, 1, 2, 0.1, 0.1, 5, 1, 1, 4, 0.2, 0.1};
    BiquadCascade filter;
    filter.init(taps, 2);
    EXPECT_DOUBLE_EQ(filter.state().tapSt.taps[0], (1.0 * (3.0 / 2.0)) * (5.0 / 4.0));
    EXPECT_EQ(filter.sections(), 2);
}

TEST_F(IirFilter, GivesTheSameOutputWhateverWayABlockIsSplitIntoCalls) {
    const double taps[24] = {0.123636, -0.247282, 0.123647, 1.0, 0.575048, 0.631785,
                             0.106458, -0.212907, 0.106449, 1.0, 0.860327, 0.658199,
                             0.298376, 0.596782,  0.298406, 1.0, 0.413245, 0.82664,
                             0.426408, 0.85277,   0.426364, 1.0, 1.137023, 0.856793};
    const std::vector<double> in = noise(257, 3);
    BiquadCascade whole;
    whole.init(taps, 4);
    std::vector<double> expected(in.size());
    whole.process(in.data(), expected.data(), 257);

    for (int split : {1, 2, 3, 63, 64, 128, 256}) {
        BiquadCascade parts;
        parts.init(taps, 4);
        std::vector<double> out(in.size());
        parts.process(in.data(), out.data(), split);
        parts.process(in.data() + split, out.data() + split, 257 - split);
        EXPECT_EQ(out, expected) << "split at " << split; // bit for bit
    }
}

TEST_F(IirFilter, FiltersInPlaceAsItDoesBetweenTwoArrays) {
    const double taps[6] = {0.3, 0.2, 0.1, 1.0, -0.5, 0.25};
    BiquadCascade a, b;
    a.init(taps, 1);
    b.init(taps, 1);
    std::vector<double> in = noise(65, 4);
    std::vector<double> out(65);
    a.process(in.data(), out.data(), 65);
    b.process(in.data(), 65);
    EXPECT_EQ(in, out);
}

TEST_F(IirFilter, RefusesASecondInitialisationAndKeepsTheFilterAsItWas) {
    const double first[6] = {1, 0, 0, 1, 0, 0};
    const double second[6] = {2, 0, 0, 1, 0, 0};
    BiquadCascade filter;
    filter.init(first, 1);
    double* block = filter.state().tapSt.taps;
    filter.init(second, 1);
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_EQ(reports()[0].status, NSP_StsBadArg);
    EXPECT_EQ(reports()[0].funcName, "nspdIirInitBq");
    EXPECT_EQ(reports()[0].context, "IIR filter state structure is already initialized! Use nspIirFree to free it");
    EXPECT_EQ(reports()[0].file, "nspiirh");
    EXPECT_EQ(reports()[0].line, 465);
    EXPECT_EQ(filter.state().tapSt.taps, block);
    EXPECT_EQ(filter.state().tapSt.taps[0], 1.0);
}

// Found by the leak checker: nspIirFree does nothing once the status is negative, and the
// filters destroyed after a library error kept their blocks for ever.
TEST_F(IirFilter, AFilterDestroyedWhileTheStatusIsNegativeStillGivesBackItsMemory) {
    constexpr int kSections = 5;
    std::array<double, 6 * kSections> taps{};
    for (int s = 0; s < kSections; ++s) {
        taps[6 * s] = 1;
        taps[6 * s + 3] = 1;
    }
    const std::size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 1000; ++i) {
        nspSetErrStatus(NSP_StsOk);
        BiquadCascade filter;
        filter.init(taps.data(), kSections);
        ASSERT_TRUE(filter.isInitialised());
        nspSetErrStatus(NSP_StsBadArg);
    }
    nspSetErrStatus(NSP_StsOk);
    // 1000 leaked blocks would be 320 kB. (Under the sanitizers the count is theirs, and
    // their leak checker watches the same thing.)
    EXPECT_LT(mallinfo2().uordblks, before + 64 * 1024);
}

TEST_F(IirFilter, ReportsEveryFailedArgumentCheckBeforeGivingUp) {
    nspdIirlInitBq(7, nullptr, 0, nullptr);
    ASSERT_EQ(reports().size(), 4u);
    EXPECT_EQ(reports()[0].context, "tapStPtr==0");
    EXPECT_EQ(reports()[1].context, "taps==0");
    EXPECT_EQ(reports()[2].context, "numQuads <= 0");
    EXPECT_EQ(reports()[3].context, "iirType is out of range");
    for (const NspReport& r : reports()) {
        EXPECT_EQ(r.file, "nspiirl");
        EXPECT_EQ(r.line, 350);
    }
}

TEST_F(IirFilter, AZeroB0OrA0IsRefusedAndLeavesTheStateUninitialised) {
    const double zeroB0[12] = {1, 0, 0, 1, 0, 0, -0.0, 1, 1, 1, 0, 0};
    BiquadCascade filter;
    filter.init(zeroB0, 2);
    EXPECT_FALSE(filter.isInitialised());
    ASSERT_EQ(reports().size(), 2u);
    EXPECT_EQ(reports()[0].context, "taps[1*6] equals zero");
    EXPECT_EQ(reports()[1].status, NSP_StsBackTrace);
    EXPECT_EQ(reports()[1].line, 476);
    EXPECT_EQ(nspGetErrStatus(), NSP_StsBadArg); // the backtrace does not hide the cause

    nspSetErrStatus(0);
    reports().clear();
    // A coefficient counts as zero when its upper 32 bits are: a denormal-sized a0 is zero.
    const double tinyA0[6] = {1, 0, 0, 1e-320, 0, 0};
    BiquadCascade other;
    other.init(tinyA0, 1);
    EXPECT_FALSE(other.isInitialised());
    ASSERT_FALSE(reports().empty());
    EXPECT_EQ(reports()[0].context, "taps[0*6+3] equals zero");
}

TEST_F(IirFilter, FilteringAnUninitialisedOrFreedStateIsReportedAndWritesNothing) {
    BiquadCascade filter;
    std::vector<double> in(8, 1.0), out(8, -7.0);
    filter.process(in.data(), out.data(), 8);
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_EQ(reports()[0].context, "IIR filter wasn't initialized");
    EXPECT_EQ(reports()[0].line, 915);
    EXPECT_EQ(out, std::vector<double>(8, -7.0));

    nspSetErrStatus(0);
    reports().clear();
    filter.free();
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_EQ(reports()[0].funcName, "nspIirFree");
    EXPECT_EQ(reports()[0].line, 656);
}

TEST_F(IirFilter, ANegativeStatusIsStickyAndStopsEveryLaterCall) {
    const double taps[6] = {1, 0, 0, 1, 0, 0};
    BiquadCascade filter;
    filter.init(taps, 1);
    nspdbCopy(nullptr, nullptr, 0); // any error anywhere
    EXPECT_EQ(nspGetErrStatus(), NSP_StsBadArg);
    std::vector<double> in(4, 5.0), out(4, 0.0);
    filter.process(in.data(), out.data(), 4);
    EXPECT_EQ(out, std::vector<double>(4, 0.0));
    EXPECT_EQ(nspGetErrStatus(), NSP_StsBadArg);

    BiquadCascade later;
    later.init(taps, 1);
    EXPECT_FALSE(later.isInitialised());
}

TEST_F(IirFilter, RestartingAFilterClearsItsDelayLine) {
    const double taps[6] = {0.5, 0.5, 0.0, 1.0, -0.9, 0.0};
    BiquadCascade filter;
    filter.init(taps, 1);
    std::vector<double> impulse(16, 0.0);
    impulse[0] = 1000.0;
    std::vector<double> first(16), second(16);
    filter.process(impulse.data(), first.data(), 16);
    EXPECT_NE(filter.delayLine()[0], 0.0);
    filter.restart(taps, 1);
    EXPECT_EQ(filter.delayLine()[0], 0.0);
    EXPECT_EQ(filter.delayLine()[1], 0.0);
    filter.process(impulse.data(), second.data(), 16);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(reports().empty());
}

TEST_F(IirFilter, ZeroSamplesIsNoWorkAndANegativeCountIsRefused) {
    const double taps[6] = {1, 0, 0, 1, 0, 0};
    BiquadCascade filter;
    filter.init(taps, 1);
    double x = 3.0, y = -1.0;
    filter.process(&x, &y, 0);
    EXPECT_EQ(y, -1.0);
    EXPECT_TRUE(reports().empty());
    filter.process(&x, &y, -1);
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_EQ(reports()[0].context, "numIters < 0");
    EXPECT_EQ(reports()[0].funcName, "nspdbIirl");
}

} // namespace
