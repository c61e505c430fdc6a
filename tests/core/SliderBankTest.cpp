#include "core/SliderBank.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

SliderBank bankOf(int b) {
    return SliderBank::make(BankId(b));
}

TEST(SliderBank, EveryPositionOfEveryBankSurvivesTheRoundTripInBothValueOrders) {
    for (int b = 0; b < kBankCount; ++b) {
        const SliderBank bank = bankOf(b);
        for (int p = 0; p <= kChannelSliderMaximum; ++p) {
            EXPECT_EQ(bank.positionOf(bank.valueAtPosition(p)), p) << kBankTable[b].name << " preset order";
            EXPECT_EQ(bank.positionOf(bank.engineValueAtPosition(p)), p)
                << kBankTable[b].name << " engine order";
        }
    }
}

// The round trip above matters because a plain truncation loses a step on these.
TEST(SliderBank, PlainTruncationWouldWalkDelayPanAndLevelPositionsDown) {
    auto truncated = [](const SliderBank& bank, int p) {
        return static_cast<int>(
            std::trunc((bank.valueAtPosition(p) - bank.bottom) * 127 / (bank.top - bank.bottom)));
    };
    EXPECT_EQ(truncated(SliderBank::make(BankId::Delay), 17), 16);
    EXPECT_EQ(truncated(SliderBank::make(BankId::Pan), 1), 0);
    EXPECT_EQ(truncated(SliderBank::make(BankId::Level), 3), 2);
}

TEST(SliderBank, PanValueZeroShowsPosition63) {
    EXPECT_EQ(SliderBank::make(BankId::Pan).positionOf(0.0), 63);
}

TEST(SliderBank, ValuesOutsideTheRangeShowTheNearestEnd) {
    const SliderBank warp = SliderBank::make(BankId::Warp);
    EXPECT_EQ(warp.positionOf(5.0), 127);
    EXPECT_EQ(warp.positionOf(-5.0), 0);
    EXPECT_EQ(warp.positionOf(std::nan("")), 0);
    EXPECT_EQ(warp.positionOf(warp.top), 127);
    EXPECT_EQ(warp.positionOf(warp.bottom), 0);
}

TEST(SliderBank, PresetAndEngineValueOrdersDifferInTheLastBitForSomePositions) {
    int differing = 0;
    for (int b = 0; b < kBankCount; ++b) {
        const SliderBank bank = bankOf(b);
        for (int p = 0; p <= kChannelSliderMaximum; ++p) {
            const double a = bank.valueAtPosition(p);
            const double e = bank.engineValueAtPosition(p);
            if (a != e) ++differing;
            EXPECT_DOUBLE_EQ(a, e);
        }
    }
    EXPECT_GT(differing, 0);
}

TEST(SliderBank, RampPresetsRunBetweenSevenAnd127) {
    const auto echo = SliderBank::make(BankId::Echo).presets[2].position;
    const auto slew = SliderBank::make(BankId::Slew).presets[2].position;
    EXPECT_EQ(echo.front(), 7);
    EXPECT_EQ(echo.back(), 127);
    EXPECT_EQ(slew.front(), 127);
    EXPECT_EQ(slew.back(), 7);
    for (int k = 1; k < kChannels; ++k) {
        EXPECT_GT(echo[k], echo[k - 1]);
        EXPECT_LT(slew[k], slew[k - 1]);
        EXPECT_EQ(echo[k], 127 * (k + 1) / 18);
    }
}

TEST(SliderBank, PresetsSetValuesInThePresetOrderAndReturnTheirPositions) {
    for (int b = 0; b < kBankCount; ++b) {
        for (int i = 0; i < kPresetCount; ++i) {
            SliderBank bank = bankOf(b);
            const auto positions = bank.loadPreset(i);
            EXPECT_EQ(positions, bank.presets[i].position);
            for (int k = 0; k < kChannels; ++k)
                EXPECT_EQ(bank.value[k], bank.bottom + positions[k] * (1.0 / 127) * (bank.top - bank.bottom));
        }
    }
}

} // namespace
