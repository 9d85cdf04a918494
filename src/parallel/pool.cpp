#include "parallel/pool.hpp"

#include <sched.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>

#include "parallel/futex.hpp"
#include "parallel/piece_plan.hpp"

namespace tarnex::parallel {
namespace {

// How long a worker keeps polling for the next job before it sleeps (about 50 µs), and
// how often the submitting thread polls for completion before it sleeps. Putting a
// thread to sleep and waking it costs several microseconds each way, more on virtual
// machines, which would dominate maps of a few hundred thousand elements called in a
// loop. Polling threads give their CPU away as they poll: a worker yields every few
// iterations, and the submitter yields at every poll (each yield takes about 0.5 µs, so
// it polls for some 25 µs at most). With as many workers as CPUs the submitter's CPU is
// needed by a worker, which a yield hands over at once; measured on 2 CPUs, this cut a
// map of 10^5 additions from 24 to 18 µs against pause-polling, and from 19 µs against
// sleeping at once.
constexpr int worker_spins = 2000;
constexpr int worker_spins_per_yield = 64;
constexpr int caller_polls = 50;

thread_local bool is_worker = false;

// Blocks every signal on the calling thread for its lifetime, so threads started meanwhile
// inherit a full mask: asynchronous signals then go to the application's own threads.
class SignalsBlocked {
public:
    SignalsBlocked() noexcept {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &saved_);
    }
    ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

private:
    sigset_t saved_;
};

}  // namespace

Pool::Pool(std::uint64_t threads) : inline_cutoff_(parallel::inline_cutoff) {
    if (threads == 0) threads = 1;
    SignalsBlocked blocked;
    try {
        while (threads_.size() < threads) {
            threads_.emplace_back();
            const int rc = pthread_create(&threads_.back(), nullptr, &Pool::worker_main, this);
            if (rc != 0) {
                threads_.pop_back();
                throw ThreadStartError{rc};
            }
        }
    } catch (...) {
        stop_workers();
        throw;
    }
}

Pool::~Pool() { stop_workers(); }

bool Pool::on_worker_thread() noexcept { return is_worker; }

namespace {

double elapsed_ns(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - since)
        .count();
}

// The median of `samples` timings of `once`, in nanoseconds.
template <class Once>
double median_ns(int samples, Once&& once) {
    double times[15];
    samples = std::min(samples, 15);
    for (int i = 0; i < samples; ++i) {
        const auto start = std::chrono::steady_clock::now();
        once();
        times[i] = elapsed_ns(start);
    }
    // A handful of samples: an insertion sort (std::sort on this small array draws a false
    // out-of-bounds warning from GCC 12 in sanitizer builds).
    for (int i = 1; i < samples; ++i) {
        for (int j = i; j > 0 && times[j] < times[j - 1]; --j) std::swap(times[j], times[j - 1]);
    }
    return times[samples / 2];
}

void nothing(void*, std::uint64_t) noexcept {}

}  // namespace

void Pool::calibrate_inline_cutoff() noexcept {
    const std::uint64_t threads = threads_.size();
    if (threads <= 1) {
        inline_cutoff_ = choose_inline_cutoff(threads, 0.0, 0.0);
        return;
    }
    // One piece per worker, so that every worker takes part as in a real map. The first
    // round trips also see the workers come up, which the median leaves out.
    const double handoff = median_ns(9, [&] {
        try {
            run(threads, threads, &nothing, nullptr);
        } catch (...) {
        }
    });
    // Additions of two cached blocks into a third, as the element-wise maps do.
    constexpr std::uint64_t block = 4096;
    std::unique_ptr<double[]> blocks(new (std::nothrow) double[3 * block]);
    if (!blocks) return;  // the fixed cutoff stays
    double* const a = blocks.get();
    double* const b = a + block;
    double* const out = b + block;
    for (std::uint64_t i = 0; i < block; ++i) {
        a[i] = static_cast<double>(i);
        b[i] = 0.5;
    }
    const double per_block = median_ns(9, [&] {
        for (std::uint64_t i = 0; i < block; ++i) out[i] = a[i] + b[i];
        // Keeps the loop from being dropped or merged across samples.
        asm volatile("" : : "r"(out) : "memory");
    });
    inline_cutoff_ = choose_inline_cutoff(threads, handoff, per_block / block);
}

void* Pool::worker_main(void* self) {
    is_worker = true;
    static_cast<Pool*>(self)->work();
    return nullptr;
}

void Pool::stop_workers() noexcept {
    stopping_.store(true, std::memory_order_release);
    epoch_.fetch_add(1, std::memory_order_release);
    futex_wake(epoch_);
    for (pthread_t thread : threads_) pthread_join(thread, nullptr);
    threads_.clear();
}

void Pool::work() {
    // The epoch is 0 until the first job or the stop, both of which come after start-up.
    std::uint32_t seen = 0;
    for (;;) {
        seen = wait_for_new_epoch(seen);
        if (stopping_.load(std::memory_order_acquire)) return;
        // Several tickets may be taken by one worker when jobs follow closely; each
        // ticket is one hand-back, which is all the submitter counts.
        while (take_ticket()) {
            run_pieces();
            hand_back();
        }
    }
}

// Sleeping and waking follow one pattern on both sides: the sleeper announces itself,
// then re-reads the word it waits on; the waker changes that word, then looks for
// announced sleepers. Both orders are sequentially consistent, so at least one of the two
// sees the other's write and no wake-up is lost, while a waker with nobody asleep makes
// no system call.
std::uint32_t Pool::wait_for_new_epoch(std::uint32_t seen) noexcept {
    std::uint32_t now = epoch_.load(std::memory_order_acquire);
    for (int spin = 1; now == seen && spin <= worker_spins; ++spin) {
        if (spin % worker_spins_per_yield == 0) {
            sched_yield();
        } else {
            cpu_relax();
        }
        now = epoch_.load(std::memory_order_acquire);
    }
    while (now == seen) {
        sleepers_.fetch_add(1, std::memory_order_seq_cst);
        if (epoch_.load(std::memory_order_seq_cst) == seen) futex_wait(epoch_, seen);
        sleepers_.fetch_sub(1, std::memory_order_relaxed);
        now = epoch_.load(std::memory_order_acquire);
    }
    return now;
}

void Pool::hand_back() noexcept {
    if (pending_.fetch_sub(1, std::memory_order_seq_cst) == 1 &&
        caller_asleep_.load(std::memory_order_seq_cst)) {
        futex_wake(pending_, 1);
    }
}

// A ticket belongs to the job currently submitted: the submitter publishes the tickets
// only after writing the job, and waits for one hand-back per ticket before it returns.
bool Pool::take_ticket() noexcept {
    std::uint64_t left = tickets_.load(std::memory_order_acquire);
    while (left != 0) {
        if (tickets_.compare_exchange_weak(left, left - 1, std::memory_order_acq_rel,
                                           std::memory_order_acquire)) {
            return true;
        }
    }
    return false;
}

void Pool::run_pieces() noexcept {
    for (;;) {
        const std::uint64_t piece = next_.fetch_add(1, std::memory_order_relaxed);
        if (piece >= pieces_ || failed_.load(std::memory_order_relaxed)) return;
        try {
            task_(context_, piece);
        } catch (...) {
            if (!failed_.exchange(true, std::memory_order_relaxed)) error_ = std::current_exception();
        }
    }
}

void Pool::wait_until_done() noexcept {
    for (int poll = 0; poll < caller_polls; ++poll) {
        if (pending_.load(std::memory_order_acquire) == 0) return;
        sched_yield();
    }
    for (;;) {
        if (pending_.load(std::memory_order_acquire) == 0) return;
        caller_asleep_.store(true, std::memory_order_seq_cst);
        const std::uint32_t left = pending_.load(std::memory_order_seq_cst);
        if (left != 0) futex_wait(pending_, left);
        caller_asleep_.store(false, std::memory_order_relaxed);
    }
}

void Pool::run(std::uint64_t pieces, std::uint64_t helpers, Task task, void* context) {
    if (pieces == 0) return;
    std::lock_guard<std::mutex> lock(submit_);
    helpers = std::clamp<std::uint64_t>(
        helpers, 1, std::min<std::uint64_t>({threads_.size(), pieces,
                                             std::numeric_limits<std::uint32_t>::max()}));
    task_ = task;
    context_ = context;
    pieces_ = pieces;
    error_ = nullptr;
    failed_.store(false, std::memory_order_relaxed);
    next_.store(0, std::memory_order_relaxed);
    pending_.store(static_cast<std::uint32_t>(helpers), std::memory_order_relaxed);
    tickets_.store(helpers, std::memory_order_release);
    epoch_.fetch_add(1, std::memory_order_seq_cst);
    if (sleepers_.load(std::memory_order_seq_cst) != 0) {
        futex_wake(epoch_, static_cast<int>(std::min<std::uint64_t>(helpers, INT32_MAX)));
    }
    wait_until_done();
    if (failed_.load(std::memory_order_relaxed)) {
        std::exception_ptr error = std::move(error_);
        error_ = nullptr;
        std::rethrow_exception(error);
    }
}

}  // namespace tarnex::parallel
