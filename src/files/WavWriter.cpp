#include "files/WavWriter.h"

#include "files/LittleEndian.h"
#include "files/WavTexts.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <limits>

namespace {

// How each save rate is written: how many rate doublings the recording goes through.
struct SaveFormat {
    SaveRate rate;
    std::uint32_t sampleRate;
    int doublings;
};
constexpr std::array<SaveFormat, 3> kSaveFormats{{
    {SaveRate::Rate11025, 11025, 0},
    {SaveRate::Rate22050, 22050, 1},
    {SaveRate::Rate44100, 44100, 2},
}};

const SaveFormat& saveFormat(SaveRate rate) {
    const auto found = std::find_if(kSaveFormats.begin(), kSaveFormats.end(),
                                    [&](const SaveFormat& f) { return f.rate == rate; });
    return found != kSaveFormats.end() ? *found : kSaveFormats.front();
}

constexpr std::uint64_t kWriteBackStep = 8 << 20;

constexpr std::uint16_t kChannels = 2;
constexpr std::uint16_t kBitsPerSample = 16;
constexpr std::uint32_t kBytesPerFrame = kChannels * kBitsPerSample / 8;
// PCM record plus a zero extra-format size: 18 bytes, as the program has always written.
constexpr std::size_t kFormatRecordSize = 18;
// ds64's sizes, then a table of further chunk sizes that is always empty here.
constexpr std::size_t kDs64Size = kDs64SizesSize + 4;
// Everything before the data: the form's header and type, fmt and the data chunk's header;
// RF64 has ds64 between the form type and fmt.
constexpr std::uint64_t kRiffHeaderSize = 12 + 8 + kFormatRecordSize + 8;
constexpr std::uint64_t kRf64HeaderSize = kRiffHeaderSize + 8 + kDs64Size;
constexpr std::uint64_t kUnbounded = std::numeric_limits<std::uint64_t>::max();

std::array<std::uint8_t, kFormatRecordSize> formatRecord(std::uint32_t sampleRate) {
    std::array<std::uint8_t, kFormatRecordSize> record{};
    littleEndian::putU16(record.data(), 1);
    littleEndian::putU16(record.data() + 2, kChannels);
    littleEndian::putU32(record.data() + 4, sampleRate);
    littleEndian::putU32(record.data() + 8, sampleRate * kBytesPerFrame);
    littleEndian::putU16(record.data() + 12, static_cast<std::uint16_t>(kBytesPerFrame));
    littleEndian::putU16(record.data() + 14, kBitsPerSample);
    littleEndian::putU16(record.data() + 16, 0);
    return record;
}

// A file `fileSize` bytes long whose data chunk holds `dataBytes`.
std::array<std::uint8_t, kDs64Size> ds64Record(std::uint64_t fileSize, std::uint64_t dataBytes) {
    std::array<std::uint8_t, kDs64Size> record{};
    littleEndian::putU64(record.data(), fileSize - 8);
    littleEndian::putU64(record.data() + 8, dataBytes);
    littleEndian::putU64(record.data() + 16, dataBytes / kBytesPerFrame);
    littleEndian::putU32(record.data() + 24, 0);
    return record;
}

} // namespace

WavWriter::WavWriter(SaveRate rate, std::uint64_t riffLimit)
    : sampleRate_(saveFormat(rate).sampleRate), doublings_(saveFormat(rate).doublings), riffLimit_(riffLimit) {}

std::string_view WavWriter::begin(const std::filesystem::path& target, std::optional<std::uint64_t> frames) {
    using wavTexts::SaveStep;
    using wavTexts::saveStepMessage;
    if (!file_.create(target)) return wavTexts::kCannotCreateFile;
    const bool stream = file_.inPlace();
    if (frames) declaredBytes_ = *frames * kBytesPerFrame;
    rf64_ = declaredBytes_ && *declaredBytes_ > riffLimit_ - std::min(riffLimit_, kRiffHeaderSize);
    // A stream of unknown length says so in its header, and so may grow without limit.
    const bool unbounded = rf64_ || (stream && !declaredBytes_);
    writer_ = std::make_unique<RiffWriter>(file_.stream(), unbounded ? kUnbounded : riffLimit_);
    if (rf64_) {
        if (const std::string_view failure = beginRf64(); !failure.empty()) return failure;
    } else {
        // A file's sizes are fixed at commit() in any case; a stream's must be right now.
        const std::uint32_t riffSize = unbounded        ? kSizeInDs64
                                       : declaredBytes_ ? static_cast<std::uint32_t>(kRiffHeaderSize - 8 + *declaredBytes_)
                                                        : 4;
        if (!writer_->createForm(riff_, kRiffId, kWaveForm, riffSize)) return saveStepMessage(SaveStep::CreateRiff);
    }
    if (!writer_->createChunk(fmt_, kFmtId, kFormatRecordSize))
        return saveStepMessage(SaveStep::CreateFormat);
    const auto record = formatRecord(sampleRate_);
    if (!writer_->write(record.data(), record.size())) return saveStepMessage(SaveStep::WriteFormat);
    if (!writer_->ascend(fmt_)) return saveStepMessage(SaveStep::AscendFormat);
    const std::uint32_t dataSize = unbounded        ? kSizeInDs64
                                   : declaredBytes_ ? static_cast<std::uint32_t>(*declaredBytes_)
                                                    : 0;
    if (!writer_->createChunk(data_, kDataId, dataSize)) return saveStepMessage(SaveStep::CreateData);
    return {};
}

std::string_view WavWriter::beginRf64() {
    const std::string_view failure = wavTexts::saveStepMessage(wavTexts::SaveStep::CreateRiff);
    if (!writer_->createForm(riff_, kRf64Id, kWaveForm, kSizeInDs64)) return failure;
    if (!writer_->createChunk(ds64_, kDs64Id, kDs64Size)) return failure;
    const auto record = ds64Record(kRf64HeaderSize + *declaredBytes_, *declaredBytes_);
    if (!writer_->write(record.data(), record.size()) || !writer_->ascend(ds64_)) return failure;
    return {};
}

std::string_view WavWriter::write(std::span<const std::uint8_t> data) {
    if (!writer_ || !writer_->write(data.data(), data.size()))
        return wavTexts::saveStepMessage(wavTexts::SaveStep::WriteData);
    // A long recording is sent on to the disk as it is written, so that the sync before the
    // rename waits only for the last piece and the written data does not pile up in memory.
    // Only a hint: what it fails to do, the sync at commit() does.
    if (!file_.inPlace() && writer_->position() - writtenBack_ >= kWriteBackStep && writer_->flush()) {
        ::sync_file_range(::fileno(file_.stream()), static_cast<off_t>(writtenBack_),
                          static_cast<off_t>(writer_->position() - writtenBack_), SYNC_FILE_RANGE_WRITE);
        writtenBack_ = writer_->position();
    }
    return {};
}

std::string_view WavWriter::commit() {
    using wavTexts::SaveStep;
    using wavTexts::saveStepMessage;
    if (!writer_) return wavTexts::kCannotCreateFile;
    if (!writer_->flush()) return saveStepMessage(SaveStep::Flush);
    const std::uint64_t dataBytes = writer_->position() - data_.dataOffset;
    if (rf64_) {
        if (const std::string_view failure = completeRf64(dataBytes); !failure.empty()) return failure;
    } else if (file_.inPlace()) {
        // The header went out first and stays as it was sent.
        if (declaredBytes_ && dataBytes != *declaredBytes_) return saveStepMessage(SaveStep::AscendData);
        if (!padData(dataBytes)) return saveStepMessage(SaveStep::AscendData);
    } else {
        if (!writer_->ascend(data_)) return saveStepMessage(SaveStep::AscendData);
        if (!writer_->ascend(riff_)) return saveStepMessage(SaveStep::AscendRiff);
    }
    switch (file_.commit()) {
    case TemporaryFile::CommitResult::Committed:
        return {};
    case TemporaryFile::CommitResult::WriteFailed:
        return saveStepMessage(SaveStep::Flush);
    case TemporaryFile::CommitResult::RenameFailed:
        return wavTexts::kCannotCreateFile;
    }
    return wavTexts::kCannotCreateFile;
}

// The 32-bit fields say "see ds64" whatever the length, so only ds64 may need fixing: in a
// file when the data came out other than declared; a stream has sent it already.
std::string_view WavWriter::completeRf64(std::uint64_t dataBytes) {
    using wavTexts::SaveStep;
    using wavTexts::saveStepMessage;
    if (!padData(dataBytes)) return saveStepMessage(SaveStep::AscendData);
    if (dataBytes == *declaredBytes_) return {};
    if (file_.inPlace()) return saveStepMessage(SaveStep::AscendData);
    const auto record = ds64Record(writer_->position(), dataBytes);
    if (!writer_->overwrite(ds64_.dataOffset, record.data(), kDs64SizesSize))
        return saveStepMessage(SaveStep::AscendRiff);
    return {};
}

// Where the sizes cannot be fixed by ascending, the pad byte an odd data size needs is
// written here.
bool WavWriter::padData(std::uint64_t dataBytes) {
    const std::uint8_t pad = 0;
    return (dataBytes & 1u) == 0 || writer_->write(&pad, 1);
}
