// The ordered parallel map: a kernel applied position by position over one input range,
// or over two ranges side by side, into an output range the caller has allocated.
// The range is cut into contiguous pieces that pool workers compute in place; every
// output position depends only on the input at that position, so the result is the same
// for any number of threads and any cut.
//
// A kernel is given whole pieces, so that its loop can be vectorised:
//   one operand:  void(const double* in, double* out, std::uint64_t len)
//   two operands: void(const double* a, const double* b, double* out, std::uint64_t len)
// It must write out[0, len) from the inputs at the same positions and nothing else.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <tuple>
#include <utility>

#include "parallel/piece_plan.hpp"
#include "parallel/pool.hpp"

namespace tarnex::parallel {

namespace detail {

// One map over N inputs side by side: each piece is the kernel over the inputs' and out's
// elements at the piece's positions.
template <class Kernel, std::size_t N>
struct Job {
    std::array<const double*, N> in;
    double* out;
    const PiecePlan* plan;
    Kernel* kernel;

    static void run(void* self, std::uint64_t piece) {
        const auto& job = *static_cast<const Job*>(self);
        const std::uint64_t b = job.plan->begin(piece);
        const std::uint64_t e = job.plan->begin(piece + 1);
        if (e <= b) return;
        [&]<std::size_t... k>(std::index_sequence<k...>) {
            (*job.kernel)(job.in[k] + b..., job.out + b, e - b);
        }(std::make_index_sequence<N>());
    }
};

inline bool run_here(const Pool& pool, std::uint64_t n) {
    return n < pool.inline_cutoff() || Pool::on_worker_thread();
}

// out[i] = kernel over the inputs at i for i < n: on the calling thread below the pool's
// cutoff (or on a worker), else in pieces on `pool`.
template <class Kernel, std::size_t N>
void map(Pool& pool, const std::array<const double*, N>& in, std::uint64_t n, double* out,
         Kernel& kernel) {
    if (run_here(pool, n)) {
        if (n != 0) std::apply([&](const auto*... p) { kernel(p..., out, n); }, in);
        return;
    }
    const PiecePlan plan(n, pool.thread_count(), out);
    Job<Kernel, N> job{in, out, &plan, &kernel};
    pool.run(plan.pieces(), plan.helpers(pool.thread_count()), &Job<Kernel, N>::run, &job);
}

}  // namespace detail

// out[i] = kernel over in[i] for i < n, on `pool`. `out` has room for n elements.
// Returns after every piece is done; rethrows a failure of a piece.
template <class Kernel>
void ordered_map(Pool& pool, const double* in, std::uint64_t n, double* out, Kernel kernel) {
    detail::map(pool, std::array<const double*, 1>{in}, n, out, kernel);
}

// out[i] = kernel over a[i], b[i] for i < n = min(na, nb), on `pool`; positions of the
// longer input at or beyond n are not read. `out` has room for n elements. Returns n.
template <class Kernel>
std::uint64_t ordered_map(Pool& pool, const double* a, std::uint64_t na, const double* b,
                          std::uint64_t nb, double* out, Kernel kernel) {
    const std::uint64_t n = std::min(na, nb);
    detail::map(pool, std::array<const double*, 2>{a, b}, n, out, kernel);
    return n;
}

}  // namespace tarnex::parallel
