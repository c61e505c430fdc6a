#include "core/EngineParamsUpdate.h"

#include "core/CommandDispatcher.h"
#include "NspReports.h"
#include "ScriptedHost.h"

#include <gtest/gtest.h>

namespace {

class EngineParameters : public NspReports {
protected:
    VocoderCore core;
    ScriptedHost host{core};
    CommandDispatcher dispatcher{core, host};

    void press(ControlId id) { dispatcher.dispatch(commandIdOfButton(buttonIndexOf(id))); }
    void pressBank(BankId bank) { press(control::LevelBank + bankIndex(bank)); }
    const EngineParams& afterSlider(ControlId id, int position) {
        core.controls.setParameterSlider(id, position);
        updateEngineParams(core);
        return core.params;
    }
    void setAllChannelSliders(int position) {
        for (int k = 0; k < kChannels; ++k) core.controls.setChannelSlider(k, position);
    }
};

TEST_F(EngineParameters, FrequencySliderGivesPeriodsFrom2262Through897To366) {
    EXPECT_EQ(afterSlider(control::CarrierFrequency, 0).period, 2262);
    EXPECT_EQ(afterSlider(control::CarrierFrequency, 32).period, 897);
    EXPECT_EQ(afterSlider(control::CarrierFrequency, 63).period, 366);
    EXPECT_EQ(afterSlider(control::CarrierFrequency, 12).period, 1600); // 24 steps make an octave
    EXPECT_EQ(afterSlider(control::CarrierFrequency, 36).period, 800);
}

TEST_F(EngineParameters, SampleHoldRateGivesPeriodsFrom149253To2332) {
    EXPECT_EQ(afterSlider(control::SampleHoldRate, 0).sampleHoldPeriod, 149253);
    EXPECT_EQ(afterSlider(control::SampleHoldRate, 63).sampleHoldPeriod, 2332);
    EXPECT_DOUBLE_EQ(core.params.sampleHoldRate, 64 * 6.7e-6);
}

TEST_F(EngineParameters, GainsRunFromAThousandthUpInThirtySecondsAndSibilanceAndMixInSixtyFourths) {
    EXPECT_EQ(afterSlider(control::CarrierGain, 0).carrierLevel, 0.001);
    EXPECT_DOUBLE_EQ(afterSlider(control::ModulatorGain, 63).modulatorLevel, 0.001 + 63.0 / 32.0);
    EXPECT_EQ(afterSlider(control::Sibilance, 32).sibilance, 0.5);
    EXPECT_EQ(afterSlider(control::MixLevel, 63).mix, 63.0 / 64.0);
    EXPECT_EQ(afterSlider(control::MixLevel, 0).mix, 0.0);
}

TEST_F(EngineParameters, PulseWidthGivesDutyInHundredTwentyEighthsWithItsReciprocal) {
    const EngineParams& p = afterSlider(control::PulseWidth, 63);
    EXPECT_EQ(p.duty, 0.5);
    EXPECT_EQ(p.dutyReciprocal, 2.0);
    EXPECT_DOUBLE_EQ(afterSlider(control::PulseWidth, 0).dutyReciprocal, 128.0);
}

TEST_F(EngineParameters, LevelAtTheTopOfItsSlidersIs0_0004) {
    setAllChannelSliders(127);
    updateEngineParams(core);
    for (double level : core.params.level) EXPECT_DOUBLE_EQ(level, 0.0004);
}

TEST_F(EngineParameters, EachBlockTakesTheCurrentBankInTheEngineOrder) {
    // A position whose two value orders differ shows which order the block used.
    const SliderBank& level = core.bank(BankId::Level);
    int p = 0;
    while (p < 128 && level.valueAtPosition(p) == level.engineValueAtPosition(p)) ++p;
    ASSERT_LT(p, 128);
    setAllChannelSliders(p);
    updateEngineParams(core);
    EXPECT_EQ(core.params.level[0], level.engineValueAtPosition(p));
    EXPECT_EQ(core.params.level[0], level.bottom + (level.top - level.bottom) * p * (1.0 / 127));
}

TEST_F(EngineParameters, OnlyTheSelectedArrayFollowsTheSliders) {
    setAllChannelSliders(100);
    updateEngineParams(core);
    const auto level = core.params.level;
    EXPECT_EQ(core.params.pan, decltype(core.params.pan){});

    pressBank(BankId::Pan);
    setAllChannelSliders(0);
    updateEngineParams(core);
    for (double pan : core.params.pan) EXPECT_EQ(pan, -1.0);
    EXPECT_EQ(core.params.level, level);
    for (double warp : core.params.warp) EXPECT_EQ(warp, 0.0);
}

TEST_F(EngineParameters, SwitchingToDelayMakesTheSliderPositionsTheDelaysAtTheNextBlock) {
    pressBank(BankId::Delay);
    for (int k = 0; k < kChannels; ++k) core.controls.setChannelSlider(k, 7 * k);
    updateEngineParams(core);
    for (int k = 0; k < kChannels; ++k) EXPECT_EQ(core.params.delay[k], 7 * k);
}

TEST_F(EngineParameters, DelaysAndEchoTimesStayWhenTheirBankIsNoLongerCurrent) {
    updateEngineParams(core);
    EXPECT_EQ(core.params.echoTime[0], 64); // from its start position, never shown on the sliders
    pressBank(BankId::Delay);
    setAllChannelSliders(30);
    updateEngineParams(core);
    pressBank(BankId::ETime);
    setAllChannelSliders(90);
    updateEngineParams(core);
    pressBank(BankId::Slew);
    setAllChannelSliders(5);
    updateEngineParams(core);
    for (int k = 0; k < kChannels; ++k) {
        EXPECT_EQ(core.params.delay[k], 30);
        EXPECT_EQ(core.params.echoTime[k], 90);
        EXPECT_EQ(core.delayPositions[k], 30);
        EXPECT_EQ(core.etimePositions[k], 90);
    }
}

TEST_F(EngineParameters, SwitchesFollowTheButtons) {
    press(control::HoldSpectrum);
    press(control::SampleHold);
    press(control::Smooth);
    press(control::Eq);
    press(control::Chorus1Carrier);
    press(control::Yodel);
    press(control::Track);
    press(41); // " +3 "
    press(control::InvertSpectrum);
    updateEngineParams(core);
    const EngineParams& p = core.params;
    EXPECT_TRUE(p.hold && p.sampleHold && p.smooth && p.eq && p.chord && p.chordFirst && p.yodel && p.track);
    EXPECT_FALSE(p.enhance);
    EXPECT_EQ(p.shift, -3);
    for (int k = 0; k < kChannels; ++k) EXPECT_EQ(p.source[k], 17 - k);

    press(control::Chorus2Carrier);
    press(control::Enhance);
    updateEngineParams(core);
    EXPECT_TRUE(core.params.chord && core.params.enhance);
    EXPECT_FALSE(core.params.chordFirst || core.params.smooth);
}

} // namespace
