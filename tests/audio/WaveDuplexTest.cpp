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

TEST(SoundCardDialogModel, OpensOnTheLastOksDevicesByNameOrElseOnTheSystemsDefault) {
    const AudioDeviceCatalog catalog = AudioDeviceCatalog::internalClockOnly();
    SoundCardDialog dialog(catalog);
    dialog.open(); // nothing chosen ever: the default, and Escape would play it
    EXPECT_EQ(dialog.inputList(), std::vector<std::string>{"None"});
    EXPECT_EQ(dialog.outputList(), (std::vector<std::string>{"None", AudioDeviceCatalog::kInternalClockName}));
    EXPECT_EQ(dialog.outputSelection, 1);
    EXPECT_EQ(dialog.slider, 36);
    dialog.escape();
    EXPECT_EQ(dialog.results().outputChoice, 1);
    dialog.outputSelection = 0;
    dialog.slider = 12;
    dialog.sixteenBit = true;
    dialog.ok();
    EXPECT_EQ(dialog.results().outputChoice, 0);
    EXPECT_EQ(dialog.memory().output, "None");

    dialog.open(); // a deliberate None stays None
    EXPECT_EQ(dialog.outputSelection, 0);
    EXPECT_EQ(dialog.slider, 12);
    EXPECT_TRUE(dialog.sixteenBit);

    // Another run's choice by names: found where the devices now are, or the default for one
    // that has gone (with no input to go with the stand-in).
    auto device = [](std::string name, AudioBackend backend, std::string deviceName) {
        AudioDeviceEntry entry;
        entry.name = std::move(name);
        entry.backend = backend;
        entry.deviceName = std::move(deviceName);
        return entry;
    };
    const AudioDeviceEntry jack = device("JACK: system", AudioBackend::Jack, "system");
    AudioDeviceEntry pulse = device("PulseAudio: Built-in", AudioBackend::Pulse, "Built-in");
    pulse.isDefault = true;
    const AudioDeviceEntry alsa = device("ALSA: default", AudioBackend::Alsa, "default");
    const AudioDeviceEntry clock = device(AudioDeviceCatalog::kInternalClockName, AudioBackend::InternalClock, "");
    struct Row {
        std::vector<AudioDeviceEntry> devices;
        std::string rememberedOutput;
        int output, input;
    };
    for (const Row& row : std::vector<Row>{
             {{alsa, pulse, jack}, "", 3, 3},
             {{alsa, pulse}, "", 2, 2},
             {{alsa}, "", 1, 1},
             {{alsa, pulse, jack}, "ALSA: default", 1, 1},
             {{alsa, jack}, "PulseAudio: Built-in", 2, 2},
         }) {
        std::vector<AudioDeviceEntry> outputs = row.devices;
        outputs.push_back(clock);
        const AudioDeviceCatalog some = AudioDeviceCatalog::of(row.devices, outputs);
        SoundCardDialog later(some);
        later.remember({row.rememberedOutput.empty() ? "" : row.rememberedOutput, row.rememberedOutput, 1, false});
        later.open();
        EXPECT_EQ(later.outputSelection, row.output) << row.rememberedOutput << " of " << row.devices.size();
        EXPECT_EQ(later.inputSelection, row.input) << row.rememberedOutput << " of " << row.devices.size();
    }
    const AudioDeviceCatalog none = AudioDeviceCatalog::internalClockOnly();
    SoundCardDialog bare(none);
    bare.remember({"JACK: system", "JACK: system", 1, false});
    bare.open();
    EXPECT_EQ(bare.outputSelection, 1); // the internal clock
    EXPECT_EQ(bare.inputSelection, 0);
}

} // namespace
