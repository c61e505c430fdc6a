#include "audio/SoundCardDialog.h"

#include "audio/AudioStream.h"
#include "core/WaveBuffers.h"
#include "engine/Engine.h"

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
}
