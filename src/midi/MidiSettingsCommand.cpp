#include "midi/MidiSettingsCommand.h"

void runMidiSettings(VocoderCore& core, MidiLink& link, MidiDeviceChooser& dialog) {
    link.PutSlots(core.midiSlots);
    link.SetChannels(core.midiInChannel, core.midiOutChannel);
    link.Reconfigure(dialog);
    core.midiSlots = link.GetSlots();
    const auto [in, out] = link.GetChannels();
    core.midiInChannel = in;
    core.midiOutChannel = out;
}
