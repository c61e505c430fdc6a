#include "midi/MidiLearn.h"

bool MidiLearn::assign(std::array<MidiAssignment, kMidiSlotCount>& slots, ControlId control, int controller) {
    MidiAssignment* target = nullptr;
    for (MidiAssignment& slot : slots)
        if (slot.control == control) {
            target = &slot;
            break;
        }
    for (MidiAssignment& slot : slots) {
        if (target) break;
        if (!slot.assigned()) target = &slot;
    }
    if (!target) return false;
    *target = {control, controller};
    return true;
}

bool MidiLearn::forget(std::array<MidiAssignment, kMidiSlotCount>& slots, ControlId control) {
    bool any = false;
    for (MidiAssignment& slot : slots)
        if (slot.assigned() && slot.control == control) {
            // As the dialog leaves a row set to "Off": the controller number stays for later.
            slot.control = control::Off;
            any = true;
        }
    return any;
}

bool MidiLearn::isAssigned(const std::array<MidiAssignment, kMidiSlotCount>& slots, ControlId control) {
    for (const MidiAssignment& slot : slots)
        if (slot.assigned() && slot.control == control) return true;
    return false;
}
