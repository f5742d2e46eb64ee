// SPDX-License-Identifier: GPL-3.0-or-later
// Counting replacements of the global allocation functions (see threadAllocations()): a library
// of its own (acw_bench_allocations), linked only into the benchmarks that read the count.
#include <cstdlib>
#include <new>

#include "BenchSupport.h"

namespace {

thread_local std::size_t tAllocations = 0;

void* allocate(std::size_t bytes) {
    ++tAllocations;
    void* p = std::malloc(bytes != 0 ? bytes : 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void* allocateAligned(std::size_t bytes, std::align_val_t alignment) {
    ++tAllocations;
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = (bytes + align - 1) / align * align;
    void* p = std::aligned_alloc(align, rounded != 0 ? rounded : align);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

namespace acw::bench {

std::size_t threadAllocations() { return tAllocations; }

}  // namespace acw::bench

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void* operator new(std::size_t n, std::align_val_t a) { return allocateAligned(n, a); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocateAligned(n, a); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    ++tAllocations;
    return std::malloc(n != 0 ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    ++tAllocations;
    return std::malloc(n != 0 ? n : 1);
}
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return allocateAligned(n, a);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return allocateAligned(n, a);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
