#pragma once

#include "audio/AudioDeviceCatalog.h"
#include "audio/SoundCardChoice.h"

#include <string>
#include <vector>

// The "Sound Card Device Select" dialog as plain state: what it shows when it opens, what
// the user changes, and the results of its last OK. One dialog lives for the whole run;
// the window draws it and feeds the user's actions in.
// Thread: window.
class SoundCardDialog {
public:
    static constexpr int kDefaultBuffers = 36;
    static constexpr int kSliderMax = 100; // the trackbar's range; the device clamps to 1..50

    explicit SoundCardDialog(const AudioDeviceCatalog& catalog) : catalog_(&catalog) {}

    // Every opening starts from "None"/"None", 36 buffers and the box clear, with the lists
    // filled from the catalog.
    void open();
    void setCatalog(const AudioDeviceCatalog& catalog) { catalog_ = &catalog; }

    const std::vector<std::string>& inputList() const { return inputList_; }
    const std::vector<std::string>& outputList() const { return outputList_; }

    int inputSelection = 0;
    int outputSelection = 0;
    int slider = kDefaultBuffers;
    bool sixteenBit = false;

    void ok();
    // Escape, or the window closed: the last OK's results stay.
    void escape() {}

    const SoundCardChoice& results() const { return results_; }
    // From a sound at the chosen input to the same sound at the chosen output, with the
    // slider at `position`: the safety blocks on top of what the devices add.
    double latencySeconds(int inputRow, int outputRow, int position) const;
    const AudioDeviceCatalog& catalog() const { return *catalog_; }

private:
    const AudioDeviceCatalog* catalog_;
    std::vector<std::string> inputList_;
    std::vector<std::string> outputList_;
    SoundCardChoice results_; // all zero before the first OK
};
