#include "midi/MidiMapping.h"

#include "midi/MidiDeviceSettings.h"

namespace {

using midi_channel::kInOff;
constexpr int kFirstInChannel = midi_channel::kFirstIn;
constexpr int kLastInChannel = midi_channel::kLastIn;

// Note On plays the Freq slider: two slider steps a semitone, notes below the first step
// at the bottom and above the last at the top.
constexpr int kLowestNote = 44;
constexpr int kHighestNote = 75;
constexpr int kFrequencyTop = 63;
constexpr int kNoteOffset = 88;

// Parameter sliders are half the resolution of a controller: 0..63 against 0..127.
constexpr int kParameterShift = 1;

bool passesChannel(int setting, const MidiMessage& m) {
    if (setting >= kInOff) return false;
    if (setting >= kFirstInChannel && setting <= kLastInChannel && m.channel() + 1 != setting) return false;
    return true;
}

bool isParameterControl(ControlId id) {
    return id >= kFirstParameterControl && id < kFirstChannelControl;
}

bool isChannelControl(ControlId id) {
    return id >= kFirstChannelControl && id < kFirstButtonControl;
}

} // namespace

void MidiMapping::handleMessage(const MidiMessage& message) {
    if (!message.wellFormed()) return;
    if (message.size == 1 && message.status() == midi_status::ActiveSensing) return;
    if (!passesChannel(core_.midiInChannel, message)) return;

    switch (message.kind()) {
    case midi_status::ControlChange:
        if (learn_.offer(message.data1())) break;
        controlChange(message.data1(), message.data2());
        break;
    case midi_status::NoteOn:
        // Velocity 0 is a Note On as well: the pitch follows every key pressed.
        noteOn(message.data1());
        break;
    default:
        break;
    }
}

void MidiMapping::controlChange(int controller, int value) {
    // A button command may rewrite the table (the MIDI button runs the dialogs), so each
    // slot is read as it is reached.
    for (std::size_t k = 0; k < core_.midiSlots.size(); ++k) {
        const MidiAssignment slot = core_.midiSlots[k];
        if (slot.assigned() && slot.controller == controller) applyToSlot(slot.control, value);
    }
}

void MidiMapping::applyToSlot(ControlId control, int value) {
    ControlModel& c = core_.controls;
    if (isParameterControl(control)) {
        c.setParameterSlider(control, value >> kParameterShift);
        return;
    }
    if (isChannelControl(control)) {
        const int j = sliderIndexOf(control);
        dispatcher_.moveChannelSlider(j, value, SlaveMode::Parallel);
        SliderBank& bank = core_.currentBank();
        bank.value[static_cast<std::size_t>(j)] = bank.bottom + (bank.top - bank.bottom) * value / 127;
        return;
    }

    const int button = buttonIndexOf(control);
    int& latch = MidiButtonLatch_[static_cast<std::size_t>(button)];
    const int command = commandIdOfButton(button);
    if (latch == 0 && value > kLatchOnAbove) {
        dispatcher_.dispatch(command);
        latch = 1;
    } else if (latch == 1 && value < kLatchOffBelow) {
        // A lamp button follows the pedal: lit while it is down, dark when it comes up.
        if (!c.isPush(button)) dispatcher_.dispatch(command);
        latch = 0;
    }
}

void MidiMapping::noteOn(int note) {
    int position = 2 * note - kNoteOffset;
    if (note < kLowestNote) position = 0;
    if (note > kHighestNote) position = kFrequencyTop;
    core_.controls.setParameterSlider(control::CarrierFrequency, position);
}

void MidiMapping::echoSliders(MidiEchoTarget& target) {
    if (!target.echoReady()) return;
    std::array<int, kMidiSlotCount>& lastSent = target.lastSent();
    const ControlModel& c = core_.controls;
    for (std::size_t k = 0; k < core_.midiSlots.size(); ++k) {
        const MidiAssignment& slot = core_.midiSlots[k];
        if (!isSliderControl(slot.control)) continue;
        const int value = isParameterControl(slot.control) ? c.parameterSlider(slot.control) * 2
                                                           : c.channelSlider(sliderIndexOf(slot.control));
        if (value == lastSent[k]) continue;
        lastSent[k] = value;
        target.SendControl(slot.controller, value);
    }
}
