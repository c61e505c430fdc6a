#pragma once

#include <array>
#include <string_view>

// The captions and list entries of the two MIDI dialogs.
namespace midi_dialog_text {

inline constexpr std::string_view kApplicationTitle = "QUORVEL - 18 Channel Vocoder - version 2.0";

inline constexpr std::string_view kDeviceTitle = "MIDI Device Selection";
inline constexpr std::string_view kDeviceHeading = "Select the MIDI Input  and Output Devices";
inline constexpr std::string_view kInputDeviceLabel = "Select Input Device";
inline constexpr std::string_view kOutputDeviceLabel = "Select Output Device";
inline constexpr std::string_view kInputChannelLabel = "Select Input Channel";
inline constexpr std::string_view kOutputChannelLabel = "Select Output Channel";
inline constexpr std::string_view kEditAssignments = "Edit Controller Assignments";
inline constexpr std::string_view kNoDevice = "None";
inline constexpr std::string_view kOk = "OK";
inline constexpr std::string_view kCancel = "Cancel";

inline constexpr std::string_view kAssignmentTitle = "MIDI Controller Assignment";
inline constexpr std::string_view kControlHeading = "Vocoder Control";
inline constexpr std::string_view kControllerHeading = "Controller #";

// Position = channel code: 0 "OMNI", 1..16, 17 "OFF".
inline constexpr std::array<std::string_view, 18> kInputChannels{
    "OMNI", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "OFF"};
// Position = channel code: 0..15 for channels 1..16, 16 "OFF".
inline constexpr std::array<std::string_view, 17> kOutputChannels{
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "OFF"};

// The assignment dialog's rows: 0..9 down the left column, 10..19 down the right.
inline constexpr int kRowsPerColumn = 10;

} // namespace midi_dialog_text
