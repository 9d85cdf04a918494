// Test builds only (CMake option TARNEX_ALLOCATION_FAULTS): makes the N-th allocation of the
// extension fail, so that tests can show every allocation failure becomes an ordinary error
// that leaves operands unchanged and leaks nothing.
//
// Buffers and small lists allocate through allocate_bytes, which consults the counter kept
// in the core; everything else (strings, vectors, the pool's threads) allocates through
// operator new, which this file replaces inside the extension: the version script keeps the
// replacement local, so the interpreter and other extensions keep the usual one. Each
// replacement counts, refuses when its number is due (bad_alloc, or null for the nothrow
// forms) and otherwise forwards to the next definition in the process (the C++ runtime's, or
// a sanitizer's), so that blocks allocated on either side may be freed on the other.
// Allocations made inside the C++ runtime's own library (code that is not inlined into the
// extension) are not seen.
#ifdef TARNEX_ALLOCATION_FAULTS

#include <dlfcn.h>

#include <cstddef>
#include <cstdlib>
#include <new>

namespace tarnex::allocation_faults {
// Defined next to allocate_bytes (src/lib/record/buffer.cpp).
bool refuse_next() noexcept;
long rearm(long n, bool every_later) noexcept;
}  // namespace tarnex::allocation_faults

// Arms the counter: from now on allocations are counted and the n-th one fails (n >= 1);
// n = 0 only counts; n < 0 switches counting off. Returns how many allocations were made
// since the previous call of either function.
extern "C" __attribute__((visibility("default"))) long tarnex_test_fail_allocation(long n) {
    return tarnex::allocation_faults::rearm(n, false);
}

// The same, except that every allocation after the n-th fails as well: a call that gets
// round its n-th failure (room asked for on a mere size hint) must still fail cleanly later.
extern "C" __attribute__((visibility("default"))) long tarnex_test_fail_allocations_from(long n) {
    return tarnex::allocation_faults::rearm(n, true);
}

namespace {

using tarnex::allocation_faults::refuse_next;

template <class Fn>
Fn next_definition(const char* name) {
    void* found = dlsym(RTLD_NEXT, name);
    if (found == nullptr) std::abort();
    return reinterpret_cast<Fn>(found);
}

#define TARNEX_NEXT(type, name)                                         \
    static const auto next = next_definition<type>(name)

}  // namespace

void* operator new(std::size_t size) {
    TARNEX_NEXT(void* (*)(std::size_t), "_Znwm");
    if (refuse_next()) throw std::bad_alloc();
    return next(size);
}
void* operator new[](std::size_t size) {
    TARNEX_NEXT(void* (*)(std::size_t), "_Znam");
    if (refuse_next()) throw std::bad_alloc();
    return next(size);
}
void* operator new(std::size_t size, const std::nothrow_t& tag) noexcept {
    TARNEX_NEXT(void* (*)(std::size_t, const std::nothrow_t&), "_ZnwmRKSt9nothrow_t");
    if (refuse_next()) return nullptr;
    return next(size, tag);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    TARNEX_NEXT(void* (*)(std::size_t, const std::nothrow_t&), "_ZnamRKSt9nothrow_t");
    if (refuse_next()) return nullptr;
    return next(size, tag);
}
void* operator new(std::size_t size, std::align_val_t align) {
    TARNEX_NEXT(void* (*)(std::size_t, std::align_val_t), "_ZnwmSt11align_val_t");
    if (refuse_next()) throw std::bad_alloc();
    return next(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align) {
    TARNEX_NEXT(void* (*)(std::size_t, std::align_val_t), "_ZnamSt11align_val_t");
    if (refuse_next()) throw std::bad_alloc();
    return next(size, align);
}
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t& tag) noexcept {
    TARNEX_NEXT(void* (*)(std::size_t, std::align_val_t, const std::nothrow_t&),
                "_ZnwmSt11align_val_tRKSt9nothrow_t");
    if (refuse_next()) return nullptr;
    return next(size, align, tag);
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t& tag) noexcept {
    TARNEX_NEXT(void* (*)(std::size_t, std::align_val_t, const std::nothrow_t&),
                "_ZnamSt11align_val_tRKSt9nothrow_t");
    if (refuse_next()) return nullptr;
    return next(size, align, tag);
}

void operator delete(void* p) noexcept {
    TARNEX_NEXT(void (*)(void*), "_ZdlPv");
    next(p);
}
void operator delete[](void* p) noexcept {
    TARNEX_NEXT(void (*)(void*), "_ZdaPv");
    next(p);
}
void operator delete(void* p, std::size_t size) noexcept {
    TARNEX_NEXT(void (*)(void*, std::size_t), "_ZdlPvm");
    next(p, size);
}
void operator delete[](void* p, std::size_t size) noexcept {
    TARNEX_NEXT(void (*)(void*, std::size_t), "_ZdaPvm");
    next(p, size);
}
void operator delete(void* p, const std::nothrow_t& tag) noexcept {
    TARNEX_NEXT(void (*)(void*, const std::nothrow_t&), "_ZdlPvRKSt9nothrow_t");
    next(p, tag);
}
void operator delete[](void* p, const std::nothrow_t& tag) noexcept {
    TARNEX_NEXT(void (*)(void*, const std::nothrow_t&), "_ZdaPvRKSt9nothrow_t");
    next(p, tag);
}
void operator delete(void* p, std::align_val_t align) noexcept {
    TARNEX_NEXT(void (*)(void*, std::align_val_t), "_ZdlPvSt11align_val_t");
    next(p, align);
}
void operator delete[](void* p, std::align_val_t align) noexcept {
    TARNEX_NEXT(void (*)(void*, std::align_val_t), "_ZdaPvSt11align_val_t");
    next(p, align);
}
void operator delete(void* p, std::size_t size, std::align_val_t align) noexcept {
    TARNEX_NEXT(void (*)(void*, std::size_t, std::align_val_t), "_ZdlPvmSt11align_val_t");
    next(p, size, align);
}
void operator delete[](void* p, std::size_t size, std::align_val_t align) noexcept {
    TARNEX_NEXT(void (*)(void*, std::size_t, std::align_val_t), "_ZdaPvmSt11align_val_t");
    next(p, size, align);
}
void operator delete(void* p, std::align_val_t align, const std::nothrow_t& tag) noexcept {
    TARNEX_NEXT(void (*)(void*, std::align_val_t, const std::nothrow_t&),
                "_ZdlPvSt11align_val_tRKSt9nothrow_t");
    next(p, align, tag);
}
void operator delete[](void* p, std::align_val_t align, const std::nothrow_t& tag) noexcept {
    TARNEX_NEXT(void (*)(void*, std::align_val_t, const std::nothrow_t&),
                "_ZdaPvSt11align_val_tRKSt9nothrow_t");
    next(p, align, tag);
}

#endif  // TARNEX_ALLOCATION_FAULTS
