// Counts every allocation and every mutex lock a thread makes while AudioThread marks it
// as inside a callback. Linked into a test program, it replaces the C library's allocation
// functions for the whole process, plugins it loads included.

#include "CallbackAllocations.h"

#include "rt/AudioThread.h"

#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>
#include <cstddef>

std::atomic<long> allocationsInCallback{0};
std::atomic<long> locksInCallback{0};

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
}

namespace {

void noteAllocation() {
    if (AudioThread::inCallback()) allocationsInCallback.fetch_add(1, std::memory_order_relaxed);
}

using MutexLock = int (*)(pthread_mutex_t*);
MutexLock realMutexLock = nullptr;

} // namespace

// Every allocation of the process passes through here (operator new calls malloc).
extern "C" void* malloc(std::size_t size) {
    noteAllocation();
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
    noteAllocation();
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* pointer, std::size_t size) {
    noteAllocation();
    return __libc_realloc(pointer, size);
}
extern "C" void* memalign(std::size_t alignment, std::size_t size) {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
extern "C" int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    noteAllocation();
    *out = __libc_memalign(alignment, size);
    return *out ? 0 : ENOMEM;
}
extern "C" void* aligned_alloc(std::size_t alignment, std::size_t size) {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
    if (AudioThread::inCallback()) locksInCallback.fetch_add(1, std::memory_order_relaxed);
    if (!realMutexLock) realMutexLock = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    return realMutexLock(mutex);
}

