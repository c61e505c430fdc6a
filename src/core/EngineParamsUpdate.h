#pragma once

#include "core/VocoderCore.h"

// Derives core.params from the sliders, the current bank and the ControlState. The current
// bank's values follow the channel sliders; every other bank keeps the values it had, and
// the kernel's integer delays and echo times come from delayPositions and etimePositions,
// which follow the sliders only while their own bank is current.
// Thread: owner (the core's): once per block, before the generator and the kernel.
void updateEngineParams(VocoderCore& core);
