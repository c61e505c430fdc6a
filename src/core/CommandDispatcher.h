#pragma once

#include "core/CommandHost.h"
#include "core/SlaveMode.h"
#include "core/VocoderCore.h"

// Carries out the panel buttons: a click, a settings file re-pressing a latched button and a
// MIDI controller crossing its threshold all come through dispatch(), so a button does the
// same thing whoever presses it.
// Thread: owner (the core's). The host is called back on the same thread.
class CommandDispatcher {
public:
    CommandDispatcher(VocoderCore& core, CommandHost& host) : core_(core), host_(host) {}

    // The button with command identifier 201..258 was pressed. Any other identifier only
    // reaches the MIDI echo step, which finds no button to echo.
    void dispatch(int commandId);
    // The second click of a double click, after the first went through dispatch(). Only
    // PCar and PMod answer it; there is no MIDI echo.
    void doubleClick(int commandId);
    // Channel slider k (0..17) is set to newPosition; with slave move on the others follow
    // by the distance it actually moved.
    void moveChannelSlider(int k, int newPosition, SlaveMode mode);

private:
    void press(ControlId id);
    void pressExclusive(ControlId id);
    void toggle(ControlId id, bool& field);
    void playFile(ControlId play, ControlId repeat, const FileBlockList& file, bool& playing, bool& restart,
                  bool& repeating);
    void startBothFiles(bool carrierFirst);
    void stopFiles();
    void publishChannelMap();
    void echo(int commandId);

    VocoderCore& core_;
    CommandHost& host_;
};
