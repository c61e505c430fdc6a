#include "audio/SoundCardDialog.h"

#include <algorithm>

void SoundCardDialog::open() {
    slider = kDefaultBuffers;
    inputList_.assign(1, "None");
    outputList_.assign(1, "None");
    for (const AudioDeviceEntry& device : catalog_->inputs()) inputList_.push_back(device.name);
    for (const AudioDeviceEntry& device : catalog_->outputs()) outputList_.push_back(device.name);
    inputSelection = 0;
    outputSelection = 0;
    sixteenBit = false;
}

void SoundCardDialog::ok() {
    results_.inputChoice = std::clamp(inputSelection, 0, static_cast<int>(inputList_.size()) - 1);
    results_.outputChoice = std::clamp(outputSelection, 0, static_cast<int>(outputList_.size()) - 1);
    results_.bufferSlider = std::clamp(slider, 0, kSliderMax);
    results_.sixteenBit = sixteenBit;
}
