#pragma once

#include "engine/Engine.h"
#include "engine/VocoderKernel.h"

#include <array>
#include <string_view>

// What a pass of the block loop tells the world around it. The window repaints lamps and
// the spectrum display; the command-line renderer only shows messages. Called inside a pass:
// nothing here may run an event loop of its own (a modal box), which could change what the
// pass is using; a window shows its messages once the pass is over.
// Thread: owner (the thread that runs the loop).
class BlockEvents {
public:
    virtual ~BlockEvents() = default;
    // After the engine parameters are derived: the MIDI slider echo's moment.
    virtual void parametersUpdated() {}
    // A message box with this text.
    virtual void showMessage(std::string_view text) = 0;
    // Every 18 blocks: the channel values for the spectrum display.
    virtual void spectrumDue(const std::array<double, kChannels>& values) { (void)values; }
};
