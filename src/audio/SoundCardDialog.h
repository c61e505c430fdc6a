#pragma once

#include "audio/AudioDeviceCatalog.h"
#include "audio/SoundCardChoice.h"

#include <string>
#include <vector>

// The "Sound Card Device Select" dialog as plain state: what it shows when it opens, what
// the user changes, and the results of its last OK. One dialog lives for the whole run;
// the window draws it and feeds the user's actions in.
//
// The last OK is remembered by the devices' names, across runs too (the window keeps it in
// the preferences), so that Return or Escape at the next opening plays on the same devices
// again; before any choice at all the dialog offers the system's default devices.
// Thread: window.
class SoundCardDialog {
public:
    static constexpr int kDefaultBuffers = 36;
    static constexpr int kSliderMax = 100; // the trackbar's range; the device clamps to 1..50
    static constexpr const char* kNone = "None";

    // A choice by names: what survives devices coming and going between openings.
    struct Memory {
        std::string input;  // kNone for no input
        std::string output; // kNone for no output; empty: nothing chosen ever
        int slider = kDefaultBuffers;
        bool sixteenBit = false;
    };

    explicit SoundCardDialog(const AudioDeviceCatalog& catalog) : catalog_(&catalog) {}

    // Fills the lists from the catalog and selects the last OK's devices where they still
    // are (a device that has gone: the default), or the defaults when nothing was chosen
    // yet. The results are set to the same, so that Escape plays what the dialog showed.
    void open();
    void remember(const Memory& memory) { memory_ = memory; }
    // The last OK's choice, or the one given to remember().
    const Memory& memory() const { return memory_; }
    void setCatalog(const AudioDeviceCatalog& catalog) { catalog_ = &catalog; }

    const std::vector<std::string>& inputList() const { return inputList_; }
    const std::vector<std::string>& outputList() const { return outputList_; }

    int inputSelection = 0;
    int outputSelection = 0;
    int slider = kDefaultBuffers;
    bool sixteenBit = false;

    void ok();
    // Escape, or the window closed: the last OK's devices stay chosen.
    void escape() {}

    const SoundCardChoice& results() const { return results_; }
    // From a sound at the chosen input to the same sound at the chosen output, with the
    // slider at `position`: the safety blocks on top of what the devices add.
    double latencySeconds(int inputRow, int outputRow, int position) const;
    const AudioDeviceCatalog& catalog() const { return *catalog_; }

private:
    static int position(const std::vector<std::string>& list, const std::string& name, int fallback);

    const AudioDeviceCatalog* catalog_;
    Memory memory_;
    std::vector<std::string> inputList_;
    std::vector<std::string> outputList_;
    SoundCardChoice results_; // all zero before the first OK
};
