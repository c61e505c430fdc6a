#include "core/CommandDispatcher.h"

#include "core/EngineParamsUpdate.h"
#include "NspReports.h"
#include "RandomDraws.h"
#include "ScriptedHost.h"
#include "engine/VocoderKernel.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

class Dispatcher : public NspReports {
protected:
    VocoderCore core;
    ScriptedHost host{core};
    CommandDispatcher dispatcher{core, host};

    void press(ControlId id) { dispatcher.dispatch(commandOf(id)); }
    void doubleClick(ControlId id) { dispatcher.doubleClick(commandOf(id)); }
    static int commandOf(ControlId id) { return commandIdOfButton(buttonIndexOf(id)); }
    bool lit(ControlId id) const { return core.controls.litControl(id); }
    std::vector<int> channelSliders() const {
        std::vector<int> positions;
        for (int k = 0; k < kChannels; ++k) positions.push_back(core.controls.channelSlider(k));
        return positions;
    }
    // The member of `group` that is lit; fails unless there is exactly one.
    ControlId litMember(ExclusiveGroup group) const {
        ControlId found = -1;
        int count = 0;
        for (int b = 0; b < kButtonCount; ++b) {
            if (buttonInfo(b).group == group && core.controls.lit(b)) {
                found = controlIdOfButton(b);
                ++count;
            }
        }
        EXPECT_EQ(count, 1) << "group " << int(group);
        return found;
    }
};

// ---- Exclusive groups ------------------------------------------------------------------

TEST_F(Dispatcher, ExclusiveGroupsKeepExactlyOneLitMemberWhoseFieldsHoldAfterAnySequenceOfPresses) {
    std::mt19937 pick(42);
    std::uniform_int_distribution<int> button(0, kButtonCount - 1);
    for (int i = 0; i < 3000; ++i) {
        dispatcher.dispatch(commandIdOfButton(button(pick)));

        const ControlId shift = litMember(ExclusiveGroup::Shift);
        EXPECT_EQ(core.state.shiftSteps, -std::stoi(std::string(controlInfo(shift).label)));
        EXPECT_EQ(core.state.inputMode, litMember(ExclusiveGroup::Input) - control::InputLR);

        const ControlId width = litMember(ExclusiveGroup::Width);
        const FilterWidth expected = width == control::NarrowFilter ? FilterWidth::Narrow
                                     : width == control::WideFilter ? FilterWidth::Wide
                                                                    : FilterWidth::Normal;
        EXPECT_EQ(core.filterBank.width(), expected);
        EXPECT_EQ(filterWidthFromFlags(core.state.narrowFilter, core.state.wideFilter), expected);
        EXPECT_FALSE(core.state.narrowFilter && core.state.wideFilter);

        const ControlId carrier = litMember(ExclusiveGroup::Carrier);
        EXPECT_EQ(core.state.carrierPulse, carrier == control::PulseCarrier);
        EXPECT_EQ(core.state.carrierNoise, carrier == control::NoiseCarrier);
        EXPECT_EQ(core.state.carrierChorus,
                  carrier == control::Chorus1Carrier || carrier == control::Chorus2Carrier);
        EXPECT_EQ(core.state.chorusFirst, carrier == control::Chorus1Carrier);

        EXPECT_EQ(bankIndex(core.state.currentBank),
                  litMember(ExclusiveGroup::SliderMode) - control::LevelBank);
        if (HasFailure()) break;
    }
}

TEST_F(Dispatcher, PressingTheLitZeroShiftButtonAgainKeepsItLit) {
    ASSERT_TRUE(lit(control::ShiftZero));
    press(control::ShiftZero);
    EXPECT_TRUE(lit(control::ShiftZero));
    EXPECT_EQ(core.state.shiftSteps, 0);
}

// ---- Toggles ---------------------------------------------------------------------------

TEST_F(Dispatcher, TogglesMirrorTheirStateIntoTheirFields) {
    const std::map<ControlId, bool ControlState::*> toggles{
        {control::Rec, &ControlState::recordOn},
        {control::RepeatCarrier, &ControlState::repeatCarrierFile},
        {control::RepeatModulator, &ControlState::repeatModulatorFile},
        {control::SampleHold, &ControlState::sampleHoldOn},
        {control::HoldSpectrum, &ControlState::holdOn},
        {control::Enhance, &ControlState::enhanceOn},
        {control::Smooth, &ControlState::smoothOn},
        {control::Eq, &ControlState::eqOn},
        {control::VoicedUnvoiced, &ControlState::voicedUnvoicedOn},
        {control::Yodel, &ControlState::yodelOn},
        {control::Track, &ControlState::trackOn},
        {control::SlaveMove, &ControlState::slaveMoveOn},
    };
    for (const auto& [id, field] : toggles) {
        const bool before = lit(id);
        EXPECT_EQ(core.state.*field, before) << controlInfo(id).name;
        press(id);
        EXPECT_EQ(lit(id), !before) << controlInfo(id).name;
        EXPECT_EQ(core.state.*field, !before) << controlInfo(id).name;
        press(id);
        EXPECT_EQ(lit(id), before) << controlInfo(id).name;
        EXPECT_EQ(core.state.*field, before) << controlInfo(id).name;
    }
}

TEST_F(Dispatcher, PressingEnhWhileSmthIsLitLeavesOnlyEnhLitAndAgainLeavesBothDark) {
    press(control::Smooth);
    press(control::Enhance);
    EXPECT_TRUE(lit(control::Enhance) && core.state.enhanceOn);
    EXPECT_FALSE(lit(control::Smooth) || core.state.smoothOn);
    press(control::Enhance);
    EXPECT_FALSE(lit(control::Enhance) || lit(control::Smooth) || core.state.enhanceOn);
}

// ---- Filter width ----------------------------------------------------------------------

TEST_F(Dispatcher, WidthButtonsRebuildOnlyTheBandFiltersForTheirWidth) {
    // The reference kernel runs the bank's own filters, whose delay lines show the rebuild.
    VocoderKernel reference{core.filterBank};
    std::array<double, BLOCK_SIZE> carrier{}, modulator{}, left{}, right{};
    updateEngineParams(core);
    for (int block = 0; block < 20; ++block) {
        for (int n = 0; n < BLOCK_SIZE; ++n) {
            carrier[n] = 8000.0 * std::sin(0.9 * (block * BLOCK_SIZE + n));
            modulator[n] = 8000.0 * std::sin(2.3 * (block * BLOCK_SIZE + n));
        }
        reference.process(core.params, carrier.data(), modulator.data(), left.data(), right.data());
    }
    auto silent = [](const BiquadCascade& f) {
        return std::all_of(f.delayLine(), f.delayLine() + 2 * f.sections(),
                           [](double v) { return v == 0.0; });
    };
    ASSERT_FALSE(silent(core.filterBank.modulatorBand[17]));
    ASSERT_FALSE(silent(core.filterBank.envelopeLowpass[17]));

    press(control::WideFilter);
    EXPECT_EQ(core.filterBank.width(), FilterWidth::Wide);
    EXPECT_TRUE(core.state.wideFilter);
    for (int k = 0; k < kChannels; ++k) {
        EXPECT_TRUE(core.filterBank.modulatorBand[k].isInitialised());
        EXPECT_TRUE(silent(core.filterBank.modulatorBand[k]));
        EXPECT_TRUE(silent(core.filterBank.carrierBand[k]));
    }
    EXPECT_FALSE(silent(core.filterBank.envelopeLowpass[17])); // runs on across the rebuild

    press(control::NarrowFilter);
    EXPECT_EQ(core.filterBank.width(), FilterWidth::Narrow);
    EXPECT_TRUE(core.state.narrowFilter && !core.state.wideFilter);
    press(control::NormalFilter);
    EXPECT_EQ(core.filterBank.width(), FilterWidth::Normal);
    EXPECT_FALSE(core.state.narrowFilter || core.state.wideFilter);
    EXPECT_TRUE(reports().empty());
}

// ---- Banks, presets, randomize -----------------------------------------------------------

TEST_F(Dispatcher, SliderModeButtonsShowTheBankTheyChoose) {
    core.state.slidersDirty = false;
    press(69); // " Pan "
    EXPECT_EQ(core.state.currentBank, BankId::Pan);
    EXPECT_EQ(core.controls.caption(buttonIndexOf(control::Preset1)), "Sprd ");
    EXPECT_EQ(core.controls.caption(buttonIndexOf(control::Preset1 + 1)), "Split ");
    EXPECT_EQ(core.controls.caption(buttonIndexOf(control::Preset3)), "Mono ");
    EXPECT_EQ(channelSliders(), std::vector<int>(kChannels, 63)); // pan 0.0 sits just below the middle
    EXPECT_TRUE(core.state.slidersDirty);
}

TEST_F(Dispatcher, SwitchingAwayFromABankAndBackShowsTheSamePositions) {
    for (int b = 0; b < kBankCount; ++b) {
        press(control::LevelBank + b);
        std::vector<int> set;
        for (int k = 0; k < kChannels; ++k)
            set.push_back(core.controls.setChannelSlider(k, (k * 37 + b * 11) % 128));
        updateEngineParams(core); // the bank's values follow its sliders once per block
        press(b == 0 ? 69 : control::LevelBank);
        press(control::LevelBank + b);
        EXPECT_EQ(channelSliders(), set) << kBankTable[b].name;
    }
}

TEST_F(Dispatcher, PresetsGiveTheirPositionsAndValuesOfTheCurrentBank) {
    press(69);                   // " Pan "
    press(control::Preset1 + 1); // "Split "
    for (int k = 0; k < kChannels; ++k) {
        EXPECT_EQ(core.controls.channelSlider(k), k < 9 ? 127 : 0);
        EXPECT_DOUBLE_EQ(core.bank(BankId::Pan).value[k], k < 9 ? 1.0 : -1.0);
    }
    press(76); // "Warp"
    core.state.slidersDirty = false;
    press(control::Preset1 + 1); // "Cmpr "
    const SliderBank& warp = core.bank(BankId::Warp);
    for (int k = 0; k < kChannels; ++k) {
        EXPECT_EQ(core.controls.channelSlider(k), 100);
        EXPECT_EQ(warp.value[k], warp.bottom + 100 * (1.0 / 127) * (warp.top - warp.bottom));
    }
    EXPECT_TRUE(core.state.slidersDirty);
    EXPECT_EQ(core.bank(BankId::Pan).value[0], core.bank(BankId::Pan).valueAtPosition(127)); // untouched
}

TEST_F(Dispatcher, RandomizeDrawsFromTheCoresGeneratorAndShowsTheDrawsOnTheSliders) {
    press(control::LevelBank + bankIndex(BankId::Echo));
    core.random.seed(777);
    CRandom replay(777);
    press(control::Randomize);
    const SliderBank& echo = core.bank(BankId::Echo);
    for (int k = 0; k < kChannels; ++k) {
        const int n = replay.next() * 128 / 32767;
        EXPECT_EQ(core.controls.channelSlider(k), std::min(n, 127));
        EXPECT_EQ(echo.value[k], echo.bottom + (echo.top - echo.bottom) * n / 128);
    }
    EXPECT_TRUE(core.state.slidersDirty);
}

TEST_F(Dispatcher, RandomizeDrawingTheTopValueSetsTopAndShows127) {
    core.random.seed(stateBeforeTopDraw());
    press(control::Randomize);
    EXPECT_EQ(core.controls.channelSlider(0), 127);
    EXPECT_DOUBLE_EQ(core.bank(BankId::Level).value[0], core.bank(BankId::Level).top);
}

// ---- Routing -----------------------------------------------------------------------------

TEST_F(Dispatcher, InvertTwiceAndSwapTwiceRestoreTheMapAndEachPublishesIt) {
    core.random.seed(5);
    press(control::RandSpectrum);
    const ChannelMap start = core.channelMap;
    host.calls.clear();
    press(control::InvertSpectrum);
    press(control::InvertSpectrum);
    EXPECT_EQ(core.channelMap, start);
    press(control::SwapSpectrum);
    press(control::SwapSpectrum);
    EXPECT_EQ(core.channelMap, start);
    EXPECT_EQ(host.calls, std::vector<std::string>(4, "channelMapChanged"));
}

TEST_F(Dispatcher, InvertThenSwapFromIdentityGives16_17_14_15Through0_1) {
    press(control::InvertSpectrum);
    press(control::SwapSpectrum);
    EXPECT_EQ(core.channelMap, (ChannelMap{16, 17, 14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1}));
}

TEST_F(Dispatcher, RandKeepsEveryIndexWithin0To17AndLinRestoresIdentity) {
    core.random.seed(stateBeforeTopDraw());
    press(control::RandSpectrum);
    ChannelMap sorted = core.channelMap;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, channel_map::identity());
    EXPECT_NE(core.channelMap, channel_map::identity());
    press(control::LinearSpectrum);
    EXPECT_EQ(core.channelMap, channel_map::identity());
}

// ---- Files, recording ----------------------------------------------------------------------

TEST_F(Dispatcher, PCarWithNoCarrierFileLoadedStaysDarkAndDarkensRptC) {
    press(control::RepeatCarrier);
    ASSERT_TRUE(lit(control::RepeatCarrier));
    press(control::PlayCarrier);
    EXPECT_FALSE(lit(control::PlayCarrier) || lit(control::RepeatCarrier));
    EXPECT_FALSE(core.state.playCarrierFile || core.state.repeatCarrierFile);
}

TEST_F(Dispatcher, PCarWithAFileLoadedStartsItFromTheBeginningAndASecondPressStopsIt) {
    core.carrierFile.resize(3);
    press(control::PlayCarrier);
    EXPECT_TRUE(lit(control::PlayCarrier));
    EXPECT_TRUE(core.state.playCarrierFile && core.state.carrierFileRestart);
    press(control::RepeatCarrier);
    press(control::PlayCarrier);
    EXPECT_FALSE(lit(control::PlayCarrier) || lit(control::RepeatCarrier));
    EXPECT_FALSE(core.state.playCarrierFile || core.state.repeatCarrierFile);
}

TEST_F(Dispatcher, LoadStopsFilePlaybackAndRunsTheFileDialogsWithOutputPaused) {
    core.carrierFile.resize(2);
    core.modulatorFile.resize(2);
    for (ControlId id :
         {control::PlayCarrier, control::RepeatCarrier, control::PlayModulator, control::RepeatModulator})
        press(id);
    host.calls.clear();
    host.carrierBlocksToLoad = 4;
    press(control::Load);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"pause", "loadWavFiles", "resume"}));
    for (ControlId id :
         {control::PlayCarrier, control::RepeatCarrier, control::PlayModulator, control::RepeatModulator})
        EXPECT_FALSE(lit(id));
    EXPECT_FALSE(core.state.playCarrierFile || core.state.repeatCarrierFile || core.state.playModulatorFile ||
                 core.state.repeatModulatorFile);
    EXPECT_EQ(core.carrierFile.size(), 4u);
    press(control::PlayCarrier);
    EXPECT_TRUE(lit(control::PlayCarrier));
    press(control::PlayModulator); // the load brought no modulator
    EXPECT_FALSE(lit(control::PlayModulator));
}

TEST_F(Dispatcher, RecStartingDiscardsTheEarlierRecordingAndStoppingKeepsIt) {
    EXPECT_EQ(core.recording, nullptr);
    press(control::Rec);
    ASSERT_NE(core.recording, nullptr);
    core.recording->left.resize(5);
    core.recording->right.resize(5);
    press(control::Rec);
    EXPECT_FALSE(core.state.recordOn);
    ASSERT_NE(core.recording, nullptr);
    EXPECT_EQ(core.recording->left.size(), 5u);
    press(control::Rec);
    ASSERT_NE(core.recording, nullptr);
    EXPECT_TRUE(core.recording->left.empty() && core.recording->right.empty());
}

TEST_F(Dispatcher, PlayStopsRecordingAndPlaysTheRecordingFromItsStart) {
    press(control::Rec);
    core.state.playRestart = false;
    press(control::Play);
    EXPECT_FALSE(lit(control::Rec) || core.state.recordOn);
    EXPECT_TRUE(core.state.playRecording && core.state.playRestart);
}

TEST_F(Dispatcher, SaveWithARecordingStopsRecAndSavesWithOutputPaused) {
    press(control::Save);
    EXPECT_TRUE(host.calls.empty());
    press(control::Rec);
    press(control::Save);
    EXPECT_FALSE(lit(control::Rec) || core.state.recordOn);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"pause", "saveRecording", "resume"}));
}

// ---- Host work ----------------------------------------------------------------------------

TEST_F(Dispatcher, DialogsRunWithOutputPausedWhileHelpDisplayAndAudioGoStraightToTheHost) {
    press(control::LoadSettings);
    press(control::SaveSettings);
    press(control::MidiSettings);
    press(control::Help);
    press(control::DisplayMode);
    press(control::AudioSettings);
    EXPECT_EQ(host.calls, (std::vector<std::string>{
                              "pause", "loadSettings", "resume", "pause", "saveSettings", "resume", "pause",
                              "configureMidi", "resume", "openHelp", "toggleDisplayMode", "reopenAudio"}));
}

TEST_F(Dispatcher, PushButtonsNeverLatch) {
    for (int b = 0; b < kButtonCount; ++b) {
        if (!isPushButton(b)) continue;
        dispatcher.dispatch(commandIdOfButton(b));
        EXPECT_FALSE(core.controls.lit(b)) << buttonInfo(b).name;
        EXPECT_TRUE(core.controls.isPush(b));
    }
}

TEST_F(Dispatcher, IdentifiersOutsideTheButtonRangeChangeNothing) {
    const ControlState state = core.state;
    const auto revision = core.controls.revision();
    for (int id : {0, 200, 259, -1, 1000}) dispatcher.dispatch(id);
    EXPECT_EQ(core.state, state);
    EXPECT_EQ(core.controls.revision(), revision);
    EXPECT_TRUE(host.calls.empty());
}

// ---- Double click ---------------------------------------------------------------------------

TEST_F(Dispatcher, DoubleClickOnPCarStartsBothFilesFromTheirBeginningsWithoutEcho) {
    core.midiSlots[0] = {control::PlayCarrier, 60};
    core.carrierFile.resize(2);
    core.modulatorFile.resize(2);
    press(control::PlayCarrier);
    core.state.carrierFileRestart = false;
    host.sent.clear();
    doubleClick(control::PlayCarrier);
    EXPECT_TRUE(host.sent.empty());
    EXPECT_TRUE(lit(control::PlayCarrier) && lit(control::PlayModulator));
    EXPECT_TRUE(core.state.playCarrierFile && core.state.carrierFileRestart);
    EXPECT_TRUE(core.state.playModulatorFile && core.state.modulatorFileRestart);
}

TEST_F(Dispatcher, DoubleClickOnADarkPCarStopsBothFiles) {
    core.carrierFile.resize(2);
    core.modulatorFile.resize(2);
    press(control::PlayModulator);
    press(control::RepeatModulator);
    press(control::RepeatCarrier);
    doubleClick(control::PlayCarrier); // PCar itself is dark
    for (ControlId id :
         {control::PlayCarrier, control::RepeatCarrier, control::PlayModulator, control::RepeatModulator})
        EXPECT_FALSE(lit(id));
    EXPECT_FALSE(core.state.playCarrierFile || core.state.repeatCarrierFile || core.state.playModulatorFile ||
                 core.state.repeatModulatorFile);
}

TEST_F(Dispatcher, DoubleClickOnPCarLeavesPModDarkWhenNoModulatorFileIsLoaded) {
    core.carrierFile.resize(2);
    press(control::PlayCarrier);
    doubleClick(control::PlayCarrier);
    EXPECT_TRUE(lit(control::PlayCarrier) && core.state.playCarrierFile);
    EXPECT_FALSE(lit(control::PlayModulator) || core.state.playModulatorFile);
}

// ---- MIDI echo -------------------------------------------------------------------------------

TEST_F(Dispatcher, PushButtonEchoes127Then0OnItsController) {
    core.midiSlots[3] = {control::InvertSpectrum, 20};
    press(control::InvertSpectrum);
    EXPECT_EQ(host.sent, (std::vector<std::pair<int, int>>{{20, 127}, {20, 0}}));
}

TEST_F(Dispatcher, LatchedButtonEchoesWhetherItIsNowLit) {
    core.midiSlots[0] = {control::Eq, 30};
    core.midiSlots[1] = {control::ShiftZero, 31};
    press(control::Eq);
    press(control::Eq);
    press(control::ShiftZero); // already lit: stays lit
    EXPECT_EQ(host.sent, (std::vector<std::pair<int, int>>{{30, 127}, {30, 0}, {31, 127}}));
}

TEST_F(Dispatcher, AButtonWithTwoAssignmentsEchoesOnBoth) {
    core.midiSlots[2] = {control::Yodel, 40};
    core.midiSlots[17] = {control::Yodel, 41};
    press(control::Yodel);
    EXPECT_EQ(host.sent, (std::vector<std::pair<int, int>>{{40, 127}, {41, 127}}));
}

TEST_F(Dispatcher, NothingIsEchoedWithoutAReadyOutputOrForOtherControls) {
    core.midiSlots[0] = {control::Track, 50};
    core.midiSlots[1] = {25, 51}; // channel slider 18: command 200 would name it without the guard
    core.midiSlots[2] = {control::Off, 52};
    host.echoReady = false;
    press(control::Track);
    EXPECT_TRUE(host.sent.empty());
    host.echoReady = true;
    dispatcher.dispatch(200);
    dispatcher.dispatch(201); // REC: no slot
    EXPECT_TRUE(host.sent.empty());
}

// ---- Slave move --------------------------------------------------------------------------------

TEST_F(Dispatcher, LeftDragMovesEveryChannelSliderTheSameAmountOnlyWhileSlaveMoveIsOn) {
    core.state.slidersDirty = false;
    dispatcher.moveChannelSlider(5, 67, SlaveMode::Parallel);
    EXPECT_EQ(channelSliders(), std::vector<int>(kChannels, 67));
    EXPECT_TRUE(core.state.slidersDirty);

    press(control::SlaveMove); // off: only the moved slider changes
    dispatcher.moveChannelSlider(9, 20, SlaveMode::Parallel);
    EXPECT_EQ(core.controls.channelSlider(9), 20);
    EXPECT_EQ(core.controls.channelSlider(8), 67);
}

TEST_F(Dispatcher, RightDragWithSlaveMoveTiltsTheBankAroundTheDraggedSlider) {
    dispatcher.moveChannelSlider(5, 67, SlaveMode::Tilt);
    EXPECT_EQ(core.controls.channelSlider(5), 67);
    EXPECT_EQ(core.controls.channelSlider(0), 64 + 15);
    EXPECT_EQ(core.controls.channelSlider(17), 64 + 36);
    EXPECT_EQ(core.controls.channelSlider(4), 64 + 3);
}

TEST_F(Dispatcher, SlaveMovesStopAtTheEndsOfTheSliders) {
    dispatcher.moveChannelSlider(5, 69, SlaveMode::Tilt); // +5: slider 17 goes to 124
    dispatcher.moveChannelSlider(5, 74, SlaveMode::Tilt); // +5 again: 184, kept at 127
    EXPECT_EQ(core.controls.channelSlider(17), 127);
    EXPECT_EQ(core.controls.channelSlider(0), 64 + 25 + 25);
    dispatcher.moveChannelSlider(17, 0, SlaveMode::Parallel); // −127 for everyone
    EXPECT_EQ(channelSliders(), std::vector<int>(kChannels, 0));
}

} // namespace
