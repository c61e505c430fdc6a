#include "LittleEndian.h"
#include "RecordingEncoder.h"
#include "RiffWriter.h"
#include "SaveRate.h"
#include "TemporaryFile.h"
#include "WavFiles.h"
#include "WavTexts.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace {

// How each save rate is written: how many rate doublings the recording goes through.
struct SaveFormat {
    SaveRate rate;
    std::uint32_t sampleRate;
    std::uint32_t bytesPerSecond;
    int doublings;
};
constexpr std::array<SaveFormat, 3> kSaveFormats{{
    {SaveRate::Rate11025, 11025, 44100, 0},
    {SaveRate::Rate22050, 22050, 88200, 1},
    {SaveRate::Rate44100, 44100, 176400, 2},
}};

constexpr std::uint16_t kChannels = 2;
constexpr std::uint16_t kBitsPerSample = 16;
constexpr std::size_t kBytesPerFrame = kChannels * kBitsPerSample / 8;
// PCM record plus a zero extra-format size: 18 bytes, as the program has always written.
constexpr std::size_t kFormatRecordSize = 18;

const SaveFormat& saveFormat(SaveRate rate) {
    const auto found = std::find_if(kSaveFormats.begin(), kSaveFormats.end(),
                                    [&](const SaveFormat& f) { return f.rate == rate; });
    return found != kSaveFormats.end() ? *found : kSaveFormats.front();
}

std::array<std::uint8_t, kFormatRecordSize> formatRecord(const SaveFormat& format) {
    std::array<std::uint8_t, kFormatRecordSize> record{};
    littleEndian::putU16(record.data(), 1);
    littleEndian::putU16(record.data() + 2, kChannels);
    littleEndian::putU32(record.data() + 4, format.sampleRate);
    littleEndian::putU32(record.data() + 8, format.bytesPerSecond);
    littleEndian::putU16(record.data() + 12, static_cast<std::uint16_t>(kBytesPerFrame));
    littleEndian::putU16(record.data() + 14, kBitsPerSample);
    littleEndian::putU16(record.data() + 16, 0);
    return record;
}

// Writes the file through a temporary one beside it; returns the failure message, empty on
// success. The temporary file goes whatever happens; the target changes only on success.
std::string_view writeWav(const std::filesystem::path& target, const SaveFormat& format,
                          RecordingEncoder& frames) {
    using wavTexts::SaveStep;
    using wavTexts::saveStepMessage;

    TemporaryFile file;
    if (!file.create(target)) return wavTexts::kCannotCreateFile;
    RiffWriter writer(file.stream());
    RiffChunk riff, fmt, data;
    if (!writer.createForm(riff, kRiffId, kWaveForm)) return saveStepMessage(SaveStep::CreateRiff);
    if (!writer.createChunk(fmt, kFmtId, kFormatRecordSize)) return saveStepMessage(SaveStep::CreateFormat);
    const auto record = formatRecord(format);
    if (!writer.write(record.data(), record.size())) return saveStepMessage(SaveStep::WriteFormat);
    if (!writer.ascend(fmt)) return saveStepMessage(SaveStep::AscendFormat);
    if (!writer.createChunk(data, kDataId)) return saveStepMessage(SaveStep::CreateData);
    // The data a piece at a time: the bytes are the same as in one write of all of it.
    for (std::span<const std::uint8_t> piece = frames.next(); !piece.empty(); piece = frames.next())
        if (!writer.write(piece.data(), piece.size())) return saveStepMessage(SaveStep::WriteData);
    if (!writer.flush()) return saveStepMessage(SaveStep::Flush);
    if (!writer.ascend(data)) return saveStepMessage(SaveStep::AscendData);
    if (!writer.ascend(riff)) return saveStepMessage(SaveStep::AscendRiff);
    switch (file.commit()) {
    case TemporaryFile::CommitResult::Committed:
        return {};
    case TemporaryFile::CommitResult::WriteFailed:
        return saveStepMessage(SaveStep::Flush);
    case TemporaryFile::CommitResult::RenameFailed:
        return wavTexts::kCannotCreateFile;
    }
    return wavTexts::kCannotCreateFile;
}

} // namespace

bool saveRecording(const RecordBlockList& left, const RecordBlockList& right, WavDialogs& dialogs) {
    if (left.empty() || right.empty()) return false;
    const std::optional<SaveRate> rate = dialogs.selectSaveRate();
    if (!rate) return false;
    const SaveFormat& format = saveFormat(*rate);

    const auto path = dialogs.saveFile(wavTexts::kSaveExtension, wavTexts::kSaveFilter);
    if (!path) return false;
    // Converted while it is written, after the file dialog: a cancelled save costs nothing,
    // and only one piece of the converted recording is in memory at a time.
    RecordingEncoder frames(left, right, format.doublings);
    if (const std::string_view failure = writeWav(*path, format, frames); !failure.empty()) {
        dialogs.message(failure);
        return false;
    }
    return true;
}
