#pragma once

#include "core/VocoderCore.h"
#include "midi/MidiDeviceChooser.h"
#include "midi/MidiLink.h"

// The work of the "MIDI" button (CommandHost::configureMidi): the link is handed the core's
// assignment table and both channel settings, its device dialog runs, and the table and
// channels come back into the core as the dialog left them. The dispatcher pauses the sound
// card's output around it.
// Thread: window.
void runMidiSettings(VocoderCore& core, MidiLink& link, MidiDeviceChooser& dialog);
