// Every allocation through operator new, counted (all threads), so the bench
// can say how many each message costs on either side.
#include <atomic>
#include <cstdlib>
#include <new>

#include "Counters.h"

namespace {
std::atomic<uint64_t> allocations{0};
thread_local uint64_t mine = 0;

void* allocate(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  ++mine;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

uint64_t bench::allocationCount() { return allocations.load(std::memory_order_relaxed); }
uint64_t bench::threadAllocationCount() { return mine; }

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
