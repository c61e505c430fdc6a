#pragma once

#include "engine/FileBlock.h"
#include "files/HalfBandDecimator.h"
#include "files/RateConverter.h"
#include "files/SourceChoice.h"
#include "files/WavFormat.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Turns the data of a checked WAV file, fed piece by piece as it is read, into blocks of
// the engine's format. The stages keep the program's long-standing layout, so that every
// 8- or 16-bit file at 11025, 22050 or 44100 Hz converts to exactly the same samples:
//   - pieces of e x 128 bytes of 8- and 16-bit data (e = 1, 2 or 4 for 11025, 22050 and
//     44100 Hz); an 8-bit piece makes two buffers of e x 64 sixteen-bit samples, the
//     second half silence when the data ends in the first;
//   - C consecutive sixteen-bit buffers (C channels) make one mono buffer of e x 64 frames,
//     missing ones at the end count as silence;
//   - each mono buffer becomes one block, through the half-band decimator when e > 1.
// Wider samples are scaled to 16 bits first (a piece holds e x 64 of them). Files with
// more than two channels use their first two as left and right. Other rates keep their
// real length and go through libsamplerate instead of the fixed filters.
class WavDecoder {
public:
    static constexpr std::size_t kMaxPieceBytes = HalfBandDecimator::kMaxFactor * BLOCK_SIZE * 4;

    // The format must have passed checkWavHeader; `choice` must not be None.
    WavDecoder(const WavFormat& format, SourceChoice choice);

    // How many bytes of data make one piece.
    std::size_t pieceBytes() const { return pieceBytes_; }
    // Makes room for the blocks `dataBytes` of data will give, so that a long file does not
    // pass through the list's repeated growth (which briefly holds it up to three times).
    // Only bytes known to exist may be counted here, never a size a header claims.
    void reserveFor(std::uint64_t dataBytes);
    // Also keeps every mono sample at the file's own rate, before any rate change, in
    // `samples` (for the air band, which needs what the engine's rate leaves out).
    void keepNativeSamples(std::vector<std::int16_t>* samples) { native_ = samples; }
    // One piece as read: `count` bytes, at most pieceBytes(); a shorter piece is the last.
    void addPiece(const std::uint8_t* bytes, std::size_t count);
    // Ends the data, pads the last block with silence and hands the blocks over. Returns
    // false when the rate converter failed.
    bool finish(FileBlockList& blocks);

private:
    void addSample(std::int16_t sample);
    void addFrame();
    void convertBuffer();
    void takeConverted();

    double rateRatio_ = 1.0;
    int bytesPerSample_;
    int channels_;
    SourceChoice choice_;
    int factor_ = 1;
    int buffersPerPiece_;
    std::size_t pieceBytes_;
    std::unique_ptr<HalfBandDecimator> decimator_;
    std::unique_ptr<RateConverter> converter_;

    std::uint64_t pieces_ = 0;
    std::uint64_t buffersConverted_ = 0;
    int channel_ = 0;
    std::int16_t left_ = 0;
    std::int16_t right_ = 0;
    std::array<std::int16_t, HalfBandDecimator::kMaxFactor * BLOCK_SIZE> mono_{};
    int monoCount_ = 0;
    std::vector<float> converted_;
    int blockFill_ = 0;
    bool failed_ = false;
    FileBlockList blocks_;
    std::vector<std::int16_t>* native_ = nullptr;
};
