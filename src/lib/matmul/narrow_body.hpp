// The product for results of only a few columns, with result rows as vector lanes, shared by
// every instruction set. Each level's file defines, in an unnamed namespace inside its target
// region and namespace, a struct `Ops` with
//
//   Ops::lanes, Ops::Vec          doubles per vector, a vector
//   Ops::zero(), store(p, v)
//   Ops::splat(p)                 *p in every lane, in the form `times` takes as b
//   Ops::times(b, a), plus(acc, product)   one rounded multiply, one rounded add, in the
//                                 operand order of the tile kernels
//   Ops::columns(a, lda, rows, steps, column)
//                                 column[q][r] = a[r * lda + q] for r < rows and q < steps,
//                                 0.0 for rows past `rows` (rows, steps <= lanes)
//
// and includes this body after it, so the loops are compiled for that level.
//
// Laying result columns across the lanes would leave most lanes idle here, so `lanes` result
// rows share the lanes instead: a block of `lanes` rows of a, `lanes` values of p, is turned
// around so that one vector holds a[i0.., p], and b[p, j] times it is added to column j's
// accumulator, for p in increasing order. Every value of a is read once, in storage order,
// so a matrix-vector product streams a at the speed memory delivers it.
//
// This file includes nothing itself.

namespace {

// One step of p for every column: acc[j] + b[p, j] * a[i0.., p].
template <int N>
inline void accumulate(typename Ops::Vec acc[N], const double* b_row,
                       typename Ops::Vec a_column) {
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        acc[j] = Ops::plus(acc[j], Ops::times(Ops::splat(b_row + j), a_column));
    }
}

// Steps p0 .. p0 + steps - 1 of a block of `lanes` rows (`rows` of them present).
template <int N>
inline void block_steps(typename Ops::Vec acc[N], const double* a, const double* b,
                        std::uint64_t k, std::uint64_t rows, std::uint64_t p0,
                        std::uint64_t steps) {
    constexpr std::uint64_t lanes = Ops::lanes;
    typename Ops::Vec column[lanes];
    Ops::columns(a + p0, k, rows, steps, column);
    const double* b_rows = b + p0 * N;
    if (steps == lanes) {
#pragma GCC unroll 8
        for (std::uint64_t q = 0; q < lanes; ++q) {
            accumulate<N>(acc, b_rows + q * N, column[q]);
        }
    } else {
        for (std::uint64_t q = 0; q < steps; ++q) {
            accumulate<N>(acc, b_rows + q * N, column[q]);
        }
    }
}

template <int N>
inline void store_rows(const typename Ops::Vec acc[N], double* c, std::uint64_t rows) {
    alignas(64) double sums[N][Ops::lanes];
    for (int j = 0; j < N; ++j) Ops::store(sums[j], acc[j]);
    for (std::uint64_t r = 0; r < rows; ++r) {
        for (int j = 0; j < N; ++j) c[r * N + j] = sums[j][r];
    }
}

// G blocks of `lanes` rows side by side, all rows present: each block's sums are one chain
// of dependent additions per column, so several blocks at once keep the adder busy while
// each addition waits for the one before it.
template <int N, int G>
void row_groups(const double* a, const double* b, double* c, std::uint64_t k) {
    constexpr std::uint64_t lanes = Ops::lanes;
    typename Ops::Vec acc[G][N];
#pragma GCC unroll 8
    for (int g = 0; g < G; ++g) {
        for (int j = 0; j < N; ++j) acc[g][j] = Ops::zero();
    }
    for (std::uint64_t p0 = 0; p0 < k; p0 += lanes) {
        const std::uint64_t steps = k - p0 < lanes ? k - p0 : lanes;
#pragma GCC unroll 8
        for (int g = 0; g < G; ++g) {
            block_steps<N>(acc[g], a + g * lanes * k, b, k, lanes, p0, steps);
        }
    }
#pragma GCC unroll 8
    for (int g = 0; g < G; ++g) store_rows<N>(acc[g], c + g * lanes * N, lanes);
}

// Result rows i0 .. i0 + rows - 1 (rows <= lanes) for N columns.
template <int N>
void row_block(const double* a, const double* b, double* c, std::uint64_t rows,
               std::uint64_t k) {
    typename Ops::Vec acc[N];
    for (int j = 0; j < N; ++j) acc[j] = Ops::zero();
    for (std::uint64_t p0 = 0; p0 < k; p0 += Ops::lanes) {
        const std::uint64_t steps = k - p0 < Ops::lanes ? k - p0 : Ops::lanes;
        block_steps<N>(acc, a, b, k, rows, p0, steps);
    }
    store_rows<N>(acc, c, rows);
}

template <int N>
void all_rows(const double* a, const double* b, double* c, std::uint64_t m, std::uint64_t k) {
    constexpr std::uint64_t lanes = Ops::lanes;
    // About eight accumulators in all, but no more than 16 rows of a read side by side, so
    // that the hardware prefetcher can follow every row.
    constexpr int by_sums = N == 1 ? 8 : N == 2 ? 4 : 2;
    constexpr int by_rows = static_cast<int>(16 / lanes);
    constexpr int groups = by_sums < by_rows ? by_sums : by_rows > 0 ? by_rows : 1;
    std::uint64_t i0 = 0;
    for (; i0 + groups * lanes <= m; i0 += groups * lanes) {
        row_groups<N, groups>(a + i0 * k, b, c + i0 * N, k);
    }
    for (; i0 < m; i0 += lanes) {
        const std::uint64_t rows = m - i0 < lanes ? m - i0 : lanes;
        row_block<N>(a + i0 * k, b, c + i0 * N, rows, k);
    }
}

}  // namespace

void multiply_narrow(const double* a, const double* b, double* c, std::uint64_t m,
                     std::uint64_t k, std::uint64_t n) {
    static_assert(narrow_max_cols == 4);
    switch (n) {
        case 1: return all_rows<1>(a, b, c, m, k);
        case 2: return all_rows<2>(a, b, c, m, k);
        case 3: return all_rows<3>(a, b, c, m, k);
        default: return all_rows<4>(a, b, c, m, k);  // n is 4
    }
}
