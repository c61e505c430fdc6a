#include "audio/SoundCardDialog.h"

#include "audio/AudioStream.h"
#include "core/WaveBuffers.h"
#include "engine/Engine.h"

#include <algorithm>

int SoundCardDialog::position(const std::vector<std::string>& list, const std::string& name, int fallback) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == name) return static_cast<int>(i);
    return fallback;
}

void SoundCardDialog::open() {
    inputList_.assign(1, kNone);
    outputList_.assign(1, kNone);
    for (const AudioDeviceEntry& device : catalog_->inputs()) inputList_.push_back(device.name);
    for (const AudioDeviceEntry& device : catalog_->outputs()) outputList_.push_back(device.name);
    const int defaultInput = catalog_->defaultInput() + 1;
    const int defaultOutput = catalog_->defaultOutput() + 1;
    const int remembered = memory_.output.empty() ? -1 : position(outputList_, memory_.output, -1);
    if (remembered < 0) {
        // Nothing chosen yet, or the device has gone (and the input chosen with it makes no
        // sense with a stand-in).
        inputSelection = defaultInput;
        outputSelection = defaultOutput;
    } else {
        outputSelection = remembered;
        inputSelection = position(inputList_, memory_.input, 0);
    }
    slider = memory_.slider;
    sixteenBit = memory_.sixteenBit;
    results_ = {inputSelection, outputSelection, slider, sixteenBit};
}

double SoundCardDialog::latencySeconds(int input, int output, int position) const {
    const int count = std::clamp(position, 1, kMaxWaveBuffers);
    double seconds = (count - 1) * BLOCK_SIZE / kEngineRate;
    const auto& outs = catalog_->outputs();
    const auto& ins = catalog_->inputs();
    const AudioDeviceEntry* out = output >= 1 && output <= int(outs.size()) ? &outs[std::size_t(output - 1)] : nullptr;
    const AudioDeviceEntry* in = input >= 1 && input <= int(ins.size()) ? &ins[std::size_t(input - 1)] : nullptr;
    // No output yet: what the engine's own period would add.
    if (!out) return seconds + BLOCK_SIZE / kEngineRate;
    if (in && AudioStream::sameDevice(*in, *out)) return seconds + AudioStream::expectedLatencySeconds(*out, true, true);
    seconds += AudioStream::expectedLatencySeconds(*out, true, false);
    if (in) seconds += AudioStream::expectedLatencySeconds(*in, false, true);
    return seconds;
}

void SoundCardDialog::ok() {
    results_.inputChoice = std::clamp(inputSelection, 0, static_cast<int>(inputList_.size()) - 1);
    results_.outputChoice = std::clamp(outputSelection, 0, static_cast<int>(outputList_.size()) - 1);
    results_.bufferSlider = std::clamp(slider, 0, kSliderMax);
    results_.sixteenBit = sixteenBit;
    memory_ = {inputList_.empty() ? kNone : inputList_[std::size_t(results_.inputChoice)],
               outputList_.empty() ? kNone : outputList_[std::size_t(results_.outputChoice)], results_.bufferSlider,
               sixteenBit};
}
