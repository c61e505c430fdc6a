#pragma once

#include "core/CRandom.h"
#include "engine/Engine.h"

#include <array>

// Entry k names the channel whose measured value drives channel k. The routing buttons
// compose with whatever routing is already there.
using ChannelMap = std::array<int, kChannels>;

namespace channel_map {

ChannelMap identity();
// Entries k and 17 − k exchanged; twice restores the map.
void invert(ChannelMap& map);
// 100 exchanges of two entries drawn from `random`, always within 0..17.
void randomize(ChannelMap& map, CRandom& random);
// Entries 2i and 2i + 1 exchanged; twice restores the map.
void swapNeighbours(ChannelMap& map);

} // namespace channel_map
