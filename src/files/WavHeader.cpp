#include "files/WavHeader.h"

#include "files/LittleEndian.h"
#include "files/RateConverter.h"
#include "files/WavTexts.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

constexpr std::uint16_t kPcmTag = 1;
constexpr std::uint16_t kExtensibleTag = 0xFFFE;

// A plain PCM record is 16 bytes; the extensible one adds cbSize, valid bits, the channel
// mask and a 16-byte subformat GUID.
constexpr std::size_t kPcmRecordSize = 16;
constexpr std::size_t kExtensibleRecordSize = 40;
constexpr std::size_t kSubformatOffset = 24;
constexpr std::uint16_t kMinExtensibleExtra = 22;

// KSDATAFORMAT_SUBTYPE_PCM after its first two bytes (which hold the format tag).
constexpr std::array<std::uint8_t, 14> kSubformatGuidTail{0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                          0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr int kMaxBitsPerSample = 32;

// No file is this large; a ds64 size beyond it is cut down, so that adding it to an offset
// cannot wrap around. The reads are still bounded by the file's true size: data that the
// header claims beyond it is a short file, as in any WAV.
constexpr std::uint64_t kMaxDs64Size = std::uint64_t{1} << 62;

// The extensible record is PCM only with the PCM subformat; anything else it carries
// (floating point, compressed data) cannot be read.
std::string_view checkExtensible(const std::uint8_t* record, std::size_t length) {
    if (length < kExtensibleRecordSize || littleEndian::getU16(record + 16) < kMinExtensibleExtra)
        return wavTexts::kBadPcmFormat;
    const std::uint8_t* guid = record + kSubformatOffset;
    if (littleEndian::getU16(guid) != kPcmTag ||
        !std::equal(kSubformatGuidTail.begin(), kSubformatGuidTail.end(), guid + 2))
        return wavTexts::kUnsupportedFormat;
    return {};
}

// EBU Tech 3306 puts ds64 first in the form; a file without it there is not one we know.
bool readDs64(RiffReader& reader, WavHeader& header) {
    RiffChunk ds64;
    std::array<std::uint8_t, kDs64SizesSize> sizes{};
    if (!reader.descend(ds64) || ds64.id != kDs64Id ||
        reader.read(ds64, sizes.data(), sizes.size()) != sizes.size())
        return false;
    if (header.riff.size == kSizeInDs64)
        header.riff.size = std::min(littleEndian::getU64(sizes.data()), kMaxDs64Size);
    header.ds64DataSize = std::min(littleEndian::getU64(sizes.data() + 8), kMaxDs64Size);
    return true;
}

} // namespace

std::uint64_t WavHeader::dataSize(const RiffChunk& data) const {
    return ds64DataSize && data.size == kSizeInDs64 ? *ds64DataSize : data.size;
}

std::string_view checkWavHeader(RiffReader& reader, WavHeader& header) {
    if (!reader.descend(header.riff)) return wavTexts::kCannotReadFile;
    const bool rf64 = header.riff.id == kRf64Id;
    if ((header.riff.id != kRiffId && !rf64) || header.riff.formType != kWaveForm) return wavTexts::kNotWave;
    if (rf64 && !readDs64(reader, header)) return wavTexts::kNotWave;

    RiffChunk fmt;
    if (!reader.findChunk(fmt, kFmtId, header.riff)) return wavTexts::kNoFormatChunk;
    // Bytes the chunk does not have stay zero, as if the record had them.
    std::array<std::uint8_t, kExtensibleRecordSize> record{};
    const std::size_t length = reader.read(fmt, record.data(), record.size());
    if (length < kPcmRecordSize) return wavTexts::kBadPcmFormat;

    WavFormat& format = header.format;
    format.formatTag = littleEndian::getU16(record.data());
    format.channels = littleEndian::getU16(record.data() + 2);
    format.sampleRate = littleEndian::getU32(record.data() + 4);
    format.bytesPerSecond = littleEndian::getU32(record.data() + 8);
    format.blockAlign = littleEndian::getU16(record.data() + 12);
    format.bitsPerSample = littleEndian::getU16(record.data() + 14);

    if (format.formatTag == kExtensibleTag) {
        if (const std::string_view failure = checkExtensible(record.data(), length); !failure.empty())
            return failure;
        format.formatTag = kPcmTag;
    }
    if (format.formatTag != kPcmTag) return wavTexts::kUnsupportedFormat;
    if (format.bitsPerSample == 0 || format.bitsPerSample > kMaxBitsPerSample)
        return wavTexts::kUnsupportedFormat;
    // The frame layout follows from channels and sample width; a block align that says
    // otherwise (0 among them) leaves no way to know where the frames are.
    if (format.channels == 0 || format.sampleRate == 0 ||
        format.blockAlign != format.channels * format.bytesPerSample())
        return wavTexts::kBadPcmFormat;
    if (!RateConverter::canConvert(format.sampleRate)) return wavTexts::kUnsupportedFormat;

    if (!reader.ascend(fmt)) return wavTexts::kCannotReadFile;
    return {};
}
