#include "files/WavDecoder.h"

#include "engine/Engine.h"
#include "engine/Sample16.h"
#include "files/LittleEndian.h"

#include <algorithm>

namespace {

// The rates the half-band filters convert, with how many input samples make one output.
struct HalfBandRate {
    std::uint32_t sampleRate;
    int factor;
};
constexpr std::array<HalfBandRate, 3> kHalfBandRates{{{11025, 1}, {22050, 2}, {44100, 4}}};

// One sample in 16-bit units. Unsigned 8-bit samples are centred on 128; wider ones are
// scaled down by truncation toward zero, like every conversion to 16 bits.
std::int16_t decodeSample(const std::uint8_t* bytes, int width) {
    switch (width) {
    case 1:
        return static_cast<std::int16_t>((bytes[0] - 128) * 256);
    case 2:
        return static_cast<std::int16_t>(littleEndian::getU16(bytes));
    case 3: {
        std::int32_t value = bytes[0] | bytes[1] << 8 | bytes[2] << 16;
        if (value & 0x800000) value -= 0x1000000;
        return static_cast<std::int16_t>(value / 256);
    }
    default:
        return static_cast<std::int16_t>(static_cast<std::int32_t>(littleEndian::getU32(bytes)) / 65536);
    }
}

} // namespace

WavDecoder::WavDecoder(const WavFormat& format, SourceChoice choice)
    : bytesPerSample_(std::clamp(format.bytesPerSample(), 1, 4)),
      channels_(std::max<int>(format.channels, 1)), choice_(choice),
      buffersPerPiece_(bytesPerSample_ == 1 ? 2 : 1) {
    const auto route = std::find_if(kHalfBandRates.begin(), kHalfBandRates.end(),
                                    [&](const HalfBandRate& r) { return r.sampleRate == format.sampleRate; });
    if (route != kHalfBandRates.end()) {
        factor_ = route->factor;
        if (factor_ > 1) decimator_ = std::make_unique<HalfBandDecimator>(factor_);
    } else {
        converter_ = std::make_unique<RateConverter>(format.sampleRate);
        rateRatio_ = kEngineRate / format.sampleRate;
    }
    pieceBytes_ = static_cast<std::size_t>(buffersPerPiece_ * factor_ * BLOCK_SIZE * bytesPerSample_);
}

void WavDecoder::reserveFor(std::uint64_t dataBytes) {
    std::uint64_t blocks = 0;
    if (converter_) {
        const std::uint64_t frames = dataBytes / static_cast<std::uint64_t>(bytesPerSample_ * channels_) + 1;
        blocks = static_cast<std::uint64_t>(static_cast<double>(frames) * rateRatio_) / BLOCK_SIZE + 2;
    } else {
        const std::uint64_t pieces = (dataBytes + pieceBytes_ - 1) / pieceBytes_;
        blocks = (pieces * static_cast<std::uint64_t>(buffersPerPiece_) + channels_ - 1) / channels_;
    }
    if (blocks <= blocks_.max_size()) blocks_.reserve(static_cast<std::size_t>(blocks));
}

void WavDecoder::addPiece(const std::uint8_t* bytes, std::size_t count) {
    ++pieces_;
    count = std::min(count, pieceBytes_);
    std::size_t at = 0;
    if (bytesPerSample_ == 2 && channels_ == 1) {
        // The common case without the per-sample detour through frames and channels: each
        // whole sample goes straight into the mono buffer, as addSample and addFrame put it.
        // The samples up to the end of the buffer go in at once, in a loop that has nothing
        // else to do.
        const int bufferSamples = factor_ * BLOCK_SIZE;
        while (at + 2 <= count) {
            const int n = static_cast<int>(
                std::min<std::size_t>((count - at) / 2, std::size_t(bufferSamples - monoCount_)));
            std::int16_t* to = mono_.data() + monoCount_;
            const std::uint8_t* from = bytes + at;
            for (int i = 0; i < n; ++i) to[i] = static_cast<std::int16_t>(littleEndian::getU16(from + 2 * i));
            if (native_) native_->insert(native_->end(), to, to + n);
            monoCount_ += n;
            at += 2 * static_cast<std::size_t>(n);
            if (monoCount_ == bufferSamples) {
                convertBuffer();
                monoCount_ = 0;
            }
        }
    }
    for (; at < count; at += static_cast<std::size_t>(bytesPerSample_)) {
        // A sample cut off by the end of the data keeps the bytes it has, the rest zero.
        std::uint8_t sample[4]{};
        std::copy_n(bytes + at, std::min<std::size_t>(bytesPerSample_, count - at), sample);
        addSample(decodeSample(sample, bytesPerSample_));
    }
}

void WavDecoder::addSample(std::int16_t sample) {
    if (channel_ == 0) left_ = sample;
    if (channel_ == 1) right_ = sample;
    if (++channel_ == channels_) {
        channel_ = 0;
        addFrame();
    }
}

void WavDecoder::addFrame() {
    std::int16_t mono = left_;
    if (channels_ > 1) {
        switch (choice_) {
        case SourceChoice::LeftPlusRight:
            mono = static_cast<std::int16_t>((left_ + right_) / 2);
            break;
        case SourceChoice::Left:
            mono = left_;
            break;
        case SourceChoice::Right:
            mono = right_;
            break;
        case SourceChoice::LeftMinusRight:
            mono = static_cast<std::int16_t>((left_ - right_) / 2);
            break;
        case SourceChoice::None:
            mono = 0;
            break;
        }
    }
    mono_[monoCount_++] = mono;
    if (native_) native_->push_back(mono);
    if (monoCount_ == factor_ * BLOCK_SIZE) {
        convertBuffer();
        monoCount_ = 0;
    }
}

void WavDecoder::convertBuffer() {
    if (converter_) {
        std::array<float, BLOCK_SIZE> input;
        for (int i = 0; i < monoCount_; ++i) input[i] = mono_[i];
        if (!converter_->process(input.data(), monoCount_, false, converted_)) failed_ = true;
        takeConverted();
    } else if (decimator_) {
        blocks_.emplace_back();
        decimator_->process(mono_.data(), blocks_.back());
    } else {
        FileBlock& block = blocks_.emplace_back();
        std::copy_n(mono_.begin(), BLOCK_SIZE, block.samples.begin());
    }
    ++buffersConverted_;
}

void WavDecoder::takeConverted() {
    for (float value : converted_) {
        if (blockFill_ == 0) blocks_.emplace_back();
        blocks_.back().samples[blockFill_] = toSample16(value);
        blockFill_ = (blockFill_ + 1) % BLOCK_SIZE;
    }
    converted_.clear();
}

bool WavDecoder::finish(FileBlockList& blocks) {
    // A frame cut off by the end of the data: its missing channels are silence.
    while (channel_ != 0) addSample(0);

    if (converter_) {
        // Only real frames go in, so the converted file keeps its true length.
        std::array<float, BLOCK_SIZE> input;
        for (int i = 0; i < monoCount_; ++i) input[i] = mono_[i];
        if (!converter_->process(input.data(), monoCount_, true, converted_)) failed_ = true;
        takeConverted();
        // A file too short to yield one output sample still had data: it loads as silence.
        if (blocks_.empty()) blocks_.emplace_back();
    } else {
        if (monoCount_ > 0) {
            std::fill(mono_.begin() + monoCount_, mono_.end(), std::int16_t{0});
            convertBuffer();
        }
        // The layout counts silent buffers too: C sixteen-bit buffers per mono buffer,
        // two of them per 8-bit piece even when the data ended in the first.
        const std::uint64_t sixteenBitBuffers = pieces_ * static_cast<std::uint64_t>(buffersPerPiece_);
        const std::uint64_t monoBuffers = (sixteenBitBuffers + channels_ - 1) / channels_;
        while (buffersConverted_ < monoBuffers) {
            mono_.fill(0);
            convertBuffer();
        }
    }
    monoCount_ = 0;
    if (failed_) return false;
    blocks = std::move(blocks_);
    blocks_.clear();
    return true;
}
