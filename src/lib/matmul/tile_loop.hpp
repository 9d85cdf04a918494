// The loop of a tile kernel, shared by every instruction set. Each level's file defines its
// vector operations in a struct `Ops` (in an unnamed namespace) and includes this body
// inside its target region and namespace, so the loop is compiled for that level:
//
//   Ops::Vec                      a vector of Ops::lanes doubles
//   Ops::zero(), load(p), store(p, v)
//   Ops::broadcast(p)             a[i, p] in the form `times` takes
//   Ops::times(b, a), plus(acc, product)   one rounded multiply, one rounded add
//
// Per step p a tile loads its vectors of b once, and for each row multiplies them by
// a[i, p] and adds the products to that row's accumulators, never fused.
//
// This file includes nothing itself (its headers come before the region).

template <class Ops, int R, int V>
struct TileLoop {
    using Vec = typename Ops::Vec;

    // One step of p: acc[r][v] + b[v] * a[r], each row's a[r] lda apart.
    static inline void step(Vec (&acc)[R][V], const double* a, const double* b,
                            std::uint64_t lda) {
        constexpr int lanes = Ops::lanes;
        Vec bv[V];
#pragma GCC unroll 4
        for (int v = 0; v < V; ++v) bv[v] = Ops::load(b + v * lanes);
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
            const auto av = Ops::broadcast(a + r * lda);
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) acc[r][v] = Ops::plus(acc[r][v], Ops::times(bv[v], av));
        }
    }

    // The loops are unrolled before the accumulator array is split into registers.
    template <bool resume>
    static inline void sums(const TileArgs& t) {
        constexpr int lanes = Ops::lanes;
        const double* a = t.a;
        const double* b = t.b;
        Vec acc[R][V];
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) {
                acc[r][v] = resume ? Ops::load(t.c + r * t.ldc + v * lanes) : Ops::zero();
            }
        }
        // Two steps of p per iteration: the loop's own instructions are paid once per two
        // steps, and the second step's loads of b can issue while the first one's products
        // are still in flight.
        std::uint64_t p = 0;
        for (; p + 2 <= t.depth; p += 2) {
            step(acc, a, b, t.lda);
            step(acc, a + 1, b + t.ldb, t.lda);
            a += 2;
            b += 2 * t.ldb;
        }
        if (p < t.depth) step(acc, a, b, t.lda);
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) Ops::store(t.c + r * t.ldc + v * lanes, acc[r][v]);
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
