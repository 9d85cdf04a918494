#include "lib/broadcast/broadcast.hpp"

#include <cmath>
#include <cstring>
#include <utility>

#include "lib/broadcast/walk.hpp"
#include "lib/exp/exp.hpp"
#include "lib/exp/library_math.hpp"

namespace tarnex {
namespace {

// The comparison with its operands swapped: b op a is a swapped(op) b, for every value.
constexpr Comparison swapped(Comparison op) noexcept {
    switch (op) {
        case Comparison::greater: return Comparison::less;
        case Comparison::greater_equal: return Comparison::less_equal;
        case Comparison::less: return Comparison::greater;
        case Comparison::less_equal: return Comparison::greater_equal;
        case Comparison::equal:
        case Comparison::not_equal: break;
    }
    return op;
}

// Walks `result` row by row, pooled, with the row kernel among `variants` for the operands
// the walk steps through one by one: kernel(each operand's row..., out's row, length).
template <class Row, std::size_t V, class... Es>
__attribute__((always_inline)) inline void walk_rows(const Row (&variants)[V], const Shape& result, double* out,
               Operand<Es>... operands) {
    constexpr std::size_t n = sizeof...(Es);
    const Shape* shapes[n] = {operands.shape...};
    const Walk<n> w = plan_walk(result, shapes);
    const Row kernel = variants[w.unit];
    auto row = [&](const std::uint64_t* at, std::uint64_t pos, std::uint64_t len) {
        [&]<std::size_t... k>(std::index_sequence<k...>) {
            kernel(operands.data + at[k]..., out + pos, len);
        }(std::make_index_sequence<n>());
    };
    walk_pooled(w, out, row);
}

template <class Loop>
void map_pieces(std::uint64_t n, const double* out, Loop&& loop) {
    auto piece = [&](std::uint64_t b, std::uint64_t e) { loop(b, e - b); };
    for_pieces(n, out, piece);
}

}  // namespace

void broadcast_binary(BinaryOp op, Operand<double> a, Operand<double> b, const Shape& result,
                      double* out) {
    walk_rows(broadcast_kernels().binary[static_cast<int>(op)], result, out, a, b);
}

void broadcast_clip(Operand<double> a, Operand<double> lo, Operand<double> hi,
                    const Shape& result, double* out) {
    walk_rows(broadcast_kernels().clip, result, out, a, lo, hi);
}

void broadcast_where(Operand<Bool> condition, Operand<double> a, Operand<double> b,
                     const Shape& result, double* out) {
    walk_rows(broadcast_kernels().where, result, out, condition, a, b);
}

// The compare family's loops: a row of both operands is its array kernel, a repeated b its
// scalar kernel, a repeated a the scalar kernel of the swapped comparison; with both
// repeated, one comparison fills the row.
void broadcast_compare(Comparison op, Operand<double> a, Operand<double> b, const Shape& result,
                       Bool* out) {
    const Shape* shapes[2] = {a.shape, b.shape};
    const Walk<2> w = plan_walk(result, shapes);
    const CompareKernels& k = compare_kernels();
    const int forward = static_cast<int>(op);
    const int backward = static_cast<int>(swapped(op));
    auto row = [&](const std::uint64_t* at, std::uint64_t pos, std::uint64_t len) {
        const double* x = a.data + at[0];
        const double* y = b.data + at[1];
        switch (w.unit) {
            case 3: k.arrays[forward](x, y, out + pos, len); break;
            case 2: k.scalars[forward](x, *y, out + pos, len); break;
            case 1: k.scalars[backward](y, *x, out + pos, len); break;
            default:
                k.scalars[forward](x, *y, out + pos, 1);
                std::memset(out + pos + 1, out[pos], len - 1);
                break;
        }
    };
    walk_pooled(w, nullptr, row);
}

void broadcast_logic(LogicOp op, Operand<Bool> a, Operand<Bool> b, const Shape& result,
                     Bool* out) {
    const Shape* shapes[2] = {a.shape, b.shape};
    const Walk<2> w = plan_walk(result, shapes);
    const LogicRow kernel = broadcast_kernels().logic[static_cast<int>(op)][w.unit];
    auto row = [&](const std::uint64_t* at, std::uint64_t pos, std::uint64_t len) {
        kernel(a.data + at[0], b.data + at[1], out + pos, len);
    };
    walk_pooled(w, nullptr, row);
}

void map_unary(UnaryFunction f, const double* x, double* out, std::uint64_t n) {
    switch (f) {
        case UnaryFunction::exp:
            map_pieces(n, out, [&](std::uint64_t i, std::uint64_t len) {
                exp_elements(x + i, out + i, len);
            });
            return;
        case UnaryFunction::log:
            map_pieces(n, out, [&, log = library_log()](std::uint64_t i, std::uint64_t len) {
                for (std::uint64_t j = i; j < i + len; ++j) out[j] = log(x[j]);
            });
            return;
        case UnaryFunction::tanh:
            map_pieces(n, out, [&](std::uint64_t i, std::uint64_t len) {
                for (std::uint64_t j = i; j < i + len; ++j) out[j] = std::tanh(x[j]);
            });
            return;
        default: break;
    }
    const UnaryRow kernel = broadcast_kernels().unary[static_cast<int>(f)];
    map_pieces(n, out, [&](std::uint64_t i, std::uint64_t len) { kernel(x + i, out + i, len); });
}

void map_isnan(const double* x, Bool* out, std::uint64_t n) {
    const auto kernel = compare_kernels().isnan;
    map_pieces(n, nullptr, [&](std::uint64_t i, std::uint64_t len) { kernel(x + i, out + i, len); });
}

void map_logical_not(const Bool* m, Bool* out, std::uint64_t n) {
    const auto kernel = compare_kernels().logical_not;
    map_pieces(n, nullptr, [&](std::uint64_t i, std::uint64_t len) { kernel(m + i, out + i, len); });
}

}  // namespace tarnex
