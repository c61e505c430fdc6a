#pragma once

#include <string_view>

// The error codes a MIDI port operation reports, and their names as every MIDI message
// shows them. The codes are the classic multimedia ones, so a message reads the same
// whichever MIDI layer stands underneath.
// Everything here is constant data or a pure function: any thread may use it.
namespace midi_error {
inline constexpr int NoError = 0;
inline constexpr int Unspecified = 1;
inline constexpr int BadDeviceId = 2;
inline constexpr int NotEnabled = 3;
inline constexpr int Allocated = 4;
inline constexpr int InvalidHandle = 5;
inline constexpr int NoDriver = 6;
inline constexpr int NoMemory = 7;
inline constexpr int NotSupported = 8;
inline constexpr int BadErrorNumber = 9;
inline constexpr int InvalidFlag = 10;
inline constexpr int InvalidParameter = 11;
} // namespace midi_error

// "no error" .. "invalid parameter passed"; "unlisted error" for any other code.
std::string_view MidiErrorName(int code);
