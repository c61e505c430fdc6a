#include "engine/RecordBlock.h"

#include <gtest/gtest.h>

#include <utility>

// A list makes its table of chunks with its first chunk. A list that must not allocate in
// the pass (the live take) has neither until reserveAhead: it refuses blocks, never reads a
// table it does not have, and once the chunks are made takes them. An empty list moves,
// copies and frees without one, and the list moved from starts over.
TEST(RecordBlockList, WithoutATableRefusesBlocksUntilReservedAndMovesAndCopiesEmpty) {
    RecordBlockList live;
    live.setGrowsOnDemand(false);
    EXPECT_EQ(live.tryAppend(), nullptr);
    EXPECT_TRUE(live.empty());

    RecordBlockList copied(live);
    RecordBlockList moved(std::move(copied));
    EXPECT_TRUE(moved.empty());

    ASSERT_TRUE(live.reserveAhead(3));
    RecordBlock* first = live.tryAppend();
    ASSERT_NE(first, nullptr);
    first->samples[5] = 7.0;
    EXPECT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].samples[5], 7.0);

    RecordBlockList taken(std::move(live));
    EXPECT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].samples[5], 7.0);
    EXPECT_TRUE(live.empty());
    live.setGrowsOnDemand(true);
    live.emplace_back().samples[0] = 2.0;
    EXPECT_EQ(live[0].samples[0], 2.0);

    moved = std::move(taken);
    EXPECT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].samples[5], 7.0);
}
