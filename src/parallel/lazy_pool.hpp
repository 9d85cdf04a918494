// A pool that is started by its first use, exactly once, even when several threads
// ask for it at the same moment. A failed start is final: every later use reports it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "parallel/pool.hpp"
#include "parallel/pool_start_failure.hpp"

namespace tarnex::parallel {

class LazyPool {
public:
    using CountSource = std::uint64_t (*)();

    // `count` gives the thread count; it is called once, when the pool starts. With
    // `calibrate`, the started pool measures its hand-off cost once and sets its inline
    // cutoff from it (Pool::calibrate_inline_cutoff).
    explicit LazyPool(CountSource count, bool calibrate = false) noexcept
        : count_(count), calibrate_(calibrate) {}
    LazyPool(const LazyPool&) = delete;
    LazyPool& operator=(const LazyPool&) = delete;
    // Stops the pool if it was started (pools made by tests; the process-wide one lives on).
    ~LazyPool();

    // The running pool, started now if needed. Throws PoolStartFailure when the start
    // fails, now and on every later call.
    Pool& get();

    // For the fork handlers of the process-wide pool: `prepare` holds the start lock across
    // fork() so that no child inherits it half-taken; `parent` releases it; `child` releases
    // it and forgets the pool, whose threads do not exist in the child, so the child's first
    // use starts a fresh one. The old pool object is deliberately leaked there: its memory
    // may be in any state its vanished threads left it in.
    void prepare_fork() noexcept { start_lock_.lock(); }
    void after_fork_in_parent() noexcept { start_lock_.unlock(); }
    void after_fork_in_child() noexcept;

private:
    [[noreturn]] void throw_failure() const;

    CountSource count_;
    bool calibrate_;
    std::atomic<Pool*> pool_{nullptr};
    std::atomic<bool> failed_{false};
    std::string failure_;  // written once under the start lock before failed_ is set
    std::mutex start_lock_;
};

// The message of a start failure with the given cause.
std::string pool_start_message(const std::string& cause);

}  // namespace tarnex::parallel
