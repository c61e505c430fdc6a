#pragma once

#include <cstdint>

// Counts the bytes the whole process allocates while counting is on: malloc, calloc,
// realloc, the aligned forms and operator new (which goes through malloc) alike. The counter
// replaces the allocator's entry points, so AllocationCounter.cpp belongs in a test program
// of its own. Under AddressSanitizer, whose allocator must stay in place, it listens to the
// sanitizer's allocation hook instead.
//
// Thread: start() and stop() from one thread at a time; allocations of every thread count.
class AllocationCounter {
public:
    static void start();
    // The bytes allocated since start(); ends the count.
    static std::uint64_t stop();
};
