#include "lib/record/buffer.hpp"

#include <sys/mman.h>

#include <cstdint>

#ifdef TARNEX_ALLOCATION_FAULTS
#include <atomic>
#endif

namespace tarnex {

#ifdef TARNEX_ALLOCATION_FAULTS
// Test builds only: the allocations made since the counter was last armed are counted, and
// the one whose number was armed is refused as the allocator would refuse it. The binding's
// replacement of operator new counts and refuses through the same counter
// (src/python/allocation_faults.cpp, which also holds the control function).
namespace allocation_faults {

std::atomic<long> fail_at{-1};  // -1 off, 0 counting only, n > 0 the n-th allocation fails
std::atomic<bool> and_later{false};  // every allocation after the n-th fails too
std::atomic<long> made{0};

bool refuse_next() noexcept {
    const long at = fail_at.load(std::memory_order_relaxed);
    if (at < 0) return false;
    const long number = made.fetch_add(1, std::memory_order_relaxed) + 1;
    return at != 0 && (number == at || (number > at && and_later.load(std::memory_order_relaxed)));
}

long rearm(long n, bool every_later) noexcept {
    fail_at.store(-1, std::memory_order_relaxed);
    const long previous = made.exchange(0, std::memory_order_relaxed);
    and_later.store(every_later, std::memory_order_relaxed);
    fail_at.store(n < 0 ? -1 : n, std::memory_order_relaxed);
    return previous;
}

}  // namespace allocation_faults
#endif

void check_capacity(std::uint64_t count, std::uint64_t size) {
    if (count > max_allocation_bytes / size) fail("capacity overflow");
}

// A large block comes straight from the kernel and each 4 KiB page of it faults on its
// first write; backed by 2 MiB pages, one fault covers 512 of them, which on virtual
// machines is most of the cost of filling a fresh result. A refused request changes nothing.
void advise_huge_pages(void* data, std::uint64_t bytes) noexcept {
    constexpr std::uint64_t threshold = std::uint64_t{1} << 22;
    constexpr std::uintptr_t page = 4096;
    if (bytes < threshold) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
    madvise(reinterpret_cast<void*>(first), begin + bytes - first, MADV_HUGEPAGE);
}

void* allocate_bytes(std::uint64_t bytes, bool zeroed) {
#ifdef TARNEX_ALLOCATION_FAULTS
    if (allocation_faults::refuse_next()) throw AllocationFailure(bytes);
#endif
    // calloc leaves fresh pages untouched until they are written. Other blocks of a page or
    // more start on a cache line, so that the kernels' full-width loads and stores never
    // straddle two lines (on AVX-512 every one would, at malloc's 16-byte alignment).
    void* p = nullptr;
    if (zeroed) {
        p = std::calloc(bytes, 1);
    } else if (bytes >= 4096) {
        if (posix_memalign(&p, 64, bytes) != 0) p = nullptr;
    } else {
        p = std::malloc(bytes);
    }
    if (p == nullptr) throw AllocationFailure(bytes);
    advise_huge_pages(p, bytes);
    return p;
}

}  // namespace tarnex
