#include "lib/axis/axis.hpp"

#include <cmath>
#include <string>

#include "lib/axis/kernels.hpp"
#include "lib/elementwise/pooled_map.hpp"
#include "lib/exp/exp.hpp"
#include "lib/exp/library_math.hpp"
#include "lib/record/failure.hpp"

namespace tarnex {

namespace {

// The product of shape[from..to): 0 when any of them is 0, and also when it exceeds 64 bits,
// which can only happen beside a zero extent elsewhere (the array exists), so that such a
// split has no element and no result to compute.
std::uint64_t product(const Shape& shape, std::uint64_t from, std::uint64_t to) noexcept {
    std::uint64_t p = 1;
    bool over = false;
    for (std::uint64_t d = from; d < to; ++d) {
        if (shape[d] == 0) return 0;
        over |= __builtin_mul_overflow(p, shape[d], &p);
    }
    return over ? 0 : p;
}

}  // namespace

AxisSplit split_at(const Shape& shape, std::uint64_t axis) noexcept {
    return {.outer = product(shape, 0, axis),
            .length = shape[axis],
            .inner = product(shape, axis + 1, shape.size())};
}

Shape reduced_shape(const Shape& shape, std::uint64_t axis, bool keepdims) {
    Shape out;
    for (std::uint64_t d = 0; d < shape.size(); ++d) {
        if (d != axis) out.push_back(shape[d]);
        else if (keepdims) out.push_back(1);
    }
    return out;
}

Shape ones_shape(const Shape& shape) { return Shape(shape.size(), 1); }

namespace {

// A reduction's result: `fill` writes its outer x inner values, in row-major order, unless
// there are none.
template <class Fill>
FloatArray reduce(const Shape& shape, std::uint64_t axis, bool keepdims, Fill&& fill) {
    Shape out_shape = reduced_shape(shape, axis, keepdims);
    const std::uint64_t count = allocation_count(out_shape);
    Buffer<double> out = Buffer<double>::uninitialized(count);
    if (count != 0) fill(split_at(shape, axis), out.data());
    return FloatArray::new_(std::move(out), std::move(out_shape));
}

// Runs the rows kernel when the slices are rows (inner 1), else the columns kernel on each
// outer block.
template <class Rows, class Columns>
void by_slices(const AxisSplit& s, const double* x, double* out, Rows&& rows,
               Columns&& columns) {
    if (s.inner == 1) {
        rows(x, s.outer, s.length, out);
        return;
    }
    for (std::uint64_t o = 0; o < s.outer; ++o) {
        columns(x + o * s.length * s.inner, s.length, s.inner, out + o * s.inner);
    }
}

void require_slices(const AxisSplit& s, const char* operation) {
    if (s.length == 0) {
        fail(std::string("zero-size array to reduction operation ") + operation +
             " which has no identity");
    }
}

FloatArray extreme_along(const FloatArray& a, std::uint64_t axis, bool keepdims, bool largest) {
    const AxisKernels& k = axis_kernels();
    return reduce(a.shape(), axis, keepdims, [&](const AxisSplit& s, double* out) {
        require_slices(s, largest ? "maximum" : "minimum");
        by_slices(s, a.data(), out, largest ? k.max_rows : k.min_rows,
                  largest ? k.max_columns : k.min_columns);
    });
}

FloatArray position_along(const FloatArray& a, std::uint64_t axis, bool keepdims,
                          bool largest) {
    const AxisKernels& k = axis_kernels();
    return reduce(a.shape(), axis, keepdims, [&](const AxisSplit& s, double* out) {
        if (s.length == 0) fail(std::string("attempt to get ") + (largest ? "argmax" : "argmin") +
                                " of an empty sequence");
        const auto columns = largest ? k.argmax_columns : k.argmin_columns;
        Buffer<double> best = Buffer<double>::uninitialized(s.inner == 1 ? 0 : s.inner);
        by_slices(s, a.data(), out, largest ? k.argmax_rows : k.argmin_rows,
                  [&](const double* x, std::uint64_t n, std::uint64_t inner, double* o) {
                      columns(x, n, inner, best.data(), o);
                  });
    });
}

void divide_by_length(double* out, std::uint64_t count, std::uint64_t length) noexcept {
    const double n = static_cast<double>(length);
    for (std::uint64_t i = 0; i < count; ++i) out[i] = out[i] / n;
}

std::uint64_t count_bytes(const Bool* b, std::uint64_t n) noexcept {
    std::uint64_t c = 0;
    for (std::uint64_t i = 0; i < n; ++i) c += b[i];
    return c;
}

}  // namespace

FloatArray sum_along(const FloatArray& a, std::uint64_t axis, bool keepdims) {
    const AxisKernels& k = axis_kernels();
    return reduce(a.shape(), axis, keepdims, [&](const AxisSplit& s, double* out) {
        by_slices(s, a.data(), out, k.sum_rows, k.sum_columns);
    });
}

FloatArray mean_along(const FloatArray& a, std::uint64_t axis, bool keepdims) {
    FloatArray sums = sum_along(a, axis, keepdims);
    divide_by_length(sums.mutable_data(), sums.size(), a.shape()[axis]);
    return sums;
}

// The chain -0.0 + b_0 + b_1 + ... over values 0.0 and 1.0 is exact: its value is the count,
// and its sign negative only when nothing was added.
FloatArray sum_along(const BoolArray& a, std::uint64_t axis, bool keepdims) {
    return reduce(a.shape(), axis, keepdims, [&](const AxisSplit& s, double* out) {
        const Bool* b = a.data();
        if (s.inner == 1) {
            for (std::uint64_t r = 0; r < s.outer; ++r) {
                out[r] = s.length == 0 ? -0.0
                                       : static_cast<double>(count_bytes(b + r * s.length, s.length));
            }
            return;
        }
        for (std::uint64_t o = 0; o < s.outer; ++o) {
            double* acc = out + o * s.inner;
            const Bool* block = b + o * s.length * s.inner;
            for (std::uint64_t j = 0; j < s.inner; ++j) acc[j] = -0.0;
            for (std::uint64_t q = 0; q < s.length; ++q) {
                const Bool* row = block + q * s.inner;
                for (std::uint64_t j = 0; j < s.inner; ++j) acc[j] += static_cast<double>(row[j]);
            }
        }
    });
}

FloatArray mean_along(const BoolArray& a, std::uint64_t axis, bool keepdims) {
    FloatArray sums = sum_along(a, axis, keepdims);
    divide_by_length(sums.mutable_data(), sums.size(), a.shape()[axis]);
    return sums;
}

FloatArray max_along(const FloatArray& a, std::uint64_t axis, bool keepdims) {
    return extreme_along(a, axis, keepdims, true);
}
FloatArray min_along(const FloatArray& a, std::uint64_t axis, bool keepdims) {
    return extreme_along(a, axis, keepdims, false);
}
FloatArray argmax_along(const FloatArray& a, std::uint64_t axis, bool keepdims) {
    return position_along(a, axis, keepdims, true);
}
FloatArray argmin_along(const FloatArray& a, std::uint64_t axis, bool keepdims) {
    return position_along(a, axis, keepdims, false);
}

double count_true(const BoolArray& a) {
    return a.size() == 0 ? -0.0 : static_cast<double>(count_bytes(a.data(), a.size()));
}

double max_all(const FloatArray& a) {
    if (a.size() == 0) fail("zero-size array to reduction operation maximum which has no identity");
    double out;
    axis_kernels().max_rows(a.data(), 1, a.size(), &out);
    return out;
}

double min_all(const FloatArray& a) {
    if (a.size() == 0) fail("zero-size array to reduction operation minimum which has no identity");
    double out;
    axis_kernels().min_rows(a.data(), 1, a.size(), &out);
    return out;
}

std::uint64_t argmax_all(const FloatArray& a) {
    if (a.size() == 0) fail("attempt to get argmax of an empty sequence");
    double out;
    axis_kernels().argmax_rows(a.data(), 1, a.size(), &out);
    return static_cast<std::uint64_t>(out);
}

std::uint64_t argmin_all(const FloatArray& a) {
    if (a.size() == 0) fail("attempt to get argmin of an empty sequence");
    double out;
    axis_kernels().argmin_rows(a.data(), 1, a.size(), &out);
    return static_cast<std::uint64_t>(out);
}

// ---- the softmax family --------------------------------------------------------------------

namespace {

enum class Family { softmax, log_softmax, logsumexp };

// Rows at a time through the steps below: a multiple of every level's vector width, so that
// the transposed sums run whole groups, and few enough that the rows stay in cache.
constexpr std::uint64_t chunk_rows = 16;
constexpr std::uint64_t chunk_elements = std::uint64_t{1} << 17;
// Row-wise work of at least this many elements goes to the worker pool: an exponential
// costs far more than the additions the pool's own cutoff is measured with.
constexpr std::uint64_t pooled_elements = 16384;

double finite_or_zero(double m) noexcept { return std::isfinite(m) ? m : 0.0; }

std::uint64_t rows_per_chunk(std::uint64_t n) noexcept {
    std::uint64_t c = chunk_rows;
    while (c > 1 && c * n > chunk_elements) c /= 2;
    return c;
}

// Rows [first, end) of `n` elements: out holds rows * n results, or one per row for
// logsumexp, which needs `scratch` of rows_per_chunk(n) * n elements.
void family_rows(Family f, const double* x, std::uint64_t first, std::uint64_t end,
                 std::uint64_t n, double* out, double* scratch) noexcept {
    const AxisKernels& k = axis_kernels();
    const std::uint64_t chunk = rows_per_chunk(n);
    double m[chunk_rows], s[chunk_rows], l[chunk_rows];
    for (std::uint64_t r = first; r < end; r += chunk) {
        const std::uint64_t c = end - r < chunk ? end - r : chunk;
        const double* xr = x + r * n;
        double* e = f == Family::logsumexp ? scratch : out + r * n;
        if (n == 0) {
            for (std::uint64_t q = 0; q < c; ++q) m[q] = 0.0, s[q] = -0.0;
        } else {
            k.max_rows(xr, c, n, m);
            for (std::uint64_t q = 0; q < c; ++q) m[q] = finite_or_zero(m[q]);
            k.rows_op[static_cast<int>(SliceOp::subtract)](xr, c, n, m, nullptr, e);
            exp_elements(e, e, c * n);
            k.sum_rows(e, c, n, s);
        }
        switch (f) {
            case Family::softmax:
                k.rows_op[static_cast<int>(SliceOp::divide)](e, c, n, s, nullptr, e);
                break;
            case Family::log_softmax:
                for (std::uint64_t q = 0; q < c; ++q) l[q] = library_log()(s[q]);
                k.rows_op[static_cast<int>(SliceOp::subtract_twice)](xr, c, n, m, l, e);
                break;
            case Family::logsumexp:
                for (std::uint64_t q = 0; q < c; ++q) out[r + q] = m[q] + library_log()(s[q]);
                break;
        }
    }
}

struct RowsJob {
    Family family;
    const double* x;
    double* out;
    std::uint64_t rows, n, rows_per_piece;

    static void run(void* self, std::uint64_t piece) {
        const auto& job = *static_cast<const RowsJob*>(self);
        const std::uint64_t first = piece * job.rows_per_piece;
        const std::uint64_t left = job.rows - first;
        const std::uint64_t end = first + (left < job.rows_per_piece ? left : job.rows_per_piece);
        Buffer<double> scratch = Buffer<double>::uninitialized(
            job.family == Family::logsumexp ? rows_per_chunk(job.n) * job.n : 0);
        family_rows(job.family, job.x, first, end, job.n, job.out, scratch.data());
    }
};

// Every row computed alone, so any cut of the rows into pieces gives the same bits.
void family_all_rows(Family f, const double* x, std::uint64_t rows, std::uint64_t n,
                     double* out) {
    const std::uint64_t total = rows * n;
    if (rows >= 2 && total >= pooled_elements && !parallel::Pool::on_worker_thread()) {
        parallel::Pool& pool = worker_pool();
        const std::uint64_t threads = pool.thread_count();
        if (threads > 1) {
            // About four pieces per thread, each whole chunks of rows.
            const std::uint64_t chunk = rows_per_chunk(n);
            std::uint64_t per = (rows + 4 * threads - 1) / (4 * threads);
            per = (per + chunk - 1) / chunk * chunk;
            const std::uint64_t pieces = (rows + per - 1) / per;
            RowsJob job{.family = f, .x = x, .out = out, .rows = rows, .n = n,
                        .rows_per_piece = per};
            pool.run(pieces, threads < pieces ? threads : pieces, &RowsJob::run, &job);
            return;
        }
    }
    RowsJob job{.family = f, .x = x, .out = out, .rows = rows, .n = n, .rows_per_piece = rows};
    RowsJob::run(&job, 0);
}

// Each outer block of `length` rows of `inner` elements, its columns the slices.
void family_columns(Family f, const double* x, const AxisSplit& sp, double* out) {
    const AxisKernels& k = axis_kernels();
    const std::uint64_t L = sp.length, inner = sp.inner;
    Buffer<double> m = Buffer<double>::uninitialized(inner);
    Buffer<double> s = Buffer<double>::uninitialized(inner);
    Buffer<double> l = Buffer<double>::uninitialized(f == Family::log_softmax ? inner : 0);
    Buffer<double> scratch = Buffer<double>::uninitialized(f == Family::logsumexp ? L * inner : 0);
    for (std::uint64_t o = 0; o < sp.outer; ++o) {
        const double* xo = x + o * L * inner;
        double* e = f == Family::logsumexp ? scratch.data() : out + o * L * inner;
        if (L == 0) {
            for (std::uint64_t j = 0; j < inner; ++j) m[j] = 0.0, s[j] = -0.0;
        } else {
            k.max_columns(xo, L, inner, m.data());
            for (std::uint64_t j = 0; j < inner; ++j) m[j] = finite_or_zero(m[j]);
            k.columns_op[static_cast<int>(SliceOp::subtract)](xo, L, inner, m.data(), nullptr, e);
            exp_elements(e, e, L * inner);
            k.sum_columns(e, L, inner, s.data());
        }
        switch (f) {
            case Family::softmax:
                k.columns_op[static_cast<int>(SliceOp::divide)](e, L, inner, s.data(), nullptr, e);
                break;
            case Family::log_softmax:
                for (std::uint64_t j = 0; j < inner; ++j) l[j] = library_log()(s[j]);
                k.columns_op[static_cast<int>(SliceOp::subtract_twice)](xo, L, inner, m.data(),
                                                                       l.data(), e);
                break;
            case Family::logsumexp:
                for (std::uint64_t j = 0; j < inner; ++j) {
                    out[o * inner + j] = m[j] + library_log()(s[j]);
                }
                break;
        }
    }
}

void family(Family f, const double* x, const AxisSplit& s, double* out) {
    if (s.inner == 1) family_all_rows(f, x, s.outer, s.length, out);
    else family_columns(f, x, s, out);
}

FloatArray family_like(Family f, const FloatArray& a, const AxisSplit& s) {
    Buffer<double> out = Buffer<double>::uninitialized(a.size());
    if (a.size() != 0) family(f, a.data(), s, out.data());
    return FloatArray::new_(std::move(out), a.shape());
}

AxisSplit whole(const FloatArray& a) noexcept { return {.outer = 1, .length = a.size(), .inner = 1}; }

}  // namespace

FloatArray softmax_along(const FloatArray& a, std::uint64_t axis) {
    return family_like(Family::softmax, a, split_at(a.shape(), axis));
}
FloatArray log_softmax_along(const FloatArray& a, std::uint64_t axis) {
    return family_like(Family::log_softmax, a, split_at(a.shape(), axis));
}
FloatArray logsumexp_along(const FloatArray& a, std::uint64_t axis, bool keepdims) {
    return reduce(a.shape(), axis, keepdims, [&](const AxisSplit& s, double* out) {
        family(Family::logsumexp, a.data(), s, out);
    });
}

FloatArray softmax_all(const FloatArray& a) { return family_like(Family::softmax, a, whole(a)); }
FloatArray log_softmax_all(const FloatArray& a) {
    return family_like(Family::log_softmax, a, whole(a));
}
double logsumexp_all(const FloatArray& a) {
    double out;
    family(Family::logsumexp, a.data(), whole(a), &out);
    return out;
}

}  // namespace tarnex
