#pragma once

#include "midi/MidiDeviceSettings.h"

#include <optional>
#include <string>
#include <string_view>

// How the "MIDI Controller Assignment" dialog reads and checks its controller boxes, apart
// from any widget: a box must hold a byte (0..255), and a byte above 121 is refused with
// the range message.
// Everything here is a pure function: any thread may use it.
namespace midi_assignment_form {

inline constexpr int kLowestController = 0;
inline constexpr int kHighestController = 121;
inline constexpr int kHighestByte = 255;

inline constexpr std::string_view kNotAByteMessage = "Please enter an integer between 0 and 255.";
inline constexpr std::string_view kRangePattern = "Please enter an integer between %1 and %2.";

// The range message with its two numbers filled in.
std::string rangeMessage(int lowest, int highest);

// The controller number a box holds, or the message that refuses it.
struct BoxReading {
    std::optional<int> controller;
    std::string message; // empty when accepted
};
BoxReading readControllerBox(std::string_view text);

// The text a box shows for a slot: the controller number in decimal.
std::string controllerBoxText(const MidiAssignment& slot);

// The list position a row shows for a slot: its ControlId, or "Off" (0) for a number that
// names no control (an empty list would look like a fault).
int controlListPosition(const MidiAssignment& slot);
// The slot's control from the list position: -1 when nothing is selected, which leaves the
// slot unassigned. "Off" for a slot that `held` no control keeps what it held, so that an
// OK without changes changes nothing.
int controlFromListPosition(int position, int held);

} // namespace midi_assignment_form
