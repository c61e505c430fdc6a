#pragma once

#include "midi/MidiDeviceSettings.h"

#include <string>
#include <vector>

// The device dialog as MidiLink::Reconfigure sees it: the window's dialog, or a scripted
// user in the tests.
// Thread: window.
class MidiDeviceChooser {
public:
    virtual ~MidiDeviceChooser();

    // Runs the dialog modally over the devices named (the dialog puts "None" before each
    // list). `settings` comes in with the channels and the assignment table to show and the
    // device positions of the last OK. OK stores the positions of all four lists; any other
    // way out stores nothing, so the last OK's devices and the channels as they came stay.
    // Edits the assignment dialog accepted are kept in `assignments` either way.
    virtual void choose(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                        MidiDeviceSettings& settings) = 0;
};
