#include "core/BlockLoop.h"
#include "core/CommandDispatcher.h"
#include "core/CRandom.h"
#include "core/ControlTable.h"
#include "core/NullCommandHost.h"
#include "engine/KernelLanes.h"
#include "engine/LanePath.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>
#include <vector>

namespace {

struct Events : BlockEvents {
    std::vector<std::string> messages;
    std::vector<std::uint64_t> spectrumBlocks;
    const BlockLoop* loop = nullptr;
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    void spectrumDue(const std::array<double, kChannels>&) override {
        spectrumBlocks.push_back(loop->blockCounter());
    }
};

struct Rig {
    VocoderCore core;
    NullCommandHost host;
    CommandDispatcher dispatcher{core, host};
    Events events;
    BlockLoop loop{core, events};
    OutputBuffer out;

    Rig() { events.loop = &loop; }
    void press(ControlId id) { dispatcher.dispatch(commandIdOf(id)); }
    void pass(const InputBuffer* input = nullptr, bool sixteenBit = true) {
        loop.updateParameters();
        loop.process(input, sixteenBit, out);
    }
};

FileBlockList fileOf(int blocks, int base) {
    FileBlockList file(blocks);
    for (int b = 0; b < blocks; ++b)
        for (int n = 0; n < BLOCK_SIZE; ++n) file[b].samples[n] = static_cast<std::int16_t>(base + b * 100 + n);
    return file;
}

InputBuffer stereoInput(int left, int right) {
    InputBuffer input;
    for (int n = 0; n < BLOCK_SIZE; ++n) {
        const auto l = static_cast<std::uint16_t>(left + n), r = static_cast<std::uint16_t>(right + n);
        input.bytes[4 * n] = l & 0xFF;
        input.bytes[4 * n + 1] = l >> 8;
        input.bytes[4 * n + 2] = r & 0xFF;
        input.bytes[4 * n + 3] = r >> 8;
    }
    return input;
}

TEST(BlockLoopSources, WithoutInputTheModulatorIsZeroPlusOnlyTheTinyOffset) {
    Rig rig;
    rig.pass();
    EXPECT_TRUE(rig.loop.inputMissing());
    // The kernel scales the modulator by its level (1.001) and halves it into the mix of 0.
    for (double m : rig.loop.modulatorBlock()) {
        EXPECT_GE(m, 0.0);
        EXPECT_LT(m, 0.02);
    }
    Rig exact;
    exact.loop.setDither(false);
    exact.pass();
    for (double m : exact.loop.modulatorBlock()) EXPECT_EQ(m, 0.0);
}

// The dither drawn eight at a time, on each instruction set, against the loop that draws one
// number at a time: the same sums bit for bit, from the block's own samples or from a file's
// and the oscillator's, and the generator left where it would be.
TEST(BlockLoopSources, TheDitherDrawnInVectorsIsTheSampleBySampleDitherOnEveryPath) {
    constexpr double kModulatorStep = 3.051850947599719e-07, kCarrierStep = 3.0518509475997196e-10;
    for (LanePath path : {LanePath::Portable, LanePath::Avx2, LanePath::Avx512}) {
        if (!lanePathRuns(path)) continue;
        for (bool fromSources : {false, true}) {
            for (std::uint32_t seed : {1u, 12345u, 0xFFFFFFFFu}) {
                std::array<double, BLOCK_SIZE> modulator, carrier, oscillator;
                std::array<std::int16_t, BLOCK_SIZE> file;
                for (int n = 0; n < BLOCK_SIZE; ++n) {
                    modulator[n] = (n - 31) * 1021.25;
                    carrier[n] = n % 3 == 0 ? -20000.0 : 7.0 / (n + 1);
                    file[n] = static_cast<std::int16_t>(n % 2 ? -32768 + 977 * n : 32767 - 513 * n);
                    oscillator[n] = n < 20 ? 30000.0 : -10000.0;
                }
                std::array<double, BLOCK_SIZE> expectedModulator = modulator, expectedCarrier = carrier;
                if (fromSources)
                    for (int n = 0; n < BLOCK_SIZE; ++n) {
                        expectedModulator[n] = file[n];
                        expectedCarrier[n] = oscillator[n];
                    }
                CRandom random(seed);
                for (int n = 0; n < BLOCK_SIZE; ++n) {
                    expectedModulator[n] += random.next() * kModulatorStep;
                    expectedCarrier[n] += random.next() * kCarrierStep;
                }
                std::uint32_t state = seed;
                laneRoutines(path).addDither(state, fromSources ? file.data() : nullptr,
                                             fromSources ? oscillator.data() : carrier.data(), modulator.data(),
                                             carrier.data(), BLOCK_SIZE, kModulatorStep, kCarrierStep);
                EXPECT_EQ(state, random.state()) << lanePathName(path);
                for (int n = 0; n < BLOCK_SIZE; ++n) {
                    EXPECT_EQ(std::bit_cast<std::uint64_t>(modulator[n]),
                              std::bit_cast<std::uint64_t>(expectedModulator[n]))
                        << lanePathName(path) << " sample " << n;
                    EXPECT_EQ(std::bit_cast<std::uint64_t>(carrier[n]), std::bit_cast<std::uint64_t>(expectedCarrier[n]))
                        << lanePathName(path) << " sample " << n;
                }
            }
        }
    }
}

TEST(BlockLoopSources, TheInputModeChoosesWhichInputSideIsTheModulatorAndWhichTheCarrier) {
    const InputBuffer input = stereoInput(1000, -2000);
    struct Case {
        ControlId button;
        double modulator0, carrier0;
    };
    for (const Case& c : {Case{control::InputLR, 1000, -2000}, Case{control::InputLR + 1, -2000, 1000},
                          Case{control::InputLR + 2, 1000, -3000}, Case{control::InputMR, -2000, -3000}}) {
        Rig rig;
        rig.loop.setDither(false);
        rig.press(control::ExternalCarrier);
        rig.press(c.button);
        rig.core.controls.setParameterSlider(control::CarrierGain, 32); // level 1.001
        rig.pass(&input);
        EXPECT_FALSE(rig.loop.inputMissing());
        // The kernel has scaled the blocks in place by 1.001.
        EXPECT_DOUBLE_EQ(rig.loop.carrierBlock()[0], c.carrier0 * 1.001) << c.button;
    }
}

TEST(BlockLoopSources, AMonoSignalOnBothInputsGivesASilentExternalCarrierInModeMl) {
    Rig rig;
    rig.loop.setDither(false);
    rig.press(control::ExternalCarrier);
    rig.press(control::InputLR + 2);
    const InputBuffer input = stereoInput(5000, 5000);
    rig.pass(&input);
    for (double c : rig.loop.carrierBlock()) EXPECT_EQ(c, 0.0);
}

TEST(BlockLoopSources, EightBitInputIsCenteredOn128AndScaledBy256) {
    Rig rig;
    rig.loop.setDither(false);
    rig.press(control::ExternalCarrier);
    rig.press(control::InputLR);
    InputBuffer input{};
    for (int n = 0; n < BLOCK_SIZE; ++n) {
        input.bytes[2 * n] = 200;
        input.bytes[2 * n + 1] = 100;
    }
    rig.pass(&input, false);
    EXPECT_DOUBLE_EQ(rig.loop.carrierBlock()[5], (100 - 128) * 256 * 1.001);
}

TEST(BlockLoopSources, NoiseCoversTheFullRangeAndVoicedUnvoicedSwapsInHalfScaleNoise) {
    Rig rig;
    rig.press(control::NoiseCarrier);
    rig.core.controls.setParameterSlider(control::CarrierGain, 31); // level 0.969...
    double low = 0, high = 0;
    for (int b = 0; b < 50; ++b) {
        rig.pass();
        for (double c : rig.loop.carrierBlock()) {
            low = std::min(low, c);
            high = std::max(high, c);
        }
    }
    EXPECT_LT(low, -25000);
    EXPECT_GT(high, 25000);
}

TEST(BlockLoopFiles, AOneBlockFileWithRepeatPlaysThatBlockOnEveryPass) {
    Rig rig;
    rig.loop.setDither(false);
    rig.core.modulatorFile = fileOf(1, 10);
    rig.press(control::PlayModulator);
    rig.press(control::RepeatModulator);
    for (int b = 0; b < 5; ++b) {
        rig.pass();
        EXPECT_TRUE(rig.loop.usedLastModulatorBlock());
        EXPECT_TRUE(rig.core.state.playModulatorFile);
        // Mix 0: the modulator block ends at 0 after the kernel; the level test is enough.
    }
    EXPECT_TRUE(rig.core.controls.litControl(control::PlayModulator));
}

TEST(BlockLoopFiles, AFileWithoutRepeatStopsAfterItsLastBlockWhichStillPlays) {
    Rig rig;
    rig.loop.setDither(false);
    rig.core.carrierFile = fileOf(3, 100);
    rig.press(control::PlayCarrier);
    std::vector<double> firstSamples;
    for (int b = 0; b < 4; ++b) {
        rig.pass();
        firstSamples.push_back(rig.loop.carrierBlock()[0]);
    }
    const double level = 0.001 + 32 / 32.0;
    EXPECT_EQ(firstSamples[0], 100 * level);
    EXPECT_EQ(firstSamples[1], 200 * level);
    EXPECT_EQ(firstSamples[2], 300 * level);
    EXPECT_NE(firstSamples[3], 400 * level); // the pulse generator is back
    EXPECT_FALSE(rig.core.state.playCarrierFile);
    EXPECT_FALSE(rig.core.controls.litControl(control::PlayCarrier));

    rig.press(control::PlayCarrier); // pressed again: starts from the first block
    rig.pass();
    EXPECT_EQ(rig.loop.carrierBlock()[0], 100 * level);
}

TEST(BlockLoopFiles, AFileKindThatIsNotLoadedIsNeverPlayed) {
    Rig rig;
    rig.core.carrierFile = fileOf(2, 0);
    rig.press(control::PlayCarrier);
    // However it came to be set, playing a modulator file that is not there stops at once.
    rig.core.state.playModulatorFile = true;
    rig.core.controls.setLitControl(control::PlayModulator, true);
    rig.pass();
    EXPECT_FALSE(rig.core.state.playModulatorFile);
    EXPECT_FALSE(rig.core.controls.litControl(control::PlayModulator));
}

TEST(BlockLoopRecording, RecordsTheOutputAndWritesItAsTruncated16BitFrames) {
    Rig rig;
    rig.core.modulatorFile = fileOf(40, -3000);
    rig.press(control::PlayModulator);
    rig.press(control::Rec);
    for (int b = 0; b < 30; ++b) {
        rig.pass();
        const RecordBlock& left = rig.core.recording->left.back();
        const RecordBlock& right = rig.core.recording->right.back();
        for (int n = 0; n < BLOCK_SIZE; ++n) {
            ASSERT_EQ(left.samples[n], rig.loop.outputLeft()[n]);
            ASSERT_EQ(right.samples[n], rig.loop.outputRight()[n]);
            ASSERT_EQ(rig.out.samples[2 * n], static_cast<std::int16_t>(std::trunc(left.samples[n])));
            ASSERT_EQ(rig.out.samples[2 * n + 1], static_cast<std::int16_t>(std::trunc(right.samples[n])));
        }
    }
    EXPECT_EQ(rig.core.recording->left.size(), 30u);
}

TEST(BlockLoopRecording, PlaybackReplacesTheOutputAndRecordsSilenceMeanwhile) {
    Rig rig;
    rig.core.modulatorFile = fileOf(40, 2000);
    rig.press(control::PlayModulator);
    rig.press(control::Rec);
    std::vector<OutputBuffer> recorded;
    for (int b = 0; b < 5; ++b) {
        rig.pass();
        recorded.push_back(rig.out);
    }
    rig.press(control::Play);
    ASSERT_TRUE(rig.core.state.playRecording);
    for (int b = 0; b < 5; ++b) {
        rig.pass();
        EXPECT_EQ(rig.out.samples, recorded[b].samples) << b;
    }
    EXPECT_FALSE(rig.core.state.playRecording); // the last block played, playback ends

    // REC pressed while the recording plays: the new blocks stay silent.
    rig.press(control::Play);
    rig.press(control::Rec);
    ASSERT_TRUE(rig.core.state.playRecording);
    rig.pass();
    ASSERT_EQ(rig.core.recording->left.size(), 1u);
    for (int n = 0; n < BLOCK_SIZE; ++n) EXPECT_EQ(rig.core.recording->left.back().samples[n], 0.0);
    EXPECT_NE(rig.loop.outputLeft()[10], 0.0); // although the engine made sound
}

TEST(BlockLoopDisplay, HandsTheChannelValuesToTheDisplayEvery18Blocks) {
    Rig rig;
    for (int b = 0; b < 60; ++b) rig.pass();
    EXPECT_EQ(rig.events.spectrumBlocks, (std::vector<std::uint64_t>{18, 36, 54}));
}

TEST(BlockLoopDisplay, ReportsTheOverloadsOfTheBlock) {
    Rig rig;
    rig.core.modulatorFile = fileOf(4, 32000);
    rig.press(control::PlayModulator);
    rig.core.controls.setParameterSlider(control::ModulatorGain, 63); // level about 1.97
    rig.pass();
    EXPECT_TRUE(rig.loop.overloads().modulator);
    EXPECT_FALSE(rig.loop.overloads().carrier);
}

} // namespace
