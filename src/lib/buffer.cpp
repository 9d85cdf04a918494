#include "lib/buffer.hpp"

namespace tarnex {

void check_capacity(std::uint64_t count, std::uint64_t size) {
    if (count > max_allocation_bytes / size) fail("capacity overflow");
}

void* allocate_bytes(std::uint64_t bytes, bool zeroed) {
    // calloc leaves fresh pages untouched until they are written.
    void* p = zeroed ? std::calloc(bytes, 1) : std::malloc(bytes);
    if (p == nullptr) throw AllocationFailure(bytes);
    return p;
}

}  // namespace tarnex
