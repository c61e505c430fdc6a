#pragma once

#include "core/TakeStream.h"
#include "engine/RecordBlock.h"

#include <cstddef>
#include <memory>

// The recorded output: one list per channel, and where playback of it has got to. A take
// with a stream keeps nothing: its blocks go to the stream and the lists stay empty.
struct Recording {
    RecordBlockList left;
    RecordBlockList right;
    std::size_t playPos = 0;
    TakeStream* stream = nullptr;
};

// Where a core running on the audio thread gets a new take and leaves the old one: the
// pass may neither allocate nor free, so both happen on a thread that may.
// Thread: owner (the core's thread calls both; they must not block).
class RecordingSupply {
public:
    virtual ~RecordingSupply() = default;
    // A new empty take, or null when none is ready.
    virtual std::unique_ptr<Recording> freshTake() noexcept = 0;
    // The take that a new one replaces; the supply frees it later.
    virtual void retireTake(std::unique_ptr<Recording> take) noexcept = 0;
};
