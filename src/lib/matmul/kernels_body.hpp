// The matrix product's kernels, written once over the level's vector layer (`Lanes`, see
// lib/simd/lanes.hpp) and compiled for every instruction-set level: the tile kernels of the
// blocked product, and the product for results of only a few columns.
//
// Every multiply and add is the layer's, rounded on its own and never fused, with b's value
// as the first source of a product and the accumulator as the first source of a sum (see
// kernels.hpp). This file includes nothing itself.

namespace {

// ---- Tile kernels ----
//
// Per step p a tile loads its vectors of b once, and for each row multiplies them by
// a[i, p] and adds the products to that row's accumulators. With `a_transposed` a is read
// from its transpose: the tile's values of one p lie side by side, the next p lda further.

template <int R, int V, bool a_transposed>
struct TileLoop {
    using Vec = typename Lanes::Vec;

    // One step of p: acc[r][v] + b[v] * a[r], each row's a[r] `row_stride` apart.
    static inline void step(Vec (&acc)[R][V], const double* a, const double* b,
                            std::uint64_t row_stride) {
        constexpr std::uint64_t lanes = Lanes::width;
        Vec bv[V];
#pragma GCC unroll 4
        for (int v = 0; v < V; ++v) bv[v] = Lanes::load(b + v * lanes);
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
            const auto av = Lanes::splat_at(a + r * row_stride);
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) acc[r][v] = Lanes::add(acc[r][v], Lanes::mul(bv[v], av));
        }
    }

    // The loops are unrolled before the accumulator array is split into registers.
    template <bool resume>
    static inline void sums(const TileArgs& t) {
        constexpr std::uint64_t lanes = Lanes::width;
        const std::uint64_t row_stride = a_transposed ? 1 : t.lda;
        const std::uint64_t step_stride = a_transposed ? t.lda : 1;
        const double* a = t.a;
        const double* b = t.b;
        Vec acc[R][V];
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) {
                acc[r][v] = resume ? Lanes::load(t.c + r * t.ldc + v * lanes) : Lanes::zero();
            }
        }
        // Two steps of p per iteration: the loop's own instructions are paid once per two
        // steps, and the second step's loads of b can issue while the first one's products
        // are still in flight.
        std::uint64_t p = 0;
        for (; p + 2 <= t.depth; p += 2) {
            step(acc, a, b, row_stride);
            step(acc, a + step_stride, b + t.ldb, row_stride);
            a += 2 * step_stride;
            b += 2 * t.ldb;
        }
        if (p < t.depth) step(acc, a, b, row_stride);
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) Lanes::store(t.c + r * t.ldc + v * lanes, acc[r][v]);
        }
    }

    static void run(const TileArgs& t) {
        if (t.continue_sums) {
            sums<true>(t);
        } else {
            sums<false>(t);
        }
    }
};

// Tile shapes and blocks, measured per level. AVX-512: 6 rows x 4 vectors (24 accumulators)
// and a 512 KiB packed block. AVX2: 6 rows x 2 vectors (12 accumulators), which with the
// two vectors of b, the broadcast of a and one product fills the 16 vector registers; its
// packed block of b is kept to 256 KiB so that it shares a 512 KiB level-2 cache with the
// rows of a and c passing through. Baseline: 4 rows x 2 vectors, 256 KiB.
constexpr int tile_rows = Lanes::width == 2 ? 4 : 6;
constexpr int tile_vectors = Lanes::width == 8 ? 4 : 2;
constexpr Blocking blocking = {256, (Lanes::width == 8 ? 512 : 256) * 1024};

// ---- Results of at most four columns ----
//
// Laying result columns across the lanes would leave most lanes idle here, so `width` result
// rows share the lanes instead: a block of `width` rows of a, `width` values of p, is turned
// around so that one vector holds a[i0.., p], and b[p, j] times it is added to column j's
// accumulator, for p in increasing order. Every value of a is read once, in storage order,
// so a matrix-vector product streams a at the speed memory delivers it. When a is stored
// transposed, a[i0.., p] already lies side by side and is loaded as it is.
//
// a[i, p] is at a[i * lda + p], or at a[p * lda + i] with `a_transposed`.
template <bool a_transposed>
inline const double* a_at(const double* a, std::uint64_t lda, std::uint64_t i,
                          std::uint64_t p) {
    return a_transposed ? a + p * lda + i : a + i * lda + p;
}

// column[q][r] = a[r, q] for r < rows and q < steps, 0.0 elsewhere (rows, steps <= width).
template <bool a_transposed>
inline void columns(const double* a, std::uint64_t lda, std::uint64_t rows, std::uint64_t steps,
                    typename Lanes::Vec column[Lanes::width]) {
    constexpr std::uint64_t w = Lanes::width;
    if constexpr (a_transposed) {
        if (rows == w && steps == w) {
#pragma GCC unroll 8
            for (std::uint64_t q = 0; q < w; ++q) column[q] = Lanes::load(a + q * lda);
            return;
        }
#pragma GCC unroll 8
        for (std::uint64_t q = 0; q < w; ++q) {
            column[q] = q >= steps ? Lanes::zero()
                        : rows == w ? Lanes::load(a + q * lda)
                                    : Lanes::load_prefix(a + q * lda, rows);
        }
        return;
    }
    if (rows == w && steps == w) return Lanes::load_transposed(a, lda, column);
    typename Lanes::Vec block[w];
#pragma GCC unroll 8
    for (std::uint64_t r = 0; r < w; ++r) {
        block[r] = r >= rows ? Lanes::zero()
                   : steps == w ? Lanes::load(a + r * lda)
                                : Lanes::load_prefix(a + r * lda, steps);
    }
    Lanes::transpose(block, column);
}


// One step of p for every column: acc[j] + b[p, j] * a[i0.., p].
template <int N>
inline void accumulate(typename Lanes::Vec acc[N], const double* b_row,
                       typename Lanes::Vec a_column) {
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        acc[j] = Lanes::add(acc[j], Lanes::mul(Lanes::splat(b_row[j]), a_column));
    }
}

// Steps p0 .. p0 + steps - 1 of a block of `lanes` rows (`rows` of them present), a at the
// block's first row.
template <int N, bool a_transposed>
inline void block_steps(typename Lanes::Vec acc[N], const double* a, const double* b,
                        std::uint64_t lda, std::uint64_t rows, std::uint64_t p0,
                        std::uint64_t steps) {
    constexpr std::uint64_t lanes = Lanes::width;
    typename Lanes::Vec column[lanes];
    columns<a_transposed>(a_at<a_transposed>(a, lda, 0, p0), lda, rows, steps, column);
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
inline void store_rows(const typename Lanes::Vec acc[N], double* c, std::uint64_t rows) {
    alignas(64) double sums[N][Lanes::width];
    for (int j = 0; j < N; ++j) Lanes::store(sums[j], acc[j]);
    for (std::uint64_t r = 0; r < rows; ++r) {
        for (int j = 0; j < N; ++j) c[r * N + j] = sums[j][r];
    }
}

// G blocks of `lanes` rows side by side, all rows present: each block's sums are one chain
// of dependent additions per column, so several blocks at once keep the adder busy while
// each addition waits for the one before it.
template <int N, int G, bool a_transposed>
void row_groups(const double* a, const double* b, double* c, std::uint64_t k,
                std::uint64_t lda) {
    constexpr std::uint64_t lanes = Lanes::width;
    typename Lanes::Vec acc[G][N];
#pragma GCC unroll 8
    for (int g = 0; g < G; ++g) {
        for (int j = 0; j < N; ++j) acc[g][j] = Lanes::zero();
    }
    // Whole blocks first, in a loop of their own: with the block's size a constant, each
    // group's turned-around block goes straight into its products.
    std::uint64_t p0 = 0;
    for (; p0 + lanes <= k; p0 += lanes) {
#pragma GCC unroll 8
        for (int g = 0; g < G; ++g) {
            block_steps<N, a_transposed>(acc[g], a_at<a_transposed>(a, lda, g * lanes, 0), b,
                                         lda, lanes, p0, lanes);
        }
    }
    if (p0 < k) {
#pragma GCC unroll 8
        for (int g = 0; g < G; ++g) {
            block_steps<N, a_transposed>(acc[g], a_at<a_transposed>(a, lda, g * lanes, 0), b,
                                         lda, lanes, p0, k - p0);
        }
    }
#pragma GCC unroll 8
    for (int g = 0; g < G; ++g) store_rows<N>(acc[g], c + g * lanes * N, lanes);
}

// Result rows i0 .. i0 + rows - 1 (rows <= lanes) for N columns, a at row i0.
template <int N, bool a_transposed>
void row_block(const double* a, const double* b, double* c, std::uint64_t rows,
               std::uint64_t k, std::uint64_t lda) {
    typename Lanes::Vec acc[N];
    for (int j = 0; j < N; ++j) acc[j] = Lanes::zero();
    for (std::uint64_t p0 = 0; p0 < k; p0 += Lanes::width) {
        const std::uint64_t steps = k - p0 < Lanes::width ? k - p0 : Lanes::width;
        block_steps<N, a_transposed>(acc, a, b, lda, rows, p0, steps);
    }
    store_rows<N>(acc, c, rows);
}

template <int N, bool a_transposed>
void all_rows(const double* a, const double* b, double* c, std::uint64_t m, std::uint64_t k) {
    constexpr std::uint64_t lanes = Lanes::width;
    const std::uint64_t lda = a_transposed ? m : k;
    // About eight accumulators in all, but no more than 16 rows of a read side by side, so
    // that the hardware prefetcher can follow every row.
    constexpr int by_sums = N == 1 ? 8 : N == 2 ? 4 : 2;
    constexpr int by_rows = static_cast<int>(16 / lanes);
    constexpr int groups = by_sums < by_rows ? by_sums : by_rows > 0 ? by_rows : 1;
    std::uint64_t i0 = 0;
    for (; i0 + groups * lanes <= m; i0 += groups * lanes) {
        row_groups<N, groups, a_transposed>(a_at<a_transposed>(a, lda, i0, 0), b, c + i0 * N,
                                            k, lda);
    }
    for (; i0 < m; i0 += lanes) {
        const std::uint64_t rows = m - i0 < lanes ? m - i0 : lanes;
        row_block<N, a_transposed>(a_at<a_transposed>(a, lda, i0, 0), b, c + i0 * N, rows, k,
                                   lda);
    }
}

template <bool a_transposed>
void narrow(const double* a, const double* b, double* c, std::uint64_t m, std::uint64_t k,
            std::uint64_t n) {
    static_assert(narrow_max_cols == 4);
    switch (n) {
        case 1: return all_rows<1, a_transposed>(a, b, c, m, k);
        case 2: return all_rows<2, a_transposed>(a, b, c, m, k);
        case 3: return all_rows<3, a_transposed>(a, b, c, m, k);
        default: return all_rows<4, a_transposed>(a, b, c, m, k);  // n is 4
    }
}

// ---- Results of one row ----
//
// With a single row of a every value of b is used once, so b is read in place, in order:
// a block of `row_depth` rows of b is swept from left to right in tiles of `row_vectors`
// vectors, each tile's sums loaded from c, continued over the block's steps in increasing p
// and stored again (c, one row, stays in the level-1 cache between blocks). Few rows at a
// time are few streams, which the hardware prefetcher follows, and each tile's wide run of
// each row reads whole cache lines.
// Measured on AVX-512 (1 x 1000 times 1000 x 1000, b from the level-3 cache): 4 vectors 6
// rows deep streamed b at about 70 GB/s, 8 vectors 4 deep at 45 and the tile kernels' 32
// deep at 38.
constexpr std::uint64_t row_depth = 6;
constexpr int row_vectors = 4;

// Sums of `valid` columns from c (valid < width for the last, partial vector; V is then 1).
template <int V, bool partial>
inline void row_tile(const double* a, const double* b, std::uint64_t ldb, double* c,
                     std::uint64_t depth, bool resume, std::uint64_t valid) {
    using Vec = typename Lanes::Vec;
    constexpr std::uint64_t lanes = Lanes::width;
    const auto load = [valid](const double* p) {
        if constexpr (partial) {
            return Lanes::load_prefix(p, valid);
        } else {
            return Lanes::load(p);
        }
    };
    Vec acc[V];
#pragma GCC unroll 8
    for (int v = 0; v < V; ++v) acc[v] = resume ? load(c + v * lanes) : Lanes::zero();
#pragma GCC unroll 4
    for (std::uint64_t p = 0; p < depth; ++p) {
        const auto av = Lanes::splat_at(a + p);
#pragma GCC unroll 8
        for (int v = 0; v < V; ++v) {
            acc[v] = Lanes::add(acc[v], Lanes::mul(load(b + p * ldb + v * lanes), av));
        }
    }
#pragma GCC unroll 8
    for (int v = 0; v < V; ++v) {
        if constexpr (partial) {
            Lanes::store_prefix(c + v * lanes, valid, acc[v]);
        } else {
            Lanes::store(c + v * lanes, acc[v]);
        }
    }
}

void row(const double* a, const double* b, double* c, std::uint64_t k, std::uint64_t n) {
    constexpr std::uint64_t lanes = Lanes::width;
    constexpr std::uint64_t wide = row_vectors * lanes;
    for (std::uint64_t p0 = 0; p0 < k; p0 += row_depth) {
        const std::uint64_t depth = k - p0 < row_depth ? k - p0 : row_depth;
        const double* const ap = a + p0;
        const double* const bp = b + p0 * n;
        const bool resume = p0 != 0;
        std::uint64_t j = 0;
        for (; j + wide <= n; j += wide) {
            row_tile<row_vectors, false>(ap, bp + j, n, c + j, depth, resume, lanes);
        }
        for (; j + lanes <= n; j += lanes) {
            row_tile<1, false>(ap, bp + j, n, c + j, depth, resume, lanes);
        }
        if (j < n) row_tile<1, true>(ap, bp + j, n, c + j, depth, resume, n - j);
    }
}

}  // namespace

TileKernel tile_kernel() {
    return make_tile_kernel<TileLoop, tile_rows, tile_vectors>(Lanes::width, blocking);
}

void multiply_narrow(const double* a, const double* b, double* c, std::uint64_t m,
                     std::uint64_t k, std::uint64_t n) {
    narrow<false>(a, b, c, m, k, n);
}

void multiply_narrow_transposed_a(const double* a, const double* b, double* c,
                                  std::uint64_t m, std::uint64_t k, std::uint64_t n) {
    narrow<true>(a, b, c, m, k, n);
}

void multiply_row(const double* a, const double* b, double* c, std::uint64_t k,
                  std::uint64_t n) {
    row(a, b, c, k, n);
}
