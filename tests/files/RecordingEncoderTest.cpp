#include "files/RecordingEncoder.h"

#include "engine/Sample16.h"
#include "files/HalfBandUpsampler.h"
#include "files/LittleEndian.h"
#include "WavTestSupport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <tuple>

namespace {

// Music-like material with what a recording can also hold: values beyond the 16-bit range
// (the image filter overshoots on them), infinities and NaNs.
RecordBlockList recording(std::size_t blocks, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    RecordBlockList list(blocks);
    for (std::size_t b = 0; b < blocks; ++b)
        for (int i = 0; i < BLOCK_SIZE; ++i) {
            const double t = double(b * BLOCK_SIZE + static_cast<std::size_t>(i));
            double v = 14000.0 * std::sin(0.031 * t) + 9000.0 * std::sin(0.77 * t) + 500.0 * unit(random);
            if (b % 37 == 5) v *= 3.0;
            list[b].samples[i] = v;
        }
    // Near the end: from a NaN or infinity on, the filters carry NaNs.
    list[blocks - 3].samples[60] = std::numeric_limits<double>::infinity();
    list[blocks - 2].samples[7] = std::numeric_limits<double>::quiet_NaN();
    return list;
}

// What the save wrote before it streamed: every block through HalfBandUpsampler, channel by
// channel, then toSample16 and two little-endian bytes per value.
Bytes referenceBytes(const RecordBlockList& left, const RecordBlockList& right, int doublings) {
    HalfBandUpsampler first[2], second[2];
    Bytes bytes;
    std::array<double, 2 * BLOCK_SIZE> half[2];
    std::array<double, 4 * BLOCK_SIZE> full[2];
    for (std::size_t b = 0; b < std::min(left.size(), right.size()); ++b) {
        const double* side[2] = {left[b].samples.data(), right[b].samples.data()};
        for (int c = 0; c < 2; ++c) {
            if (doublings >= 1) {
                first[c].process(side[c], BLOCK_SIZE, half[c].data());
                side[c] = half[c].data();
            }
            if (doublings >= 2) {
                second[c].process(side[c], 2 * BLOCK_SIZE, full[c].data());
                side[c] = full[c].data();
            }
        }
        for (int i = 0; i < BLOCK_SIZE << doublings; ++i)
            for (int c = 0; c < 2; ++c) {
                std::uint8_t pair[2];
                littleEndian::putU16(pair, static_cast<std::uint16_t>(toSample16(side[c][i])));
                bytes.insert(bytes.end(), pair, pair + 2);
            }
    }
    return bytes;
}

using EncoderCase = std::tuple<LanePath, int>;

class Encoding : public NspReports, public ::testing::WithParamInterface<EncoderCase> {};

TEST_P(Encoding, GivesTheBytesOfConvertingTheWholeRecordingAtOnceAPieceAtATime) {
    const auto [path, doublings] = GetParam();
    if (!lanePathRuns(path)) GTEST_SKIP() << lanePathName(path) << " does not run on this machine";
    // Lengths around the piece size, the right channel shorter: pairs up to the shorter.
    const RecordBlockList left = recording(5 * RecordingEncoder::kBlocksPerPiece + 7, 1);
    const RecordBlockList right = recording(5 * RecordingEncoder::kBlocksPerPiece + 3, 2);
    RecordingEncoder encoder(left, right, doublings, path);
    EXPECT_EQ(encoder.blocks(), right.size());

    const std::size_t largestPiece = RecordingEncoder::kBlocksPerPiece * encoder.framesPerBlock() * 4;
    Bytes bytes;
    int pieces = 0;
    for (std::span<const std::uint8_t> piece = encoder.next(); !piece.empty(); piece = encoder.next()) {
        EXPECT_LE(piece.size(), largestPiece);
        bytes.insert(bytes.end(), piece.begin(), piece.end());
        ++pieces;
    }
    EXPECT_EQ(pieces, 6);
    EXPECT_TRUE(encoder.next().empty());
    EXPECT_EQ(bytes, referenceBytes(left, right, doublings));
    EXPECT_TRUE(reports().empty());
}

std::string encoderCaseName(const ::testing::TestParamInfo<EncoderCase>& info) {
    return std::string(lanePathName(std::get<0>(info.param))) + "At" +
           std::to_string(11025 << std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(EveryPathAndRate, Encoding,
                         ::testing::Combine(::testing::Values(LanePath::Portable, LanePath::Avx2,
                                                              LanePath::Avx512),
                                            ::testing::Values(0, 1, 2)),
                         encoderCaseName);

// The block loop's output frames come from the same conversion, left and right
// interleaved: NaN, the infinities and the values at the clipping edges included, and a
// length that leaves a tail after the vectors.
TEST(StereoFrames, AreWhatToSample16GivesOnEveryPath) {
    const double inf = std::numeric_limits<double>::infinity();
    const double edges[] = {std::nan(""), inf, -inf, 32767.0, 32766.99, -32768.0, -32767.5, 40000.0,
                            -0.99, 0.99, -0.0, 12345.6, -23456.7};
    std::mt19937 random(11);
    std::uniform_real_distribution<double> wide(-40000.0, 40000.0);
    std::array<double, BLOCK_SIZE> left{}, right{};
    for (int i = 0; i < BLOCK_SIZE; ++i) {
        left[std::size_t(i)] = i < 13 ? edges[i] : wide(random);
        right[std::size_t(i)] = i < 13 ? edges[12 - i] : wide(random);
    }
    for (const LanePath path : {LanePath::Portable, LanePath::Avx2, LanePath::Avx512}) {
        if (!lanePathRuns(path)) continue;
        SCOPED_TRACE(lanePathName(path));
        for (const int frames : {BLOCK_SIZE, 7}) {
            std::array<std::int16_t, 2 * BLOCK_SIZE> out{};
            laneRoutines(path).toStereo16(left.data(), right.data(), frames, out.data());
            for (int i = 0; i < frames; ++i) {
                ASSERT_EQ(out[2 * std::size_t(i)], toSample16(left[std::size_t(i)])) << i;
                ASSERT_EQ(out[2 * std::size_t(i) + 1], toSample16(right[std::size_t(i)])) << i;
            }
        }
    }
}

} // namespace
