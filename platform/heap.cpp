// The process heap with process-wide accounting. The counters belong to this
// copy of the platform layer: a module that links its own copy counts its own
// blocks.
#include <atomic>

#include "platform/backend.h"
#include "platform/platform.h"

namespace kx::plat {

namespace {

std::atomic<std::int64_t> gLiveBlocks{0};
std::atomic<std::int64_t> gLiveBytes{0};
std::atomic<std::uint64_t> gTotalAllocations{0};

constexpr std::uint32_t kErrorNotEnoughMemory = 8;

}  // namespace

void* HeapAlloc(std::size_t size, bool zero)
{
    void* p = backend::RawAlloc(size, zero);
    if (!p) {
        SetLastError(kErrorNotEnoughMemory);
        return nullptr;
    }
    gLiveBlocks.fetch_add(1, std::memory_order_relaxed);
    gLiveBytes.fetch_add(static_cast<std::int64_t>(size), std::memory_order_relaxed);
    gTotalAllocations.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void HeapFree(void* p)
{
    if (!p) return;
    std::size_t size = backend::RawFree(p);
    gLiveBlocks.fetch_sub(1, std::memory_order_relaxed);
    gLiveBytes.fetch_sub(static_cast<std::int64_t>(size), std::memory_order_relaxed);
}

HeapStats GetHeapStats()
{
    HeapStats s;
    s.liveBlocks = gLiveBlocks.load(std::memory_order_relaxed);
    s.liveBytes = gLiveBytes.load(std::memory_order_relaxed);
    s.totalAllocations = gTotalAllocations.load(std::memory_order_relaxed);
    return s;
}

}  // namespace kx::plat
