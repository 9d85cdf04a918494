// The order in which a broadcast operation visits its result: the result's axes collapsed
// to as few as possible, the innermost one a "row" along which every operand either
// advances one element per position or repeats one element, and the rows handed to a row
// kernel, on the worker pool when the result is large.
//
// Every result element is computed from the operand elements at its own position only, so
// the result is the same whichever way the positions are cut into pieces and rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lib/elementwise/pooled_map.hpp"
#include "lib/record/shape.hpp"
#include "lib/record/small_list.hpp"
#include "parallel/piece_plan.hpp"
#include "parallel/pool.hpp"

namespace tarnex {

template <std::size_t N>
struct Walk {
    std::uint64_t count = 0;  // elements of the result
    std::uint64_t inner = 1;  // positions of one row
    // Bit N - 1 - k set when operand k advances along a row (else it repeats one element).
    unsigned unit = 0;
    Shape outer;  // extents of the other collapsed axes, outermost first
    // stride[j * N + k]: how far operand k moves (in elements) for one step of outer axis j.
    SmallList<std::uint64_t, 6 * N> stride;
};

// The walk of a result of shape `result` (row-major, contiguous) over operands of the
// given shapes, which broadcast to it. Adjacent axes merge where every operand either
// repeats along both or is contiguous across both; axes of extent 1 drop out.
template <std::size_t N>
Walk<N> plan_walk(const Shape& result, const Shape* const (&shapes)[N]) {
    Walk<N> w;
    const std::size_t d = result.size();
    w.count = 1;
    for (std::uint64_t e : result) w.count *= e;
    if (w.count == 0) return w;
    // Collapsed axes from the innermost outwards: extents, and N strides each.
    Shape extents;
    SmallList<std::uint64_t, 6 * N> strides;
    std::uint64_t run[N];
    for (std::size_t k = 0; k < N; ++k) run[k] = 1;
    for (std::size_t ax = d; ax-- > 0;) {
        const std::uint64_t e = result[ax];
        if (e == 1) continue;
        std::uint64_t step[N];
        for (std::size_t k = 0; k < N; ++k) {
            const Shape& s = *shapes[k];
            const std::size_t missing = d - s.size();
            const std::uint64_t ext = ax >= missing ? s[ax - missing] : 1;
            step[k] = ext == 1 ? 0 : run[k];
            run[k] *= ext;
        }
        bool merges = !extents.empty();
        if (merges) {
            const std::size_t p = extents.size() - 1;
            for (std::size_t k = 0; k < N; ++k) merges &= step[k] == strides[p * N + k] * extents[p];
        }
        if (merges) {
            extents[extents.size() - 1] *= e;
        } else {
            extents.push_back(e);
            for (std::size_t k = 0; k < N; ++k) strides.push_back(step[k]);
        }
    }
    if (extents.empty()) return w;  // one element: every operand repeats its only one
    w.inner = extents[0];
    for (std::size_t k = 0; k < N; ++k) {
        if (strides[k] == 1) w.unit |= 1u << (N - 1 - k);
    }
    for (std::size_t j = extents.size(); j-- > 1;) {
        w.outer.push_back(extents[j]);
        for (std::size_t k = 0; k < N; ++k) w.stride.push_back(strides[j * N + k]);
    }
    return w;
}

// Calls row(offset, position, length) for the rows (or parts of rows) covering result
// positions [begin, end) in order: `offset[k]` is the element of operand k at `position`.
template <std::size_t N, class Row>
void walk_range(const Walk<N>& w, std::uint64_t begin, std::uint64_t end, Row& row) {
    if (begin >= end) return;
    const std::size_t axes = w.outer.size();
    Shape index(axes, 0);
    std::uint64_t base[N] = {};
    std::uint64_t col = begin % w.inner;
    std::uint64_t r = begin / w.inner;
    for (std::size_t j = axes; j-- > 0;) {
        index[j] = r % w.outer[j];
        r /= w.outer[j];
        for (std::size_t k = 0; k < N; ++k) base[k] += index[j] * w.stride[j * N + k];
    }
    for (std::uint64_t pos = begin; pos < end;) {
        const std::uint64_t len = w.inner - col < end - pos ? w.inner - col : end - pos;
        std::uint64_t offset[N];
        for (std::size_t k = 0; k < N; ++k) {
            offset[k] = base[k] + ((w.unit >> (N - 1 - k) & 1u) != 0 ? col : 0);
        }
        row(offset, pos, len);
        pos += len;
        col = 0;
        for (std::size_t j = axes; j-- > 0;) {
            for (std::size_t k = 0; k < N; ++k) base[k] += w.stride[j * N + k];
            if (++index[j] < w.outer[j]) break;
            for (std::size_t k = 0; k < N; ++k) base[k] -= w.stride[j * N + k] * w.outer[j];
            index[j] = 0;
        }
    }
}

// Calls body(begin, end) over pieces covering [0, count): on the calling thread below the
// pool's cutoff (the pool is not even started below the smallest cutoff it can have), else
// on the worker pool. `out` is the start of a double result, so that pieces start on its
// cache lines; null for other results.
template <class Body>
void for_pieces(std::uint64_t count, const double* out, Body& body) {
    if (count < parallel::inline_cutoff) {
        if (count != 0) body(std::uint64_t{0}, count);
        return;
    }
    parallel::Pool& pool = worker_pool();
    if (count < pool.inline_cutoff() || parallel::Pool::on_worker_thread()) {
        body(std::uint64_t{0}, count);
        return;
    }
    const parallel::PiecePlan plan(count, pool.thread_count(), out);
    struct Job {
        const parallel::PiecePlan* plan;
        Body* body;
        static void run(void* self, std::uint64_t piece) {
            const auto& job = *static_cast<const Job*>(self);
            const std::uint64_t b = job.plan->begin(piece);
            const std::uint64_t e = job.plan->begin(piece + 1);
            if (e > b) (*job.body)(b, e);
        }
    };
    Job job{&plan, &body};
    pool.run(plan.pieces(), plan.helpers(pool.thread_count()), &Job::run, &job);
}

// The rows of `w` handed to row(offset, position, length), piece by piece.
template <std::size_t N, class Row>
void walk_pooled(const Walk<N>& w, const double* out, Row& row) {
    auto piece = [&](std::uint64_t b, std::uint64_t e) { walk_range(w, b, e, row); };
    for_pieces(w.count, out, piece);
}

}  // namespace tarnex
