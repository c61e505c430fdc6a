#pragma once

#include "engine/Engine.h"

#include <array>
#include <deque>

// One output channel of one processed block, in 16-bit sample units.
struct RecordBlock {
    std::array<double, BLOCK_SIZE> samples{};
};
// A deque grows by chunks, so a long recording never copies what it already holds.
using RecordBlockList = std::deque<RecordBlock>;
