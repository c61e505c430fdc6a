#pragma once

#include "dsp/BiquadCascade.h"
#include "engine/LanePath.h"
#include "engine/RecordBlock.h"
#include "files/AirTrack.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The data of a saved recording, a piece at a time: left and right blocks paired up to the
// end of the shorter list, brought up by `doublings` rate doublings (each the zero-stuffing
// with gain 2 and the half-band low-pass of HalfBandUpsampler, one filter per channel and
// doubling running on from the first block to the last) and written as 16-bit
// little-endian left, right frames. The pieces together are exactly the bytes of converting
// the whole recording at once; only one piece is held at a time, so the memory needed does
// not grow with the recording. Left and right run side by side in vector lanes.
// The blocks can also be handed over a piece at a time as they are recorded (encode), for a
// save that runs while the recording is still growing.
// Thread: owner (whichever thread converts: the core's for Save, BackgroundWavSave's worker
// for encode()). The lists must not change while the encoder reads them.
class RecordingEncoder {
public:
    static constexpr std::size_t kBlocksPerPiece = 32;

    RecordingEncoder(const RecordBlockList& left, const RecordBlockList& right, int doublings,
                     LanePath path = bestLanePath());
    // An encoder fed by encode() alone.
    explicit RecordingEncoder(int doublings, LanePath path = bestLanePath());
    RecordingEncoder(const RecordingEncoder&) = delete;
    RecordingEncoder& operator=(const RecordingEncoder&) = delete;

    // The next piece; empty once every block is converted. Valid until the next call.
    std::span<const std::uint8_t> next();
    // The bytes of the next `count` blocks (at most kBlocksPerPiece) of each channel, which
    // follow the blocks encoded before. Valid until the next call.
    using BlockSamples = std::array<double, BLOCK_SIZE>;
    std::span<const std::uint8_t> encode(const BlockSamples* const* left, const BlockSamples* const* right,
                                         std::size_t count);

    std::size_t blocks() const { return blocks_; }
    // A band added to both sides at the saved rate before the 16-bit conversion (the
    // render's air band); null for none. It must outlive the encoding.
    void setAir(AirTrack* air) { air_ = air; }
    int framesPerBlock() const { return BLOCK_SIZE << doublings_; }

private:
    // The same doubling as HalfBandUpsampler, channel by channel, for filters that failed
    // to initialise (they then report it on every call, as the reference's do).
    void doubleSeparately(int stage, const double* in, int pairs, double* out);
    // The first `values` 16-bit samples as the file's little-endian bytes.
    std::span<const std::uint8_t> bytesOf(int values);

    const RecordBlockList* left_ = nullptr;
    const RecordBlockList* right_ = nullptr;
    std::size_t blocks_;
    std::size_t done_ = 0;
    int doublings_;
    const LaneRoutines& routines_;
    BiquadCascade filters_[2][2];   // [doubling][left, right]
    std::vector<double> stages_[3]; // left, right pairs before and after each doubling
    std::vector<std::int16_t> samples_;
    std::vector<std::uint8_t> bytes_;
    AirTrack* air_ = nullptr;
};
