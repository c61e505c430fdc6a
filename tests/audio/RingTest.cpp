#include "audio/InputRing.h"
#include "audio/OutputRing.h"
#include "rt/WakeupSignal.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

void fillBlock(OutputRing& ring, int index, int value) {
    for (int i = 0; i < 2 * kWaveBufferFrames; ++i) ring.buffer(index).samples[i] = static_cast<std::int16_t>(value);
}

std::vector<int> drainDone(OutputRing& ring) {
    std::vector<int> done;
    int index;
    while (ring.takeDone(index)) done.push_back(index);
    return done;
}

TEST(OutputRingPlayback, PlaysWrittenBuffersInOrderAndHandsEachBackOncePlayed) {
    WakeupSignal wake;
    OutputRing ring(wake);
    for (int i = 0; i < 3; ++i) {
        fillBlock(ring, i, 100 + i);
        ring.write(i);
    }
    std::array<std::int16_t, 2 * 96> out{};
    ring.render(out.data(), 96); // a block and a half
    EXPECT_EQ(out[0], 100);
    EXPECT_EQ(out[2 * 63 + 1], 100);
    EXPECT_EQ(out[2 * 64], 101);
    EXPECT_EQ(drainDone(ring), std::vector<int>{0});
    EXPECT_TRUE(wake.wait(0));
    ring.render(out.data(), 32); // the rest of block 1
    EXPECT_EQ(drainDone(ring), std::vector<int>{1});
    ring.render(out.data(), 64);
    EXPECT_EQ(drainDone(ring), std::vector<int>{2});
    EXPECT_EQ(ring.underruns(), 0u);
    EXPECT_EQ(ring.blocksPlayed(), 3u);
}

TEST(OutputRingPlayback, ABufferNotBackInTimeIsAnUnderrunOfOneSilentBlock) {
    WakeupSignal wake;
    OutputRing ring(wake);
    fillBlock(ring, 0, 7);
    ring.write(0);
    std::array<std::int16_t, 2 * 64 * 3> out{};
    ring.render(out.data(), 64 * 3);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[2 * 64], 0);
    EXPECT_EQ(out[2 * 191], 0);
    EXPECT_EQ(ring.underruns(), 2u);
    EXPECT_EQ(drainDone(ring), std::vector<int>{0});
}

TEST(OutputRingPlayback, WhilePausedPlaysSilenceWithoutTakingBuffersOrCountingUnderruns) {
    WakeupSignal wake;
    OutputRing ring(wake);
    fillBlock(ring, 0, 9);
    ring.write(0);
    ring.setPaused(true);
    std::array<std::int16_t, 2 * 128> out{};
    ring.render(out.data(), 128);
    EXPECT_EQ(out[0], 0);
    EXPECT_TRUE(drainDone(ring).empty());
    EXPECT_EQ(ring.underruns(), 0u);
    ring.setPaused(false);
    ring.render(out.data(), 64);
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(drainDone(ring), std::vector<int>{0});
}

TEST(OutputRingPlayback, PullingWholeBlocksScalesToFloatAndCompletesEachBlock) {
    WakeupSignal wake;
    OutputRing ring(wake);
    fillBlock(ring, 4, -16384);
    ring.write(4);
    std::array<float, 2 * 64> block{};
    ring.pullBlock(block.data());
    EXPECT_EQ(block[0], -0.5f);
    EXPECT_EQ(drainDone(ring), std::vector<int>{4});
    ring.pullBlock(block.data());
    EXPECT_EQ(block[0], 0.0f);
    EXPECT_EQ(ring.underruns(), 1u);
}

TEST(InputRingCapture, FillsAddedBuffersInOrderAsSixteenBitLittleEndian) {
    WakeupSignal wake;
    InputRing ring(wake);
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
    WakeupSignal wake;
    InputRing ring(wake);
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
