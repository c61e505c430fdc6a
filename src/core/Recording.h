#pragma once

#include "engine/RecordBlock.h"

#include <cstddef>

// The recorded output: one list per channel, and where playback of it has got to.
struct Recording {
    RecordBlockList left;
    RecordBlockList right;
    std::size_t playPos = 0;
};
