// How an ordered map cuts [0, n) into contiguous pieces for the pool.
#pragma once

#include <cstdint>

namespace tarnex::parallel {

// Maps shorter than this run on the calling thread (after the pool has been started):
// there, handing the job over and collecting it costs about as much as the parallel
// pieces save. Measured with additions from cache on 2 CPUs and 2 workers: 32768
// elements took 7.8 µs on the caller and 8.1 µs through the pool, 65536 took 16.6 and
// 13.1 µs, 10^5 took 25 and 18.7 µs. This is the cutoff of a pool as made; the
// process-wide pool replaces it by one measured on the machine (choose_inline_cutoff),
// never lower than this.
inline constexpr std::uint64_t inline_cutoff = 32768;

// The measured cutoff of a pool of two threads is never below this. Two threads can save at
// most half a map, and on a machine of two CPUs that other processes share, one of the two
// workers often waits for its CPU: measured on 2 CPUs at a load average of 7, a round trip
// of an empty job took 8 µs at the median and 8 ms (one scheduler slice) at the 99th
// percentile, and additions of 10^5, 3·10^5 and 10^6 elements took 10.7, 1.8 and 1.2 times
// as long through the pool as on the caller. Below this size a map therefore stays on the
// caller, which runs it as fast as a single-threaded loop whatever the load; above it the
// pool's gain on an idle machine (about half the time) is worth the risk.
inline constexpr std::uint64_t least_two_thread_cutoff = std::uint64_t{1} << 19;

// The measured cutoff never exceeds this: a map this long takes milliseconds on one
// thread, far more than any hand-off, so a disturbed measurement cannot keep large maps
// off the pool.
inline constexpr std::uint64_t largest_inline_cutoff = std::uint64_t{1} << 20;

// The cutoff for a pool of `threads` workers whose hand-off of an empty job takes
// `handoff_ns` and whose caller computes one element in `element_ns`. Handing a map of n
// elements to T workers pays off once handoff + n·e/T < n·e, that is from
// n = handoff / (e·(1 − 1/T)). The element cost is measured with a plain loop from cache,
// which is slower per element than the vectorised kernels and faster than maps that
// stream from memory; the break-even point is therefore multiplied by a safety factor of
// 4: below it a map runs on the caller at the speed of a single-threaded loop, so
// erring high only gives up some speed-up near the cutoff, while erring low makes the
// map slower than one thread. A single worker never pays off (the caller would only wait
// for it), so its cutoff is the largest value; two workers' is at least
// least_two_thread_cutoff.
std::uint64_t choose_inline_cutoff(std::uint64_t threads, double handoff_ns,
                                   double element_ns) noexcept;

// No piece is cut shorter than this (unless the whole map is): shorter pieces only add
// claiming traffic, while a few pieces per thread already even out uneven workers.
inline constexpr std::uint64_t min_piece = 16384;
inline constexpr std::uint64_t pieces_per_thread = 4;

class PiecePlan {
public:
    // Pieces for a map of `n` elements on `threads` workers writing to `out`; piece
    // boundaries fall on 64-byte lines of `out`, so no two pieces write one line.
    PiecePlan(std::uint64_t n, std::uint64_t threads, const double* out) noexcept;

    std::uint64_t pieces() const noexcept { return pieces_; }
    // Workers worth waking: no more than there are pieces.
    std::uint64_t helpers(std::uint64_t threads) const noexcept {
        return threads < pieces_ ? threads : pieces_;
    }
    // First position of piece `p`; begin(pieces()) is n. Never decreasing in `p`.
    std::uint64_t begin(std::uint64_t p) const noexcept;

private:
    std::uint64_t n_;
    std::uint64_t pieces_;
    std::uint64_t line_start_;  // first position whose output address starts a 64-byte line
};

}  // namespace tarnex::parallel
