#include "base/PixelMemory.h"

#include <atomic>

namespace {
std::atomic<int> g_failCountdown{0};
std::atomic<long> g_allocations{0};
}  // namespace

namespace PixelMemory {

PixelBlock allocate(std::size_t bytes)
{
    ++g_allocations;
    int countdown = g_failCountdown.load();
    if (countdown > 0) {
        g_failCountdown.store(countdown - 1);
        if (countdown == 1)
            return PixelBlock();
    }
    return PixelBlock(static_cast<std::uint8_t*>(std::malloc(bytes == 0 ? 1 : bytes)));
}

void failAllocation(int n) { g_failCountdown.store(n < 0 ? 0 : n); }

long allocationCount() { return g_allocations.load(); }

}  // namespace PixelMemory
