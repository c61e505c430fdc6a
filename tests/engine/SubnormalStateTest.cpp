#include "engine/SubnormalState.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr double kSmallestNormal = std::numeric_limits<double>::min();
constexpr double kSmallestSubnormal = std::numeric_limits<double>::denorm_min();

std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

TEST(SubnormalState, AStateOfZerosAndSubnormalsOfEitherSignBecomesPositiveZeros) {
    std::array<double, 6> state = {
        kSmallestSubnormal, -0.0, -kSmallestSubnormal * 7, 0.0, kSmallestNormal / 2, -kSmallestNormal / 3};
    EXPECT_TRUE(clearIfSubnormal(state.data(), 6, 1));
    for (double value : state) EXPECT_EQ(bits(value), bits(0.0));
}

TEST(SubnormalState, OneNormalValueOrNaNAnywhereKeepsTheWholeStateAsItWas) {
    for (double keeper :
         {kSmallestNormal, -kSmallestNormal, 1e-300, -4000.0, std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN()}) {
        for (int at = 0; at < 4; ++at) {
            std::array<double, 4> state = {kSmallestSubnormal, -kSmallestSubnormal, kSmallestSubnormal, -0.0};
            state[at] = keeper;
            const std::array<double, 4> before = state;
            EXPECT_FALSE(clearIfSubnormal(state.data(), 4, 1)) << keeper << " at " << at;
            for (int i = 0; i < 4; ++i) EXPECT_EQ(bits(state[i]), bits(before[i])) << keeper << " at " << at;
        }
    }
}

TEST(SubnormalState, OnlyTheValuesAtTheStrideAreReadAndCleared) {
    // Two filters interleaved, as in a group of two lanes: clearing the first leaves the
    // second's values alone, and the second's normal values do not keep the first.
    std::array<double, 6> lanes = {kSmallestSubnormal, 1.0, -kSmallestSubnormal, 2.0, 0.0, 3.0};
    EXPECT_TRUE(clearIfSubnormal(lanes.data(), 3, 2));
    EXPECT_EQ(lanes, (std::array<double, 6>{0.0, 1.0, 0.0, 2.0, 0.0, 3.0}));
    EXPECT_FALSE(clearIfSubnormal(lanes.data() + 1, 3, 2));
}

} // namespace
