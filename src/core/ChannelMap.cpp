#include "core/ChannelMap.h"

#include <algorithm>
#include <utility>

namespace channel_map {

namespace {

constexpr int kRandomExchanges = 100;

// trunc(r·18/32767) is 18 for the top draw r = 32767, one past the last entry; that one
// draw is folded onto the last entry rather than written beyond the map.
int drawIndex(CRandom& random) {
    return std::min(random.next() * kChannels / CRandom::kMax, kChannels - 1);
}

} // namespace

ChannelMap identity() {
    ChannelMap map{};
    for (int k = 0; k < kChannels; ++k) map[static_cast<std::size_t>(k)] = k;
    return map;
}

void invert(ChannelMap& map) {
    std::reverse(map.begin(), map.end());
}

void randomize(ChannelMap& map, CRandom& random) {
    for (int i = 0; i < kRandomExchanges; ++i) {
        const int a = drawIndex(random);
        const int b = drawIndex(random);
        std::swap(map[static_cast<std::size_t>(a)], map[static_cast<std::size_t>(b)]);
    }
}

void swapNeighbours(ChannelMap& map) {
    for (std::size_t i = 0; i + 1 < map.size(); i += 2) std::swap(map[i], map[i + 1]);
}

} // namespace channel_map
