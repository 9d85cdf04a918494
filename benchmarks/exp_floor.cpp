// The cost of the C library's exp alone, for the exp-bound benchmarks: the best time of
// `repeat` passes of out[i] = exp(in[i]). Built as a shared library and called from the
// benchmark process on the benchmark's own arrays, so that the loop runs under the same
// conditions as the kernels it is compared with (the same loop in a separate executable
// measured about 20% slower on the reference machine).
#include <algorithm>
#include <chrono>
#include <cmath>

extern "C" double exp_floor_seconds(const double* in, double* out, long n, int repeat) {
    double best = 1e30;
    for (int r = 0; r < repeat; ++r) {
        const auto start = std::chrono::steady_clock::now();
        for (long i = 0; i < n; ++i) out[i] = std::exp(in[i]);
        const auto stop = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(stop - start).count());
    }
    return best;
}
