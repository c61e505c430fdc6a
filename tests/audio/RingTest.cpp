#include "audio/InputRing.h"
#include "audio/OutputRing.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

// Makes block n with every sample n + 100, and counts the blocks it made.
struct CountingSource final : BlockSource {
    void makeBlock(OutputBuffer& out) noexcept override {
        out.samples.fill(static_cast<std::int16_t>(100 + made));
        ++made;
    }
    int made = 0;
};

TEST(OutputRingPlayback, EachBlockIsMadeWhenTheOutputNeedsItAndPlaysAtOnce) {
    OutputRing ring;
    CountingSource source;
    ring.setSource(&source);
    ring.prime(0);
    std::array<std::int16_t, 2 * 96> out{};
    ring.render(out.data(), 96); // a block and a half
    EXPECT_EQ(source.made, 2);
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[2 * 63 + 1], 100);
    EXPECT_EQ(out[2 * 64], 101);
    ring.render(out.data(), 32); // the rest of block 1: nothing new is made
    EXPECT_EQ(source.made, 2);
    ring.render(out.data(), 64);
    EXPECT_EQ(out[0], 102);
    EXPECT_EQ(ring.underruns(), 0u);
    EXPECT_EQ(ring.blocksPlayed(), 2u);
}

TEST(OutputRingPlayback, SafetyBlocksOfSilenceKeepEveryBlockThatManyBlocksLate) {
    OutputRing ring;
    CountingSource source;
    ring.setSource(&source);
    ring.prime(2);
    std::array<std::int16_t, 2 * 64 * 5> out{};
    ring.render(out.data(), 64 * 5);
    EXPECT_EQ(source.made, 5); // one pass per block played, from the first on
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2 * 64], 0);
    EXPECT_EQ(out[2 * 128], 100);
    EXPECT_EQ(out[2 * 256 + 1], 102);
    // Made in pulls of whole blocks too, the distance stays.
    std::array<float, 2 * 64> block{};
    ring.pullBlock(block.data());
    EXPECT_EQ(block[0], 103 / 32768.0f);
    EXPECT_EQ(source.made, 6);
}

TEST(OutputRingPlayback, WithoutASourceSilencePlaysAndCountsAsUnderruns) {
    OutputRing ring;
    std::array<float, 2 * 64> block{};
    block.fill(1.0f);
    ring.pullBlock(block.data());
    EXPECT_EQ(block[0], 0.0f);
    ring.pullBlock(block.data());
    EXPECT_EQ(ring.underruns(), 2u);
}

TEST(InputRingCapture, FillsAddedBuffersInOrderAsSixteenBitLittleEndian) {
    InputRing ring;
    ring.setSixteenBit(true);
    ring.addBuffer(3);
    ring.addBuffer(1);
    std::vector<std::int16_t> frames(2 * 100);
    for (int i = 0; i < 100; ++i) {
        frames[2 * i] = static_cast<std::int16_t>(i - 300);
        frames[2 * i + 1] = static_cast<std::int16_t>(1000 + i);
    }
    ring.capture(frames.data(), 100);
    int index = -1;
    ASSERT_TRUE(ring.takeFilled(index));
    EXPECT_EQ(index, 3);
    EXPECT_FALSE(ring.takeFilled(index)); // the second is only part full
    const auto& bytes = ring.buffer(3).bytes;
    EXPECT_EQ(static_cast<std::int16_t>(bytes[0] | bytes[1] << 8), -300);
    EXPECT_EQ(static_cast<std::int16_t>(bytes[2] | bytes[3] << 8), 1000);
    EXPECT_EQ(static_cast<std::int16_t>(bytes[4 * 63] | bytes[4 * 63 + 1] << 8), 63 - 300);
    ring.capture(frames.data(), 28);
    ASSERT_TRUE(ring.takeFilled(index));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(ring.droppedFrames(), 0u);
}

TEST(InputRingCapture, EightBitInputIsUnsignedWith128AsSilenceAndFramesWithNoBufferAreDropped) {
    InputRing ring;
    ring.setSixteenBit(false);
    EXPECT_EQ(ring.bufferBytes(), 128);
    ring.addBuffer(0);
    std::vector<float> frames(2 * 80, 0.0f);
    frames[0] = -1.0f;
    frames[1] = 0.5f;
    ring.capture(frames.data(), 80);
    int index;
    ASSERT_TRUE(ring.takeFilled(index));
    EXPECT_EQ(ring.buffer(0).bytes[0], 0);   // -32768 >> 8 = -128, + 128
    EXPECT_EQ(ring.buffer(0).bytes[1], 192); // 16384 >> 8 = 64, + 128
    EXPECT_EQ(ring.buffer(0).bytes[2], 128);
    EXPECT_EQ(ring.droppedFrames(), 16u);
}

} // namespace
