#include "audio/SoundCardDialog.h"
#include "audio/WaveDuplex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
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
    Messages messages;
    SoundCardChoice choice; // None, None, slider 0, 8-bit: what OK at once gives
    WaveDuplex device(choice, AudioDeviceCatalog::internalClockOnly(), messages.sink());
    EXPECT_TRUE(device.noOutput());
    EXPECT_TRUE(device.noInput());
    EXPECT_FALSE(device.outputOpen());
    EXPECT_TRUE(messages.shown.empty());
}

TEST(WaveDuplexDevice, TheBufferSliderIsClampedToOneToFifty) {
    for (auto [slider, count] : {std::pair{0, 1}, {36, 36}, {100, 50}}) {
        SoundCardChoice choice;
        choice.bufferSlider = slider;
        choice.outputChoice = 1;
        WaveDuplex device(choice, AudioDeviceCatalog::internalClockOnly(), nullptr);
        EXPECT_EQ(device.bufferCount(), count);
        EXPECT_NEAR(device.latencySeconds(), count * 64 / 11025.0, 1e-12);
    }
}

TEST(WaveDuplexDevice, AnUnknownDeviceIsReportedWithTheOpenMessage) {
    Messages messages;
    SoundCardChoice choice;
    choice.outputChoice = 5;
    WaveDuplex device(choice, AudioDeviceCatalog::internalClockOnly(), messages.sink());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "Couldn't open wave out device - \ndevice ID out of range");
    EXPECT_TRUE(device.hasError());
}

// Counts the blocks asked for, from the clock's thread.
struct CountingSource final : BlockSource {
    void makeBlock(OutputBuffer& out) noexcept override {
        out.samples.fill(1);
        made.fetch_add(1);
    }
    std::atomic<int> made{0};
};

TEST(WaveDuplexDevice, WithNoInputTheOutputAloneAsksItsSourceForEveryBlockAfterItsSafetyBlocks) {
    Messages messages;
    SoundCardChoice choice;
    choice.outputChoice = 1; // the internal clock
    choice.bufferSlider = 4;
    WaveDuplex device(choice, AudioDeviceCatalog::internalClockOnly(), messages.sink());
    CountingSource source;
    device.setSource(&source);
    EXPECT_FALSE(device.running());
    device.start();
    EXPECT_TRUE(device.running());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (source.made.load() < 40 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    device.reset();
    EXPECT_FALSE(device.running());
    const int made = source.made.load();
    ASSERT_GE(made, 40);
    // Every block played was asked for; the first three were the safety blocks' silence.
    EXPECT_EQ(device.blocksPlayed() + 1, std::uint64_t(made));
    EXPECT_EQ(device.underruns(), 0u);
    EXPECT_TRUE(messages.shown.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(source.made.load(), made); // stopped means stopped
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
