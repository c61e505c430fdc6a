#pragma once

#include <atomic>

// Allocations and mutex locks made inside AudioThread::Scope, on any thread, since the
// program started (see CallbackAllocations.cpp, which a test program compiles in).
extern std::atomic<long> allocationsInCallback;
extern std::atomic<long> locksInCallback;
