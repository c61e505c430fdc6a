#pragma once

#include "core/CRandom.h"

#include <cstdint>

// A generator state whose next draw is the top value 32767, found by running the default
// sequence; the draw that turns a scaled index or step into one past the end.
inline std::uint32_t stateBeforeTopDraw() {
    CRandom random;
    for (;;) {
        const std::uint32_t before = random.state();
        if (random.next() == CRandom::kMax) return before;
    }
}
