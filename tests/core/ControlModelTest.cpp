#include "core/ControlModel.h"

#include <gtest/gtest.h>

namespace {

TEST(ControlModel, SlidersClampToTheirRanges) {
    ControlModel model;
    EXPECT_EQ(model.setChannelSlider(3, 200), 127);
    EXPECT_EQ(model.channelSlider(3), 127);
    EXPECT_EQ(model.setChannelSlider(3, -5), 0);
    EXPECT_EQ(model.channelSlider(3), 0);
    EXPECT_EQ(model.setParameterSlider(control::CarrierFrequency, 100), 63);
    EXPECT_EQ(model.setSlider(kSliderCount - 1, -5), 0);
}

TEST(ControlModel, CaptionsAreCutToElevenCharacters) {
    ControlModel model;
    model.setCaption(0, "Twelve chars");
    EXPECT_EQ(model.caption(0), "Twelve char");
    model.setCaption(1, "Split ");
    EXPECT_EQ(model.caption(1), "Split ");
}

TEST(ControlModel, ChangeCountersMoveOnlyForTheWidgetThatChanged) {
    ControlModel model;
    const auto before5 = model.sliderChanges(5);
    const auto before6 = model.sliderChanges(6);
    const auto buttonBefore = model.buttonChanges(10);
    const auto revision = model.revision();

    model.setChannelSlider(5, 40);
    EXPECT_NE(model.sliderChanges(5), before5);
    EXPECT_EQ(model.sliderChanges(6), before6);
    EXPECT_EQ(model.buttonChanges(10), buttonBefore);
    EXPECT_NE(model.revision(), revision);

    model.setLit(10, true);
    EXPECT_NE(model.buttonChanges(10), buttonBefore);
    const auto afterLit = model.buttonChanges(10);
    model.setCaption(10, "Zero ");
    EXPECT_NE(model.buttonChanges(10), afterLit);
}

TEST(ControlModel, SettingWhatIsAlreadyShownChangesNothing) {
    ControlModel model;
    model.setChannelSlider(2, 90);
    model.setLit(4, true);
    model.setCaption(4, "Full ");
    const auto revision = model.revision();
    model.setChannelSlider(2, 90);
    model.setChannelSlider(2, 300); // clamps to 127: a real change
    const auto afterClamp = model.revision();
    EXPECT_NE(afterClamp, revision);
    model.setChannelSlider(2, 400); // clamps to 127 again: nothing new to paint
    model.setLit(4, true);
    model.setCaption(4, "Full ");
    EXPECT_EQ(model.revision(), afterClamp);
}

} // namespace
