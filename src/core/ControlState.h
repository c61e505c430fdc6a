#pragma once

#include "core/SliderBank.h"

// The button states in the form the engine and the block loop read them. Only the
// dispatcher (directly, or for the settings loader and MIDI) and start-up write them; the
// buttons in the ControlModel show the same states to the user.
// Thread: owner (the core's).
struct ControlState {
    bool recordOn = false;
    bool playRecording = false;
    bool playRestart = true; // the next playback begins at the first recorded block
    bool playCarrierFile = false;
    bool repeatCarrierFile = false;
    bool carrierFileRestart = false;
    bool playModulatorFile = false;
    bool repeatModulatorFile = false;
    bool modulatorFileRestart = false;
    int shiftSteps = 0; // −3..2, the negative of the lit button's label
    bool sampleHoldOn = false;
    bool holdOn = false;
    bool enhanceOn = false;
    bool smoothOn = false;
    bool eqOn = false;
    bool narrowFilter = false; // never set together with wideFilter
    bool wideFilter = false;
    int inputMode = 3; // 0 L/R, 1 R/L, 2 M/L, 3 M/R
    bool voicedUnvoicedOn = false;
    bool yodelOn = false;
    bool trackOn = false;
    bool carrierPulse = true; // none of pulse, chorus and noise set means External
    bool carrierChorus = false;
    bool chorusFirst = false;
    bool carrierNoise = false;
    BankId currentBank = BankId::Level;
    bool slaveMoveOn = true;
    bool slidersDirty = false; // the channel sliders need repainting; the window's paint clears it

    bool operator==(const ControlState&) const = default;
};
