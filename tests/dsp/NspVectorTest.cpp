#include "dsp/Nsp.h"
#include "NspReports.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using VectorRoutines = NspReports;

TEST_F(VectorRoutines, AddCopyAndMultiplyWorkElementByElement) {
    std::vector<double> a{1, 2, 3, 4, 5};
    std::vector<double> b{10, 20, 30, 40, 50};
    nspdbAdd2(a.data(), b.data(), 5);
    EXPECT_EQ(b, (std::vector<double>{11, 22, 33, 44, 55}));
    nspdbMpy1(-0.5, b.data(), 5);
    EXPECT_EQ(b, (std::vector<double>{-5.5, -11, -16.5, -22, -27.5}));
    nspdbCopy(a.data(), b.data(), 3);
    EXPECT_EQ(b, (std::vector<double>{1, 2, 3, -22, -27.5}));
    EXPECT_TRUE(reports().empty());
}

TEST_F(VectorRoutines, MeanIsTheSumInIndexOrderOverTheCount) {
    const double two[2] = {1.0, 2.0};
    EXPECT_EQ(nspdMean(two, 2), 1.5);
    const double one[1] = {-123.25};
    EXPECT_EQ(nspdMean(one, 1), -123.25);
    // Summed left to right, the small values are lost against the large one.
    const double order[4] = {1.0, 1e16, 1.0, -1e16};
    EXPECT_EQ(nspdMean(order, 4), 0.0);
}

TEST_F(VectorRoutines, AbsClearsTheSignBitSoMinusZeroBecomesPlusZero) {
    std::vector<double> v{-0.0, -3.5, 2.0, -1e-310};
    nspdbAbs1(v.data(), 4);
    EXPECT_FALSE(std::signbit(v[0]));
    EXPECT_EQ(v[1], 3.5);
    EXPECT_EQ(v[2], 2.0);
    EXPECT_EQ(v[3], 1e-310);
}

TEST_F(VectorRoutines, ThresholdGreaterLimitsFromAboveAndLeavesTheRestAlone) {
    std::vector<double> v{40000, -40000, 32000, 31999.5};
    nspdbThresh1(v.data(), 4, 32000, NSP_GT);
    EXPECT_EQ(v, (std::vector<double>{32000, -40000, 32000, 31999.5}));
    nspdbThresh1(v.data(), 4, -32000, NSP_LT);
    EXPECT_EQ(v, (std::vector<double>{32000, -32000, 32000, 31999.5}));
}

TEST_F(VectorRoutines, MinAndMaxFindTheExtremes) {
    const double v[5] = {3, -7, 12, 0, -6.5};
    EXPECT_EQ(nspdMin(v, 5), -7);
    EXPECT_EQ(nspdMax(v, 5), 12);
    EXPECT_EQ(nspdMin(v, 1), 3);
}

TEST_F(VectorRoutines, BadLengthsAndNullVectorsAreReportedWithTheirContexts) {
    nspdbAdd2(nullptr, nullptr, 0);
    ASSERT_EQ(reports().size(), 3u);
    EXPECT_EQ(reports()[0].context, "n<=0");
    EXPECT_EQ(reports()[1].context, "src==0");
    EXPECT_EQ(reports()[2].context, "dst==0");
    EXPECT_EQ(reports()[2].file, "nsparith");
    EXPECT_EQ(reports()[2].line, 620);

    nspSetErrStatus(0);
    reports().clear();
    EXPECT_EQ(nspdMean(nullptr, -1), 0.0);
    ASSERT_EQ(reports().size(), 2u);
    EXPECT_EQ(reports()[0].context, "len<=0");
    EXPECT_EQ(reports()[1].context, "vec==0");
    EXPECT_EQ(reports()[1].file, "nspvec");
    EXPECT_EQ(reports()[1].line, 3138);
}

TEST_F(VectorRoutines, DoNothingOnceTheStatusIsNegative) {
    nspSetErrStatus(NSP_StsBadArg);
    std::vector<double> v{1, 2};
    nspdbMpy1(5.0, v.data(), 2);
    EXPECT_EQ(v, (std::vector<double>{1, 2}));
    EXPECT_EQ(nspdMean(v.data(), 2), 0.0);
    EXPECT_TRUE(reports().empty());
}

} // namespace
