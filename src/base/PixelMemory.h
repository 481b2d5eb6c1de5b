#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

// Heap blocks for pixel data: allocated with malloc, never cleared, released with
// free. An allocation that cannot be had comes back empty instead of throwing, so
// the caller can report it.
struct FreeDeleter {
    void operator()(void* p) const noexcept { std::free(p); }
};
using PixelBlock = std::unique_ptr<std::uint8_t[], FreeDeleter>;

namespace PixelMemory {

// A block of `bytes` bytes with unspecified contents, or empty on failure.
PixelBlock allocate(std::size_t bytes);

// Test hook: the n-th allocation from now (1 = the next one) fails; 0 disables.
void failAllocation(int n);

// Number of allocations made through allocate() since start (tests use it).
long allocationCount();

}  // namespace PixelMemory
