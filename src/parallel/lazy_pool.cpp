#include "parallel/lazy_pool.hpp"

#include <cstring>
#include <new>

namespace tarnex::parallel {
namespace {

// The system's description of an errno value, e.g.
// "Resource temporarily unavailable (os error 11)".
std::string describe_error(int error) {
    char text[256];
    const char* description = strerror_r(error, text, sizeof text);
    return std::string(description) + " (os error " + std::to_string(error) + ")";
}

}  // namespace

std::string pool_start_message(const std::string& cause) {
    return "The global thread pool has not been initialized.: " + cause;
}

LazyPool::~LazyPool() { delete pool_.load(std::memory_order_acquire); }

Pool& LazyPool::get() {
    if (Pool* pool = pool_.load(std::memory_order_acquire)) return *pool;
    if (failed_.load(std::memory_order_acquire)) throw_failure();
    std::lock_guard<std::mutex> lock(start_lock_);
    if (Pool* pool = pool_.load(std::memory_order_acquire)) return *pool;
    if (failed_.load(std::memory_order_acquire)) throw_failure();
    try {
        Pool* pool = new Pool(count_());
        if (calibrate_) pool->calibrate_inline_cutoff();
        pool_.store(pool, std::memory_order_release);
        return *pool;
    } catch (const ThreadStartError& e) {
        failure_ = pool_start_message(describe_error(e.error));
    } catch (const std::bad_alloc&) {
        failure_ = pool_start_message(describe_error(ENOMEM));
    }
    failed_.store(true, std::memory_order_release);
    throw_failure();
}

void LazyPool::throw_failure() const { throw PoolStartFailure(failure_); }

void LazyPool::after_fork_in_child() noexcept {
    pool_.store(nullptr, std::memory_order_relaxed);
    failed_.store(false, std::memory_order_relaxed);
    failure_.clear();
    start_lock_.unlock();
}

}  // namespace tarnex::parallel
