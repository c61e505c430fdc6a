#include "core/ControlTable.h"

#include <gtest/gtest.h>
#include <map>

namespace {

int countKind(ControlKind kind) {
    int n = 0;
    for (const ControlInfo& info : kControlTable) n += info.kind == kind;
    return n;
}

TEST(ControlTable, CountsFourteenTogglesTwentySevenExclusiveMembersAndSeventeenPushButtons) {
    EXPECT_EQ(countKind(ControlKind::Toggle), 14);
    EXPECT_EQ(countKind(ControlKind::Exclusive), 27);
    EXPECT_EQ(countKind(ControlKind::Push), 17);

    std::map<ExclusiveGroup, int> members;
    for (const ControlInfo& info : kControlTable)
        if (info.kind == ControlKind::Exclusive) ++members[info.group];
    EXPECT_EQ(members[ExclusiveGroup::Shift], 6);
    EXPECT_EQ(members[ExclusiveGroup::Input], 4);
    EXPECT_EQ(members[ExclusiveGroup::Width], 3);
    EXPECT_EQ(members[ExclusiveGroup::Carrier], 5);
    EXPECT_EQ(members[ExclusiveGroup::SliderMode], 9);
    EXPECT_EQ(members.size(), 5u);
}

TEST(ControlTable, OnlyExclusiveMembersBelongToAGroupAndEachGroupStartsWithOneLitMember) {
    std::map<ExclusiveGroup, int> lit;
    for (const ControlInfo& info : kControlTable) {
        EXPECT_EQ(info.kind == ControlKind::Exclusive, info.group != ExclusiveGroup::None) << info.name;
        if (info.kind == ControlKind::Exclusive) lit[info.group] += info.start;
    }
    for (const auto& [group, count] : lit) EXPECT_EQ(count, 1) << "group " << int(group);
}

TEST(ControlTable, FindsEveryControlByItsNameIgnoringCase) {
    for (ControlId id = 0; id < kControlCount; ++id) EXPECT_EQ(controlIdByName(controlInfo(id).name), id);
    EXPECT_EQ(controlIdByName("carrier gain"), control::CarrierGain);
    EXPECT_EQ(controlIdByName("REC BUTTON"), control::Rec);
    EXPECT_EQ(controlIdByName("channel SLIDER 18"), 25);
    EXPECT_EQ(controlIdByName("+3 shift button"), 41);
}

TEST(ControlTable, GivesMinusOneForAnUnknownName) {
    EXPECT_EQ(controlIdByName("Cowbell Button"), -1);
    EXPECT_EQ(controlIdByName(""), -1);
    EXPECT_EQ(controlIdByName("Channel Slider 19"), -1);
    EXPECT_EQ(controlIdByName("REC Button "), -1);
}

TEST(ControlTable, MapsSlidersAndButtonsByFixedOffsetsWithChannelSlidersFirst) {
    EXPECT_EQ(sliderIndexOf(control::CarrierGain), 18);
    EXPECT_EQ(sliderIndexOf(25), 17);
    EXPECT_EQ(sliderIndexOf(control::Rec), -1);
    for (int s = 0; s < kSliderCount; ++s) EXPECT_EQ(sliderIndexOf(controlIdOfSlider(s)), s);
    for (int b = 0; b < kButtonCount; ++b) {
        EXPECT_EQ(controlIdOfButton(b), b + 26);
        EXPECT_EQ(commandIdOfButton(b), b + 201);
        EXPECT_EQ(buttonIndexOf(controlIdOfButton(b)), b);
        EXPECT_EQ(buttonIndexOfCommand(commandIdOfButton(b)), b);
        EXPECT_EQ(commandIdOfButton(b) - controlIdOfButton(b), 175);
    }
    EXPECT_EQ(buttonIndexOf(25), -1);
    EXPECT_EQ(buttonIndexOfCommand(200), -1);
    EXPECT_EQ(buttonIndexOfCommand(259), -1);
}

TEST(ControlTable, ChannelSliderCaptionsAreTheCentreFrequenciesAfterABlank) {
    EXPECT_EQ(channelSliderCaption(0), " 100");
    EXPECT_EQ(channelSliderCaption(17), " 5120");
    for (int k = 0; k < kChannels; ++k)
        EXPECT_EQ(channelSliderCaption(k), controlInfo(controlIdOfSlider(k)).label);
}

} // namespace
