#include "core/ChannelMap.h"

#include "RandomDraws.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

bool isPermutation(const ChannelMap& map) {
    ChannelMap sorted = map;
    std::sort(sorted.begin(), sorted.end());
    return sorted == channel_map::identity();
}

TEST(ChannelMap, RandomizeKeepsEveryIndexWithinTheMapWhenADrawIs32767) {
    // Guard entries on both sides would show a write one past the map.
    struct Guarded {
        int before = -7;
        ChannelMap map = channel_map::identity();
        int after = -7;
    } guarded;
    CRandom random(stateBeforeTopDraw());
    channel_map::randomize(guarded.map, random);
    EXPECT_TRUE(isPermutation(guarded.map));
    EXPECT_EQ(guarded.before, -7);
    EXPECT_EQ(guarded.after, -7);
}

} // namespace
