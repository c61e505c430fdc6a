#include "files/WavWriter.h"

#include "files/LittleEndian.h"
#include "files/WavTexts.h"

#include <algorithm>
#include <array>
#include <fcntl.h>

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

} // namespace

WavWriter::WavWriter(SaveRate rate)
    : sampleRate_(saveFormat(rate).sampleRate), doublings_(saveFormat(rate).doublings) {}

std::string_view WavWriter::begin(const std::filesystem::path& target) {
    using wavTexts::SaveStep;
    using wavTexts::saveStepMessage;
    if (!file_.create(target)) return wavTexts::kCannotCreateFile;
    writer_ = std::make_unique<RiffWriter>(file_.stream());
    if (!writer_->createForm(riff_, kRiffId, kWaveForm)) return saveStepMessage(SaveStep::CreateRiff);
    if (!writer_->createChunk(fmt_, kFmtId, kFormatRecordSize))
        return saveStepMessage(SaveStep::CreateFormat);
    const auto record = formatRecord(sampleRate_);
    if (!writer_->write(record.data(), record.size())) return saveStepMessage(SaveStep::WriteFormat);
    if (!writer_->ascend(fmt_)) return saveStepMessage(SaveStep::AscendFormat);
    if (!writer_->createChunk(data_, kDataId)) return saveStepMessage(SaveStep::CreateData);
    return {};
}

std::string_view WavWriter::write(std::span<const std::uint8_t> data) {
    if (!writer_ || !writer_->write(data.data(), data.size()))
        return wavTexts::saveStepMessage(wavTexts::SaveStep::WriteData);
    // A long recording is sent on to the disk as it is written, so that the sync before the
    // rename waits only for the last piece and the written data does not pile up in memory.
    // Only a hint: what it fails to do, the sync at commit() does.
    if (writer_->position() - writtenBack_ >= kWriteBackStep && writer_->flush()) {
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
    if (!writer_->ascend(data_)) return saveStepMessage(SaveStep::AscendData);
    if (!writer_->ascend(riff_)) return saveStepMessage(SaveStep::AscendRiff);
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
