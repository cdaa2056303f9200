// Allocation counting: the global operator new and glibc's malloc entry points are
// replaced by versions that count and pass on to glibc's own allocator.
#include "alloc_count.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {
std::atomic<uint64_t> allocations{0};
}

uint64_t allocationCount() { return allocations.load(); }

bool allocationCountingWorks() {
    const uint64_t before = allocationCount();
    // volatile keeps the compiler from eliding the probe pair.
    void* volatile viaMalloc = std::malloc(16);
    std::free(viaMalloc);
    int* volatile viaNew = new int(1);
    delete viaNew;
    return allocationCount() - before == 2;
}

extern "C" {
void* malloc(size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(block, size);
}
void* memalign(size_t alignment, size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, size_t alignment, size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    *result = __libc_memalign(alignment, size);
    return *result != nullptr ? 0 : 12;  // ENOMEM
}
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
void free(void* block) { __libc_free(block); }
}

// operator new may be served without malloc by some runtimes; count it on its own.
void* operator new(size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    void* block = __libc_malloc(size != 0 ? size : 1);
    if (block == nullptr) std::abort();
    return block;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size != 0 ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { __libc_free(block); }
void operator delete[](void* block) noexcept { __libc_free(block); }
void operator delete(void* block, size_t) noexcept { __libc_free(block); }
void operator delete[](void* block, size_t) noexcept { __libc_free(block); }
