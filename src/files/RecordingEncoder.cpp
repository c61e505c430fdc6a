#include "files/RecordingEncoder.h"

#include "engine/FilterCoefficients.h"
#include "files/LittleEndian.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr int kSections = static_cast<int>(coefficients::kHalfBandLowpass.size() / 6);

} // namespace

RecordingEncoder::RecordingEncoder(const RecordBlockList& left, const RecordBlockList& right, int doublings,
                                   LanePath path)
    : RecordingEncoder(doublings, path) {
    left_ = &left;
    right_ = &right;
    blocks_ = std::min(left.size(), right.size());
}

RecordingEncoder::RecordingEncoder(int doublings, LanePath path)
    : blocks_(0), doublings_(std::clamp(doublings, 0, 2)), routines_(laneRoutines(path)) {
    for (int d = 0; d < doublings_; ++d)
        for (BiquadCascade& filter : filters_[d])
            filter.init(coefficients::kHalfBandLowpass.data(), kSections);
    for (int d = 0; d <= doublings_; ++d) stages_[d].resize(2 * (kBlocksPerPiece * BLOCK_SIZE << d));
    samples_.resize(stages_[doublings_].size());
    bytes_.resize(2 * samples_.size());
}

void RecordingEncoder::doubleSeparately(int stage, const double* in, int pairs, double* out) {
    std::vector<double> channel(2 * static_cast<std::size_t>(pairs));
    for (int side = 0; side < 2; ++side) {
        for (int i = 0; i < pairs; ++i) {
            channel[2 * i] = 2.0 * in[2 * i + side];
            channel[2 * i + 1] = 0.0;
        }
        filters_[stage][side].process(channel.data(), 2 * pairs);
        for (int i = 0; i < 2 * pairs; ++i) out[2 * i + side] = channel[i];
    }
}

std::span<const std::uint8_t> RecordingEncoder::next() {
    const std::size_t count = std::min(kBlocksPerPiece, blocks_ - done_);
    if (count == 0) return {};
    const BlockSamples* left[kBlocksPerPiece];
    const BlockSamples* right[kBlocksPerPiece];
    for (std::size_t b = 0; b < count; ++b) {
        left[b] = &(*left_)[done_ + b].samples;
        right[b] = &(*right_)[done_ + b].samples;
    }
    done_ += count;
    return encode(left, right, count);
}

std::span<const std::uint8_t> RecordingEncoder::encode(const BlockSamples* const* left,
                                                       const BlockSamples* const* right, std::size_t count) {
    count = std::min(count, kBlocksPerPiece);
    if (count == 0) return {};
    if (doublings_ == 0 && !air_) {
        // At the engine's rate the samples need no stage of their own: each block's two
        // channels become interleaved 16-bit frames straight away.
        for (std::size_t b = 0; b < count; ++b)
            routines_.toStereo16(left[b]->data(), right[b]->data(), BLOCK_SIZE,
                                 samples_.data() + 2 * b * BLOCK_SIZE);
        return bytesOf(2 * static_cast<int>(count) * BLOCK_SIZE);
    }
    double* pairs = stages_[0].data();
    for (std::size_t b = 0; b < count; ++b) {
        const BlockSamples& l = *left[b];
        const BlockSamples& r = *right[b];
        for (int i = 0; i < BLOCK_SIZE; ++i) {
            pairs[2 * (b * BLOCK_SIZE + i)] = l[i];
            pairs[2 * (b * BLOCK_SIZE + i) + 1] = r[i];
        }
    }

    int length = static_cast<int>(count) * BLOCK_SIZE; // pairs in the current stage
    for (int d = 0; d < doublings_; ++d) {
        BiquadCascade& leftFilter = filters_[d][0];
        BiquadCascade& rightFilter = filters_[d][1];
        if (leftFilter.isInitialised() && rightFilter.isInitialised()) {
            routines_.doublePairs(stages_[d].data(), length, stages_[d + 1].data(),
                                  {leftFilter.state().tapSt.taps, leftFilter.state().dlySt.dlyl},
                                  {rightFilter.state().tapSt.taps, rightFilter.state().dlySt.dlyl});
        } else {
            // Filters that failed to initialise report it, as the reference's do.
            doubleSeparately(d, stages_[d].data(), length, stages_[d + 1].data());
        }
        length *= 2;
    }

    if (air_) air_->addTo(stages_[doublings_].data(), static_cast<std::size_t>(length));
    const int values = 2 * length;
    routines_.toSamples16(stages_[doublings_].data(), values, samples_.data());
    return bytesOf(values);
}

std::span<const std::uint8_t> RecordingEncoder::bytesOf(int values) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bytes_.data(), samples_.data(), 2 * static_cast<std::size_t>(values));
    } else {
        for (int i = 0; i < values; ++i)
            littleEndian::putU16(bytes_.data() + 2 * i, static_cast<std::uint16_t>(samples_[i]));
    }
    return {bytes_.data(), 2 * static_cast<std::size_t>(values)};
}
