// A fixed set of worker threads that run one job at a time. A job is a number of
// independent pieces; the workers claim pieces until none is left, and the submitting
// thread sleeps until every piece has finished.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <vector>

namespace tarnex::parallel {

// A worker thread could not be started; `error` is the errno value of the failure.
struct ThreadStartError {
    int error;
};

class Pool {
public:
    using Task = void (*)(void* context, std::uint64_t piece);

    // Starts exactly `threads` (at least 1) workers. If one cannot be started, the ones
    // already running are stopped and ThreadStartError is thrown.
    explicit Pool(std::uint64_t threads);
    // Stops and joins the workers. The process-wide pool is never destroyed; this is for
    // pools made by tests. No job may be running.
    ~Pool();
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    std::uint64_t thread_count() const noexcept { return threads_.size(); }

    // Maps shorter than this run on the calling thread (see piece_plan.hpp): the fixed
    // inline_cutoff until calibrate_inline_cutoff() has measured this machine.
    std::uint64_t inline_cutoff() const noexcept { return inline_cutoff_; }

    // Times a few round trips of an empty job through the workers and a plain loop of
    // additions on the calling thread, and sets inline_cutoff() from them with
    // choose_inline_cutoff. Takes well under a millisecond; no job may be running.
    void calibrate_inline_cutoff() noexcept;

    // Runs task(context, p) for every p in [0, pieces) on at most `helpers` workers
    // (at least 1), and returns once all have finished. The first exception thrown by a
    // piece is rethrown here after the others have stopped; pieces not yet started when
    // it happened are skipped. Jobs from several threads run one after another.
    void run(std::uint64_t pieces, std::uint64_t helpers, Task task, void* context);

    // True on a thread of any pool: a job started there runs on that thread instead,
    // since waiting for the pool from inside it could never end.
    static bool on_worker_thread() noexcept;

private:
    static void* worker_main(void* self);
    void work();
    std::uint32_t wait_for_new_epoch(std::uint32_t seen) noexcept;
    void hand_back() noexcept;
    bool take_ticket() noexcept;
    void run_pieces() noexcept;
    void wait_until_done() noexcept;
    void stop_workers() noexcept;

    std::vector<pthread_t> threads_;
    std::mutex submit_;  // one job at a time
    std::uint64_t inline_cutoff_;

    // The job being run; written before `tickets_` is published, read by ticket holders.
    Task task_ = nullptr;
    void* context_ = nullptr;
    std::uint64_t pieces_ = 0;
    std::exception_ptr error_;

    alignas(64) std::atomic<std::uint32_t> epoch_{0};    // bumped for every job; workers sleep on it
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint32_t> sleepers_{0};             // workers asleep (or about to be) on epoch_
    alignas(64) std::atomic<std::uint64_t> tickets_{0};  // workers still wanted by the job
    alignas(64) std::atomic<std::uint64_t> next_{0};     // next piece to claim
    std::atomic<bool> failed_{false};
    alignas(64) std::atomic<std::uint32_t> pending_{0};  // helpers not yet finished; caller sleeps on it
    std::atomic<bool> caller_asleep_{false};
};

}  // namespace tarnex::parallel
