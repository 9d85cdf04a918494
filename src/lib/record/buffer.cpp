#include "lib/record/buffer.hpp"

#include <sys/mman.h>

#include <cstdint>

namespace tarnex {

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
    // calloc leaves fresh pages untouched until they are written.
    void* p = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
    if (p == nullptr) throw AllocationFailure(bytes);
    advise_huge_pages(p, bytes);
    return p;
}

}  // namespace tarnex
