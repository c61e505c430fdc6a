#pragma once

#include "core/ControlTable.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The plugin's ports, as data the plugin and its Turtle description both read, so that the
// two cannot disagree: four audio ports, the MIDI input and the latency report, then one
// control input for every control that changes the sound, in ControlId order. The buttons
// that need a dialog, a device or the recording have none: a host records, plays files and
// saves for itself.
// Thread: any (constant data and pure functions).
namespace plugin_ports {

inline constexpr std::string_view kUri = "urn:quorvel:vocoder";
inline constexpr std::string_view kSettingsKey = "urn:quorvel:vocoder#settings";
inline constexpr std::string_view kBinary = "quorvel.so";

inline constexpr std::uint32_t InLeft = 0, InRight = 1, OutLeft = 2, OutRight = 3, MidiIn = 4, Latency = 5;
inline constexpr std::uint32_t kFirstControl = 6;

inline constexpr std::array<ControlId, 14> kWithoutPort{
    control::Rec,           control::Play,         control::Save,          control::PlayCarrier,
    control::RepeatCarrier, control::Load,         control::PlayModulator, control::RepeatModulator,
    control::Help,          control::DisplayMode,  control::LoadSettings,  control::SaveSettings,
    control::MidiSettings,  control::AudioSettings};

constexpr bool hasPort(ControlId id) {
    if (id <= control::Off || id >= kControlCount) return false;
    for (ControlId without : kWithoutPort)
        if (id == without) return false;
    return true;
}

inline constexpr std::size_t kControlPorts = [] {
    std::size_t n = 0;
    for (ControlId id = 0; id < kControlCount; ++id) n += hasPort(id);
    return n;
}();

// The control behind each control port: port kFirstControl + i is kControls[i].
inline constexpr std::array<ControlId, kControlPorts> kControls = [] {
    std::array<ControlId, kControlPorts> ids{};
    std::size_t n = 0;
    for (ControlId id = 0; id < kControlCount; ++id)
        if (hasPort(id)) ids[n++] = id;
    return ids;
}();

// After the controls: the "Air" switch, which is no control of the panel's (the settings
// text does not hold it; the host keeps the port's value).
inline constexpr std::uint32_t kAir = kFirstControl + static_cast<std::uint32_t>(kControlPorts);

// The port's lv2:symbol, made from the control's name: "Channel Slider 1" is
// "channel_slider_1", "-2 Shift Button" "minus2_shift_button", "0 Shift Button"
// "_0_shift_button" (a symbol may not begin with a digit).
std::string symbolOf(std::string_view name);

} // namespace plugin_ports
