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
    // The loops are unrolled before the accumulator array is split into registers.
    template <bool resume>
    static inline void sums(const TileArgs& t) {
        constexpr int lanes = Ops::lanes;
        const double* a = t.a;
        const double* b = t.b;
        typename Ops::Vec acc[R][V];
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) {
                acc[r][v] = resume ? Ops::load(t.c + r * t.ldc + v * lanes) : Ops::zero();
            }
        }
        for (std::uint64_t p = 0; p < t.depth; ++p) {
            typename Ops::Vec bv[V];
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) bv[v] = Ops::load(b + v * lanes);
#pragma GCC unroll 8
            for (int r = 0; r < R; ++r) {
                const auto av = Ops::broadcast(a + r * t.lda);
#pragma GCC unroll 4
                for (int v = 0; v < V; ++v) acc[r][v] = Ops::plus(acc[r][v], Ops::times(bv[v], av));
            }
            a += 1;
            b += t.ldb;
        }
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
