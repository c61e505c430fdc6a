#include "core/CRandom.h"

#include <gtest/gtest.h>

namespace {

TEST(CRandom, DefaultSeedGivesTheClassicSequence) {
    CRandom random;
    for (int expected : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358})
        EXPECT_EQ(random.next(), expected);
}

TEST(CRandom, ReseedingWithAnEarlierStateRepeatsTheSequence) {
    CRandom random(99);
    random.next();
    const auto state = random.state();
    const int a = random.next(), b = random.next();
    random.seed(state);
    EXPECT_EQ(random.next(), a);
    EXPECT_EQ(random.next(), b);
}

} // namespace
