#pragma once

#include "engine/FileBlock.h"
#include "NspReports.h"
#include "files/WavDialogs.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// The fields of a format record as a test wants them, right or wrong.
struct PcmFormat {
    std::uint16_t tag = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 11025;
    std::uint16_t bits = 16;
    std::optional<std::uint16_t> blockAlign = std::nullopt; // channels x bytes per sample unless given
};

// A format record of `size` bytes (16 for plain PCM, 18 with cbSize, 40 extensible).
Bytes formatRecord(const PcmFormat& format, std::size_t size = 16);
// An extensible record whose subformat GUID starts with `subformat` (1 = PCM, 3 = float).
Bytes extensibleRecord(const PcmFormat& format, std::uint16_t subformat);
// A chunk with its header and pad byte; `claimedSize` replaces the true size in the header.
Bytes chunk(std::string_view id, const Bytes& content, std::optional<std::uint32_t> claimedSize = {});
// RIFF/WAVE around the given chunks.
Bytes riffWave(const std::vector<Bytes>& chunks, std::optional<std::uint32_t> claimedSize = {});
// A plain WAV file: RIFF/WAVE, a 16-byte fmt chunk and the data.
Bytes wavFile(const PcmFormat& format, const Bytes& data);

Bytes pcm16(const std::vector<std::int16_t>& samples);
// The low `width` bytes of each value, little-endian (3 for 24-bit, 4 for 32-bit samples).
Bytes pcmWide(const std::vector<std::int32_t>& samples, int width);
std::vector<std::int16_t> interleave(const std::vector<std::int16_t>& left,
                                     const std::vector<std::int16_t>& right);

// Every sample of a block list, in order.
std::vector<std::int16_t> samplesOf(const FileBlockList& blocks);
// A signal test files are made of: a few sines of moderate level, never near full scale.
std::vector<std::int16_t> testSignal(int length, double frequency, double rate, double level = 9000.0);

// The reference conversion of a double to 16 bits: truncated, clipped to the range.
std::int16_t truncatedClipped(double value);

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path write(const std::string& name, const Bytes& bytes) const;

private:
    std::filesystem::path path_;
};

Bytes readAll(const std::filesystem::path& path);

// Answers the commands' dialogs from queues filled by a test and records every question.
// A question the test did not expect fails the test and is answered as cancelled.
class ScriptedDialogs : public WavDialogs {
public:
    std::deque<std::optional<std::filesystem::path>> openAnswers;
    std::deque<std::optional<SourceChoice>> sourceAnswers;
    std::deque<std::optional<SaveRate>> rateAnswers;
    std::deque<std::optional<std::filesystem::path>> saveAnswers;

    // One entry per question, in order: "open: <filter>", "source: <title>", "rate",
    // "save: <extension> <filter>", "message: <text>".
    std::vector<std::string> asked;
    std::vector<std::string> messages;
    // The slot of each open and source question, in order.
    std::vector<WavSlot> slots;

    std::optional<std::filesystem::path> openFile(WavSlot slot, std::string_view title,
                                                  std::string_view filter) override;
    std::optional<std::filesystem::path> saveFile(std::string_view defaultExtension,
                                                  std::string_view filter) override;
    std::optional<SourceChoice> selectSource(WavSlot slot, std::string_view title) override;
    std::optional<SaveRate> selectSaveRate() override;
    void message(std::string_view text) override;
};

// Clears the primitives' sticky status around each test, as the engine tests do.
using WavTest = NspReports;
