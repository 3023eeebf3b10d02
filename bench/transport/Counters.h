#pragma once
#include <cstdint>

namespace bench {
// Allocations through operator new since the process started, all threads.
uint64_t allocationCount();
// The same, on the calling thread only.
uint64_t threadAllocationCount();
}  // namespace bench
