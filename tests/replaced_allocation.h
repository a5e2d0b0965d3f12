// Every heap allocation of the test executable that includes this header (once) goes through
// TestAllocation, which that test defines: a block from malloc, or null for an allocation that is
// to fail. Every form is replaced, so that no block of another allocator's reaches this free
// (the sanitizers' allocator tells them apart).
#pragma once

#include <cstdlib>
#include <new>

void* TestAllocation(std::size_t size) noexcept;

// The replacements pair malloc with free themselves, which GCC cannot see through when it inlines.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

inline void* AllocatedOrThrow(std::size_t size) {
    if (void* p = TestAllocation(size)) return p;
    throw std::bad_alloc();
}

void* operator new(std::size_t size) { return AllocatedOrThrow(size); }
void* operator new[](std::size_t size) { return AllocatedOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return TestAllocation(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return TestAllocation(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
