// The core's side of the ordered parallel map: starts the worker pool (a start failure
// becomes the operation's failure), allocates the result once at its final length and
// lets the pool fill it.
#pragma once

#include <cstdint>

#include "lib/record/buffer.hpp"
#include "parallel/ordered_map.hpp"
#include "parallel/pool.hpp"

namespace tarnex {

// The process-wide worker pool, started now if it is not running yet.
parallel::Pool& worker_pool();

// result[i] = kernel over in[i] for i < n; see parallel/ordered_map.hpp for the kernel's form.
template <class Kernel>
Buffer<double> pooled_map(const double* in, std::uint64_t n, Kernel kernel) {
    parallel::Pool& pool = worker_pool();
    Buffer<double> out = Buffer<double>::with_capacity(n);
    parallel::ordered_map(pool, in, n, out.data(), kernel);
    out.set_size(n);
    return out;
}

// result[i] = kernel over a[i], b[i] for i below the shorter length.
template <class Kernel>
Buffer<double> pooled_map(const double* a, std::uint64_t na, const double* b, std::uint64_t nb,
                          Kernel kernel) {
    parallel::Pool& pool = worker_pool();
    const std::uint64_t n = na < nb ? na : nb;
    Buffer<double> out = Buffer<double>::with_capacity(n);
    parallel::ordered_map(pool, a, na, b, nb, out.data(), kernel);
    out.set_size(n);
    return out;
}

}  // namespace tarnex
