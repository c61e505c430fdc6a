#include "audio/SoundCardDialog.h"
#include "audio/WaveDuplex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

struct Messages {
    std::vector<std::string> shown;
    WaveDuplex::ShowMessage sink() {
        return [this](const std::string& text) { shown.push_back(text); };
    }
};

TEST(WaveDuplexDevice, OutputNoneOpensNothingAndShowsNothing) {
    WakeupSignal wake;
    Messages messages;
    SoundCardChoice choice; // None, None, slider 0, 8-bit: what OK at once gives
    WaveDuplex device(choice, AudioDeviceCatalog::internalClockOnly(), wake, messages.sink());
    EXPECT_TRUE(device.noOutput());
    EXPECT_TRUE(device.noInput());
    EXPECT_FALSE(device.outputOpen());
    EXPECT_TRUE(messages.shown.empty());
}

TEST(WaveDuplexDevice, TheBufferSliderIsClampedToOneToFifty) {
    WakeupSignal wake;
    for (auto [slider, count] : {std::pair{0, 1}, {36, 36}, {100, 50}}) {
        SoundCardChoice choice;
        choice.bufferSlider = slider;
        choice.outputChoice = 1;
        WaveDuplex device(choice, AudioDeviceCatalog::internalClockOnly(), wake, nullptr);
        EXPECT_EQ(device.bufferCount(), count);
        EXPECT_NEAR(device.latencySeconds(), count * 64 / 11025.0, 1e-12);
    }
}

TEST(WaveDuplexDevice, AnUnknownDeviceIsReportedWithTheOpenMessage) {
    WakeupSignal wake;
    Messages messages;
    SoundCardChoice choice;
    choice.outputChoice = 5;
    WaveDuplex device(choice, AudioDeviceCatalog::internalClockOnly(), wake, messages.sink());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "Couldn't open wave out device - \ndevice ID out of range");
    EXPECT_TRUE(device.hasError());
    device.write(0);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1], "Wave devices not initialized or open");
}

TEST(WaveDuplexDevice, WithNoInputTheOutputAloneClocksTheLoopWithItsPrimingBlocksFirst) {
    WakeupSignal wake;
    Messages messages;
    SoundCardChoice choice;
    choice.outputChoice = 1; // the internal clock
    choice.bufferSlider = 4;
    WaveDuplex device(choice, AudioDeviceCatalog::internalClockOnly(), wake, messages.sink());
    EXPECT_TRUE(device.isResetting());
    device.start();
    EXPECT_FALSE(device.isResetting());
    std::vector<int> done;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (done.size() < 40 && std::chrono::steady_clock::now() < deadline) {
        if (!wake.wait(100)) continue;
        wake.drain();
        int index;
        while (device.takeOutputDone(index)) {
            done.push_back(index);
            device.write(index); // the pass hands the buffer straight back
        }
    }
    ASSERT_GE(done.size(), 40u);
    for (std::size_t i = 0; i < done.size(); ++i) EXPECT_EQ(done[i], int(i % 4)); // ring order
    EXPECT_EQ(device.underruns(), 0u);
    EXPECT_TRUE(messages.shown.empty());

    device.reset();
    EXPECT_TRUE(device.isResetting());
    int index;
    EXPECT_FALSE(device.takeOutputDone(index)); // a reset drops what was queued
}

} // namespace

namespace {

TEST(SoundCardDialogModel, EveryOpeningStartsFromNoneWithThirtySixBuffersAndTheBoxClear) {
    const AudioDeviceCatalog catalog = AudioDeviceCatalog::internalClockOnly();
    SoundCardDialog dialog(catalog);
    EXPECT_EQ(dialog.results().outputChoice, 0); // before any OK: None, None, 0, 8-bit
    EXPECT_EQ(dialog.results().bufferSlider, 0);
    dialog.open();
    EXPECT_EQ(dialog.inputList(), std::vector<std::string>{"None"});
    EXPECT_EQ(dialog.outputList(), (std::vector<std::string>{"None", AudioDeviceCatalog::kInternalClockName}));
    dialog.outputSelection = 1;
    dialog.slider = 12;
    dialog.sixteenBit = true;
    dialog.ok();
    EXPECT_EQ(dialog.results().outputChoice, 1);
    EXPECT_EQ(dialog.results().bufferSlider, 12);
    EXPECT_TRUE(dialog.results().sixteenBit);

    dialog.open();
    EXPECT_EQ(dialog.outputSelection, 0);
    EXPECT_EQ(dialog.slider, 36);
    EXPECT_FALSE(dialog.sixteenBit);
    dialog.outputSelection = 0;
    dialog.escape(); // Escape keeps the last OK's results
    EXPECT_EQ(dialog.results().outputChoice, 1);
    dialog.open();
    dialog.ok(); // OK at once chooses an inert device
    EXPECT_EQ(dialog.results().outputChoice, 0);
    EXPECT_EQ(dialog.results().bufferSlider, 36);
}

} // namespace
