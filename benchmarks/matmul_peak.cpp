// The machine figures the matrix-product benchmark divides by. Prints three numbers:
//   clock_hz        from a chain of dependent integer adds (one cycle each on x86-64)
//   lanes           doubles per vector of the widest unit (8 with AVX-512, 4 with AVX2, else 2)
//   pair_flops      measured flop/s of independent vector multiplies and adds issued side by
//                   side (no fused multiply-add), as a check of the one-multiply-plus-one-add
//                   per cycle assumption
// With --levels it prints instead one line per instruction-set level this CPU has,
//   level lanes pair_flops
// (baseline, avx2, avx512), all measured in this one process, so that the product's speed on
// each level can be set against that level's own multiply-and-add rate: how many vector
// multiplies and adds issue per cycle differs between the widths on some CPUs.
// Each figure is the best of many short runs timed in thread CPU time, so that a run that
// shared its core with another process does not count.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kRuns = 30;

double cpu_seconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

double seconds_since(double start) { return cpu_seconds() - start; }

// The shortest of kRuns runs of `run`, in seconds.
template <class Run>
double best_seconds(Run&& run) {
    double best = 1e30;
    for (int r = 0; r < kRuns; ++r) {
        const double start = cpu_seconds();
        run();
        best = std::min(best, seconds_since(start));
    }
    return best;
}

double clock_hz() {
    const long blocks = 200000;
    const double best = best_seconds([&] {
        long x = 0;
        for (long i = 0; i < blocks; ++i) asm volatile(".rept 100\n add $1, %0\n .endr" : "+r"(x));
    });
    return blocks * 100.0 / best;
}

// Twelve independent multiply and twelve independent add streams per iteration.
#define PAIRS(reg, mul_dst, add_dst)                                                       \
    "vmulpd %%" reg "0, %%" reg "0, %%" reg mul_dst "\n vaddpd %%" reg "0, %%" reg "0, %%" \
    reg add_dst "\n"

__attribute__((target("avx512f"))) double pair_flops_avx512() {
    const long iterations = 2000000;
    const double best = best_seconds([&] {
        long n = iterations;
        asm volatile(
            "vxorpd %%zmm0, %%zmm0, %%zmm0\n"
            "1:\n" PAIRS("zmm", "1", "13") PAIRS("zmm", "2", "14") PAIRS("zmm", "3", "15")
                PAIRS("zmm", "4", "16") PAIRS("zmm", "5", "17") PAIRS("zmm", "6", "18")
                    PAIRS("zmm", "7", "19") PAIRS("zmm", "8", "20") PAIRS("zmm", "9", "21")
                        PAIRS("zmm", "10", "22") PAIRS("zmm", "11", "23") PAIRS("zmm", "12", "24")
            "dec %0\n jnz 1b\n"
            : "+r"(n)
            :
            : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9",
              "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15", "xmm16", "xmm17", "xmm18",
              "xmm19", "xmm20", "xmm21", "xmm22", "xmm23", "xmm24");
    });
    return iterations * 12.0 * 2 * 8 / best;
}

__attribute__((target("avx2"))) double pair_flops_avx2() {
    const long iterations = 2000000;
    const double best = best_seconds([&] {
        long n = iterations;
        asm volatile(
            "vxorpd %%ymm0, %%ymm0, %%ymm0\n"
            "1:\n" PAIRS("ymm", "1", "8") PAIRS("ymm", "2", "9") PAIRS("ymm", "3", "10")
                PAIRS("ymm", "4", "11") PAIRS("ymm", "5", "12") PAIRS("ymm", "6", "13")
                    PAIRS("ymm", "7", "14")
            "dec %0\n jnz 1b\n"
            : "+r"(n)
            :
            : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9",
              "xmm10", "xmm11", "xmm12", "xmm13", "xmm14");
    });
    return iterations * 7.0 * 2 * 4 / best;
}

double pair_flops_sse2() {
    const long iterations = 2000000;
    const double best = best_seconds([&] {
        long n = iterations;
        // Seven independent multiply and seven add streams, in the two-operand forms.
        asm volatile(
            "xorpd %%xmm0, %%xmm0\n"
            "1:\n"
            "mulpd %%xmm0, %%xmm1\n addpd %%xmm0, %%xmm8\n mulpd %%xmm0, %%xmm2\n"
            "addpd %%xmm0, %%xmm9\n mulpd %%xmm0, %%xmm3\n addpd %%xmm0, %%xmm10\n"
            "mulpd %%xmm0, %%xmm4\n addpd %%xmm0, %%xmm11\n mulpd %%xmm0, %%xmm5\n"
            "addpd %%xmm0, %%xmm12\n mulpd %%xmm0, %%xmm6\n addpd %%xmm0, %%xmm13\n"
            "mulpd %%xmm0, %%xmm7\n addpd %%xmm0, %%xmm14\n"
            "dec %0\n jnz 1b\n"
            : "+r"(n)
            :
            : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9",
              "xmm10", "xmm11", "xmm12", "xmm13", "xmm14");
    });
    return iterations * 7.0 * 2 * 2 / best;
}

}  // namespace

int main(int argc, char** argv) {
    __builtin_cpu_init();
    if (argc > 1 && std::strcmp(argv[1], "--levels") == 0) {
        std::printf("baseline 2 %.6e\n", pair_flops_sse2());
        if (__builtin_cpu_supports("avx2")) std::printf("avx2 4 %.6e\n", pair_flops_avx2());
        if (__builtin_cpu_supports("avx512f")) {
            std::printf("avx512 8 %.6e\n", pair_flops_avx512());
        }
        return 0;
    }
    const double hz = clock_hz();
    if (__builtin_cpu_supports("avx512f")) {
        std::printf("%.6e 8 %.6e\n", hz, pair_flops_avx512());
    } else if (__builtin_cpu_supports("avx2")) {
        std::printf("%.6e 4 %.6e\n", hz, pair_flops_avx2());
    } else {
        std::printf("%.6e 2 0\n", hz);
    }
    return 0;
}
