#include "files/RecordingEncoder.h"
#include "files/WavFiles.h"
#include "files/WavTexts.h"
#include "files/WavWriter.h"

#include <span>

namespace {

// Returns the failure message, empty on success. The temporary file goes whatever happens;
// the target changes only on success.
std::string_view writeWav(const std::filesystem::path& target, WavWriter& writer, RecordingEncoder& frames) {
    // The length is known before the first byte: a stream's header states it, and a take
    // too long for RIFF is written as RF64 from the start.
    const std::uint64_t length = static_cast<std::uint64_t>(frames.blocks()) * frames.framesPerBlock();
    if (const std::string_view failure = writer.begin(target, length); !failure.empty()) return failure;
    // The data a piece at a time: the bytes are the same as in one write of all of it.
    for (std::span<const std::uint8_t> piece = frames.next(); !piece.empty(); piece = frames.next())
        if (const std::string_view failure = writer.write(piece); !failure.empty()) return failure;
    return writer.commit();
}

} // namespace

bool saveRecording(const RecordBlockList& left, const RecordBlockList& right, WavDialogs& dialogs) {
    if (left.empty() || right.empty()) return false;
    const std::optional<SaveRate> rate = dialogs.selectSaveRate();
    if (!rate) return false;
    WavWriter writer(*rate);

    const auto path = dialogs.saveFile(wavTexts::kSaveExtension, wavTexts::kSaveFilter);
    if (!path) return false;
    // Converted while it is written, after the file dialog: a cancelled save costs nothing,
    // and only one piece of the converted recording is in memory at a time.
    RecordingEncoder frames(left, right, writer.doublings());
    if (const std::string_view failure = writeWav(*path, writer, frames); !failure.empty()) {
        dialogs.message(failure);
        return false;
    }
    return true;
}
