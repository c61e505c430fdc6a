#include "midi/MidiMapping.h"

#include "midi/MidiInputQueue.h"
#include "MidiTestSupport.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

using Sent = std::vector<std::pair<int, int>>;

class Mapping : public ::testing::Test {
protected:
    VocoderCore core;
    RecordedOutput output;
    EchoHost host{output};
    CommandDispatcher dispatcher{core, host};
    MidiMapping mapping{core, dispatcher};

    void assign(int slot, ControlId control, int controller) {
        core.midiSlots[static_cast<std::size_t>(slot)] = {control, controller};
    }
    void receive(const MidiMessage& message) { mapping.handleMessage(message); }
    int slider(ControlId id) const { return core.controls.slider(sliderIndexOf(id)); }
    bool lit(ControlId id) const { return core.controls.litControl(id); }
};

// ---- Input channel ---------------------------------------------------------------------

TEST_F(Mapping, AControlChangeOnTheChosenChannelIsAppliedAndOnAnotherIgnored) {
    assign(0, control::CarrierGain, 7);
    core.midiInChannel = 5;
    receive(controlChange(4, 7, 100)); // channel 5
    EXPECT_EQ(slider(control::CarrierGain), 50);
    receive(controlChange(5, 7, 20)); // channel 6
    EXPECT_EQ(slider(control::CarrierGain), 50);
}

TEST_F(Mapping, OmniTakesEveryChannelAndOffNone) {
    assign(0, control::SampleHoldRate, 7);
    for (int channel = 0; channel < 16; ++channel) {
        receive(controlChange(channel, 7, 2 * channel + 10));
        EXPECT_EQ(slider(control::SampleHoldRate), channel + 5) << "channel " << channel + 1;
    }
    core.midiInChannel = 17;
    const auto before = core.controls.revision();
    for (int channel = 0; channel < 16; ++channel) {
        receive(controlChange(channel, 7, 0));
        receive(noteOn(channel, 60, 100));
    }
    EXPECT_EQ(core.controls.revision(), before);
}

// ---- Sliders ---------------------------------------------------------------------------

TEST_F(Mapping, AParameterSliderOnController7Receiving127Shows63AndEchoes126) {
    assign(0, control::CarrierGain, 7);
    receive(controlChange(0, 7, 127));
    EXPECT_EQ(slider(control::CarrierGain), 63);
    mapping.echoSliders(output);
    EXPECT_EQ(output.sent, (Sent{{7, 126}}));
}

TEST_F(Mapping, AChannelSliderReceiving127Shows127EchoesItAndSetsTheCurrentBanksValue) {
    core.state.slaveMoveOn = false;
    dispatcher.dispatch(commandIdOfButton(buttonIndexOf(control::LevelBank + 1))); // Pan: -1 .. 1
    assign(0, kFirstChannelControl + 3, 21);
    const SliderBank& pan = core.currentBank();

    receive(controlChange(0, 21, 0));
    EXPECT_EQ(pan.value[3], pan.bottom);
    receive(controlChange(0, 21, 96));
    EXPECT_EQ(pan.positionOf(pan.value[3]), 96);
    receive(controlChange(0, 21, 127));
    EXPECT_EQ(core.controls.channelSlider(3), 127);
    EXPECT_DOUBLE_EQ(pan.value[3], pan.top);
    mapping.echoSliders(output);
    EXPECT_EQ(output.sent, (Sent{{21, 127}}));
}

TEST_F(Mapping, WithSlaveMoveTheOtherChannelSlidersFollowByTheDistanceMoved) {
    core.state.slaveMoveOn = true;
    core.controls.setChannelSlider(0, 120);
    assign(0, kFirstChannelControl + 5, 40);
    receive(controlChange(0, 40, 100)); // 36 up from the start position 64
    EXPECT_EQ(core.controls.channelSlider(5), 100);
    EXPECT_EQ(core.controls.channelSlider(4), 100);
    EXPECT_EQ(core.controls.channelSlider(0), 127);
    EXPECT_TRUE(core.state.slidersDirty);

    core.state.slaveMoveOn = false;
    receive(controlChange(0, 40, 10));
    EXPECT_EQ(core.controls.channelSlider(5), 10);
    EXPECT_EQ(core.controls.channelSlider(4), 100);
}

TEST_F(Mapping, SeveralSlotsOnOneControllerAreEachApplied) {
    core.state.slaveMoveOn = false;
    assign(2, control::MixLevel, 12);
    assign(9, kFirstChannelControl + 17, 12);
    assign(15, control::Eq, 12);
    assign(16, control::Sibilance, 13);
    receive(controlChange(0, 12, 120));
    EXPECT_EQ(slider(control::MixLevel), 60);
    EXPECT_EQ(core.controls.channelSlider(17), 120);
    EXPECT_TRUE(lit(control::Eq));
    EXPECT_EQ(slider(control::Sibilance), 0);
}

// ---- Buttons ---------------------------------------------------------------------------

TEST_F(Mapping, ALampButtonOnAPedalIsLitWhileDownAndDarkWhenUp) {
    assign(0, control::Eq, 64);
    receive(controlChange(0, 64, 127));
    EXPECT_TRUE(lit(control::Eq) && core.state.eqOn);
    receive(controlChange(0, 64, 64));
    EXPECT_TRUE(lit(control::Eq));
    receive(controlChange(0, 64, 0));
    EXPECT_FALSE(lit(control::Eq) || core.state.eqOn);
}

TEST_F(Mapping, AButtonSwitchesAbove96AndLetsGoBelow32) {
    assign(0, control::Yodel, 70);
    const std::vector<std::pair<int, bool>> valueToLit{
        {96, false}, {97, true}, {127, true}, {32, true}, {31, false}};
    for (const auto& [value, on] : valueToLit) {
        receive(controlChange(0, 70, value));
        EXPECT_EQ(lit(control::Yodel), on) << "after " << value;
    }
}

TEST_F(Mapping, APushButtonFiresOncePerPressAndNothingOnRelease) {
    assign(0, control::InvertSpectrum, 80);
    const ChannelMap identity = core.channelMap;
    receive(controlChange(0, 80, 127));
    const ChannelMap inverted = core.channelMap;
    EXPECT_NE(inverted, identity);
    receive(controlChange(0, 80, 127));
    receive(controlChange(0, 80, 0));
    EXPECT_EQ(core.channelMap, inverted);
    receive(controlChange(0, 80, 127));
    EXPECT_EQ(core.channelMap, identity);
    // The dispatcher echoed the two presses as a push button: 127, then 0.
    EXPECT_EQ(output.sent, (Sent{{80, 127}, {80, 0}, {80, 127}, {80, 0}}));
}

// ---- Notes -----------------------------------------------------------------------------

TEST_F(Mapping, NotesPlayTheFreqSliderTwoStepsASemitoneWithinItsRange) {
    const Sent noteToSlider{{30, 0}, {44, 0}, {69, 50}, {75, 62}, {76, 63}, {100, 63}};
    for (const auto& [note, position] : noteToSlider) {
        receive(noteOn(0, note, 100));
        EXPECT_EQ(slider(control::CarrierFrequency), position) << "note " << note;
    }
}

TEST_F(Mapping, ANoteOnWithVelocityZeroStillSetsThePitchButANoteOffDoesNot) {
    receive(noteOn(3, 69, 0));
    EXPECT_EQ(slider(control::CarrierFrequency), 50);
    receive(MidiMessage::of(0x83, 100, 64));
    EXPECT_EQ(slider(control::CarrierFrequency), 50);
}

// ---- Echo ------------------------------------------------------------------------------

TEST_F(Mapping, TheEchoSendsNothingForAValueThatHasNotChanged) {
    assign(0, control::CarrierGain, 7);
    mapping.echoSliders(output); // the start value differs from the 0 "sent" before
    mapping.echoSliders(output);
    core.controls.setParameterSlider(control::CarrierGain, 40);
    mapping.echoSliders(output);
    mapping.echoSliders(output);
    EXPECT_EQ(output.sent, (Sent{{7, 64}, {7, 80}}));
}

TEST_F(Mapping, TheEchoNeverSendsZeroBeforeTheSliderFirstMoves) {
    assign(0, control::Sibilance, 9); // starts at 0
    mapping.echoSliders(output);
    EXPECT_TRUE(output.sent.empty());
    core.controls.setParameterSlider(control::Sibilance, 5);
    mapping.echoSliders(output);
    core.controls.setParameterSlider(control::Sibilance, 0);
    mapping.echoSliders(output);
    EXPECT_EQ(output.sent, (Sent{{9, 10}, {9, 0}}));
}

TEST_F(Mapping, TheEchoWaitsForAReadyOutputAndLeavesButtonsToTheDispatcher) {
    assign(0, kFirstChannelControl, 3);
    assign(1, control::Rec, 1);
    core.controls.setChannelSlider(0, 99);
    output.ready = false;
    mapping.echoSliders(output);
    EXPECT_TRUE(output.sent.empty());
    output.ready = true;
    mapping.echoSliders(output);
    EXPECT_EQ(output.sent, (Sent{{3, 99}}));
}

TEST_F(Mapping, SlotsWhoseControlIsOutside1To83DoNothing) {
    for (int k = 0; k < kMidiSlotCount; ++k) assign(k, k % 2 ? -1 - k : kControlCount + k, 10);
    assign(19, control::Off, 10);
    const ControlState state = core.state;
    const auto revision = core.controls.revision();
    for (int value : {0, 64, 127, 0}) receive(controlChange(0, 10, value));
    mapping.echoSliders(output);
    EXPECT_EQ(core.controls.revision(), revision);
    EXPECT_EQ(core.state, state);
    EXPECT_TRUE(output.sent.empty());
}

// ---- Learning a controller -------------------------------------------------------------

TEST_F(Mapping, ALearningControlTakesTheNextControlChangeOnTheChannelInsteadOfPlayingIt) {
    assign(0, control::MixLevel, 7);
    core.midiInChannel = 2;
    mapping.learn().arm();
    receive(noteOn(1, 69, 100));
    receive(controlChange(5, 7, 127)); // channel 6: not heard
    EXPECT_EQ(mapping.learn().collect(), -1);
    receive(controlChange(1, 7, 127));
    EXPECT_EQ(slider(control::MixLevel), 0) << "the control change that was learnt also played";
    EXPECT_EQ(mapping.learn().collect(), 7);
    EXPECT_EQ(mapping.learn().collect(), -1);
    receive(controlChange(1, 7, 127)); // learnt once: the next one plays
    EXPECT_EQ(slider(control::MixLevel), 63);
    mapping.learn().arm();
    mapping.learn().cancel();
    receive(controlChange(1, 9, 1));
    EXPECT_EQ(mapping.learn().collect(), -1);
}

TEST(MidiLearnSlots, ALearntControllerGoesWhereItsControlIsElseInTheFirstFreeSlot) {
    std::array<MidiAssignment, kMidiSlotCount> slots{};
    slots[0] = {control::Eq, 64};
    slots[1] = {control::Off, 12};
    slots[3] = {control::MixLevel, 7};
    slots[4] = {control::MixLevel, 8};
    struct Case {
        ControlId control;
        int controller;
        std::size_t slot;
    };
    for (const Case& c : {Case{control::MixLevel, 21, 3}, Case{control::Yodel, 22, 1}, Case{control::Enhance, 23, 2},
                          Case{control::Eq, 24, 0}}) {
        ASSERT_TRUE(MidiLearn::assign(slots, c.control, c.controller));
        EXPECT_EQ(slots[c.slot].control, c.control);
        EXPECT_EQ(slots[c.slot].controller, c.controller);
    }
    EXPECT_EQ(slots[4].controller, 8);
    // Forgetting frees every slot of the control and keeps the controller numbers.
    EXPECT_TRUE(MidiLearn::forget(slots, control::MixLevel));
    EXPECT_FALSE(MidiLearn::isAssigned(slots, control::MixLevel));
    EXPECT_EQ(slots[3].controller, 21);
    EXPECT_FALSE(MidiLearn::forget(slots, control::MixLevel));
    // A full table keeps what it holds.
    for (auto& slot : slots) slot = {control::Rec, 1};
    EXPECT_FALSE(MidiLearn::assign(slots, control::Play, 2));
    EXPECT_TRUE(MidiLearn::assign(slots, control::Rec, 2));
    EXPECT_EQ(slots[0].controller, 2);
}

// ---- Malformed input, as the MIDI layer delivers it ------------------------------------

class MalformedInput : public Mapping {
protected:
    MidiInputQueue queue;

    void deliver(std::initializer_list<std::uint8_t> bytes) {
        const std::vector<unsigned char> data(bytes);
        queue.receive(data.data(), data.size());
        MidiMessage m;
        while (queue.take(m)) receive(m);
    }
    void SetUp() override { assign(0, control::CarrierGain, 7); }
};

TEST_F(MalformedInput, RunningStatusTruncatedOverLongAndHighDataBytesAreDropped) {
    deliver({0xB0, 7, 20});
    for (auto event : {std::initializer_list<std::uint8_t>{7, 100},
                       {0xB0, 7},
                       {0xB0},
                       {0xB0, 7, 100, 5},
                       {0x90, 69},
                       {0xB0, 7, 100, 0xB0, 7, 100},
                       {0xB0, 0x87, 0x7F},
                       {0xB0, 7, 0x90},
                       {0x90, 0xC5, 0x40}})
        deliver(event);
    EXPECT_EQ(slider(control::CarrierGain), 10);
    EXPECT_EQ(slider(control::CarrierFrequency), 32);
    EXPECT_EQ(queue.malformed(), 9u);
}

TEST_F(MalformedInput, RealTimeBytesInsideAMessageAreTakenOutAndTheMessageCounts) {
    deliver({0xB0, 0xF8, 7, 0xFE, 100});
    EXPECT_EQ(slider(control::CarrierGain), 50);
    deliver({0xF8});
    EXPECT_EQ(queue.malformed(), 0u);
}

TEST_F(MalformedInput, AnUnterminatedSystemExclusiveIsDroppedAndTheNextControlChangeApplies) {
    deliver({0xF0, 0x7E, 0x01, 0x02});
    deliver({0xB0, 7, 126});
    EXPECT_EQ(slider(control::CarrierGain), 63);
    deliver({0xF7});
    deliver({0xB0, 7, 2});
    EXPECT_EQ(slider(control::CarrierGain), 1);
}

TEST_F(MalformedInput, AFloodOfTenThousandMessagesIsHandledInOrderUpToTheQueuesRoomAndTheRestCounted) {
    // The window is busy (no message is taken) while the controller sends 10,000 changes.
    constexpr int kFlood = 10000;
    for (int i = 0; i < kFlood; ++i) {
        const std::uint8_t event[3]{0xB0, 7, static_cast<std::uint8_t>(i % 128)};
        queue.receive(event, sizeof event);
    }
    EXPECT_EQ(queue.overflowed(), static_cast<std::uint64_t>(kFlood) - MidiInputQueue::kCapacity);
    EXPECT_EQ(queue.malformed(), 0u);

    // What was kept comes out oldest first, every message whole.
    int taken = 0;
    MidiMessage m;
    while (queue.take(m)) {
        ASSERT_TRUE(m.wellFormed());
        ASSERT_EQ(m.data2(), taken % 128) << "message " << taken;
        receive(m);
        ++taken;
    }
    EXPECT_EQ(taken, static_cast<int>(MidiInputQueue::kCapacity));
    EXPECT_EQ(slider(control::CarrierGain), ((taken - 1) % 128) >> 1);
    // The queue takes messages again once there is room.
    deliver({0xB0, 7, 2});
    EXPECT_EQ(slider(control::CarrierGain), 1);
}

TEST_F(MalformedInput, AFloodOfDamagedEventsWithRunningStatusAndClockBytesTouchesOnlyAssignedControls) {
    for (int k = 0; k < kMidiSlotCount; ++k) assign(k, control::Off, 20 + k);
    assign(0, control::Sibilance, 9);
    assign(1, kFirstChannelControl + 2, 10);
    core.state.slaveMoveOn = false;
    const ControlState state = core.state;
    const ChannelMap map = core.channelMap;
    std::mt19937 random(99);
    std::uniform_int_distribution<int> data(0, 127), high(0x80, 0xFF), kind(0, 4);
    for (int i = 0; i < 10000; ++i) {
        const auto value = static_cast<std::uint8_t>(data(random));
        switch (kind(random)) {
        case 0: // a control change with a clock byte in it
            deliver({0xB0, 0xF8, static_cast<std::uint8_t>(9 + i % 2), value});
            break;
        case 1: // running status: the data bytes alone
            deliver({static_cast<std::uint8_t>(9 + i % 2), value});
            break;
        case 2: // a status byte where a data byte belongs
            deliver({0xB0, 9, static_cast<std::uint8_t>(high(random))});
            break;
        case 3: // cut short, or one byte too many
            if (i % 2) {
                deliver({0xB0, 9});
            } else {
                deliver({0xB0, 10, value, value});
            }
            break;
        default: // the unassigned controllers
            deliver({0xB1, static_cast<std::uint8_t>(20 + i % 20), value});
            break;
        }
        ASSERT_TRUE(slider(control::Sibilance) >= 0 && slider(control::Sibilance) <= 63);
        ASSERT_TRUE(core.controls.channelSlider(2) >= 0 && core.controls.channelSlider(2) <= 127);
    }
    EXPECT_GT(queue.malformed(), 4000u);
    // Only the two assigned sliders moved: no button was pressed, no other slider changed.
    ControlState after = core.state;
    after.slidersDirty = state.slidersDirty;
    EXPECT_EQ(after, state);
    EXPECT_EQ(core.channelMap, map);
    const VocoderCore untouched;
    for (int s = 0; s < kSliderCount; ++s) {
        if (s == 2 || s == sliderIndexOf(control::Sibilance)) continue;
        EXPECT_EQ(core.controls.slider(s), untouched.controls.slider(s)) << "slider " << s;
    }
    mapping.echoSliders(output);
    for (const auto& [controller, value] : output.sent) {
        EXPECT_TRUE(controller == 9 || controller == 10) << controller;
        EXPECT_TRUE(value >= 0 && value <= 127) << value;
    }
}

TEST_F(MalformedInput, RandomBytesNeverPushAControlOutOfItsRangeOrEchoAnInvalidValue) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 6), control(-3, 90), small(0, 9);
    for (int k = 0; k < kMidiSlotCount; ++k) assign(k, control(random), small(random));

    for (int i = 0; i < 20000; ++i) {
        std::vector<unsigned char> event(static_cast<std::size_t>(length(random)));
        for (unsigned char& b : event) b = static_cast<unsigned char>(byte(random));
        // Half the events look like control changes on the assigned controllers, so that the
        // slots are really reached.
        if (event.size() > 1 && i % 2 == 0) {
            event[0] = static_cast<unsigned char>(0xB0 | (event[0] & 0x0F));
            event[1] = static_cast<unsigned char>(small(random));
        }
        queue.receive(event.data(), event.size());
        MidiMessage m;
        while (queue.take(m)) receive(m);
        if (i % 64 == 0) mapping.echoSliders(output);
    }

    for (int s = 0; s < kSliderCount; ++s) {
        EXPECT_GE(core.controls.slider(s), 0);
        EXPECT_LE(core.controls.slider(s), sliderMaximum(s));
    }
    ASSERT_FALSE(output.sent.empty());
    for (const auto& [controller, value] : output.sent) {
        EXPECT_TRUE(controller >= 0 && controller <= 9) << controller;
        EXPECT_TRUE(value >= 0 && value <= 127) << value;
    }
}

} // namespace
