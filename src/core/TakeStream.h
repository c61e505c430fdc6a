#pragma once

#include "engine/Engine.h"

#include <array>

// Where the blocks of a take go when the take is not kept: the renderer writes each one to
// its file as it is made, so that its memory does not grow with the length of the render.
// The window keeps its takes, for Play and Save.
// Thread: owner (the core's thread, inside the pass).
class TakeStream {
public:
    virtual ~TakeStream() = default;
    // The block just recorded, one array per channel; valid during the call only.
    virtual void recorded(const std::array<double, BLOCK_SIZE>& left, const std::array<double, BLOCK_SIZE>& right) = 0;
};
