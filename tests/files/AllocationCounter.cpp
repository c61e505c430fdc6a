#include "AllocationCounter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVEL_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUORVEL_ASAN 1
#endif

namespace {

std::atomic<bool> counting{false};
std::atomic<std::uint64_t> counted{0};

void note(std::size_t bytes) {
    if (counting.load(std::memory_order_relaxed)) counted.fetch_add(bytes, std::memory_order_relaxed);
}

} // namespace

#ifdef QUORVEL_ASAN

// The sanitizer runtime's hook, declared here: GCC installs no header for it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             std::size_t),
                                                         void (*free_hook)(const volatile void*));

namespace {

void onMalloc(const volatile void*, std::size_t size) {
    note(size);
}
void onFree(const volatile void*) {}

} // namespace

void AllocationCounter::start() {
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
    (void)installed;
    counted.store(0);
    counting.store(true);
}

#else

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);

void* malloc(std::size_t size) {
    note(size);
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    note(count * size);
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) {
    note(size);
    return __libc_realloc(pointer, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
    note(size);
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    note(size);
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    note(size);
    *out = __libc_memalign(alignment, size);
    return *out ? 0 : ENOMEM;
}
}

void AllocationCounter::start() {
    counted.store(0);
    counting.store(true);
}

#endif

std::uint64_t AllocationCounter::stop() {
    counting.store(false);
    return counted.load();
}
