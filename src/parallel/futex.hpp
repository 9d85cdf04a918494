// Sleeping on a 32-bit atomic word and waking its sleepers: the Linux futex calls.
// Only the sleeping goes through the kernel; every hand-over of data is an atomic
// operation on the word itself, so the usual acquire/release reasoning applies.
#pragma once

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdint>

namespace tarnex::parallel {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));

// Sleeps while `word` still holds `expected`; may return early (signal, spurious wake),
// so callers re-check their condition in a loop.
inline void futex_wait(std::atomic<std::uint32_t>& word, std::uint32_t expected) noexcept {
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected,
            nullptr, nullptr, 0);
}

// Wakes up to `count` threads sleeping on `word`.
inline void futex_wake(std::atomic<std::uint32_t>& word, int count = INT_MAX) noexcept {
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE_PRIVATE, count,
            nullptr, nullptr, 0);
}

// One spin-wait step: tells the core we are busy-waiting.
inline void cpu_relax() noexcept { __builtin_ia32_pause(); }

}  // namespace tarnex::parallel
