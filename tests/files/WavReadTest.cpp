#include "dsp/BiquadCascade.h"
#include "engine/FilterCoefficients.h"
#include "files/WavFiles.h"
#include "WavTestSupport.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace {

using WavReading = WavTest;

// Reads a file written to disk, expecting success and no message.
FileBlockList readOk(const Bytes& bytes, SourceChoice choice = SourceChoice::LeftPlusRight) {
    TempFolder folder;
    ScriptedDialogs dialogs;
    FileBlockList slot;
    EXPECT_TRUE(readWavFile(folder.write("in.wav", bytes), choice, slot, dialogs));
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
    return slot;
}

// The half-band route written out over the whole signal at once: zero-padded to whole
// output blocks, filtered and decimated `halvings` times, truncated and clipped.
std::vector<std::int16_t> halfBandReference(const std::vector<std::int16_t>& input, int halvings) {
    const std::size_t factor = std::size_t{1} << halvings;
    const std::size_t per = factor * BLOCK_SIZE;
    std::vector<double> x(input.begin(), input.end());
    x.resize((x.size() + per - 1) / per * per, 0.0);
    for (int h = 0; h < halvings; ++h) {
        BiquadCascade filter;
        filter.init(coefficients::kHalfBandLowpass.data(), 5);
        filter.process(x.data(), static_cast<int>(x.size()));
        std::vector<double> kept;
        for (std::size_t i = 0; i < x.size(); i += 2) kept.push_back(x[i]);
        x = kept;
    }
    std::vector<std::int16_t> out;
    for (double v : x) out.push_back(truncatedClipped(v));
    return out;
}

TEST_F(WavReading, A100SampleMonoFileGivesTwoBlocksTheSecondEndingInSilence) {
    std::vector<std::int16_t> input = testSignal(100, 300, 11025);
    const FileBlockList blocks = readOk(wavFile({}, pcm16(input)));
    ASSERT_EQ(blocks.size(), 2u);
    input.resize(128, 0);
    EXPECT_EQ(samplesOf(blocks), input); // 64, then 36 samples and 28 zeros
}

TEST_F(WavReading, SixteenByteAndEighteenByteFormatChunksReadTheSame) {
    const Bytes data = pcm16(testSignal(200, 440, 11025));
    const FileBlockList plain = readOk(wavFile({}, data));
    const FileBlockList longer = readOk(riffWave({chunk("fmt ", formatRecord({}, 18)), chunk("data", data)}));
    EXPECT_EQ(samplesOf(plain), samplesOf(longer));
    EXPECT_EQ(plain.size(), 4u);
}

TEST_F(WavReading, AStereo44kFileTakesOneBlockPer256FramesThroughTwoHalfBandStages) {
    const std::vector<std::int16_t> left = testSignal(1000, 700, 44100);
    const std::vector<std::int16_t> right = testSignal(1000, 5000, 44100);
    const FileBlockList blocks =
        readOk(wavFile({.channels = 2, .rate = 44100}, pcm16(interleave(left, right))), SourceChoice::Left);
    EXPECT_EQ(blocks.size(), 4u); // ceil(1000 / 256)
    EXPECT_EQ(samplesOf(blocks), halfBandReference(left, 2));
}

TEST_F(WavReading, A22kFileGoesThroughOneHalfBandStage) {
    const std::vector<std::int16_t> input = testSignal(300, 1200, 22050);
    const FileBlockList blocks = readOk(wavFile({.rate = 22050}, pcm16(input)));
    EXPECT_EQ(blocks.size(), 3u); // ceil(300 / 128)
    EXPECT_EQ(samplesOf(blocks), halfBandReference(input, 1));
}

TEST_F(WavReading, EightBitSamplesAreCentredAndScaledAndTheUnreadTailIsSilence) {
    Bytes data;
    for (int i = 0; i < 100; ++i) data.push_back(static_cast<std::uint8_t>(i * 37 % 256));
    const FileBlockList blocks = readOk(wavFile({.bits = 8}, data));
    ASSERT_EQ(blocks.size(), 2u);
    std::vector<std::int16_t> expected;
    for (std::uint8_t b : data) expected.push_back(static_cast<std::int16_t>((b - 128) * 256));
    expected.resize(128, 0); // silence, not the -32768 a zero byte would mean
    EXPECT_EQ(samplesOf(blocks), expected);
}

TEST_F(WavReading, AnEightBitPieceAlwaysMakesTwoHalvesEvenWhenTheSecondIsEmpty) {
    // 130 bytes: a full piece of 128 (two blocks) and a piece of 2 whose second half is silent.
    const FileBlockList blocks = readOk(wavFile({.bits = 8}, Bytes(130, 200)));
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[2].samples[1], (200 - 128) * 256);
    EXPECT_EQ(blocks[2].samples[2], 0);
    EXPECT_TRUE(
        std::all_of(blocks[3].samples.begin(), blocks[3].samples.end(), [](auto s) { return s == 0; }));
}

TEST_F(WavReading, EachSourceChoiceMixesTheFrameAsItsFormulaSaysTruncatingTowardZero) {
    const std::vector<std::int16_t> left{3, -3, 100, -32768, 32767, 7, -9};
    const std::vector<std::int16_t> right{0, 0, -101, 32767, -32768, 8, 10};
    const Bytes file = wavFile({.channels = 2}, pcm16(interleave(left, right)));
    const auto mixed = [&](SourceChoice choice) {
        std::vector<std::int16_t> s = samplesOf(readOk(file, choice));
        s.resize(left.size());
        return s;
    };
    std::vector<std::int16_t> sum, difference;
    for (std::size_t i = 0; i < left.size(); ++i) {
        sum.push_back(static_cast<std::int16_t>((left[i] + right[i]) / 2));
        difference.push_back(static_cast<std::int16_t>((left[i] - right[i]) / 2));
    }
    EXPECT_EQ(mixed(SourceChoice::LeftPlusRight), sum);
    EXPECT_EQ(mixed(SourceChoice::Left), left);
    EXPECT_EQ(mixed(SourceChoice::Right), right);
    EXPECT_EQ(mixed(SourceChoice::LeftMinusRight), difference);
    EXPECT_EQ(difference[0], 1); // 3 / 2, not rounded
    EXPECT_EQ(difference[1], -1);
}

TEST_F(WavReading, TwentyFourAndThirtyTwoBitSamplesAreScaledTo16Bits) {
    const std::vector<std::int16_t> target{0, 1, -1, 12345, -12345, 32767, -32767, 200};
    std::vector<std::int32_t> wide24, wide32;
    for (std::int16_t t : target) {
        // Each carries a fraction just short of one 16-bit step, which truncation drops.
        wide24.push_back(t * 256 + (t < 0 ? -255 : 255));
        wide32.push_back(t * 65536 + (t < 0 ? -65535 : 65535));
    }
    std::vector<std::int16_t> s24 = samplesOf(readOk(wavFile({.bits = 24}, pcmWide(wide24, 3))));
    std::vector<std::int16_t> s32 = samplesOf(readOk(wavFile({.bits = 32}, pcmWide(wide32, 4))));
    s24.resize(target.size());
    s32.resize(target.size());
    EXPECT_EQ(s24, target);
    EXPECT_EQ(s32, target);
    EXPECT_EQ(samplesOf(readOk(wavFile({.bits = 24}, pcmWide({-8388608}, 3))))[0], -32768);
}

TEST_F(WavReading, AnExtensibleRecordWithThePcmSubformatReadsAsPcm) {
    const std::vector<std::int16_t> left = testSignal(64, 900, 11025);
    const std::vector<std::int16_t> right = testSignal(64, 300, 11025);
    std::vector<std::int32_t> frames;
    for (std::size_t i = 0; i < left.size(); ++i) {
        frames.push_back(left[i] * 256);
        frames.push_back(right[i] * 256);
    }
    const PcmFormat format{.channels = 2, .bits = 24};
    const FileBlockList blocks =
        readOk(riffWave({chunk("fmt ", extensibleRecord(format, 1)), chunk("data", pcmWide(frames, 3))}),
               SourceChoice::Right);
    EXPECT_EQ(samplesOf(blocks), right);
}

TEST_F(WavReading, AFileOfMoreThanTwoChannelsUsesItsFirstTwoAsLeftAndRight) {
    const std::vector<std::int16_t> a = testSignal(100, 400, 11025);
    const std::vector<std::int16_t> b = testSignal(100, 1400, 11025);
    std::vector<std::int16_t> frames;
    for (int i = 0; i < 100; ++i) frames.insert(frames.end(), {a[i], b[i], 12345, -12345});
    const Bytes file = wavFile({.channels = 4}, pcm16(frames));
    std::vector<std::int16_t> right = samplesOf(readOk(file, SourceChoice::Right));
    std::vector<std::int16_t> left = samplesOf(readOk(file, SourceChoice::Left));
    ASSERT_EQ(right.size(), 128u);
    right.resize(100);
    left.resize(100);
    EXPECT_EQ(right, b);
    EXPECT_EQ(left, a);
}

TEST_F(WavReading, A48kFileIsConvertedToTheEngineRateKeepingLengthAndPitch) {
    constexpr double kRate = 48000, kTone = 1000;
    const int length = 48000;
    std::vector<std::int16_t> sine(length);
    for (int i = 0; i < length; ++i)
        sine[i] = static_cast<std::int16_t>(10000 * std::sin(2 * std::numbers::pi * kTone * i / kRate));
    const std::vector<std::int16_t> out = samplesOf(readOk(wavFile({.rate = 48000}, pcm16(sine))));

    const double expectedLength = length * kEngineRate / kRate;
    EXPECT_GE(out.size(), expectedLength - 1);
    EXPECT_LT(out.size(), expectedLength + BLOCK_SIZE);

    // Rising zero crossings, interpolated, away from both ends.
    std::vector<double> crossings;
    for (int i = 1000; i < 10000; ++i)
        if (out[i - 1] < 0 && out[i] >= 0)
            crossings.push_back(i - 1 + double(-out[i - 1]) / (out[i] - out[i - 1]));
    ASSERT_GT(crossings.size(), 100u);
    const double period = (crossings.back() - crossings.front()) / double(crossings.size() - 1);
    EXPECT_NEAR(kEngineRate / period, kTone, 1.0);
    EXPECT_NEAR(*std::max_element(out.begin() + 1000, out.begin() + 10000), 10000, 200);
}

TEST_F(WavReading, OvershootOfTheHalfBandFilterIsClippedInsteadOfWrappingAround) {
    // A full-scale square wave makes the low-pass ring above full scale.
    std::vector<std::int16_t> square(2048);
    for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 100) % 2 ? -32768 : 32767;

    BiquadCascade filter;
    filter.init(coefficients::kHalfBandLowpass.data(), 5);
    std::vector<double> raw(square.begin(), square.end());
    filter.process(raw.data(), static_cast<int>(raw.size()));
    double highest = 0;
    for (std::size_t i = 0; i < raw.size(); i += 2) highest = std::max(highest, raw[i]);
    ASSERT_GT(highest, 32768.0); // the samples kept overshoot: wrapping would make them negative

    const std::vector<std::int16_t> out = samplesOf(readOk(wavFile({.rate = 22050}, pcm16(square))));
    EXPECT_EQ(out, halfBandReference(square, 1));
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 32767);
}

TEST_F(WavReading, MemoryAndFileSourcesGiveTheSameBlocks) {
    const Bytes file = wavFile({.channels = 2, .rate = 22050, .bits = 8}, Bytes(999, 77));
    ScriptedDialogs dialogs;
    FileBlockList fromMemory;
    ASSERT_TRUE(readWavMemory(file, SourceChoice::LeftMinusRight, fromMemory, dialogs));
    EXPECT_EQ(samplesOf(fromMemory), samplesOf(readOk(file, SourceChoice::LeftMinusRight)));
}

TEST_F(WavReading, ChunksMayComeInAnyOrderWithOddSizedChunksAndPadBytesBetween) {
    const std::vector<std::int16_t> input = testSignal(64, 600, 11025);
    const std::vector<Bytes> chunks{chunk("LIST", Bytes{'I', 'N', 'F', 'O', 1, 2, 3}),
                                    chunk("data", pcm16(input)), chunk("junk", Bytes(5, 0xFF)),
                                    chunk("fmt ", formatRecord({}))};
    EXPECT_EQ(samplesOf(readOk(riffWave(chunks))), input);
    // A RIFF size beyond the end of the file still reads what is there.
    EXPECT_EQ(samplesOf(readOk(riffWave(chunks, 0xFFFFFFF0u))), input);
}

} // namespace
