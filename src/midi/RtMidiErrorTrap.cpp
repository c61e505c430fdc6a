#include "midi/RtMidiErrorTrap.h"

#include "midi/MidiErrorName.h"

#include <array>
#include <utility>

namespace {

// RtMidi's failure kinds against the codes the messages name. A warning is what RtMidi
// calls a JACK server that is not running or a port it could not find: neither fits a
// narrower name.
constexpr std::array<std::pair<RtMidiError::Type, int>, 11> kCodes{{
    {RtMidiError::WARNING, midi_error::Unspecified},
    {RtMidiError::DEBUG_WARNING, midi_error::NoError},
    {RtMidiError::UNSPECIFIED, midi_error::Unspecified},
    {RtMidiError::NO_DEVICES_FOUND, midi_error::NoDriver},
    {RtMidiError::INVALID_DEVICE, midi_error::BadDeviceId},
    {RtMidiError::MEMORY_ERROR, midi_error::NoMemory},
    {RtMidiError::INVALID_PARAMETER, midi_error::InvalidParameter},
    {RtMidiError::INVALID_USE, midi_error::NotSupported},
    {RtMidiError::DRIVER_ERROR, midi_error::NotEnabled},
    {RtMidiError::SYSTEM_ERROR, midi_error::NotEnabled},
    {RtMidiError::THREAD_ERROR, midi_error::NotEnabled},
}};

} // namespace

int RtMidiErrorTrap::codeOf(RtMidiError::Type type) {
    for (const auto& [kind, code] : kCodes)
        if (kind == type) return code;
    return midi_error::Unspecified;
}

void RtMidiErrorTrap::clear() {
    code_ = midi_error::NoError;
    text_.clear();
}

void RtMidiErrorTrap::report(RtMidiError::Type type, const std::string& text, void* self) {
    auto* trap = static_cast<RtMidiErrorTrap*>(self);
    const int code = codeOf(type);
    if (code == midi_error::NoError || trap->code_ != midi_error::NoError) return;
    trap->code_ = code;
    trap->text_ = text;
}
