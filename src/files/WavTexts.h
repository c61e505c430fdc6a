#pragma once

#include <array>
#include <string_view>

// Every text the WAV commands show. The users know these words, so they stay as they are,
// capitals and all.
namespace wavTexts {

inline constexpr std::string_view kCannotReadFile = "Cannot read file!";
inline constexpr std::string_view kCannotOpenFile = "Cannot open file!";
inline constexpr std::string_view kNotWave = "Bad Wave Format! Probably not a WAV file.";
inline constexpr std::string_view kNoFormatChunk = "Bad Riff Format!";
inline constexpr std::string_view kBadPcmFormat = "Bad PCM Format!";
inline constexpr std::string_view kUnsupportedFormat = "UnSupported Wave Format!";
inline constexpr std::string_view kNoDataChunk = "Bad Format in Wave file!";
inline constexpr std::string_view kNoWaveData = "No wave data!";
inline constexpr std::string_view kDataReadFailed = "Failed to read data chunk!";
inline constexpr std::string_view kCannotCreateFile = "Cannot create file!";

// The two file dialogs of Load say which file each one is for: the voice put into the
// carrier's dialog is a newcomer's first mistake.
inline constexpr std::string_view kCarrierOpenTitle = "Select the Carrier WAV File";
inline constexpr std::string_view kModulatorOpenTitle = "Select the Modulator WAV File";
inline constexpr std::string_view kCarrierFilter = "CARRIER WAV Files (*.wav)|*.wav|All Files (*.*)|*.*||";
inline constexpr std::string_view kModulatorFilter =
    "MODULATOR WAV Files (*.wav)|*.wav|All Files (*.*)|*.*||";
inline constexpr std::string_view kCarrierSourceTitle = "Select the Carrier Source";
inline constexpr std::string_view kModulatorSourceTitle = "Select the Modulator Source";

inline constexpr std::string_view kSaveExtension = "wav";
inline constexpr std::string_view kSaveFilter = "Vocoder WAV Files (*.wav)|*.wav|All Files (*.*)|*.*||";

// The steps of writing a WAV file, in order, with what each says when it fails.
enum class SaveStep {
    CreateRiff,
    CreateFormat,
    WriteFormat,
    AscendFormat,
    CreateData,
    WriteData,
    Flush,
    AscendData,
    AscendRiff,
};
inline constexpr std::array<std::string_view, 9> kSaveStepMessages{
    "Cannot create wave format chunk!",
    "Cannot create format chunk!",
    "Cannot write wave format data!",
    "Cannot Ascend out of the wave format chunk!",
    "Cannot create data chunk!",
    "Cannot write wave data!",
    "Unable to write data into file!",
    "Cannot ascend out of the data chunk!",
    "Cannot ascend out of the RIFF chunk!",
};
constexpr std::string_view saveStepMessage(SaveStep step) {
    return kSaveStepMessages[static_cast<int>(step)];
}

} // namespace wavTexts
